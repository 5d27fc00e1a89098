// The programs that work on drives and their logs, against the real service
// over the simulator (ServiceFixture.h): drives taken into the array and
// down, drive tests started, watched and cancelled, a drive reset, the
// controller's and a drive's logs read and cleared. Each outcome is checked
// in the simulator's state or in the commands its paths received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ServiceFixture.h"
#include "platform/Clock.h"

namespace clitest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kB6 = 11;
constexpr int kA2 = 2;
constexpr int kA6 = 10;
constexpr int kB4 = 7;
// The service writes an event's text as it reports the event.
constexpr int kLogWaitMs = 5000;
// Ten chunks of a verify.
constexpr std::uint32_t kSmallDriveBlocks = 1200;

class DriveProgramsTest : public ProgramsOnServiceTest {
  protected:
    // A new drive, not yet in the array, in slot B6 of the first cabinet,
    // and a small one in B4 that a verify covers in a few steps; grown
    // defects and error counters on the drive in A2.
    void Prepare(sim::WorldModel& world) override {
        sim::CabinetModel& cabinet = world.cabinets.at(0);
        sim::DriveModel drive = cabinet.drives[0];
        drive.state = sim::kDriveNew;
        drive.serial = "D1NEWB600000";
        drive.volumeSetId.clear();
        cabinet.drives[kB6] = drive;
        drive.serial = "D1NEWB400000";
        drive.blocks = kSmallDriveBlocks;
        cabinet.drives[kB4] = drive;
        sim::DriveModel& a2 = cabinet.drives[kA2];
        for (std::uint32_t i = 0; i < 20; ++i) {
            a2.defects.push_back({100 + i, static_cast<std::uint8_t>(i % 4), 5000 + i});
        }
        a2.errorCounters = {1, 2, 3, 4, 5, 6, 7};
        a2.nonMediumErrors = 9;
        // A small new drive in A6 that a write/read test covers whole.
        sim::DriveModel small = drive;
        small.serial = "D1NEWA600000";
        small.blocks = 16384;
        cabinet.drives[kA6] = small;
        // The second power supply of the second cabinet has failed.
        world.cabinets.at(1).hardware2 = {1, 2};
    }

    // Runs dkview on the second cabinet until its output holds text.
    bool ViewUntil(const std::string& text, std::string* last) {
        const std::uint64_t end = platform::MonotonicMs() + kRunLimitMs;
        while (platform::MonotonicMs() < end) {
            *last = Run("dkview", {"CABINET2"}).out;
            if (last->find(text) != std::string::npos)
                return true;
            platform::SleepMs(50);
        }
        return false;
    }

    // Runs dkwatch on the slot until its output holds one of the texts; that
    // run.
    ProgramResult WatchUntilAny(const std::string& slot, const std::vector<std::string>& texts) {
        const std::uint64_t end = platform::MonotonicMs() + kRunLimitMs;
        ProgramResult run;
        while (platform::MonotonicMs() < end) {
            run = Run("dkwatch", {"-D", slot, "CABINET1"});
            for (const std::string& text : texts) {
                if (run.out.find(text) != std::string::npos) {
                    return run;
                }
            }
            platform::SleepMs(50);
        }
        return run;
    }

    // Runs dkwatch on the slot until its output holds text.
    bool WatchUntil(const std::string& slot, const std::string& text) {
        const std::uint64_t end = platform::MonotonicMs() + kRunLimitMs;
        while (platform::MonotonicMs() < end) {
            if (Run("dkwatch", {"-D", slot, "CABINET1"}).out.find(text) != std::string::npos) {
                return true;
            }
            platform::SleepMs(50);
        }
        return false;
    }
};

TEST_F(DriveProgramsTest, DklayoutTakesDrivesIntoTheArrayAndDown) {
    ProgramResult run = Run("dklayout", {"-D", "B6", "-a", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(1, 9) + " Drive B6: added to the array.\n");
    EXPECT_EQ(Cabinet(0).drives[kB6].state, sim::kDriveMember);

    run = Run("dklayout", {"-D", "B6", "-d", "-V", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("DownPhysicalDrive(11, DT_NO_ALLOWANCE, " + Mark(10, 10)));
    EXPECT_THAT(run.out, HasSubstr(Mark(1, 10) + " Drive B6: taken down."));
    EXPECT_EQ(Cabinet(0).drives[kB6].state, sim::kDriveDowned);
    // A drive that is down already: the service says so, and nothing failed.
    run = Run("dklayout", {"-D", "B6", "-d", "CABINET1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dklayout:  " + Mark(9, 256)));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 23) + " The drive is already down."));
    EXPECT_THAT(run.err, Not(HasSubstr(Mark(9, 164))));
    EXPECT_EQ(run.out, Mark(1, 10) + " Drive B6: taken down.\n");
    EXPECT_EQ(Cabinet(0).drives[kB6].state, sim::kDriveDowned);

    // Without its redundancy the array refuses to lose another member
    // unless the request allows it.
    run = Run("dklayout", {"-D", "A1", "-d", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 138)));
    EXPECT_EQ(Cabinet(0).drives[0].state, sim::kDriveMember);
    run = Run("dklayout", {"-D", "A1", "-d", "-Z", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(0).drives[0].state, sim::kDriveDowned);
}

TEST_F(DriveProgramsTest, DkprobeStartsTestsThatDkwatchFollowsAndCancels) {
    // A write/read test over the whole drive runs long enough to be seen.
    ProgramResult run = Run("dkprobe", {"-D", "B6", "-w", "100", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(3, 3) + " The drive test was started; dkwatch shows its progress.\n");
    run = Run("dkwatch", {"CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(8, 1) + " Write/read test of drive B6: "));
    EXPECT_THAT(run.out, HasSubstr("% done."));
    EXPECT_THAT(run.out, HasSubstr(Mark(8, 16) + " running."));
    // The data go to the drive in B6 (exchanges with data out to slot 11).
    EXPECT_THAT(Trace("PHYSICALDRIVE1") + Trace("STROVANE0"), HasSubstr("cdb=27020b"));

    // No format while a write/read test runs.
    run = Run("dkwipe", {"-F", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 35)));
    EXPECT_TRUE(Cabinet(0).luns[0].present);

    run = Run("dkwatch", {"-D", "B6", "-c", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(8, 44) + " Cancelling the test on drive B6.\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(8, 17) + " cancelled."));
    run = Run("dkwatch", {"-D", "B6", "-c", "CABINET1"});
    EXPECT_EQ(run.out, Mark(8, 45) + " No test runs on drive B6.\n");

    // A verify of one percent runs to its end.
    run = Run("dkprobe", {"-d", "b6", "-r", "1", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(WatchUntil("B6", Mark(8, 2) + " Verify of drive B6: " + Mark(8, 14)));
    EXPECT_THAT(Trace("PHYSICALDRIVE1") + Trace("STROVANE0"), HasSubstr("cdb=27010b"));
}

// A write/read test of a whole drive keeps the simulator's state file
// small: the written blocks are kept beside it, not in it.
TEST_F(DriveProgramsTest, AWriteReadTestOfAWholeDriveLeavesTheStateFileSmall) {
    const std::size_t before = root_.Read("sim/state.json").size();
    ProgramResult run = Run("dkprobe", {"-D", "A6", "-w", "100", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(WatchUntil("A6", Mark(8, 1) + " Write/read test of drive A6: " + Mark(8, 14)));
    ASSERT_EQ(Strovsim({"log", "0", "1", "A6"}), 0);
    // 8 MiB were written; the state file grew by a log entry's worth.
    EXPECT_LT(root_.Read("sim/state.json").size(), before + 64 * 1024);
    EXPECT_EQ(Cabinet(0).drives[kA6].state, sim::kDriveNew);
}

// A RAID 5 unit that lost two of its members holds no data any more: the
// controller marks it failed, and dkview tells that its data are
// unavailable, where with one member lost the unit only rebuilds.
TEST_F(DriveProgramsTest, AUnitThatLostTwoMembersReadsAsFailed) {
    std::string shown;
    ASSERT_EQ(Strovsim({"pull", "1", "A1"}), 0);
    EXPECT_EQ(Cabinet(1).luns[0].state, sim::kLunRebuilding);
    const ProgramResult one = Run("dkview", {"CABINET2"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_THAT(one.out, Not(HasSubstr(Mark(9, 225)))) << one.out;
    ASSERT_EQ(Strovsim({"pull", "1", "B1"}), 0);
    EXPECT_TRUE(ViewUntil(Mark(9, 225), &shown)) << shown;  // "Data unavailable"
    EXPECT_EQ(Cabinet(1).luns[0].state, sim::kLunFailed);
    EXPECT_EQ(Cabinet(1).luns[1].state, sim::kLunFailed);
}

// A failed power supply is a condition of the cabinet, as a failed fan is.
TEST_F(DriveProgramsTest, AFailedPowerSupplyIsAConditionOfTheCabinet) {
    std::string shown;
    EXPECT_TRUE(ViewUntil(Mark(9, 236), &shown)) << shown;  // "Power supply failed"
    EXPECT_THAT(Run("dkview", {"CABINET1"}).out, Not(HasSubstr(Mark(9, 236))));
}

TEST_F(DriveProgramsTest, AVerifyThatFoundUnreadableBlocksEndsWithErrors) {
    // Three bad chunks of ten: fewer than the verify stops at.
    for (const char* block : {"1100", "5", "700"}) {
        ASSERT_EQ(Strovsim({"media-error", "0", "B4", block, "1"}), 0);
    }
    ProgramResult run = Run("dkprobe", {"-D", "B4", "-r", "100", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string verify = Mark(8, 2) + " Verify of drive B4: ";
    run = WatchUntilAny("B4", {verify + Mark(8, 14), verify + Mark(8, 15)});
    EXPECT_THAT(run.out, HasSubstr(verify + Mark(8, 15) + " finished with errors.\n"));
    EXPECT_THAT(run.out, Not(HasSubstr("passed")));
    // How many chunks failed, and the first of them (block 5 lies in the
    // chunk from block 0), with the failed command and its sense data.
    EXPECT_THAT(run.out,
                HasSubstr(Mark(8, 32) + "    Chunks that failed: 3, the first at block 0.\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(8, 25) + " VERIFY at block 0, 120 blocks; sense data:"));
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    // The service's event log tells the same.
    const std::string logged =
        "Drive verify finished: 7, 0. Chunks that failed: 3, the first at block 0.";
    EXPECT_TRUE(testsupport::WaitForEventLogText(logged, kLogWaitMs)) << [] {
        std::string texts;
        for (const std::string& text : testsupport::EventLogTexts()) {
            texts += text.find("Drive verify") != std::string::npos ? text + "\n" : "";
        }
        return texts;
    }();

    // A clean verify still passes, and says so with exit 0.
    ASSERT_EQ(Strovsim({"clear-media-errors", "0", "B4"}), 0);
    run = Run("dkprobe", {"-D", "B4", "-r", "100", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = WatchUntilAny("B4", {verify + Mark(8, 14), verify + Mark(8, 15)});
    EXPECT_THAT(run.out, HasSubstr(verify + Mark(8, 14) + " passed.\n"));
    EXPECT_THAT(run.out, Not(HasSubstr(Mark(8, 32))));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
}

TEST_F(DriveProgramsTest, DkprobeResetsAFailedDrive) {
    ASSERT_EQ(Strovsim({"fail-drive", "0", "B6"}), 0);
    ASSERT_EQ(Cabinet(0).drives[kB6].state, sim::kDriveFailed);
    const ProgramResult run = Run("dkprobe", {"-D", "B6", "-s", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(3, 19) + " The drive was reset.\n");
    EXPECT_EQ(Cabinet(0).drives[kB6].state, sim::kDriveNew);
}

TEST_F(DriveProgramsTest, DkjournalReadsAndClearsTheLogsTheArrayKeeps) {
    ASSERT_EQ(Strovsim({"log", "0", "102", "A2"}), 0);
    ProgramResult run = Run("dkjournal", {"-e", "-u", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 15) + " Controller X is the active controller."));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 33) + " Drive event\n" + Mark(14, 34) + "    At "));
    EXPECT_THAT(run.out, HasSubstr(": " + Mark(2, 102) + " Drive failed.\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 37) + "    Drive slot:     A2"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 56)));

    run = Run("dkjournal", {"-d", "A2", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 27) + " Drive A2:"));
    // The drive counts read errors at half, verify errors at a quarter of
    // the write errors.
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 75) + " Write error counters:\n" + Mark(14, 80) +
                                   "    Errors corrected at once:          1\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 86) + "    Errors not corrected:              7\n" +
                                   Mark(14, 76) + " Read error counters:\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 86) + "    Errors not corrected:              3\n" +
                                   Mark(14, 77) + " Verify error counters:\n"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 100) + "    Count:  9\n"));
    // Twenty defects: asked for 96 bytes, then for all 164.
    EXPECT_THAT(run.out, HasSubstr("100       0         5000      \n"));
    EXPECT_THAT(run.out, HasSubstr("119       3         5019      \n\n"));
    const std::string trace = Trace("PHYSICALDRIVE1") + Trace("STROVANE0");
    EXPECT_THAT(trace, HasSubstr("cdb=270302000a0000006000"));
    EXPECT_THAT(trace, HasSubstr("cdb=270302000a000000a400"));

    run = Run("dkjournal", {"-C", "-d", "A2", "-C", "-c", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const sim::CabinetModel cleared = Cabinet(0);
    for (std::uint32_t counter : cleared.drives[kA2].errorCounters) {
        EXPECT_EQ(counter, 0u);
    }
    EXPECT_EQ(cleared.drives[kA2].nonMediumErrors, 0u);
    EXPECT_TRUE(cleared.controllerLog.empty());
    run = Run("dkjournal", {"-e", "-d", "B5", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 54)));
    EXPECT_THAT(run.out, HasSubstr(Mark(15, 12) + " There is no drive in slot B5."));
}

}  // namespace
}  // namespace clitest
