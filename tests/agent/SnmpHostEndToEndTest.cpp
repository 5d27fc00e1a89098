// oru-snmp-host end to end: the agent under a private snmpd (AgentX master)
// and snmptrapd, with the real OruServr over strovsim behind it, asked with
// net-snmp's own client programs. The host's waits are a hundred times
// shorter; its texts come from the pseudo-language catalogs ("[set.number]").
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "DkviewRun.h"
#include "NetServerFixture.h"
#include "SnmpHostRun.h"
#include "platform/Clock.h"
#include "support/ChildProcess.h"
#include "support/ServerProcess.h"
#include "support/SnmpMaster.h"

namespace {

using dkviewtest::Fields;
using testsupport::SnmpRun;
using testsupport::SnmpV1Trap;
using testsupport::SnmpVariable;

constexpr const char* kView = ".1.3.6.1.4.1.32473.2.27.1.1";
constexpr int kLimitMs = netsrvtest::kLimitMs;

std::string Var(const std::string& below) {
    return std::string(kView) + below;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

class SnmpHostTest : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        ConfigureAdministration();
        StartServer(serverEnvironment_);
        const std::string why = master_.Start();
        ASSERT_EQ(why, "");
    }

    void TearDown() override {
        if (host_.Running()) {
            host_.Signal(SIGTERM);
            EXPECT_EQ(host_.WaitExit(kLimitMs), 0) << host_.Stderr();
        }
        master_.Stop();
        NetServerTest::TearDown();
    }

    void StartHost(const std::vector<std::string>& environment = {}) {
        ASSERT_TRUE(agenttest::StartSnmpHost(host_, master_, root_, environment));
    }

    // Waits until the walk of a column gives `count` rows, each with `status`.
    bool AwaitStatuses(std::size_t count, const std::string& status) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            const SnmpRun run = master_.Walk(Var(".3.1.6"));
            std::size_t matching = 0;
            for (const SnmpVariable& v : run.variables) {
                matching += v.type == "INTEGER" && v.value == status ? 1 : 0;
            }
            if (run.variables.size() == count && matching == count) {
                return true;
            }
            ::usleep(50000);
        }
        return false;
    }

    std::vector<std::string> ListedSerials() { return agenttest::ListedSerials(root_); }

    // The specific codes of the status traps ("The subsystem status is now
    // %d.") snmptrapd got for this serial, in order.
    std::vector<int> StatusTraps(const std::string& serial) {
        std::vector<int> codes;
        for (const SnmpV1Trap& t : master_.Traps()) {
            if (t.enterprise == kView && t.bindings.size() == 4 &&
                t.bindings[1].value == serial + std::string(1, '\0') &&
                t.bindings[2].value == "1020") {
                codes.push_back(t.specific);
            }
        }
        return codes;
    }

    // The agent's reports that it built its table.
    static int TableBuilds() { return testsupport::CountEventLogTexts("[1.1] "); }

    static inline const std::vector<std::string> kServerEnvironment = {"ORU_SMON_INTERVAL=1",
                                                                       "ORU_PLOG_INTERVAL=0"};
    std::vector<std::string> serverEnvironment_ = kServerEnvironment;
    testsupport::SnmpMaster master_{root_.File("snmp")};
    testsupport::ChildProcess host_;
};

TEST_F(SnmpHostTest, TheWalkShowsEveryArrayWithWhatDkviewShows) {
    StartHost();
    const std::vector<std::string> serials = ListedSerials();
    ASSERT_FALSE(serials.empty());
    const std::size_t n = serials.size();
    ASSERT_TRUE(AwaitStatuses(n, "2"));

    const SnmpRun walk = master_.Walk(kView, "1");
    ASSERT_EQ(walk.exitCode, 0) << walk.err;
    const std::vector<SnmpVariable>& v = walk.variables;
    ASSERT_EQ(v.size(), 5 * n + 2) << walk.out;
    EXPECT_EQ(v[0].oid, Var(".1.0"));
    EXPECT_EQ(v[0].value, "ORUAgent.dll - Version:2");
    EXPECT_EQ(v[1].oid, Var(".2.0"));
    EXPECT_EQ(v[1].value, std::to_string(n));
    for (std::size_t r = 0; r < n; ++r) {
        // Column by column: row r of column c is entry 2 + (c - 2) * n + r.
        auto at = [&](int column) -> const SnmpVariable& {
            const SnmpVariable& var = v[2 + static_cast<std::size_t>(column - 2) * n + r];
            EXPECT_EQ(var.oid, Var(".3.1." + std::to_string(column) + "." + std::to_string(r + 1)));
            return var;
        };
        EXPECT_EQ(at(3).value, serials[r]);
        const dkviewtest::DkviewResult controllers =
            dkviewtest::RunDkview(root_, {"-c", "-S", serials[r]});
        ASSERT_EQ(controllers.exitCode, 0) << controllers.err;
        // The first controller's line: product id, revision and code.
        const std::vector<std::string> c = Fields(dkviewtest::Lines(controllers.out).at(0));
        ASSERT_EQ(c.size(), 15u) << controllers.out;
        EXPECT_EQ(TrimRight(at(2).value), c[4]);
        EXPECT_EQ(at(4).value, c[11]);
        EXPECT_EQ(at(5).value, c[12]);
        EXPECT_EQ(at(6).type, "INTEGER");
        EXPECT_EQ(at(6).value, "2");
    }
}

TEST_F(SnmpHostTest, NamesOutsideTheTableAreRefusedOrPassedOn) {
    StartHost();
    ASSERT_TRUE(AwaitStatuses(2, "2"));
    // A v1 GET of a variable that is not there.
    const SnmpRun missing = master_.Get(Var(".3.1.6.9"), "1");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("noSuchName"), std::string::npos) << missing.err;
    // GETNEXT past the last variable moves on beyond the view.
    const SnmpRun next = master_.Client("snmpgetnext", "2c", "public", {Var(".3.1.6.2")});
    ASSERT_EQ(next.exitCode, 0) << next.err;
    ASSERT_EQ(next.variables.size(), 1u) << next.out;
    EXPECT_NE(next.variables[0].oid.rfind(kView, 0), 0u) << next.out;
    // Every variable is read-only, even for a community that may write.
    const SnmpRun v1Set =
        master_.Client("snmpset", "1", "private", {Var(".3.1.3.1"), "s", "QX9999999999"});
    EXPECT_NE(v1Set.err.find("noSuchName"), std::string::npos) << v1Set.err;
    const SnmpRun v2Set = master_.Client("snmpset", "2c", "private", {Var(".2.0"), "i", "7"});
    EXPECT_NE(v2Set.err.find("notWritable"), std::string::npos) << v2Set.err;
    EXPECT_EQ(master_.Get(Var(".2.0")).variables.at(0).value, "2");
}

// The service reads an array's state only when a client asks for it: a
// status poll that read the array partly before and partly after a change
// would send the change's first events with the array still good.
class SnmpHostTrapTest : public SnmpHostTest {
  protected:
    SnmpHostTrapTest() { serverEnvironment_ = {"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"}; }
};

TEST_F(SnmpHostTrapTest, APulledDriveSendsAVersion1EnterpriseTrap) {
    StartHost();
    ASSERT_TRUE(AwaitStatuses(2, "2"));
    ASSERT_EQ(Strovsim({"pull", "0", "A2"}), 0);
    // dkview's state request makes the service read the array; its events
    // reach every session of the array, the agent's too.
    const dkviewtest::DkviewResult look = dkviewtest::RunDkview(root_, {"-c", "QX0000000001"});
    ASSERT_EQ(look.exitCode, 0) << look.err;

    SnmpV1Trap trap;
    ASSERT_TRUE(master_.WaitForTrap(kView, kLimitMs, &trap)) << master_.TrapDaemon().Stdout();
    EXPECT_EQ(trap.generic, 6);
    // The array lost a member drive: no longer good, and a status it has.
    ASSERT_EQ(trap.bindings.size(), 4u) << master_.TrapDaemon().Stdout();
    EXPECT_NE(trap.specific, 2) << trap.bindings[3].value;
    EXPECT_NE(trap.specific, 1) << trap.bindings[3].value;
    for (const SnmpVariable& b : trap.bindings) {
        EXPECT_EQ(b.oid, kView);
    }
    EXPECT_EQ(trap.bindings[0].type, "INTEGER");
    EXPECT_EQ(trap.bindings[0].value, "2");
    // Both strings count their terminator, so snmptrapd shows them in hex.
    EXPECT_EQ(trap.bindings[1].value, std::string("QX0000000001\0", 13));
    EXPECT_EQ(trap.bindings[2].type, "INTEGER");
    const int id = std::stoi(trap.bindings[2].value);
    const std::string text = trap.bindings[3].value;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\0');
    // The trap text: serial, event text (the catalog id's), revision, product.
    const std::string eventMark =
        "[" + std::to_string(id / 1000) + "." + std::to_string(id % 1000) + "] ";
    EXPECT_EQ(text.rfind("[1.11] Strovane QX0000000001::" + eventMark, 0), 0u) << text;
    EXPECT_NE(text.find(":[10.61] revision 0301.:[10.60] Product: QRVZX ARRAY"), std::string::npos)
        << text;

    // After its trap the agent reads the states again: the MIB then shows
    // the array as no longer good, and the other array as it was.
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    std::string first;
    while (platform::MonotonicMs() < end) {
        const SnmpRun get = master_.Get(Var(".3.1.6.1"));
        first = get.variables.empty() ? "" : get.variables[0].value;
        if (first != "2") {
            break;
        }
        ::usleep(50000);
    }
    EXPECT_NE(first, "2");
    EXPECT_NE(first, "1");
    EXPECT_EQ(master_.Get(Var(".3.1.6.2")).variables.at(0).value, "2");
}

// A member fails and the spare takes its place: once the rebuild ended, the
// failed drive is the array's only fault (no spare is wanted), and the
// table's status says that the array needs attention (3).
TEST_F(SnmpHostTrapTest, AFailedMemberShowsInTheTableOnceTheRebuildEnded) {
    const clitest::ProgramResult tune =
        clitest::RunProgram(root_, "dktune", {"-h", "off", "QX0000000001"});
    ASSERT_EQ(tune.exitCode, 0) << tune.err;
    StartHost();
    ASSERT_TRUE(AwaitStatuses(2, "2"));
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A2"}), 0);
    ASSERT_EQ(Strovsim({"advance", "130000"}), 0);
    // dkview's state request makes the service read the array; its events
    // make the agent read the states again.
    const dkviewtest::DkviewResult look =
        dkviewtest::RunDkview(root_, {"-d", "-S", "QX0000000001"});
    ASSERT_EQ(look.exitCode, 0) << look.err;
    ASSERT_NE(look.out.find("PD:A2:4:"), std::string::npos) << look.out;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    std::string first;
    while (platform::MonotonicMs() < end) {
        const SnmpRun get = master_.Get(Var(".3.1.6.1"));
        first = get.variables.empty() ? "" : get.variables[0].value;
        if (first == "3") {
            break;
        }
        ::usleep(50000);
    }
    EXPECT_EQ(first, "3");
    EXPECT_EQ(master_.Get(Var(".3.1.6.2")).variables.at(0).value, "2");
}

TEST_F(SnmpHostTest, TheAgentShowsALostServiceAndRecoversWhenItReturns) {
    StartHost();
    ASSERT_TRUE(AwaitStatuses(2, "2"));
    const std::vector<std::string> serials = ListedSerials();
    ASSERT_EQ(serials.size(), 2u);
    server_.Process().Signal(SIGTERM);
    ASSERT_EQ(server_.Process().WaitExit(kLimitMs), 0);
    // The sessions are gone: no subsystem has a state.
    ASSERT_TRUE(AwaitStatuses(2, "1"));
    EXPECT_TRUE(testsupport::WaitForEventLogText("[1.4] ", kLimitMs));
    // Meanwhile the first array's controller fails: no event tells it.
    ASSERT_EQ(Strovsim({"fail-controller", "0", "Y"}), 0);

    testsupport::ServerProcess again(root_, ORU_BIN_DIR);
    std::vector<std::string> env = {"ORU_TIME_SCALE=100"};
    env.insert(env.end(), kServerEnvironment.begin(), kServerEnvironment.end());
    ASSERT_TRUE(again.Start(env)) << again.Process().StartError();
    // The first round with the service back traps the first array's new
    // status; the other array is good again.
    std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (StatusTraps(serials[0]).empty() && platform::MonotonicMs() < end) {
        ::usleep(20000);
    }
    const std::vector<int> told = StatusTraps(serials[0]);
    ASSERT_EQ(told.size(), 1u) << master_.TrapDaemon().Stdout();
    EXPECT_NE(told[0], 2);
    EXPECT_NE(told[0], 1);
    EXPECT_EQ(master_.Get(Var(".3.1.6.1")).variables.at(0).value, std::to_string(told[0]));
    EXPECT_EQ(master_.Get(Var(".3.1.6.2")).variables.at(0).value, "2");

    // Three more rounds, each after a trap of the other array (a pulled
    // drive), each on sessions made anew: the first array's status is not
    // trapped again.
    for (const char* slot : {"A1", "B1", "A2"}) {
        const int builds = TableBuilds();
        ASSERT_EQ(Strovsim({"pull", "1", slot}), 0);
        const dkviewtest::DkviewResult look = dkviewtest::RunDkview(root_, {"-c", serials[1]});
        ASSERT_EQ(look.exitCode, 0) << look.err;
        end = platform::MonotonicMs() + kLimitMs;
        while (TableBuilds() == builds && platform::MonotonicMs() < end) {
            ::usleep(20000);
        }
        ASSERT_GT(TableBuilds(), builds) << slot;
    }
    EXPECT_EQ(StatusTraps(serials[0]), told) << master_.TrapDaemon().Stdout();
    again.Process().Signal(SIGTERM);
    EXPECT_EQ(again.Process().WaitExit(kLimitMs), 0);
}

// Whether a TCP connection to the local port is established (from any side
// of this machine), read from the kernel's table.
bool ConnectedTo(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "01" && remote.size() > 5 && remote.substr(remote.size() - 5) == wanted) {
            return true;
        }
    }
    return false;
}

TEST_F(SnmpHostTest, AStuckServiceNeitherHoldsUpSnmpdNorTheHostsStop) {
    // The service accepts connections but answers nothing.
    ASSERT_TRUE(server_.Process().Signal(SIGSTOP));
    StartHost();
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (!ConnectedTo(ports_.tcp) && platform::MonotonicMs() < end) {
        ::usleep(10000);
    }
    ASSERT_TRUE(ConnectedTo(ports_.tcp));
    // The agent's poll thread waits on the service; snmpd still answers,
    // the view is just empty.
    const SnmpRun walk = master_.Walk(kView, "2c");
    EXPECT_EQ(walk.exitCode, 0) << walk.err;
    EXPECT_EQ(master_.Get(".1.3.6.1.2.1.1.3.0").exitCode, 0);

    host_.Signal(SIGTERM);
    EXPECT_EQ(host_.WaitExit(kLimitMs), 0) << host_.Stderr();
    // It left the poll thread behind rather than wait for the service.
    EXPECT_TRUE(testsupport::WaitForEventLogText("[1.5] ", kLimitMs));
    server_.Process().Signal(SIGCONT);
}

TEST(SnmpHost, WithoutTheAgentsCatalogTheHostDoesNotStart) {
    testsupport::FreshRoot root;
    testsupport::ChildProcess host;
    ASSERT_TRUE(host.Start(testsupport::ProgramPath(ORU_BIN_DIR, "oru-snmp-host"),
                           {"-f", "-x", "unix:" + root.File("no-master.sock")},
                           {"ORU_ROOT=" + root.Path(), "ORU_EVENTLOG_SYSLOG=0", "LANG=C",
                            "ORU_NLSPATH=" + root.File("no-catalogs")}));
    EXPECT_EQ(host.WaitExit(kLimitMs), 1);
    EXPECT_TRUE(testsupport::WaitForEventLogText(
        "Unable to open the ORUAgent catalog file... Exiting!", kLimitMs));
}

TEST(SnmpHost, TheCommandLineGetsTheUsage) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        bool onStdout;
    };
    const Case kCases[] = {
        {{"-q"}, 2, false}, {{"-f", "extra"}, 2, false}, {{"-?"}, 0, true}, {{"-h"}, 0, true}};
    for (const Case& c : kCases) {
        testsupport::ChildProcess host;
        ASSERT_TRUE(host.Start(testsupport::ProgramPath(ORU_BIN_DIR, "oru-snmp-host"), c.arguments,
                               {"LANG=xx", std::string("ORU_NLSPATH=") + ORU_NLS_DIR}));
        EXPECT_EQ(host.WaitExit(kLimitMs), c.exitCode) << c.arguments[0];
        const std::string usage = c.onStdout ? host.Stdout() : host.Stderr();
        EXPECT_EQ(usage.rfind("[2.1] usage: oru-snmp-host [-f] [-x SOCKET]", 0), 0u)
            << c.arguments[0] << ": " << host.Stdout() << host.Stderr();
    }
}

TEST(SnmpHost, InTheForegroundTheAgentsReportsAlsoGoToStandardError) {
    // A machine root whose service does not run.
    testsupport::FreshRoot root;
    testsupport::ChildProcess host;
    ASSERT_TRUE(
        host.Start(testsupport::ProgramPath(ORU_BIN_DIR, "oru-snmp-host"),
                   {"-f", "-x", "unix:" + root.File("no-master.sock")},
                   {"ORU_ROOT=" + root.Path(), "ORU_TIME_SCALE=100", "ORU_EVENTLOG_SYSLOG=0",
                    "ORUHOST=127.0.0.1", "LANG=xx", std::string("ORU_NLSPATH=") + ORU_NLS_DIR}));
    EXPECT_TRUE(host.WaitForStderr("[1.4] ", kLimitMs)) << host.Stderr();
    host.Signal(SIGTERM);
    EXPECT_EQ(host.WaitExit(kLimitMs), 0) << host.Stderr();
}

}  // namespace
