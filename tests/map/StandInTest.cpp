// The stand-in platform's own pieces: control lines, the database file,
// the application loop, and the SNMP library's ownership of PDUs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "MapTestSupport.h"
#include "netmgmt/map/standin/AppLoop.h"
#include "netmgmt/map/standin/QxSnmp.h"
#include "netmgmt/map/standin/Qxw.h"
#include "netmgmt/map/standin/QxwControl.h"
#include "netmgmt/map/standin/QxwDatabase.h"
#include "netmgmt/map/standin/QxwStandIn.h"
#include "platform/Trace.h"

namespace maptest {
namespace {

using nlohmann::json;

TEST(QxwControl, LinesBecomeEventsOrAreRefused) {
    qxw::ControlCommand c;
    EXPECT_EQ(qxw::ParseControl("delete 7:2 9", &c), "");
    EXPECT_EQ(c.event, QXW_EVENT_OBJECTS_DELETED);
    ASSERT_EQ(c.objects.objects.size(), 2u);
    EXPECT_EQ(c.objects.objects[0].objectId, 7u);
    EXPECT_EQ(c.objects.objects[0].scope, 2u);
    EXPECT_EQ(c.objects.objects[1].scope, 0u);
    EXPECT_EQ(qxw::ParseControl("event 16 4294967295", &c), "");
    EXPECT_EQ(c.event, QXW_EVENT_OBJECTS_CHANGED);
    ASSERT_TRUE(c.hasChanges);
    EXPECT_EQ(c.changes.changes[0].objectId, 4294967295u);
    EXPECT_EQ(qxw::ParseControl("open other", &c), "");
    EXPECT_EQ(c.mapName, "other");
    EXPECT_EQ(qxw::ParseControl("unmanage", &c), "");
    EXPECT_FALSE(c.hasObjects);
    EXPECT_EQ(qxw::ParseControl("quit", &c), "");
    EXPECT_EQ(c.kind, qxw::ControlCommand::Kind::kQuit);
    EXPECT_EQ(qxw::ParseControl("  # a note", &c), "");
    EXPECT_EQ(c.kind, qxw::ControlCommand::Kind::kNone);

    for (const std::string& bad : std::vector<std::string>{
             "event 99", "event", "event x", "manage 0", "manage 4294967296", "manage 7:2",
             "delete 7:x", "close now", "end 1", "open a b", "frobnicate",
             std::string("manage ") + std::string(qxw::kMaxControlLine, '1')}) {
        EXPECT_NE(qxw::ParseControl(bad, &c), "") << bad;
        EXPECT_EQ(c.kind, qxw::ControlCommand::Kind::kNone) << bad;
    }
}

TEST(QxwDatabase, ADumpLoadsAsAStartDatabaseAgain) {
    qxw::Database db;
    ASSERT_EQ(db.Load(ComputersDatabase({"alpha", "Beta"})), "");
    const QXwId object = db.AddObject("alpha:QX0000000001");
    const QXwId submap = db.AddSubmap(1, "alpha", "vxqxoru");
    qxw::Symbol symbol;
    symbol.submap = submap;
    symbol.object = object;
    symbol.label = std::string("QX\xff", 3);  // no UTF-8: still dumped
    symbol.behavior = qxw::Behavior{2, "vxqxoru", "RunGUI", {object}};
    db.AddSymbol(symbol);
    db.FindObject(object)->status = 7;
    const std::string dump = db.Dump();

    qxw::Database again;
    ASSERT_EQ(again.Load(dump), "");
    EXPECT_EQ(again.FindObject(1)->childSubmap, submap);
    EXPECT_EQ(json::parse(again.Dump()), json::parse(dump));
    EXPECT_EQ(json::parse(dump)["symbols"][2]["status"], 7);
}

TEST(QxwDatabase, ADamagedDatabaseIsRefusedWhole) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not JSON", "{\"objects\": ["},
        {"an array", "[]"},
        {"an id of 0", R"({"objects":[{"id":0,"selectionName":"a"}]})"},
        {"an id twice",
         R"({"objects":[{"id":1,"selectionName":"a"},{"id":1,"selectionName":"b"}]})"},
        {"a selection name twice",
         R"({"objects":[{"id":1,"selectionName":"a"},{"id":2,"selectionName":"a"}]})"},
        {"a field that is no boolean",
         R"({"objects":[{"id":1,"selectionName":"a","fields":{"isComputer":1}}]})"},
        {"a symbol of an unknown object",
         R"({"submaps":[{"id":1,"parentObject":0}],"symbols":[{"id":1,"submap":1,"object":5}]})"},
        {"two submaps of one object",
         R"({"objects":[{"id":1,"selectionName":"a"}],)"
         R"("submaps":[{"id":1,"parentObject":1},{"id":2,"parentObject":1}]})"},
        {"a status beyond 32 bits",
         R"({"objects":[{"id":1,"selectionName":"a","status":4294967296}]})"},
        // Members of the wrong kind are damage too, never a reason to stop.
        {"a map that is a number", R"({"map":1})"},
        {"a map that is null", R"({"map":null,"objects":[{"id":1,"selectionName":"a"}]})"},
        {"a map that is a list", R"({"map":[],"objects":[{"id":1,"selectionName":"a"}]})"},
        {"a map name that is no text", R"({"map":{"name":7}})"},
        {"a behaviour that is no object",
         R"({"objects":[{"id":1,"selectionName":"a"}],"submaps":[{"id":1,"parentObject":0}],)"
         R"("symbols":[{"id":1,"submap":1,"object":1,"behavior":3}]})"},
    };
    for (const auto& [why, text] : cases) {
        qxw::Database db;
        EXPECT_NE(db.Load(text), "") << why;
        EXPECT_TRUE(db.Objects().empty()) << why;
    }
}

class LoopTest : public ::testing::Test {
  protected:
    VirtualClock clock_;
    qxapp::AppLoop loop_{clock_};
};

// A window that records what it is sent and may pump from inside.
class Recorder : public qxapp::Window {
  public:
    std::vector<unsigned> seen;
    std::function<void()> onFirst;
    void WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        seen.push_back(message);
        if (onFirst) {
            std::function<void()> f = std::move(onFirst);
            onFirst = nullptr;
            f();
        }
        qxapp::Window::WindowProc(message, wParam, lParam);
    }
};

TEST_F(LoopTest, AReadableDescriptorPostsOneMessageUntilItIsRead) {
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC), 0);
    int reads = 0;
    loop_.AddSource(pipe[0], [&] {
        char byte;
        reads += ::read(pipe[0], &byte, 1) == 1 ? 1 : 0;
    });
    ASSERT_EQ(::write(pipe[1], "ab", 2), 2);
    qxapp::Msg msg;
    ASSERT_TRUE(loop_.PeekMessage(&msg, false));
    ASSERT_TRUE(loop_.PeekMessage(&msg, false));
    // Two looks, one message: it is pending until dispatched.
    ASSERT_TRUE(loop_.PeekMessage(&msg, true));
    qxapp::Msg more;
    EXPECT_FALSE(loop_.PeekMessage(&more, false));
    loop_.DispatchMessage(msg);
    EXPECT_EQ(reads, 1);
    // One byte is left: readable again.
    ASSERT_TRUE(loop_.PumpMessage());
    EXPECT_EQ(reads, 2);
    EXPECT_FALSE(loop_.PeekMessage(&msg, false));
    ::close(pipe[0]);
    ::close(pipe[1]);
}

TEST_F(LoopTest, HandlersPumpNestedAndQuitComesLast) {
    Recorder window;
    window.onFirst = [&] {
        // Inside the first message: the second is dispatched from here.
        ASSERT_TRUE(loop_.PumpMessage());
        EXPECT_EQ(window.seen.size(), 2u);
    };
    loop_.PostMessage(window.Handle(), qxapp::WM_USER + 10);
    loop_.PostMessage(window.Handle(), qxapp::WM_USER + 11);
    loop_.PostQuitMessage(3);
    loop_.PostMessage(window.Handle(), qxapp::WM_USER + 12);
    ASSERT_TRUE(loop_.PumpMessage());
    EXPECT_EQ(window.seen, (std::vector<unsigned>{qxapp::WM_USER + 10, qxapp::WM_USER + 11}));
    ASSERT_TRUE(loop_.PumpMessage());  // the message posted after the quit
    qxapp::Msg msg;
    EXPECT_FALSE(loop_.GetMessage(&msg));
    EXPECT_EQ(msg.message, qxapp::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(LoopTest, TimersComeDueOnTheClockAndClosingTheMainWindowQuits) {
    Recorder window;
    loop_.SetMainWindow(window.Handle());
    loop_.SetTimer(window.Handle(), 5, 2500);
    loop_.WaitForWork(qxapp::kNoDeadline);
    EXPECT_EQ(clock_.NowMs(), 2500u);
    ASSERT_TRUE(loop_.PumpMessage());
    EXPECT_EQ(window.seen, (std::vector<unsigned>{qxapp::WM_TIMER}));
    loop_.PostMessage(window.Handle(), qxapp::WM_CLOSE);
    ASSERT_TRUE(loop_.PumpMessage());
    EXPECT_EQ(window.Handle(), 0u);
    EXPECT_FALSE(loop_.PostMessage(loop_.MainWindow(), qxapp::WM_USER));
    qxapp::Msg msg;
    EXPECT_FALSE(loop_.GetMessage(&msg));
}

class QxSnmpTest : public MapAppTest {
  protected:
    static void Callback(int type, QXsnmpSession* session, QXsnmpPdu* pdu, void* data) {
        auto* self = static_cast<QxSnmpTest*>(data);
        self->types_.push_back(type);
        self->pdus_.push_back(pdu != nullptr);
        self->errors_.push_back(QXsnmpErrno());
        QXsnmpFreePdu(pdu);
        // Closing the session from its own callback is safe.
        EXPECT_EQ(QXsnmpClose(session), 0);
    }
    std::vector<int> types_;
    std::vector<bool> pdus_;
    std::vector<int> errors_;
};

TEST_F(QxSnmpTest, ARequestWithoutAnswerTimesOutToItsCallback) {
    AddAgent("127.0.0.2", {}).SetSilent(true);
    QXsnmpSession* session = QXsnmpWOpen(0, "127.0.0.2", 1, 1000, QXSNMP_ANY_PORT, QXSNMP_ANY_PORT,
                                         &QxSnmpTest::Callback, this);
    ASSERT_NE(session, nullptr);
    QXsnmpPdu* pdu = QXsnmpCreatePdu(QXSNMP_GET);
    const Arcs name = View({1, 0});
    ASSERT_EQ(QXsnmpAddNullVarBind(pdu, name.data(), static_cast<int>(name.size())), 0);
    ASSERT_GE(QXsnmpSend(session, pdu), 0);
    for (int i = 0; i < 10 && types_.empty(); ++i) {
        loop_->WaitForWork(qxapp::kNoDeadline);
        Pump();
    }
    EXPECT_EQ(clock_.NowMs(), 2000u);  // one retry of 1 s
    EXPECT_EQ(types_, (std::vector<int>{QXSNMP_TIMED_OUT}));
    EXPECT_EQ(pdus_, (std::vector<bool>{false}));
    EXPECT_EQ(errors_, (std::vector<int>{QXSNMP_ERR_TIMEOUT}));
    EXPECT_EQ(agents_[0]->RequestsSeen(), 2u);
}

TEST_F(QxSnmpTest, ABlockingSendGivesTheRequestBackOnlyOnATimeOut) {
    AddAgent("127.0.0.2", {{"QX0000000001"}}).SilentAfter(1);
    QXsnmpSession* session = QXsnmpWOpen(0, "127.0.0.2", 0, 1000, QXSNMP_ANY_PORT, QXSNMP_ANY_PORT,
                                         &QxSnmpTest::Callback, this);
    ASSERT_NE(session, nullptr);
    const Arcs name = View({2, 0});
    QXsnmpPdu* request = QXsnmpCreatePdu(QXSNMP_GET);
    ASSERT_EQ(QXsnmpAddNullVarBind(request, name.data(), static_cast<int>(name.size())), 0);
    QXsnmpPdu* reply = QXsnmpBlockingSend(session, request);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->type, QXSNMP_RESPONSE);
    ASSERT_EQ(reply->bindings.size(), 1u);
    EXPECT_EQ(reply->bindings[0].integer, 1);
    QXsnmpFreePdu(reply);

    request = QXsnmpCreatePdu(QXSNMP_GET);
    ASSERT_EQ(QXsnmpAddNullVarBind(request, name.data(), static_cast<int>(name.size())), 0);
    EXPECT_EQ(QXsnmpBlockingSend(session, request), nullptr);
    EXPECT_EQ(QXsnmpErrno(), QXSNMP_ERR_TIMEOUT);
    QXsnmpFreePdu(request);  // the caller's again
    // Nothing of it reaches the callback.
    Pump();
    EXPECT_TRUE(types_.empty());
    EXPECT_EQ(QXsnmpClose(session), 0);
}

TEST_F(QxSnmpTest, NamesThatAreNoPlainHostNamesOpenNoSession) {
    for (const std::string& host : std::vector<std::string>{
             "", "tcp:127.0.0.1", "udp6:[::1]", "a b", "host/x", std::string(256, 'a')}) {
        EXPECT_EQ(QXsnmpWOpen(0, host, -1, -1, QXSNMP_ANY_PORT, QXSNMP_ANY_PORT,
                              &QxSnmpTest::Callback, this),
                  nullptr)
            << host;
    }
}

TEST_F(MapAppTest, ControlLinesComeThroughTheFifo) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    const std::uint32_t row = ObjectId("localhost:QX0000000001");
    {
        std::ofstream fifo(root_.File("map/control"));
        fifo << std::string(qxw::kMaxControlLine + 10, 'x') << "\n"
             << "event 99\n"
             << "unmanage " << row << "\n";
    }
    Pump();
    EXPECT_FALSE(Entry("localhost")->rows[0].managed);
}

TEST_F(MapAppTest, AComputerWithoutASymbolIsNotListedAndTheTraceSaysSo) {
    json db = json::parse(ComputersDatabase({"localhost"}));
    db["symbols"] = json::array();
    ASSERT_TRUE(root_.Write("map/database.json", db.dump()));
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    std::FILE* trace = std::tmpfile();
    ASSERT_NE(trace, nullptr);
    platform::SetTraceStream(trace);
    platform::SetTraceEnabled(true);
    Start();
    platform::SetTraceEnabled(false);
    platform::SetTraceStream(nullptr);
    std::rewind(trace);
    std::string text;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, trace)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(trace);
    EXPECT_TRUE(app_->Map()->Entries().empty());
    EXPECT_NE(text.find("object 1 (localhost) has no symbol on the map"), std::string::npos)
        << text;
}

}  // namespace
}  // namespace maptest
