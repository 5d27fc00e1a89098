// vxqxoru end to end: the map application against the real SNMP agent
// (oru-snmp-host under a private snmpd, which also sends its v1 traps to
// the application's trap port) over OruServr and strovsim. What the map
// shows is read from the stand-in platform's dump.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <fstream>

#include <nlohmann/json.hpp>

#include "DkviewRun.h"
#include "MapTestSupport.h"
#include "NetServerFixture.h"
#include "SnmpHostRun.h"
#include "platform/Clock.h"
#include "support/ChildProcess.h"
#include "support/SnmpMaster.h"

namespace maptest {
namespace {

using nlohmann::json;
using testsupport::SnmpV1Trap;

constexpr const char* kView = ".1.3.6.1.4.1.32473.2.27.1.1";
constexpr int kLimitMs = netsrvtest::kLimitMs;
using Symbols = std::map<std::string, int>;

class MapEndToEndTest : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        ConfigureAdministration();
        // No status polls: the service reads an array when a client asks,
        // so a change's events all come from one whole read of the array
        // (a poll that read it partly before and partly after the change
        // would send the first ones with the array still good).
        StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
        trapPort_ = testsupport::FreePort(SOCK_DGRAM);
        ASSERT_NE(trapPort_, 0);
        master_.AddTrapSink(trapPort_);
        ASSERT_EQ(master_.Start(), "");
        StartAgent();
    }

    void TearDown() override {
        for (testsupport::ChildProcess* child : {&map_, &host_}) {
            if (child->Running()) {
                child->Signal(SIGTERM);
                EXPECT_EQ(child->WaitExit(kLimitMs), 0) << child->Stderr();
            }
        }
        master_.Stop();
        NetServerTest::TearDown();
    }

    void StartAgent() {
        ASSERT_TRUE(agenttest::StartSnmpHost(host_, master_, root_, agentEnvironment_));
    }

    // Waits until the agent's table has `rows` rows.
    bool AwaitAgentRows(std::size_t rows) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            if (master_.Walk(std::string(kView) + ".3.1.3").variables.size() == rows) {
                return true;
            }
            ::usleep(50000);
        }
        return false;
    }

    void StartMap() {
        ASSERT_TRUE(root_.Write("map/database.json", ComputersDatabase({"localhost"})));
        std::vector<std::string> env = master_.Environment();
        const std::vector<std::string> ours = {
            "ORU_ROOT=" + root_.Path(), "ORU_MAP_DATABASE=" + root_.File("map/database.json"),
            "ORU_MAP_DUMP=" + root_.File("map/dump.json"),
            "ORU_MAP_CONTROL=" + root_.File("map/control"),
            "ORU_MAP_SNMP_PORT=" + std::to_string(master_.Port()),
            "ORU_MAP_TRAP_PORT=" + std::to_string(trapPort_),
            // The probe pauses, time-outs and the delayed re-read twenty
            // times shorter.
            "ORU_TIME_SCALE=20"};
        env.insert(env.end(), ours.begin(), ours.end());
        ASSERT_TRUE(map_.Start(testsupport::ProgramPath(ORU_BIN_DIR, "vxqxoru"), {}, env))
            << map_.StartError();
    }

    // The symbols on the submap "localhost" of the last dump.
    Symbols DumpedSymbols() {
        const std::string text = root_.Read("map/dump.json");
        const json dump = json::parse(text, nullptr, false);
        Symbols symbols;
        if (dump.is_discarded()) {
            return symbols;
        }
        for (const json& submap : dump["submaps"]) {
            if (submap["name"] != "localhost") {
                continue;
            }
            for (const json& symbol : dump["symbols"]) {
                if (symbol["submap"] == submap["id"] && symbol["type"] == "Device:Strovane") {
                    symbols[symbol["label"].get<std::string>()] = symbol["status"].get<int>();
                }
            }
        }
        return symbols;
    }

    template <typename Predicate>
    bool AwaitDump(Predicate good) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            if (good(DumpedSymbols())) {
                return true;
            }
            ::usleep(20000);
        }
        return false;
    }

    // The simulator's state as it started, with a third cabinet.
    std::string WithThirdCabinet(const std::string& state) {
        json world = json::parse(state);
        json cabinet = world["cabinets"][1];
        cabinet["serial"] = "QX0000000003";
        cabinet["alias"] = "CABINET3";
        cabinet["controllers"][0]["serial"] = "CTLX000000000003";
        cabinet["controllers"][1]["serial"] = "CTLY000000000003";
        world["cabinets"].push_back(cabinet);
        int controller = 0;
        for (const char* name : {"STROVANE4", "STROVANE5"}) {
            world["paths"].push_back({{"address", {3, 0, controller, 0}},
                                      {"cabinet", 2},
                                      {"controller", controller == 0 ? "X" : "Y"},
                                      {"name", name},
                                      {"plainDisk", -1},
                                      {"removed", false}});
            ++controller;
        }
        return world.dump();
    }

    // The specific codes of the traps snmptrapd got for this serial from
    // trap number `from` on, in order (configuration traps left out).
    std::vector<int> StatusTraps(const std::string& serial, std::size_t from) {
        std::vector<int> codes;
        const std::vector<SnmpV1Trap> traps = master_.Traps();
        for (std::size_t i = from; i < traps.size(); ++i) {
            const SnmpV1Trap& t = traps[i];
            if (t.enterprise == kView && t.bindings.size() == 4 &&
                t.bindings[1].value == serial + std::string(1, '\0') &&
                t.bindings[2].value != "42100") {
                codes.push_back(t.specific);
            }
        }
        return codes;
    }

    // Waits for a configuration trap from trap number `from` on; the number
    // of the trap after it (0 when none came).
    std::size_t AwaitConfigurationTrap(std::size_t from) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            const std::vector<SnmpV1Trap> traps = master_.Traps();
            for (std::size_t i = from; i < traps.size(); ++i) {
                if (traps[i].bindings.size() == 4 && traps[i].bindings[2].value == "42100") {
                    return i + 1;
                }
            }
            ::usleep(20000);
        }
        return 0;
    }

    // The agent's status column by serial number.
    std::map<std::string, int> AgentStatuses() {
        const testsupport::SnmpRun serials = master_.Walk(std::string(kView) + ".3.1.3");
        const testsupport::SnmpRun statuses = master_.Walk(std::string(kView) + ".3.1.6");
        std::map<std::string, int> byserial;
        for (std::size_t i = 0; i < serials.variables.size() && i < statuses.variables.size();
             ++i) {
            byserial[serials.variables[i].value] = std::stoi(statuses.variables[i].value);
        }
        return byserial;
    }

    // The agent's reports that it built its table.
    static int TableBuilds() { return testsupport::CountEventLogTexts("[1.1] "); }

    std::vector<std::string> agentEnvironment_;
    testsupport::SnmpMaster master_{root_.File("snmp")};
    testsupport::ChildProcess host_;
    testsupport::ChildProcess map_;
    std::uint16_t trapPort_ = 0;
};

// The agent's waits ten times shorter instead of a hundred: its pause after
// a trap lasts 3 s, so what the service sends right after a trap comes
// while the agent pauses.
class MapPauseTest : public MapEndToEndTest {
  protected:
    MapPauseTest() { agentEnvironment_ = {"ORU_TIME_SCALE=10"}; }
};

TEST_F(MapEndToEndTest, TheMapShowsEveryArrayFollowsItsTrapsAndGainsANewOne) {
    const std::string started = root_.Read("sim/state.json");
    ASSERT_FALSE(started.empty());
    const std::vector<std::string> serials = agenttest::ListedSerials(root_);
    ASSERT_EQ(serials.size(), 2u);
    ASSERT_TRUE(AwaitAgentRows(2));
    StartMap();

    // One symbol per array on the submap of the host, labelled by its serial.
    Symbols expected;
    for (const std::string& serial : serials) {
        expected[serial] = 2;
    }
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) { return s == expected; }))
        << root_.Read("map/dump.json") << map_.Stderr();

    // A third cabinet and a rescan: the agent's configuration trap makes
    // the map read the host again (at once, and once more after the agent
    // rebuilt its table), and the new array gets its symbol.
    ASSERT_TRUE(root_.Write("three.json", WithThirdCabinet(started)));
    ASSERT_EQ(Strovsim({"load", root_.File("three.json")}), 0);
    const dkviewtest::DkviewResult rescan = dkviewtest::RunDkview(root_, {"-R"});
    ASSERT_EQ(rescan.exitCode, 0) << rescan.err;
    expected["QX0000000003"] = 2;
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) { return s == expected; }))
        << root_.Read("map/dump.json") << master_.TrapDaemon().Stdout();

    // A failed drive: the agent's trap reaches both sinks, and the array's
    // symbol takes the trap's specific code as its status.
    const std::size_t before = master_.Traps().size();
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A2"}), 0);
    const std::string first = serials[0];
    const dkviewtest::DkviewResult look = dkviewtest::RunDkview(root_, {"-c", first});
    ASSERT_EQ(look.exitCode, 0) << look.err;
    int last = -1;
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) {
        // The last trap for this array that the other sink got decides.
        const std::vector<SnmpV1Trap> traps = master_.Traps();
        for (std::size_t i = before; i < traps.size(); ++i) {
            const SnmpV1Trap& t = traps[i];
            if (t.enterprise == kView && t.bindings.size() == 4 &&
                t.bindings[1].value == first + std::string(1, '\0')) {
                last = t.specific;
            }
        }
        return last != -1 && s.count(first) != 0 && s.at(first) == last;
    })) << root_.Read("map/dump.json")
        << map_.Stderr() << master_.TrapDaemon().Stdout();
    // The array lost a member drive: no longer good.
    EXPECT_NE(last, 2);
    EXPECT_EQ(DumpedSymbols().at(serials[1]), 2);

    // Closed like any program: the dump written at exit shows the map.
    map_.Signal(SIGTERM);
    EXPECT_EQ(map_.WaitExit(kLimitMs), 0) << map_.Stderr();
    EXPECT_EQ(DumpedSymbols().size(), 3u) << root_.Read("map/dump.json");
}

TEST_F(MapEndToEndTest, TheControlFifoDrivesThePlatformsEvents) {
    ASSERT_TRUE(AwaitAgentRows(2));
    StartMap();
    ASSERT_TRUE(AwaitDump([](const Symbols& s) { return s.size() == 2; })) << map_.Stderr();
    {
        std::ofstream fifo(root_.File("map/control"));
        fifo << "close\n";
    }
    // Symbols and objects go, then the map is closed.
    ASSERT_TRUE(AwaitDump([this](const Symbols& s) {
        const json dump = json::parse(root_.Read("map/dump.json"), nullptr, false);
        return s.empty() && !dump.is_discarded() && !dump["map"]["open"].get<bool>();
    }));
    {
        std::ofstream fifo(root_.File("map/control"));
        fifo << "open\n";
    }
    ASSERT_TRUE(AwaitDump([](const Symbols& s) { return s.size() == 2; }));
    {
        std::ofstream fifo(root_.File("map/control"));
        fifo << "end\n";
    }
    EXPECT_EQ(map_.WaitExit(kLimitMs), 0) << map_.Stderr();
}

TEST_F(MapPauseTest, TwoArraysFailingAtOnceEachSendTheirTrapAndTheMapShowsBoth) {
    const std::vector<std::string> serials = agenttest::ListedSerials(root_);
    ASSERT_EQ(serials.size(), 2u);
    ASSERT_TRUE(AwaitAgentRows(2));
    StartMap();
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) {
        return s == Symbols{{serials[0], 2}, {serials[1], 2}};
    })) << map_.Stderr();

    const std::size_t before = master_.Traps().size();
    ASSERT_EQ(Strovsim({"fail-drive", "0", "B1"}), 0);
    ASSERT_EQ(Strovsim({"fail-drive", "1", "B1"}), 0);
    for (const std::string& serial : serials) {
        const dkviewtest::DkviewResult look = dkviewtest::RunDkview(root_, {"-c", serial});
        ASSERT_EQ(look.exitCode, 0) << look.err;
    }
    // Each array's last trap says it is no longer good, and the map shows
    // that status.
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) {
        for (const std::string& serial : serials) {
            const std::vector<int> codes = StatusTraps(serial, before);
            if (codes.empty() || codes.back() == 2 || s.count(serial) == 0 ||
                s.at(serial) != codes.back()) {
                return false;
            }
        }
        return true;
    })) << root_.Read("map/dump.json")
        << master_.TrapDaemon().Stdout();
    const std::map<std::string, int> table = AgentStatuses();
    for (const std::string& serial : serials) {
        EXPECT_EQ(table.at(serial), StatusTraps(serial, before).back()) << serial;
    }
}

TEST_F(MapPauseTest, AControllerFailingRightAfterARescanTrapIsTrappedOnce) {
    const json world = json::parse(root_.Read("sim/state.json"));
    const std::string first = world["cabinets"][0]["serial"].get<std::string>();
    ASSERT_TRUE(AwaitAgentRows(2));
    StartMap();
    ASSERT_TRUE(AwaitDump([](const Symbols& s) { return s.size() == 2; })) << map_.Stderr();

    // The rescan's configuration trap; the agent pauses after it.
    const std::size_t before = master_.Traps().size();
    const dkviewtest::DkviewResult rescan = dkviewtest::RunDkview(root_, {"-R"});
    ASSERT_EQ(rescan.exitCode, 0) << rescan.err;
    const std::size_t after = AwaitConfigurationTrap(before);
    ASSERT_NE(after, 0u) << master_.TrapDaemon().Stdout();

    ASSERT_EQ(Strovsim({"fail-controller", "0", "Y"}), 0);
    dkviewtest::DkviewResult look = dkviewtest::RunDkview(root_, {"-c", first});
    ASSERT_EQ(look.exitCode, 0) << look.err;
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) {
        const std::vector<int> codes = StatusTraps(first, after);
        return !codes.empty() && codes.back() != 2 && s.count(first) != 0 &&
               s.at(first) == codes.back();
    })) << root_.Read("map/dump.json")
        << master_.TrapDaemon().Stdout();
    EXPECT_EQ(AgentStatuses().at(first), StatusTraps(first, after).back());

    // Restored: good again, by its trap.
    ASSERT_EQ(Strovsim({"restore-controller", "0", "Y"}), 0);
    look = dkviewtest::RunDkview(root_, {"-c", first});
    ASSERT_EQ(look.exitCode, 0) << look.err;
    ASSERT_TRUE(AwaitDump([&](const Symbols& s) {
        const std::vector<int> codes = StatusTraps(first, after);
        return !codes.empty() && codes.back() == 2 && s.at(first) == 2;
    })) << master_.TrapDaemon().Stdout();
    // The statuses came in order: not good, then good.
    const std::vector<int> codes = StatusTraps(first, after);
    const auto good = std::find(codes.begin(), codes.end(), 2);
    EXPECT_TRUE(std::all_of(good, codes.end(), [](int c) { return c == 2; }))
        << ::testing::PrintToString(codes);

    // No stream of repeats: through a whole rebuild of the agent's table
    // (forced by another rescan) no further trap comes for the array.
    const std::size_t settled = master_.Traps().size();
    const int builds = TableBuilds();
    const dkviewtest::DkviewResult again = dkviewtest::RunDkview(root_, {"-R"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (TableBuilds() == builds && platform::MonotonicMs() < end) {
        ::usleep(20000);
    }
    ASSERT_GT(TableBuilds(), builds);
    EXPECT_EQ(StatusTraps(first, settled), std::vector<int>{}) << master_.TrapDaemon().Stdout();
    EXPECT_EQ(DumpedSymbols().at(first), 2);
}

}  // namespace
}  // namespace maptest
