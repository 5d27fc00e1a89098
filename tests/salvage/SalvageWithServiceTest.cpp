// dksalvage while OruServr polls the same array through the same path: the
// recovery runs to its end, its commands reach the controller in its order
// between the service's, and the service goes on.
#include <gtest/gtest.h>

#include <csignal>

#include "SalvageOutput.h"
#include "SalvageProcess.h"
#include "sim/RecoveryScenario.h"
#include "support/ServerProcess.h"

namespace {

using namespace salvagetest;

const std::string kId = sim::RecoveryScenario::kSerial;
const std::string kDefaultSet = "fa000000000000001000";
const std::string kState = "20000000000000002000";
const std::string kPage22 = "5a082200000000002a00";
const std::string kLogHead = "f2000001000000000300";
const std::string kLog = "f2000001000000004d00";

class SalvageWithService : public SalvageProcessTest {
  protected:
    void TearDown() override {
        if (server && server->Process().Running()) {
            server->Process().Signal(SIGTERM);
            server->Process().WaitExit(20000);
        }
    }

    std::unique_ptr<testsupport::ServerProcess> server;
};

TEST_F(SalvageWithService, ARecoveryRunsWhileTheServicePollsTheArray) {
    ServeScenario("needs-recovery");
    server = std::make_unique<testsupport::ServerProcess>(root, ORU_BIN_DIR);
    // A status poll every 50 ms, no preventive check (it would consume the
    // controller log).
    ASSERT_TRUE(server->Start({"ORU_SMON_INTERVAL=1", "ORU_PLOG_INTERVAL=0", "ORU_TIME_SCALE=20"}));
    ASSERT_TRUE(server->WaitUntilRunning(30000)) << server->Process().Stderr();
    ClearTraces();

    ProcessResult run = RunSalvage({"-p", "-c", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Rising(Progress(run.out))) << run.out;

    const std::vector<std::string> cdbs = Cdbs("STROVANE0");
    EXPECT_EQ(std::count(cdbs.begin(), cdbs.end(), kDefaultSet), 1);
    // The service's state builds went on while the work ran: commands the
    // tool never sends (LUN table, capacity, raw page) came after its own.
    const auto command = std::find(cdbs.begin(), cdbs.end(), kDefaultSet);
    const auto theService = std::count_if(command, cdbs.end(), [](const std::string& cdb) {
        return cdb.rfind("23", 0) == 0 || cdb.rfind("24", 0) == 0 || cdb.rfind("ef", 0) == 0;
    });
    EXPECT_GT(theService, 0);
    EXPECT_TRUE(
        IsSubsequence({kState, kPage22, kDefaultSet, kState, kPage22, kState, kPage22}, cdbs));
    EXPECT_EQ(CabinetState(), 0);

    // The log is the controller's still: the tool reads it whole while the
    // service goes on polling.
    ProcessResult dump = RunSalvage({"-l", kId});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_NE(dump.out.find(Mark(201, 34) + " 4 records"), std::string::npos);
    EXPECT_TRUE(server->Process().Running());
}

}  // namespace
