// download's command routines and executor against an in-process simulated
// cabinet: the bytes of every command block as the controller received them
// (its trace, written from the command tables), the retries, drive replies
// shorter than asked or declared, and the file sizes and controller states
// the controller download turns on.
#include <gtest/gtest.h>

#include "../sim/SimTestUtil.h"
#include "InProcessDownload.h"
#include "platform/Clock.h"
#include "sim/CommandTrace.h"
#include "sim/FirmwareImage.h"
#include "sim/FirmwareRules.h"
#include "tools/firmware/DownloadCommands.h"
#include "tools/firmware/DownloadController.h"
#include "tools/firmware/DownloadFlows.h"

namespace fwtest {
namespace {

using namespace download;
using Bytes = std::vector<std::uint8_t>;

std::string Data(const Bytes& bytes) {
    return sim::CommandTrace::DataSummary(bytes);
}

Bytes Image(const std::string& target, std::size_t size, const std::string& revision = "0302") {
    return sim::FirmwareImage::Build(
        target, revision, sim::FirmwareImage::Pattern(size - sim::FirmwareImage::kHeaderSize, 3));
}

Bytes Piece(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + long(at), b.begin() + long(at + n));
}

class DownloadCommands : public InProcessDownload {
  protected:
    void SetUp() override {
        InProcessDownload::SetUp();
        UseControllerX();
    }
};

TEST_F(DownloadCommands, ControllerCommandBlocksAndWhatTheyDecode) {
    ScsiResult r;
    DriveStateValues drive;
    ASSERT_EQ(CheckPhysicalDriveState(3, drive, r), 1);
    EXPECT_EQ(drive.value[0], 8u);  // B2 holds the spare
    SubsystemStateValues state;
    ASSERT_EQ(GetSubsystemState(state, r), 1);
    EXPECT_EQ(state.state, 0u);
    InquiryTexts inquiry;
    ASSERT_EQ(InquiryStandard(0, inquiry, r), 1);
    EXPECT_EQ(inquiry.vendor, "STROVANE");
    EXPECT_EQ(inquiry.product, "ARRAY CTL       ");
    EXPECT_EQ(inquiry.revision, "0301");
    UnitSerialTexts serial;
    ASSERT_EQ(InquiryUnitSerial(0, serial, r), 1);
    EXPECT_TRUE(serial.primary);
    EXPECT_EQ(serial.serial, "CTRLX00000000001");
    EXPECT_EQ(serial.partner, "CTRLY00000000001");
    EXPECT_EQ(serial.arrayId, "CAB000000001");
    ASSERT_EQ(DownloadRequestSense(0, r), 1);
    ASSERT_EQ(CdbSwitchController(r), 1);
    ASSERT_EQ(CdbShutdownSubsystem(r), 1);
    const Bytes image = Image("CONTROLLER", 70000);
    ASSERT_EQ(CdbWriteBuffer(4, 65532, image.data(), r), 1);
    ASSERT_EQ(CdbControllerRestart(true, r), 1);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{
                  "op=21 cdb=21000000030000000000 status=00",
                  "op=20 cdb=20000000000000000600 status=00",
                  "op=12 cdb=120000002400 status=00",
                  "op=12 cdb=120180003000 status=00",
                  "op=03 cdb=030000001a00 status=00",
                  "op=e9 cdb=e9000000000000000000 status=00",
                  "op=e8 cdb=e8000000000000000000 status=00",
                  "op=3b cdb=3b040000000000fffc00 status=00 out=" + Data(Piece(image, 0, 65532)),
                  "op=f0 cdb=f0020000000000000000 status=00",
              }));
    // The copy command carries no data (and needs a shut-down subsystem).
    ClearTrace();
    sim->Advance(sim::CabinetRules::kRestartMs);
    ASSERT_EQ(CdbShutdownSubsystem(r), 1);
    ASSERT_EQ(CdbCopyFirmware(r), 1);
    EXPECT_EQ(Trace().back(), "op=3b cdb=3b010000000000000000 status=00");
}

TEST_F(DownloadCommands, DriveCommandsTravelThroughTheExchange) {
    ScsiResult r;
    InquiryTexts drive;
    ASSERT_EQ(PtInquiry(2, drive, r), 1);
    EXPECT_EQ(drive.vendor, "QDISK   ");
    EXPECT_EQ(drive.product, "QD-9100         ");
    EXPECT_EQ(drive.revision, "0102");
    ASSERT_EQ(PtTestUnitReady(2, r), 1);
    ASSERT_EQ(PtStartUnit(2, 0, r), 1);
    unsigned char pages[255];
    ASSERT_EQ(PtModeSense(2, 2, 0x3F, 255, pages, r), 1);
    EXPECT_EQ(pages[4], 0x01);
    const unsigned char list[16] = {0, 0, 0, 0, 0x08, 0x0A, 0x04};
    ASSERT_EQ(PtModeSelect(2, 16, list, r), 1);
    ASSERT_EQ(PtFormatUnit(2, r), 1);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{
                  "op=27 cdb=27030200060000002400 status=00 out=120000002400",
                  "op=f4 cdb=f4000000000000000000 status=00",
                  "op=27 cdb=27010200060000000000 status=00 out=000000000000",
                  "op=29 cdb=29000000000000000000 status=00",
                  "op=27 cdb=27010200060000000000 status=00 out=1b0000000100",
                  "op=29 cdb=29000000000000000000 status=00",
                  "op=27 cdb=2703020006000000ff00 status=00 out=1a08bf00ff00",
                  "op=f4 cdb=f4000000000000000000 status=00",
                  "op=27 cdb=27020200060000001000 status=00 out=150100001000",
                  "op=f3 cdb=f3000000000000000000 status=00 out=00000000080a04000000000000000000",
                  "op=27 cdb=27010200060000000000 status=00 out=040000000000",
                  "op=29 cdb=29000000000000000000 status=00",
              }));

    // The three forms of WRITE BUFFER; the drive's image is another product's.
    ClearTrace();
    const Bytes data(32768, 0x11);
    PtWriteBuffer(1, 4, 300, data.data(), r);
    PtWriteBuffer(1, 7, 300, 0x10203, data.data(), r);
    PtWriteBuffer32K(1, 2, data.data(), r);
    const auto trace = Trace("STROVANE0");
    ASSERT_EQ(trace.size(), 6u);
    EXPECT_EQ(trace[0],
              "op=27 cdb=270201000a0000012c00 status=00 out=3b04000000000001"
              "2c00");
    EXPECT_EQ(trace[2],
              "op=27 cdb=270201000a0000012c00 status=00 out=3b07000102030001"
              "2c00");
    EXPECT_EQ(trace[4],
              "op=27 cdb=270201000a0000800000 status=00 out=3b05020000000080"
              "0000");
    EXPECT_EQ(trace[5].substr(0, 44), "op=f3 cdb=f3000000000000000000 status=02 out");
}

TEST_F(DownloadCommands, WriteBufferInTheWrongFormSendsNothing) {
    ScsiResult r;
    const Bytes data(16, 0);
    EXPECT_EQ(PtWriteBuffer(0, 6, 16, data.data(), r), 0);
    EXPECT_EQ(PtWriteBuffer(0, 4, 16, 0, data.data(), r), 0);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(Out(),
              " oops. used wrong mode for this 5 parameter PtWriteBuffer command: 6.\n"
              " oops. wrong mode used for this 6 parameter PtWriteBuffer command: 4.\n");
}

TEST_F(DownloadCommands, BusyIsTriedThreeTimesWithTwoRequestSensesBetween) {
    Control("fault STROVANE0 20 3 busy");
    ScsiResult r;
    SubsystemStateValues state;
    EXPECT_EQ(GetSubsystemState(state, r), 0);
    EXPECT_EQ(state.state, 255u);
    EXPECT_EQ(r.result, ScsiResult::kScsiStatus);
    EXPECT_EQ(r.status, 0x08u);
    const std::string busy = "op=20 cdb=20000000000000000600 status=08";
    const std::string sense = "op=03 cdb=030000001a00 status=00";
    EXPECT_EQ(Trace(), (std::vector<std::string>{busy, sense, sense, busy, sense, sense, busy}));

    // A CHECK CONDITION that clears is retried to success.
    ClearTrace();
    Control("fault STROVANE0 12 1 check 6 29 00");
    UnitSerialTexts serial;
    EXPECT_EQ(InquiryUnitSerial(0, serial, r), 1);
    EXPECT_EQ(Trace().size(), 4u);

    // A short transfer with good status is tried again too, but not for ever.
    ClearTrace();
    Control("fault STROVANE0 21 3 short 4");
    DriveStateValues drive;
    EXPECT_EQ(CheckPhysicalDriveState(0, drive, r), 0);
    EXPECT_EQ(Trace().size(), 3u);
}

TEST_F(DownloadCommands, DataPhasesAndSystemErrorsAreNotRepeated) {
    Control("fault STROVANE0 f4 1 busy");
    ScsiResult r;
    InquiryTexts drive;
    EXPECT_EQ(PtInquiry(0, drive, r), 0);
    EXPECT_EQ(Trace(), (std::vector<std::string>{
                           "op=27 cdb=27030000060000002400 status=00 out=120000002400",
                           "op=f4 cdb=f4000000000000000000 status=08",
                       }));
    ClearTrace();
    Control("fault STROVANE0 20 1 syserr 5");
    SubsystemStateValues state;
    EXPECT_EQ(GetSubsystemState(state, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(r.status, 5u);
    EXPECT_EQ(Trace().size(), 1u);
}

TEST_F(DownloadCommands, ADriveInquiryShorterThanAskedIsAFailure) {
    // The drive sends 35 of the 36 bytes: its revision never came whole.
    Control("fault STROVANE0 f4 1 short 35");
    ScsiResult r;
    InquiryTexts drive;
    EXPECT_EQ(PtInquiry(2, drive, r), 0);
    EXPECT_EQ(r.result, ScsiResult::kGood);
    EXPECT_EQ(drive.vendor, "");
    EXPECT_EQ(drive.product, "");
    EXPECT_EQ(drive.revision, "");
    // The data phase is not repeated for it.
    EXPECT_EQ(Trace(), (std::vector<std::string>{
                           "op=27 cdb=27030200060000002400 status=00 out=120000002400",
                           "op=f4 cdb=f4000000000000000000 status=00",
                       }));
    // The next one comes whole.
    ASSERT_EQ(PtInquiry(2, drive, r), 1);
    EXPECT_EQ(drive.revision, "0102");
}

TEST_F(DownloadCommands, ADataPhaseTellsHowManyBytesCame) {
    ScsiResult r;
    unsigned char pages[255];
    std::uint32_t received = 0;
    ASSERT_EQ(PtModeSense(2, 2, 0x3F, 255, pages, r, &received), 1);
    // The simulated drive fills the whole allocation (its 76 bytes of mode
    // data, then zeros).
    EXPECT_EQ(received, 255u);
    EXPECT_EQ(pages[0], 75);
    Control("fault STROVANE0 f4 1 short 30");
    ASSERT_EQ(PtModeSense(2, 2, 0x3F, 255, pages, r, &received), 1);
    EXPECT_EQ(received, 30u);
    EXPECT_EQ(pages[0], 75);  // what the drive declared, not what came
    // A data phase that fails moved nothing the caller may use.
    Control("fault STROVANE0 f4 1 busy");
    EXPECT_EQ(PtModeSense(2, 2, 0x3F, 255, pages, r, &received), 0);
    EXPECT_EQ(received, 0u);
}

// What SetDriveModePages on the drive in A2 printed, and the data of the
// MODE SELECT commands it sent.
struct ModePagesRun {
    std::string said;
    std::vector<std::string> selects;
};

class ModePageRuns : public DownloadCommands {
  protected:
    ModePagesRun SetPages() {
        const std::size_t before = Out().size();
        ClearTrace();
        ScsiResult r;
        EXPECT_EQ(SetDriveModePages(2, r), 1);
        ModePagesRun run;
        run.said = Out().substr(before);
        for (const auto& line : Trace()) {
            if (line.rfind("op=f3", 0) == 0)
                run.selects.push_back(line.substr(line.find(" out=") + 5));
        }
        return run;
    }

    const std::string kPage1 = "00000000010ac008000000000800ffff";
    const std::string kPage3 = "000000000316" + std::string(44, '0');
    const std::string kPage4 = "000000000416" + std::string(44, '0');
    const std::string kPage8 = "00000000080a04000000000000000000";
};

TEST_F(ModePageRuns, AllPagesWhenBothRepliesCameWhole) {
    const ModePagesRun run = SetPages();
    EXPECT_EQ(run.said, " (Setting Mode Pages 1 3 4 8)\n");
    EXPECT_EQ(run.selects, (std::vector<std::string>{kPage1, kPage3, kPage4, kPage8}));
}

TEST_F(ModePageRuns, ADefaultsReplyShorterThanItDeclaresEndsThePages) {
    // The reply declares 76 bytes; 30 came: page 1 whole, page 3 cut.
    Control("fault STROVANE0 f4 1 short 30");
    ModePagesRun run = SetPages();
    EXPECT_EQ(run.said, " (Setting Mode Pages 1)\n");
    EXPECT_EQ(run.selects, (std::vector<std::string>{kPage1}));
    // Seven bytes: not even page 1 came whole, so nothing is sent.
    Control("fault STROVANE0 f4 1 short 7");
    run = SetPages();
    EXPECT_EQ(run.said, " (Setting Mode Pages)\n");
    EXPECT_TRUE(run.selects.empty());
}

TEST_F(ModePageRuns, AChangeableReplyShorterThanTheDefaultsEndsThePages) {
    // The defaults come whole (the first rule cuts nothing from the 255
    // bytes the drive sends); the changeable bits end after page 3.
    Control("fault STROVANE0 f4 1 short 255");
    Control("fault STROVANE0 f4 1 short 40");
    const ModePagesRun run = SetPages();
    EXPECT_EQ(run.said, " (Setting Mode Pages 1 3)\n");
    EXPECT_EQ(run.selects, (std::vector<std::string>{kPage1, kPage3}));
}

class DownloadRuns : public InProcessDownload {
  protected:
    void SetUp() override {
        InProcessDownload::SetUp();
        FollowToolWaits();
    }
};

TEST_F(DownloadRuns, FileSizesDecideTheLastWrite) {
    // 65536 bytes are refused before any device is touched.
    EXPECT_EQ(
        Run({"download", "-c", WriteFile("small.fw", Image("CONTROLLER", 65536)), "CAB000000001"}),
        1);
    EXPECT_NE(Out().find(" Filesize of the microcode file is\n out of range. Aborting program.\n"),
              std::string::npos);
    EXPECT_TRUE(Trace().empty());

    // 65537 bytes: one 65532-byte piece and a 5-byte last write.
    const Bytes odd = Image("CONTROLLER", 65537);
    ASSERT_EQ(Run({"download", "-c", WriteFile("odd.fw", odd), "cab000000001"}), 0) << Out();
    std::vector<std::string> writes;
    for (const auto& line : Trace()) {
        if (line.rfind("op=3b", 0) == 0)
            writes.push_back(line);
    }
    EXPECT_EQ(writes,
              (std::vector<std::string>{
                  "op=3b cdb=3b040000000000fffc00 status=00 out=" + Data(Piece(odd, 0, 65532)),
                  "op=3b cdb=3b050000000000000500 status=00 out=" + Data(Piece(odd, 65532, 5)),
              }));

    // 131064 bytes: two whole pieces and a last write of nothing.
    ClearTrace();
    const Bytes even = Image("CONTROLLER", 131064, "0303");
    ASSERT_EQ(Run({"download", "-c", WriteFile("even.fw", even), "CAB000000001"}), 0) << Out();
    const auto trace = Trace();
    auto last = std::find_if(trace.rbegin(), trace.rend(),
                             [](const std::string& l) { return l.rfind("op=3b", 0) == 0; });
    ASSERT_NE(last, trace.rend());
    EXPECT_EQ(*last, "op=3b cdb=3b050000000000000000 status=00");
    EXPECT_EQ(sim->Snapshot().cabinets[0].controllers[1].revision, "0303");
}

TEST_F(DownloadRuns, WholeControllerDownloadInOrder) {
    // The simulated clock follows the tool's waits, so every poll is
    // foreseen: the shutdown (5 s) is over after one 10 s pass, the flash
    // (30 s) is 13 s along the 17 s wait, the restart takes 20 s of polls.
    const Bytes image = Image("CONTROLLER", 140000);
    ASSERT_EQ(Run({"download", "-C", WriteFile("c.fw", image), "CAB000000001"}), 0) << Out();
    const std::string state = "op=20 cdb=20000000000000000600 status=00";
    const std::string serial = "op=12 cdb=120180003000 status=00";
    std::vector<std::string> want = {
        "op=12 cdb=1201e0004400 status=00",  // the scan
        serial,                              // the scan
        serial,                              // the search
        state,                               // the state the flash starts from
        serial,                              // primary?
        "op=e8 cdb=e8000000000000000000 status=00",
        state,  // shutting down: a 10 s pass
        state,  // shut down
        state,  // the ready poll: shut down
        "op=3b cdb=3b040000000000fffc00 status=00 out=" + Data(Piece(image, 0, 65532)),
        "op=3b cdb=3b040000000000fffc00 status=00 out=" + Data(Piece(image, 65532, 65532)),
        "op=3b cdb=3b05000000000022e800 status=00 out=" + Data(Piece(image, 131064, 8936)),
    };
    want.insert(want.end(), 13, "op=20 cdb=20000000000000000600 error=16");  // off the bus
    want.insert(want.end(), 21, state);  // 20 s starting up, then ready
    EXPECT_EQ(Trace(), want);
    std::string progress;
    for (int poll = 0; poll < 13; ++poll) {
        char line[40];
        std::snprintf(line, sizeof line, " Polling for ready...%2d of 500.\r", poll);
        progress += line;
    }
    for (int pass = 0; pass < 20; ++pass)
        progress += " Starting Up            \r";
    EXPECT_EQ(Out(),
              " Shutting Down.\r Shutting Down          \r Shutdown Complete      \n"
              " Firmware Loading\n Initializing\n" +
                  progress +
                  " Ready                  \n"
                  "\n Strovane firmware download program ending.\n");
    const sim::WorldModel world = sim->Snapshot();
    for (const auto& c : world.cabinets[0].controllers)
        EXPECT_EQ(c.revision, "0302");
}

TEST_F(DownloadRuns, StatesThatRefuseADownloadSendNothing) {
    sim::WorldModel world = simtest::ScenarioWorld();
    world.cabinets[0].state = 4;
    Serve(std::move(world));
    FollowToolWaits();
    ASSERT_EQ(
        Run({"download", "-c", WriteFile("c.fw", Image("CONTROLLER", 70000)), "CAB000000001"}), 1);
    EXPECT_NE(
        Out().find(" The controller is in a state that will not accept a microcode download.\n"),
        std::string::npos);
    for (const auto& line : Trace())
        EXPECT_TRUE(line.rfind("op=12", 0) == 0 || line.rfind("op=20", 0) == 0) << line;
}

TEST_F(DownloadRuns, AnIdThatTwoCabinetsAnswerToNamesNeither) {
    // A second cabinet with its own pair of controllers reports the same id.
    sim::WorldModel world = simtest::ScenarioWorld();
    sim::CabinetModel second = world.cabinets[0];
    second.controllers[0].serial = "CTRLX00000000002";
    second.controllers[1].serial = "CTRLY00000000002";
    world.cabinets.push_back(second);
    for (int slot = 0; slot < 2; ++slot) {
        sim::PathModel path;
        path.name = slot == 0 ? "STROVANE2" : "STROVANE3";
        path.cabinet = 1;
        path.controller = slot;
        world.paths.push_back(path);
    }
    Serve(std::move(world));
    FollowToolWaits();
    ASSERT_EQ(
        Run({"download", "-c", WriteFile("c.fw", Image("CONTROLLER", 70000)), "CAB000000001"}), 1);
    EXPECT_NE(Err().find(" download: Error in command execution, More than one array answers to "
                         "this array-id; nothing was sent to either.\n"),
              std::string::npos)
        << Err();
    for (const char* path : {"STROVANE0", "STROVANE1", "STROVANE2", "STROVANE3"}) {
        EXPECT_FALSE(Trace(path).empty()) << path;
        for (const auto& line : Trace(path))
            EXPECT_EQ(line.rfind("op=12", 0), 0u) << path << ": " << line;
    }

    // Two controllers that are partners are one cabinet, however many paths
    // show them; any other pair, or a third controller, is not.
    const auto controller = [](const char* serial, const char* partner) {
        UnitSerialTexts texts;
        texts.serial = serial;
        texts.partner = partner;
        return texts;
    };
    const UnitSerialTexts x = controller("CTRLX00000000001", "CTRLY00000000001");
    const UnitSerialTexts y = controller("CTRLY00000000001", "CTRLX00000000001");
    const UnitSerialTexts alone = controller("CTRLX00000000001", "");
    const UnitSerialTexts other = controller("CTRLX00000000002", "");
    EXPECT_TRUE(IdOfOneArray({}));
    EXPECT_TRUE(IdOfOneArray({alone}));
    EXPECT_TRUE(IdOfOneArray({x, y}));
    EXPECT_TRUE(IdOfOneArray({x, y, x}));
    EXPECT_TRUE(IdOfOneArray({alone, y}));
    EXPECT_FALSE(IdOfOneArray({alone, other}));
    EXPECT_FALSE(IdOfOneArray({x, y, other}));
}

TEST_F(DownloadRuns, ShutdownThatNeverEndsGetsTheRestartSignal) {
    // Simulated time stands still: the shutdown never completes.
    platform::SetSleepObserver(nullptr);
    EXPECT_EQ(
        Run({"download", "-c", WriteFile("c.fw", Image("CONTROLLER", 70000)), "CAB000000001"}), 1);
    const std::string out = Out();
    EXPECT_NE(out.find("\n Too many attempts at changing the controller state.          \n"
                       " Sending the controller a restart signal then aborting this program.\n\n"),
              std::string::npos);
    const auto trace = Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "op=e8 cdb=e8000000000000000000 status=00"),
              1);
    // The first pass shuts down; fifteen passes see it shutting down.
    std::size_t passes = 0;
    for (std::size_t at = out.find("\r Shutting Down"); at != std::string::npos;
         at = out.find("\r Shutting Down", at + 1)) {
        ++passes;
    }
    EXPECT_EQ(passes, 15u);
    EXPECT_NE(std::find(trace.begin(), trace.end(), "op=f0 cdb=f0000000000000000000 status=00"),
              trace.end());
    EXPECT_EQ(sim->Snapshot().cabinets[0].controllers[0].revision, "0301");
}

TEST_F(DownloadRuns, ADriveInquiryThatCameShortStopsBeforeTheShutdown) {
    Control("fault STROVANE0 f4 1 short 20");
    const std::string file = WriteFile("d.fw", Image("QD-9100", 150000, "0103"));
    EXPECT_EQ(Run({"download", "-d", "A2", file, "CAB000000001"}), 1);
    EXPECT_NE(Err().find("\n Pass-thru `Inquiry' command failed: Command state good\n"),
              std::string::npos)
        << Err();
    EXPECT_EQ(Out().find("Revision"), std::string::npos) << Out();
    for (const auto& line : Trace())
        EXPECT_EQ(line.rfind("op=e8", 0), std::string::npos) << line;
}

TEST_F(DownloadRuns, ListingLinesOnly) {
    ASSERT_EQ(Run({"download", "-I"}), 0);
    EXPECT_EQ(Out(),
              "   Array with S/N: CAB000000001     Rev: 0301   Model: ARRAY CTL        \n"
              "   Array with S/N: CAB000000001     Rev: 0301   Model: ARRAY CTL        \n"
              "\n Strovane firmware download program ending.\n");
}

}  // namespace
}  // namespace fwtest
