// download end to end against strovsim: the controller download with its
// restart, the copy to the partner, an interrupted flash and its recovery,
// a controller that does not come back, every bad file, an array id that
// names no array, the listing, and the sample files. The trace of the
// controller's path shows the exact commands and data the tool sent.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "DownloadMachine.h"
#include "sim/CommandTrace.h"
#include "support/ChildProcess.h"

namespace fwtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kArray = "00A0B8C0FFEE";
const std::string kSecond = "00A0B8C0FFEF";
const std::string kState = "op=20 cdb=20000000000000000600 status=00";
const std::string kOffBus = "op=20 cdb=20000000000000000600 error=16";
const std::string kSerial = "op=12 cdb=120180003000 status=00";
const std::string kShutdown = "op=e8 cdb=e8000000000000000000 status=00";
const std::string kRestart = "op=f0 cdb=f0000000000000000000 status=00";
const std::string kRestarting = "\n Interrupted. Restarting the array before the program ends.\n";
const std::string kHeld =
    "\n Interrupted while the firmware is being written, which must not be cut\n"
    " short: the program ends once the array has restarted.\n";
constexpr int kWaitMs = 60000;

std::string ControllerWrite(std::uint8_t mode, const Bytes& piece) {
    char cdb[32];
    const auto n = static_cast<unsigned>(piece.size());
    std::snprintf(cdb, sizeof cdb, "3b%02x000000%08x00", mode, n);
    std::string line = std::string("op=3b cdb=") + cdb + " status=00";
    if (!piece.empty())
        line += " out=" + sim::CommandTrace::DataSummary(piece);
    return line;
}

Bytes Piece(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + long(at), b.begin() + long(at + n));
}

class DownloadEndToEnd : public DownloadMachine {};

TEST_F(DownloadEndToEnd, ControllerDownloadBurnsBothControllersAndRestarts) {
    ClearTrace("STROVANE0");
    const std::string file = Sample("controller-0302.fw");
    const Ran ran = Download({"-c", file, kArray});
    ASSERT_EQ(ran.code, 0) << ran.out << ran.err;
    const Bytes image = FileBytes(file);
    EXPECT_EQ(Trace("STROVANE0"),
              (std::vector<std::string>{
                  "op=12 cdb=1201e0004400 status=00",  // the scan
                  kSerial,                             // the scan, then the search
                  kState,                              // the state the download starts from
                  kSerial,                             // primary?
                  kShutdown,
                  kState,  // shutting down ... shut down, and the ready poll
                  ControllerWrite(4, Piece(image, 0, 65532)),
                  ControllerWrite(4, Piece(image, 65532, 65532)),
                  ControllerWrite(4, Piece(image, 131064, 65532)),
                  ControllerWrite(5, Piece(image, 196596, 3404)),
                  kOffBus,  // the image is burnt into both controllers
                  kState,   // starting up, then ready
              }));
    // Nothing went to the partner's path but the scan.
    EXPECT_EQ(Trace("STROVANE1"),
              (std::vector<std::string>{"op=12 cdb=1201e0004400 status=00", kSerial}));
    EXPECT_NE(ran.out.find(" Shutting Down."), std::string::npos);
    EXPECT_NE(ran.out.find(" Shutdown Complete"), std::string::npos);
    EXPECT_NE(ran.out.find(" Firmware Loading\n Initializing\n Polling for ready... 0 of 500.\r"),
              std::string::npos);
    EXPECT_NE(ran.out.find(" Starting Up"), std::string::npos);
    EXPECT_NE(ran.out.find(" Ready                  \n"), std::string::npos);
    EXPECT_EQ(ControllerRevision(0, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(0, 'Y'), "0302");
    EXPECT_EQ(ReportedState(0, 'X'), 0);
    EXPECT_EQ(ControllerRevision(1, 'X'), "0301");

    // The listing reads the new revision from both controllers.
    const Ran list = Download({"-i"});
    EXPECT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("   Array with S/N: 00A0B8C0FFEE     Rev: 0302   Model: QRVZX ARRAY "),
              std::string::npos)
        << list.out;
}

TEST_F(DownloadEndToEnd, SignalWhileShutDownRestartsTheArrayBeforeTheEnd) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        // The simulated clock stands still: the shutdown does not end, and
        // the tool waits in it with its waits twice shorter than they say.
        Sim({"timescale", "0"});
        ClearTrace("STROVANE0");
        testsupport::ChildProcess child;
        ASSERT_TRUE(StartDownload(child, {"-c", Sample("controller-0302.fw"), kArray},
                                  {"ORU_TIME_SCALE=2"}));
        ASSERT_TRUE(child.WaitForStdout(" Shutting Down.", kWaitMs)) << child.Stdout();
        ASSERT_TRUE(child.Signal(signal));
        ASSERT_TRUE(child.WaitForStdout(kRestarting + " Initializing\n", kWaitMs))
            << child.Stdout() << child.Stderr();
        // The restart runs its course once the clock goes again.
        Sim({"timescale", "75"});
        const testsupport::ProgramRun run = testsupport::FinishRun(child, kWaitMs);
        EXPECT_EQ(run.exitCode, 128 + signal) << run.out << run.err;
        EXPECT_NE(run.out.find(" Ready "), std::string::npos) << run.out;
        EXPECT_EQ(ReportedState(0, 'X'), 0);
        EXPECT_EQ(ControllerRevision(0, 'X'), "0301");
        const auto trace = Trace("STROVANE0");
        const auto shutdown = std::find(trace.begin(), trace.end(), kShutdown);
        EXPECT_NE(std::find(shutdown, trace.end(), kRestart), trace.end());
        for (const auto& line : trace)
            EXPECT_NE(line.rfind("op=3b", 0), 0u) << line;
    }
}

TEST_F(DownloadEndToEnd, SignalWhileTheFirmwareBurnsIsHeldUntilTheArrayIsUp) {
    Sim({"firmware", "0", "stall"});  // the flash lasts until released
    ClearTrace("STROVANE0");
    testsupport::ChildProcess child;
    // Waits ten times shorter: after the flash the tool polls for 50 s.
    ASSERT_TRUE(
        StartDownload(child, {"-c", Sample("controller-0302.fw"), kArray}, {"ORU_TIME_SCALE=10"}));
    ASSERT_TRUE(child.WaitForStdout(" Firmware Loading\n", kWaitMs)) << child.Stdout();
    // The last piece was taken: the controllers burn.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (Sim({"firmware", "0"}).find("window flash X") == std::string::npos) {
        ASSERT_LT(std::chrono::steady_clock::now(), limit);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(child.Signal(SIGINT));
    ASSERT_TRUE(child.WaitForStdout(kHeld, kWaitMs)) << child.Stdout() << child.Stderr();
    EXPECT_TRUE(child.Running());
    Sim({"firmware", "0", "release"});
    const testsupport::ProgramRun run = testsupport::FinishRun(child, kWaitMs);
    EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.out << run.err;
    EXPECT_LT(run.out.find(kHeld), run.out.find(" Ready "));
    EXPECT_EQ(ControllerRevision(0, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(0, 'Y'), "0302");
    EXPECT_EQ(ReportedState(0, 'X'), 0);
    // No restart cut into the burn.
    const auto trace = Trace("STROVANE0");
    EXPECT_EQ(std::find(trace.begin(), trace.end(), kRestart), trace.end());
}

TEST_F(DownloadEndToEnd, CopyFirmwareEndsACodeMismatch) {
    Sim({"firmware", "1", "revision", "Y", "0299"});
    EXPECT_EQ(ReportedState(1, 'X'), 12);
    ClearTrace("STROVANE2");
    // The array id is taken in either case.
    const Ran ran = Download({"-M", "00a0b8c0ffef"});
    ASSERT_EQ(ran.code, 0) << ran.out << ran.err;
    EXPECT_EQ(
        Trace("STROVANE2"),
        (std::vector<std::string>{"op=12 cdb=1201e0004400 status=00", kSerial, kShutdown,
                                  "op=3b cdb=3b010000000000000000 status=00", kOffBus, kState}));
    EXPECT_NE(
        ran.out.find(" Shutting Down\n Shutdown Complete\n Firmware Loading\n Initializing\n"),
        std::string::npos);
    EXPECT_EQ(ControllerRevision(1, 'Y'), "0301");
    EXPECT_EQ(ReportedState(1, 'X'), 0);
    EXPECT_EQ(ReportedState(1, 'Y'), 0);
}

TEST_F(DownloadEndToEnd, ControllerThatDoesNotComeBackThenAnInterruptedFlash) {
    // The flash hangs: the tool polls 501 times and gives up with 4.
    Sim({"firmware", "1", "stall"});
    const Ran hung = Download({"-c", Sample("controller-0302.fw"), kSecond});
    EXPECT_EQ(hung.code, 4) << hung.out << hung.err;
    EXPECT_NE(hung.out.find(" Polling for ready...500 of 500.\r"), std::string::npos);
    EXPECT_EQ(hung.out.find(" Polling for ready...501"), std::string::npos);

    // The power goes while X burns: X has no code, Y runs the array with
    // the old one and reports the mismatch.
    Sim({"firmware", "1", "interrupt"});
    Sim({"advance", "20000"});
    EXPECT_EQ(ReportedState(1, 'X'), 8);
    EXPECT_EQ(ReportedState(1, 'Y'), 12);
    EXPECT_EQ(ControllerRevision(1, 'Y'), "0301");

    // Without Y's path the array can be seen but not its primary.
    Sim({"remove-path", "STROVANE3"});
    const Ran blocked = Download({"-c", Sample("controller-0302.fw"), kSecond});
    EXPECT_EQ(blocked.code, 1);
    EXPECT_NE(blocked.out.find(
                  "\n Found the subsystem but could not access the primary controller.\n"
                  " Attempting to download to the secondary controller will cause data loss.\n"
                  " Please make the primary controller available for downloading then retry\n"
                  " this program.\n"),
              std::string::npos)
        << blocked.out;
    EXPECT_NE(blocked.err.find(" download: Error in command execution, Search for Strovane "
                               "controller failed.\n download: device not found\n"),
              std::string::npos);

    // With it, the download goes to Y, which burns both.
    Sim({"add-path", "STROVANE3"});
    ClearTrace("STROVANE3");
    const Ran again = Download({"-c", Sample("controller-0302.fw"), kSecond});
    ASSERT_EQ(again.code, 0) << again.out << again.err;
    EXPECT_NE(again.out.find(" Firmware Loading"), std::string::npos);
    EXPECT_EQ(ControllerRevision(1, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(1, 'Y'), "0302");
    EXPECT_EQ(ReportedState(1, 'X'), 0);
    const auto onY = Trace("STROVANE3");
    EXPECT_NE(std::find(onY.begin(), onY.end(), kShutdown), onY.end());
}

TEST_F(DownloadEndToEnd, BadFilesLeaveTheArrayRunningItsFirmware) {
    // Too short and too long: refused before the devices are touched.
    ClearTrace("STROVANE0");
    const Ran shortFile = Download({"-c", Sample("controller-too-short.fw"), kArray});
    EXPECT_EQ(shortFile.code, 1);
    EXPECT_NE(shortFile.out.find(" Filesize of the microcode file is\n out of range. Aborting "
                                 "program.\n"),
              std::string::npos);
    const Ran longFile = Download({"-c", Build("long.fw", {"--size", "4500001"}), kArray});
    EXPECT_EQ(longFile.code, 1);
    EXPECT_NE(longFile.out.find(" out of range. Aborting program.\n"), std::string::npos);
    const Ran missing = Download({"-c", root_.File("none.fw"), kArray});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find(" The file " + root_.File("none.fw") + " could not be opened."),
              std::string::npos);
    EXPECT_TRUE(Trace("STROVANE0").empty());
    // The largest file taken goes through.
    const Ran largest = Download({"-c", Build("largest.fw", {"--size", "4500000"}), kArray});
    EXPECT_EQ(largest.code, 0) << largest.out << largest.err;
    EXPECT_EQ(ControllerRevision(0, 'Y'), "0302");

    // Another product's image: the controller refuses the first piece.
    ClearTrace("STROVANE0");
    const Ran wrong = Download({"-c", Sample("controller-wrong-target.fw"), kArray});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_NE(wrong.err.find(" `Write Buffer' command failed:  SCSI error.\n"), std::string::npos)
        << wrong.err;
    EXPECT_NE(wrong.err.find("  FIRMWARE IS WRONG TYPE FOR THIS PRODUCT\n"), std::string::npos);
    const auto trace = WithOffBusAfterRestarts(Trace("STROVANE0"));
    const Bytes wrongImage = FileBytes(Sample("controller-wrong-target.fw"));
    // The refused piece is tried three times, then the array is restarted.
    const std::string refused = "op=3b cdb=3b040000000000fffc00 status=02 out=" +
                                sim::CommandTrace::DataSummary(Piece(wrongImage, 0, 65532));
    const std::string sense = "op=03 cdb=030000001a00 status=00";
    const std::vector<std::string> tail = {refused, sense,    refused, sense,
                                           refused, kRestart, kOffBus, kState};
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(trace.end() - long(tail.size()), trace.end()), tail);

    // A damaged payload: refused at the piece that completes it.
    const Ran damaged = Download({"-c", Sample("controller-bad-checksum.fw"), kArray});
    EXPECT_EQ(damaged.code, 1);
    EXPECT_NE(damaged.err.find("  FIRMWARE CHECKSUM ERROR\n"), std::string::npos);

    EXPECT_EQ(ControllerRevision(0, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(0, 'Y'), "0302");
    EXPECT_EQ(ReportedState(0, 'X'), 0);
}

TEST_F(DownloadEndToEnd, ArrayIdThatNamesNoArray) {
    const Ran ran = Download({"-c", Sample("controller-0302.fw"), "00A0B8C0FFFF"});
    EXPECT_EQ(ran.code, 1);
    EXPECT_EQ(ran.err,
              "\n Strovane firmware download program, version 3.20.\n"
              " download: Error in command execution, Search for Strovane controller "
              "failed.\n"
              " download: device not found\n"
              " The specified array-id does not exist or does not identify a disk\n"
              " array that is communicating with the system. Verify the correct\n"
              " array-id with the `dkview -i' command line utility.\n\n");
    for (const auto& line : Trace("STROVANE0"))
        EXPECT_EQ(line.rfind("op=12", 0), 0u) << line;
    // No array at all: a scan that finds nothing is no scan failure.
    Sim({"remove-path", "STROVANE4"});
    for (const char* path : {"STROVANE0", "STROVANE1", "STROVANE2", "STROVANE3"})
        Sim({"remove-path", path});
    const Ran none = Download({"-m", kArray});
    EXPECT_EQ(none.code, 1);
    const Ran list = Download({"-I"});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "\n Strovane firmware download program ending.\n");
}

TEST_F(DownloadEndToEnd, ListingAndCommandLineErrors) {
    const Ran list = Download({"-I"});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out,
              "   Array with S/N: 00A0B8C0FFEE     Rev: 0301   Model: QRVZX ARRAY      \n"
              "   Array with S/N: 00A0B8C0FFEE     Rev: 0301   Model: QRVZX ARRAY      \n"
              "   Array with S/N: 00A0B8C0FFEF     Rev: 0301   Model: QRVZX ARRAY      \n"
              "   Array with S/N: 00A0B8C0FFEF     Rev: 0301   Model: QRVZX ARRAY      \n"
              "   Array with S/N: QX0000000003     Rev: 0301   Model: QRVZX ARRAY      \n"
              "\n Strovane firmware download program ending.\n");
    const Ran usage = Download({"-c", "only.fw"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_NE(usage.err.find(" usage: download {-D slot|-C|-M} codefilename array-id\n"),
              std::string::npos);
    const Ran slot = Download({"-d", "a7", "x.fw", kArray});
    EXPECT_EQ(slot.code, 2);
    EXPECT_NE(slot.err.find(" download: arg out of range\n"), std::string::npos);
}

TEST_F(DownloadEndToEnd, SampleFilesAreWhatStrovfwBuilds) {
    struct Made {
        const char* name;
        std::vector<std::string> arguments;
    };
    const std::vector<Made> samples = {
        {"controller-0302.fw", {"--revision", "0302", "--size", "200000", "--seed", "1"}},
        {"controller-bad-checksum.fw",
         {"--revision", "0309", "--size", "100000", "--seed", "2", "--corrupt"}},
        {"controller-wrong-target.fw",
         {"--target", "QD-9100", "--revision", "0303", "--size", "100000", "--seed", "3"}},
        {"controller-too-short.fw", {"--revision", "0304", "--size", "65536", "--seed", "4"}},
        {"drive-qd9100-0103.fw",
         {"--target", "QD-9100", "--revision", "0103", "--size", "150000", "--seed", "5"}},
    };
    for (const auto& s : samples)
        EXPECT_EQ(FileBytes(Build(s.name, s.arguments)), FileBytes(Sample(s.name))) << s.name;
}

// strovfw show takes only what could be an image: a device that never ends
// and a file larger than any image are refused before they are read.
TEST(StrovfwShow, RefusesWhatIsNoImageFile) {
    testsupport::FreshRoot root;
    const std::string huge = root.File("huge.fw");
    ASSERT_TRUE(root.Write("huge.fw", ""));
    std::filesystem::resize_file(huge, std::uintmax_t(2) << 30);  // sparse: nothing written
    struct Case {
        std::string file;
        std::string said;
    };
    const Case cases[] = {
        {"/dev/zero", "strovfw: /dev/zero is not a regular file\n"},
        {huge, "strovfw: " + huge +
                   ": 2147483648 bytes, more than any image holds (16777256 at "
                   "most)\n"},
    };
    for (const Case& c : cases) {
        const testsupport::ProgramRun run = testsupport::RunProgram(
            testsupport::ProgramPath(ORU_BIN_DIR, "strovfw"), {"show", c.file}, {}, 30000);
        EXPECT_EQ(run.exitCode, 1) << c.file;
        EXPECT_EQ(run.err, c.said);
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
}  // namespace fwtest
