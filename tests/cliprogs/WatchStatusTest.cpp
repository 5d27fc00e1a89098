// dkwatch's status print over command lists built by the test: the tests in
// progress and the results of one slot or all, the failure detail with its
// sense bytes (never more than the record holds), and the byte dump.
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "cli/dkwatch/Dkwatch.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/OruServerState.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace dkwatch;

class WatchStatusTest : public CliTest {
  protected:
    static std::string Status(const OruServerState& server, std::int32_t slot) {
        std::ostringstream out;
        PrintSlotStatus(server, slot, out);
        return out.str();
    }
    static DiagCommandResults Result(MESSAGE_CODE code, std::uint32_t slot, DIAG_STATE state,
                                     std::uint32_t failed = 256, std::uint32_t block = 0,
                                     std::uint32_t blocks = 0) {
        oruerr error;
        return DiagCommandResults(code, state == 3 ? 1 : 0, slot, state, failed, block, blocks,
                                  &error);
    }
};

TEST_F(WatchStatusTest, ASlotShowsItsRunningTestsAndItsResults) {
    OruServerState server;
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(7, 3), MC_VerifyPhysicalDrive, 2, 255, 40));
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(8, 3), MC_TestPhysicalDrive, 5, 255, 10));
    server.commandResults.AddElement(Result(MC_TestPhysicalDrive, 2, static_cast<DIAG_STATE>(3)));
    server.commandResults.AddElement(CommandResults(COMMAND_RESULTS, MC_CreateLUN, 1, nullptr));
    EXPECT_EQ(Status(server, 2),
              Mark(8, 29) + " " + Mark(8, 2) + " Verify of drive A2: 40% done.\n" + Mark(8, 30) +
                  " " + Mark(8, 1) + " Write/read test of drive A2: " + Mark(8, 14) + " passed.\n");
    // Slot B3 runs the other test; slot A1 has nothing.
    EXPECT_THAT(Status(server, 5), HasSubstr("drive B3: 10% done."));
    EXPECT_EQ(Status(server, 0), "");
    // All slots, in slot order.
    const std::string all = Status(server, kAllSlots);
    EXPECT_LT(all.find("drive A2"), all.find("drive B3"));
}

TEST_F(WatchStatusTest, AFailedTestShowsTheFailedCommandAndItsSenseBytes) {
    OruServerState server;
    DiagCommandResults failed =
        Result(MC_VerifyPhysicalDrive, 4, static_cast<DIAG_STATE>(4), 0x2F, 1200, 120);
    const unsigned char sense[] = {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x00};
    std::memcpy(failed.error.text, sense, sizeof sense);
    failed.error.senseValid = 1;
    server.commandResults.AddElement(failed);
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> all;
        std::istringstream in(Status(server, 4));
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }();
    ASSERT_EQ(lines.size(), 4u) << Status(server, 4);
    EXPECT_EQ(lines[1], Mark(8, 31) + "    Failed: " + Mark(8, 25) +
                            " VERIFY at block 1200, 120 blocks; sense data:");
    // Additional length 10: eighteen bytes.
    EXPECT_EQ(lines[2],
              "     0:  70 00 03 00 00 00 00 0a 00 00 00 00 11 00 00 00    p...............");
    EXPECT_EQ(lines[3], "    10:  00 00" + std::string(14 * 3, ' ') + "    ..");
}

TEST_F(WatchStatusTest, ATestThatRecordedAnErrorNeverShowsAsPassed) {
    // A verify that found two bad chunks, as a service reports it that ends
    // such a verify "finished": it failed all the same.
    OruServerState server;
    DiagCommandResults finished =
        Result(MC_VerifyPhysicalDrive, 4, DIAG_STATE_FINISHED, 0x2F, 2400, 120);
    DiagCommandResults::SetFailedChunks(finished.error, {{2400, 120}, {600, 120}});
    server.commandResults.AddElement(finished);
    std::ostringstream out;
    EXPECT_TRUE(PrintSlotStatus(server, kAllSlots, out));
    EXPECT_THAT(out.str(),
                HasSubstr("Verify of drive A3: " + Mark(8, 15) + " finished with errors.\n" +
                          Mark(8, 32) + "    Chunks that failed: 2, the first at block 600.\n" +
                          Mark(8, 31) + "    Failed: "));
    EXPECT_THAT(out.str(), Not(HasSubstr("passed")));
    // Without its list of chunks, its error code tells.
    server.commandResults.AddElement(
        Result(MC_VerifyPhysicalDrive, 4, DIAG_STATE_FINISHED, 0x2F, 2400, 120));
    EXPECT_THAT(Status(server, 4), HasSubstr(Mark(8, 15)));
    // A test that could not start failed too; one that passed, runs or was
    // cancelled did not.
    server.commandResults.AddElement(
        Result(MC_TestPhysicalDrive, 4, DIAG_STATE_COULD_NOT_START, 0));
    server.commandResults.AddElement(Result(MC_VerifyPhysicalDrive, 4, DIAG_STATE_FINISHED));
    EXPECT_TRUE(PrintSlotStatus(server, 4, out));
    OruServerState fine;
    for (DIAG_STATE state : {DIAG_STATE_FINISHED, DIAG_STATE_RUNNING, DIAG_STATE_CANCELLED}) {
        fine.commandResults.AddElement(Result(MC_VerifyPhysicalDrive, 4, state));
        EXPECT_FALSE(PrintSlotStatus(fine, 4, out)) << state;
    }
}

TEST_F(WatchStatusTest, TheSenseDumpNeverReadsPastTheRecord) {
    OruServerState server;
    DiagCommandResults failed = Result(MC_TestPhysicalDrive, 0, static_cast<DIAG_STATE>(4), 0x28);
    failed.error.text[7] = static_cast<char>(0xFF);  // 263 bytes claimed
    server.commandResults.AddElement(failed);
    const std::string status = Status(server, 0);
    // The 256 bytes of the record: sixteen lines, the last at offset 0xf0.
    EXPECT_THAT(status, HasSubstr("    f0: "));
    EXPECT_THAT(status, Not(HasSubstr("   100: ")));
}

TEST_F(WatchStatusTest, NamesOfCommandsStatusesAndFailedCommandsCoverEveryValue) {
    // Every result status has its word; only a test that ended with errors,
    // or whose status tells nothing of its end, shows the failed command and
    // its sense bytes.
    const struct {
        std::uint32_t status;
        std::string word;
        bool failed;
    } statuses[] = {
        {0, Mark(8, 11) + " no state", true},
        {1, Mark(8, 12) + " idle", true},
        {2, Mark(8, 13) + " could not start", false},
        {3, Mark(8, 14) + " passed", false},
        {4, Mark(8, 15) + " finished with errors", true},
        {5, Mark(8, 16) + " running", false},
        {6, Mark(8, 17) + " cancelled", false},
        {9, Mark(8, 18) + " state" + Mark(8, 4) + "  (9)", true},
    };
    for (const auto& each : statuses) {
        OruServerState server;
        // A test that passed recorded no error (with one it did not pass).
        const std::uint32_t code = each.status == 3 ? 256 : 0x2F;
        server.commandResults.AddElement(
            Result(MC_VerifyPhysicalDrive, 1, static_cast<DIAG_STATE>(each.status), code, 60, 120));
        const std::string status = Status(server, 1);
        const std::string line =
            Mark(8, 30) + " " + Mark(8, 2) + " Verify of drive B1: " + each.word + ".\n";
        if (each.failed) {
            EXPECT_EQ(status.substr(0, line.size()), line) << each.status;
            EXPECT_THAT(status, HasSubstr(Mark(8, 31) + "    Failed: ")) << each.status;
        } else {
            EXPECT_EQ(status, line) << each.status;
        }
    }
    // Every failed command has its name; the host's own checks count from 256.
    const struct {
        std::uint32_t code;
        std::string name;
    } commands[] = {
        {0x00, Mark(8, 23) + " TEST UNIT READY (the drive was not ready)"},
        {0x25, Mark(8, 22) + " READ CAPACITY"},
        {0x28, Mark(8, 26) + " READ"},
        {0x2E, Mark(8, 27) + " WRITE AND VERIFY"},
        {0x2F, Mark(8, 25) + " VERIFY"},
        {0x12, Mark(8, 28) + " SCSI command" + Mark(8, 4) + "  (18)"},
        {256, Mark(8, 24) + " no SCSI command (check 0)"},
        {257, Mark(8, 20) + " the data read back differed; " + Mark(8, 24) +
                  " no SCSI command (check 1)"},
    };
    for (const auto& each : commands) {
        OruServerState server;
        server.commandResults.AddElement(
            Result(MC_TestPhysicalDrive, 1, static_cast<DIAG_STATE>(4), each.code, 30, 30));
        EXPECT_THAT(Status(server, 1), HasSubstr("    Failed: " + each.name + " at block 30"))
            << each.code;
    }
    // A write/read test has its name, and any other request its code.
    OruServerState server;
    server.commandResults.AddElement(Result(MC_TestPhysicalDrive, 1, static_cast<DIAG_STATE>(3)));
    server.commandResults.AddElement(
        Result(static_cast<MESSAGE_CODE>(20), 1, static_cast<DIAG_STATE>(3)));
    const std::string status = Status(server, 1);
    EXPECT_THAT(status, HasSubstr(Mark(8, 1) + " Write/read test of drive B1: "));
    EXPECT_THAT(status, HasSubstr(Mark(8, 3) + " Request" + Mark(8, 4) + "  (20) of drive B1: "));
}

TEST_F(WatchStatusTest, TheDumpPadsItsLastLine) {
    std::ostringstream out;
    const unsigned char bytes[] = {'D', 'K', 0x00, 0x7F};
    DumpBytes(bytes, out);
    EXPECT_EQ(out.str(), "     0:  44 4b 00 7f" + std::string(12 * 3, ' ') + "    DK..\n");
    std::ostringstream none;
    DumpBytes({}, none);
    EXPECT_EQ(none.str(), "");
}

}  // namespace
