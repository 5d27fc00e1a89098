// What the service side sees of strovsim's faults, of the host-sequence
// lock and of the long operations: retries with REQUEST SENSE in between
// (read from strovsim's trace), short transfers, vanished paths, refusals
// carried with their data, and format, rebuild, shutdown and restart moving
// on in simulated time.
#include <algorithm>
#include <cerrno>

#include "ArraysFixture.h"
#include "platform/Clock.h"
#include "platform/scsi/ScsiDevice.h"

namespace arrays_test {
namespace {

// The opcode of each trace line ("op=12 ..." -> "12 00"), with its status.
std::vector<std::string> Steps(const std::vector<std::string>& trace) {
    std::vector<std::string> steps;
    for (const auto& line : trace) {
        const auto status = line.find("status=");
        steps.push_back(line.substr(3, 2) + " " +
                        (status == std::string::npos ? "err" : line.substr(status + 7, 2)));
    }
    return steps;
}

TEST_F(ArraysTest, BusyAndCheckConditionAreRetriedWithRequestSense) {
    StorSys s(RecordOf(0, 0));
    const std::string path = PathOf(0, 0);
    ScsiResult r;
    InquiryData inquiry;

    ASSERT_EQ(Cli({"fault", path, "12", "2", "busy"}), 0);
    ClearTrace(path);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 1);
    // BUSY carries no sense: one REQUEST SENSE after each refusal.
    EXPECT_EQ(Steps(TraceOf(path)),
              (std::vector<std::string>{"12 08", "03 00", "12 08", "03 00", "12 00"}));

    // CHECK CONDITION with a sense key: the service asks for sense until the
    // key it holds is clear, at most 5 times, then tries again.
    ASSERT_EQ(Cli({"fault", path, "12", "1", "check", "6", "29", "0"}), 0);
    ClearTrace(path);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 1);
    EXPECT_EQ(Steps(TraceOf(path)), (std::vector<std::string>{"12 02", "03 00", "03 00", "03 00",
                                                              "03 00", "03 00", "12 00"}));

    // Three refusals in a row: the command fails with the last one's sense.
    ASSERT_EQ(Cli({"fault", path, "12", "3", "check", "2", "4", "1"}), 0);
    ClearTrace(path);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kScsiStatus);
    EXPECT_EQ(r.status, 0x02u);
    EXPECT_EQ(r.SenseKey(), 2);
    EXPECT_EQ(r.Asc(), 0x04);
    EXPECT_EQ(r.Ascq(), 0x01);
    std::vector<std::string> steps = Steps(TraceOf(path));
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "12 02"), 3);
    EXPECT_EQ(steps.back(), "12 02");  // no REQUEST SENSE after the last try
}

TEST_F(ArraysTest, AShortTransferFailsAfterThreeTriesAndAnExchangeIsNeverRepeated) {
    StorSys s(RecordOf(0, 0));
    const std::string path = PathOf(0, 0);
    ScsiResult r;
    UnitSerialPage page;
    ASSERT_EQ(Cli({"fault", path, "12", "3", "short", "20"}), 0);
    ClearTrace(path);
    ASSERT_EQ(s.ReadUnitSerialPage(0, page, r), 0);
    EXPECT_EQ(Steps(TraceOf(path)), (std::vector<std::string>{"12 00", "12 00", "12 00"}));
    // One short transfer is made good by the next try.
    ASSERT_EQ(Cli({"fault", path, "12", "1", "short", "20"}), 0);
    ASSERT_EQ(s.ReadUnitSerialPage(0, page, r), 1);
    EXPECT_EQ(page.backplaneId, Show()[0].serial);

    // A data phase that comes back short is accepted with the bytes moved,
    // and a data phase refused is not sent again.
    unsigned char data[36];
    std::uint32_t moved = 0;
    ASSERT_EQ(Cli({"fault", path, "f4", "1", "short", "10"}), 0);
    ASSERT_EQ(s.DriveInquiry(0, data, &moved, r), 1);
    EXPECT_EQ(moved, 10u);
    ASSERT_EQ(Cli({"fault", path, "f4", "1", "busy"}), 0);
    ClearTrace(path);
    ASSERT_EQ(s.DriveInquiry(0, data, &moved, r), 0);
    EXPECT_EQ(Steps(TraceOf(path)), (std::vector<std::string>{"27 00", "f4 08"}));
}

TEST_F(ArraysTest, AVanishedPathOrAFailedCallGivesResultThree) {
    StorSys s(RecordOf(0, 1));
    const std::string path = PathOf(0, 1);
    ScsiResult r;
    InquiryData inquiry;
    ASSERT_EQ(Cli({"fault", path, "*", "1", "syserr", "5"}), 0);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(r.status, static_cast<std::uint32_t>(EIO));
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 1);

    ASSERT_EQ(Cli({"remove-path", path}), 0);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kSystemFailed);
    EXPECT_NE(r.status, 0u);
    // The path comes back: the table's handle reconnects on its next command.
    ASSERT_EQ(Cli({"add-path", path}), 0);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 1);

    // A failed controller answers nothing, on any of its paths.
    ASSERT_EQ(Cli({"fail-controller", "0", "Y"}), 0);
    ASSERT_EQ(s.StandardInquiry(0, inquiry, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kSystemFailed);
    // Its partner then answers for a failed partner like for none (5/0x24).
    StorSys x(RecordOf(0, 0));
    std::uint32_t values[4];
    ASSERT_EQ(x.ReadControllerStatus(1, values, r), 0);
    EXPECT_EQ(r.SenseKey(), 5);
    EXPECT_EQ(r.Asc(), 0x24);
}

TEST_F(ArraysTest, AReplyLaterThanTheTimeOutFailsAndTheNextCommandReconnects) {
    // The host waits the command's time-out plus 5 s; strovsim holds this
    // reply for 7 s.
    const std::string path = PathOf(0, 0);
    ASSERT_EQ(Cli({"fault", path, "12", "1", "delay", "7000"}), 0);
    auto device = platform::OpenScsiDevice(path);
    ASSERT_TRUE(device);
    std::vector<std::uint8_t> data(36, 0);
    platform::ScsiRequest request;
    request.cdb = {0x12, 0, 0, 0, 36, 0};
    request.cdbLength = 6;
    request.direction = platform::ScsiDirection::In;
    request.transferLength = 36;
    request.data = data.data();
    request.timeoutSeconds = 1;
    platform::ScsiOutcome outcome;
    device->PassThrough(request, outcome);
    EXPECT_EQ(outcome.systemError, ETIMEDOUT);
    // The late reply is never taken for the next command's.
    ASSERT_EQ(Cli({"fault", path, "12", "1", "check", "5", "24", "0"}), 0);
    device->PassThrough(request, outcome);
    EXPECT_EQ(outcome.systemError, 0);
    EXPECT_EQ(outcome.scsiStatus, 0x02);
    device->PassThrough(request, outcome);
    EXPECT_EQ(outcome.systemError, 0);
    EXPECT_EQ(outcome.scsiStatus, 0x00);
    EXPECT_EQ(outcome.bytesMoved, 36u);
}

TEST_F(ArraysTest, HostSequenceIsAcceptedRefusedWithItsNumberAndForced) {
    StorSys s(RecordOf(0, 0));
    const std::string path = PathOf(0, 0);
    ScsiResult r;
    std::uint16_t value = 0;
    ASSERT_EQ(s.ReadSequenceNumber(0, value, 0x0101, r), 1);
    EXPECT_EQ(value, 0x0101);
    EXPECT_EQ(Show()[0].sequence, 0x0101u);
    // The holder moves on.
    ASSERT_EQ(s.ReadSequenceNumber(0, value, 0x0102, r), 1);
    EXPECT_EQ(value, 0x0102);

    // Another host with a stale number is refused, with the controller's
    // number in the data; the service tried three times.
    ClearTrace(path);
    std::uint16_t other = 5;
    ASSERT_EQ(s.ReadSequenceNumber(0, other, 0x0200, r), 0);
    EXPECT_TRUE(StorSys::IsSequenceRefusal(r));
    EXPECT_EQ(other, 0x0102);
    EXPECT_EQ(r.senseLength, 26u);
    EXPECT_EQ(r.sense[7], 18);
    std::vector<std::string> steps = Steps(TraceOf(path));
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "ee 02"), 3);
    EXPECT_EQ(steps.front(), "ee 02");
    EXPECT_EQ(steps.back(), "ee 02");
    EXPECT_EQ(Show()[0].sequence, 0x0102u);

    // Refusals scripted with strovsim carry the scripted number.
    ASSERT_EQ(Cli({"refuse", "0", "X", "3", "77"}), 0);
    value = 0x0102;
    ASSERT_EQ(s.ReadSequenceNumber(0, value, 0x0103, r), 0);
    EXPECT_TRUE(StorSys::IsSequenceRefusal(r));
    EXPECT_EQ(value, 77);
    // One refusal is made good by the retry.
    ASSERT_EQ(Cli({"refuse", "0", "X", "1", "78"}), 0);
    value = 0x0102;
    ASSERT_EQ(s.ReadSequenceNumber(0, value, 0x0103, r), 1);
    EXPECT_EQ(value, 0x0103);

    // The forced exchange takes over; the sign-off frees the cabinet.
    other = 1;
    ASSERT_EQ(s.ReadSequenceNumber(1, other, 0x0300, r), 1);
    EXPECT_EQ(other, 0x0300);
    ASSERT_EQ(s.ReadSequenceNumber(0, other, 0, r), 1);
    EXPECT_EQ(Show()[0].sequence, 0u);
    other = 9;
    ASSERT_EQ(s.ReadSequenceNumber(0, other, 0x0400, r), 1);
}

TEST_F(ArraysTest, FormatShowsProgressAndClearsTheCabinet) {
    StorSys s(RecordOf(1, 0));
    ScsiResult r;
    IdentityPage identity;
    ASSERT_EQ(s.ReadIdentityPage(0, identity, r), 1);
    ASSERT_EQ(Cli({"pull", "1", "A1"}), 0);
    ASSERT_EQ(s.FormatSubsystem(1, r), 1);
    EXPECT_EQ(SubsystemStateOf(s), 14u);
    // LUN commands are not ready while the format runs.
    ASSERT_EQ(s.TestUnitReadyDirect(0, r), 0);
    EXPECT_EQ(r.SenseKey(), 2);
    EXPECT_EQ(r.Asc(), 0x04);
    EXPECT_EQ(r.Ascq(), 0x04);
    ASSERT_EQ(Cli({"advance", "30000"}), 0);
    ModePage22Record page;
    ASSERT_EQ(s.ReadModePage22(0, page, r), 1);
    EXPECT_EQ(page.word[14], 1u);  // in progress
    EXPECT_GE(page.word[15], 45u);
    EXPECT_LE(page.word[15], 60u);
    ASSERT_EQ(Cli({"advance", "30000"}), 0);
    EXPECT_NE(SubsystemStateOf(s), 14u);
    ASSERT_EQ(s.ReadModePage22(0, page, r), 1);
    EXPECT_EQ(page.word[14], 0u);
    // No LUNs and no missing drives are left.
    std::uint8_t present[8];
    ASSERT_EQ(s.ReadLunMap(0, present, r), 1);
    EXPECT_EQ(std::count(present, present + 8, 0), 8);
    MissingDriveEntry missing[6];
    std::uint32_t count = 9;
    ASSERT_EQ(s.ReadMissingDrives(missing, &count, r), 1);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(s.TestUnitReady(0, r), 1);
}

TEST_F(ArraysTest, RebuildRunsInSimulatedTimeAndStops) {
    StorSys s(RecordOf(0, 0));
    ScsiResult r;
    // Without a spare, a lost member leaves a rebuild to be started.
    ASSERT_EQ(s.DownPhysicalDrive(0, 0, 6, r), 1);  // the spare
    ASSERT_EQ(Cli({"fail-drive", "0", "A1"}), 0);
    ASSERT_EQ(s.StopRebuild(r), 0);
    EXPECT_EQ(r.senseLength >= 21 ? (r.sense[19] << 8) | r.sense[20] : -1, 48);
    ASSERT_EQ(s.ResetPhysicalDrive(6, r), 1);  // the old spare, now not a member
    ASSERT_EQ(s.StartRebuild(r), 1);
    ModePage21Record p21;
    ASSERT_EQ(s.ReadModePage21(0, p21, r), 1);
    EXPECT_EQ(p21.word[4], 1u);  // rebuild in progress
    ASSERT_EQ(s.StopRebuild(r), 1);
    ASSERT_EQ(s.ReadModePage21(0, p21, r), 1);
    EXPECT_EQ(p21.word[4], 0u);
    ASSERT_EQ(s.StartRebuild(r), 1);

    // Half the rebuild time leaves it rebuilding; the other half finishes
    // it: the drive becomes a member again.
    ASSERT_EQ(Cli({"advance", "60000"}), 0);
    EXPECT_EQ(DriveStateOf(s, 6), 9u);
    ASSERT_EQ(Cli({"advance", "60000"}), 0);
    EXPECT_EQ(DriveStateOf(s, 6), 0u);
    // Redundant again; the failed drive stays failed until it is dealt with.
    EXPECT_EQ(SubsystemStateOf(s), 0u);
    EXPECT_EQ(DriveStateOf(s, 0), 4u);
}

TEST_F(ArraysTest, ShutdownRestartAndSwitch) {
    StorSys x(RecordOf(0, 0));
    StorSys y(RecordOf(0, 1));
    ScsiResult r;
    ASSERT_EQ(x.ShutdownSubsystem(r), 1);
    EXPECT_EQ(SubsystemStateOf(x), 5u);
    ASSERT_EQ(Cli({"advance", "5000"}), 0);
    EXPECT_EQ(SubsystemStateOf(x), 6u);
    ASSERT_EQ(x.TestUnitReadyDirect(0, r), 0);
    EXPECT_EQ(r.Ascq(), 0x02);
    // A restart brings a shut-down cabinet back up.
    ASSERT_EQ(x.RestartController(1, r), 1);
    EXPECT_EQ(SubsystemStateOf(x), 7u);
    ASSERT_EQ(x.TestUnitReadyDirect(0, r), 0);
    EXPECT_EQ(r.Ascq(), 0x01);
    ASSERT_EQ(Cli({"advance", "20000"}), 0);
    EXPECT_EQ(SubsystemStateOf(x), 0u);
    ASSERT_EQ(x.RestartController(0, r), 1);
    ASSERT_EQ(Cli({"advance", "20000"}), 0);
    EXPECT_EQ(SubsystemStateOf(x), 0u);

    // Y becomes active: the active bits flip on both controllers.
    ASSERT_EQ(y.SwitchController(r), 1);
    UnitSerialPage xs, ys;
    ASSERT_EQ(x.ReadUnitSerialPage(0, xs, r), 1);
    ASSERT_EQ(y.ReadUnitSerialPage(0, ys, r), 1);
    EXPECT_EQ(xs.active, 0u);
    EXPECT_EQ(ys.active, 1u);
    EXPECT_EQ(Show()[0].active, 'Y');

    // Microcode goes only to a subsystem that is shut down.
    std::vector<unsigned char> image(4096, 0x3C);
    ASSERT_EQ(x.WriteBuffer(5, 0, image.data(), std::uint32_t(image.size()), r), 0);
    EXPECT_EQ(r.Asc(), 0x2C);
}

}  // namespace
}  // namespace arrays_test
