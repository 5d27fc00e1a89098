#include "SnmpHostRun.h"

#include "DkviewRun.h"

namespace agenttest {

namespace {

constexpr int kConnectLimitMs = 30000;

}  // namespace

::testing::AssertionResult StartSnmpHost(testsupport::ChildProcess& host,
                                         testsupport::SnmpMaster& master,
                                         const testsupport::FreshRoot& root,
                                         const std::vector<std::string>& environment) {
    std::vector<std::string> env = master.Environment();
    const std::vector<std::string> ours = {"ORU_ROOT=" + root.Path(),
                                           "ORU_TIME_SCALE=100",
                                           "ORU_EVENTLOG_SYSLOG=0",
                                           "ORUHOST=127.0.0.1",
                                           "LANG=xx",
                                           std::string("ORU_NLSPATH=") + ORU_NLS_DIR};
    env.insert(env.end(), ours.begin(), ours.end());
    env.insert(env.end(), environment.begin(), environment.end());
    if (!host.Start(testsupport::ProgramPath(ORU_BIN_DIR, "oru-snmp-host"),
                    {"-f", "-x", master.AgentXSocket()}, env)) {
        return ::testing::AssertionFailure() << host.StartError();
    }
    if (!host.WaitForStderr("AgentX subagent connected", kConnectLimitMs)) {
        return ::testing::AssertionFailure() << host.Stderr();
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> ListedSerials(const testsupport::FreshRoot& root) {
    const dkviewtest::DkviewResult list = dkviewtest::RunDkview(root, {"-S", "-i"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    std::string line = list.out.substr(0, list.out.find('\n'));
    line.erase(line.find_last_not_of(' ') + 1);
    std::vector<std::string> serials = dkviewtest::Fields(line);
    if (!serials.empty()) {
        serials.erase(serials.begin());  // "I"
    }
    return serials;
}

}  // namespace agenttest
