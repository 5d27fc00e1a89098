// dksalvage and strovsim as processes: the controller log printed and
// cleared, a recovery and a parity scan run to their end, the refusal of an
// old revision, a menu nobody answers, and a controller that goes away in
// the middle; each with the commands strovsim saw, in order.
#include <gtest/gtest.h>

#include <csignal>

#include "SalvageOutput.h"
#include "SalvageProcess.h"
#include "sim/RecoveryScenario.h"

namespace {

using namespace salvagetest;

const std::string kId = sim::RecoveryScenario::kSerial;

// The commands, as strovsim's trace shows them.
const std::string kScanIdentity = "1201e0004400";  // INQUIRY 0xE0, 68 bytes
const std::string kSerial = "120180003000";        // INQUIRY 0x80, 48 bytes
const std::string kIdentity = "1201e0001c00";      // INQUIRY 0xE0, 28 bytes
const std::string kDriveListHead = "22000000000000000200";
const std::string kDriveList = "2200000000000001bb00";  // five entries of 88 bytes
const std::string kState = "20000000000000002000";
const std::string kPage22 = "5a082200000000002a00";
const std::string kLogHead = "f2000001000000000300";
const std::string kLog = "f2000001000000004d00";         // four records, 74 bytes
const std::string kLogConsume = "f2020001000000004d00";  // the same, consumed
const std::string kDefaultSet = "fa000000000000001000";

// The scan of the array paths and the open of the array through X (the
// active controller, found first): its serial page, identity, drive list,
// state and page 0x22.
std::vector<std::string> Opening() {
    return {kScanIdentity,  kSerial,    kSerial, kIdentity,
            kDriveListHead, kDriveList, kState,  kPage22};
}

std::vector<std::string> Plus(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

class SalvageEndToEnd : public SalvageProcessTest {};

TEST_F(SalvageEndToEnd, TheLogIsPrintedAndClearedWithExactlyItsCommands) {
    ServeScenario("needs-recovery");
    ProcessResult dump = RunSalvage({"-l", kId});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(Count(dump.out, Mark(18, 38)), 1u);
    EXPECT_EQ(Count(dump.out, Mark(18, 49)), 2u);
    EXPECT_EQ(Count(dump.out, Mark(18, 59)), 1u);
    EXPECT_NE(dump.out.find(Mark(18, 41) + "    Event                            = " +
                            Mark(2, 102) + " Drive failed."),
              std::string::npos);
    EXPECT_NE(dump.out.find("   LBA                              = 123456\n"), std::string::npos);
    EXPECT_NE(dump.out.find(Mark(201, 34) + " 4 records"), std::string::npos);
    EXPECT_EQ(Cdbs("STROVANE0"), Plus(Opening(), {kLogHead, kLog}));
    // Y answered the scan and told the search which array it belongs to
    // (every controller is asked, so that an id two cabinets answer to is
    // seen); nothing else.
    EXPECT_EQ(Cdbs("STROVANE1"), (std::vector<std::string>{kScanIdentity, kSerial, kSerial}));

    ClearTraces();
    ProcessResult clear = RunSalvage({"-lc", kId});
    EXPECT_EQ(clear.exitCode, 0) << clear.err;
    EXPECT_NE(clear.out.find(Mark(201, 35)), std::string::npos);
    EXPECT_EQ(Cdbs("STROVANE0"), Plus(Opening(), {kLogHead, kLog, kLogHead, kLogConsume}));

    ProcessResult after = RunSalvage({"-l", kId});
    EXPECT_NE(after.out.find(Mark(201, 34) + " 0 records"), std::string::npos);
}

TEST_F(SalvageEndToEnd, ARecoveryRunsToItsEndWithItsProgressLines) {
    ServeScenario("needs-recovery");
    // The work moves at a fifth of the tool's speed: its busy first 3 s last
    // 150 ms, several of the tool's 20 ms busy waits, however late the first
    // read comes on a loaded machine.
    ASSERT_EQ(sim->Control({"timescale", "20"}), 0);
    ProcessResult run = RunSalvage({"-p", "-c", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(202, 26)), std::string::npos);
    EXPECT_TRUE(Rising(Progress(run.out))) << run.out;

    // The open, the command, the reads while the controller is busy, the
    // polls, and the last look at the state.
    const std::vector<std::string> cdbs = Cdbs("STROVANE0");
    EXPECT_EQ(Folded(cdbs),
              Folded(Plus(Opening(), {kDefaultSet, kState, kPage22, kState, kPage22})));
    const auto busyReads = Repeats(cdbs, kState);
    ASSERT_EQ(busyReads.size(), 3u);
    EXPECT_GE(busyReads[1], 2u);  // busy at first
    const auto polls = Repeats(cdbs, kPage22);
    ASSERT_EQ(polls.size(), 3u);
    EXPECT_GE(polls[1], 3u);

    EXPECT_EQ(CabinetState(), 0);
    const auto drives = DriveLines();
    ASSERT_GE(drives.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(drives[i].find(" state 0 "), std::string::npos) << drives[i];
    }
    ProcessResult status = RunSalvage({"-s", kId});
    EXPECT_NE(status.out.find(Mark(202, 1)), std::string::npos);
}

TEST_F(SalvageEndToEnd, AParityScanRunsToItsEnd) {
    ServeScenario("parity-scan");
    ProcessResult run = RunSalvage({"-t", "-C", "-override", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(201, 27)), std::string::npos);
    // The default volume-set command starts the scan here: its announcement
    // says so, not only that a set is recovered.
    const std::size_t sent = run.out.find(Mark(202, 26));
    ASSERT_NE(sent, std::string::npos) << run.out;
    const std::string announced = run.out.substr(sent, run.out.find('\n', sent) - sent);
    EXPECT_NE(announced.find("parity"), std::string::npos) << announced;
    for (int item : {140, 144, 120, 123}) {
        EXPECT_NE(run.out.find(Mark(201, item)), std::string::npos) << item;
    }
    // With -override the explanation asks for no choice.
    EXPECT_EQ(run.out.find(Mark(202, 28)), std::string::npos);
    const auto progress = Progress(run.out);
    EXPECT_TRUE(Rising(progress)) << run.out;
    // -C: one progress line under the other.
    EXPECT_EQ(Count(run.out, "\n" + Mark(202, 19)), progress.size());
    const auto folded = Folded(Cdbs("STROVANE0"));
    EXPECT_EQ(std::count(folded.begin(), folded.end(), kDefaultSet), 1);
    ProcessResult after = RunSalvage({"-s", kId});
    EXPECT_NE(after.out.find(Mark(202, 1)), std::string::npos) << after.out;
}

TEST_F(SalvageEndToEnd, AnOldRevisionIsRefusedAfterTheOpenAlone) {
    ServeScenario("old-firmware");
    ProcessResult run = RunSalvage({"-p", "-c", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 36)), std::string::npos);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Cdbs("STROVANE0"), Opening());
    EXPECT_EQ(CabinetState(), 4);
}

TEST_F(SalvageEndToEnd, WithNobodyToChooseNothingIsSent) {
    ServeScenario("conditions");
    ProcessResult run = RunSalvage({"-p", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find(Mark(202, 28)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 23)), std::string::npos);
    EXPECT_NE(run.err.find(Mark(201, 38)), std::string::npos);
    // The open, then the log counted for the state display.
    EXPECT_EQ(Cdbs("STROVANE0"), Plus(Opening(), {kLogHead, kLog}));
}

TEST_F(SalvageEndToEnd, AControllerThatGoesAwayEndsTheRun) {
    ServeScenario("needs-recovery");
    // The tool waits ten times faster, so that its seven retries of the lost
    // progress read pass quickly; the work moves at half the usual speed.
    ASSERT_EQ(sim->Control({"timescale", "50"}), 0);
    testsupport::ChildProcess process;
    ASSERT_TRUE(Start(process, {"-p", "-C", kId}, {"ORU_TIME_SCALE=1000"}));
    ASSERT_TRUE(process.WaitForStdout(Mark(202, 19), kProcessLimitMs)) << process.Stderr();
    ASSERT_EQ(sim->Control({"remove-path", "STROVANE0"}), 0);
    const int code = process.WaitExit(kProcessLimitMs);
    if (code == -1) {
        process.Signal(SIGKILL);
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(Count(process.Stdout(), Mark(201, 29)), 7u) << process.Stdout();
    EXPECT_NE(process.Stderr().find(Mark(201, 20)), std::string::npos);
}

}  // namespace
