// Firmware in the simulated cabinet: controller images assembled from
// pieces and burnt into both controllers, the windows in which the
// controllers are off the bus, copies to the partner, what an interrupted
// or mismatched flash leaves, and microcode, unit attentions and mode pages
// of the drives behind the exchange.
#include <gtest/gtest.h>

#include <cerrno>

#include "SimTestUtil.h"
#include "sim/CommandTrace.h"
#include "sim/Crc32.h"
#include "sim/FirmwareImage.h"
#include "sim/FirmwareRules.h"

using namespace simtest;
using sim::FirmwareImage;
using sim::FirmwareRules;
using sim::SimDirection;

namespace {

// The firmware tool's controller form: the length as BE32 at 5..8.
Bytes ToolWriteBufferCdb(std::uint8_t mode, std::uint32_t length) {
    return {0x3B,
            mode,
            0,
            0,
            0,
            static_cast<std::uint8_t>(length >> 24),
            static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            0};
}

Bytes Image(const std::string& target, const std::string& revision, std::size_t total) {
    return FirmwareImage::Build(target, revision,
                                FirmwareImage::Pattern(total - FirmwareImage::kHeaderSize, 7));
}

Bytes Piece(const Bytes& image, std::size_t at, std::size_t length) {
    return Bytes(image.begin() + long(at), image.begin() + long(at + length));
}

class SimFirmware : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Simulator> sim = MakeSim();
    sim::SessionContext session;

    sim::SimReply None(const Bytes& cdb, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb);
    }
    sim::SimReply Out(const Bytes& cdb, const Bytes& data, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb, SimDirection::kOut, 0, data);
    }
    sim::SimReply In(const Bytes& cdb, std::uint32_t len, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb, SimDirection::kIn, len);
    }
    int State(const std::string& path = "STROVANE0") {
        auto r = In({0x20, 0, 0, 0, 0, 0, 0, 0, 6, 0}, 6, path);
        return r.systemError != 0 ? -r.systemError : r.dataIn[1];
    }
    std::string Revision(const std::string& path) {
        auto r = In({0x12, 0, 0, 0, 0x24, 0}, 36, path);
        return std::string(r.dataIn.begin() + 32, r.dataIn.begin() + 36);
    }
    std::string IdentityRevision(const std::string& path) {
        auto r = In({0x12, 0x01, 0xE0, 0, 0x44, 0}, 68, path);
        return std::string(r.dataIn.begin() + 18, r.dataIn.begin() + 28);
    }
    bool Primary(const std::string& path) {
        return In({0x12, 0x01, 0x80, 0, 0x30, 0}, 48, path).dataIn[2] & 1;
    }
    void Control(const std::string& line, std::string* answer = nullptr) {
        std::string a;
        ASSERT_TRUE(sim->Control(line, &a)) << line << ": " << a;
        if (answer)
            *answer = a;
    }
    void ShutDown() {
        ASSERT_EQ(None({0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
        sim->Advance(sim::CabinetRules::kShutdownMs);
        ASSERT_EQ(State(), 6);
    }
    // A restart the host waits for, then a shutdown: what the tool does
    // after a refused image, ready for the next.
    void Restart() {
        ASSERT_EQ(None({0xF0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
        sim->Advance(sim::CabinetRules::kRestartMs);
        ShutDown();
    }
    // Sends an image as the download tool does: 65532-byte pieces with mode
    // 4, the rest with mode 5. Returns the last reply.
    sim::SimReply Download(const Bytes& image, const std::string& path = "STROVANE0") {
        constexpr std::size_t kChunk = 65532;
        std::size_t at = 0;
        for (; at + kChunk <= image.size(); at += kChunk) {
            auto r = Out(ToolWriteBufferCdb(4, kChunk), Piece(image, at, kChunk), path);
            if (r.status != 0)
                return r;
        }
        return Out(ToolWriteBufferCdb(5, std::uint32_t(image.size() - at)),
                   Piece(image, at, image.size() - at), path);
    }
};

TEST_F(SimFirmware, ControllerImageIsBurntIntoBothControllersBehindAnOffBusWindow) {
    const Bytes image = Image("CONTROLLER", "0302", 200000);
    // A running subsystem takes no microcode.
    EXPECT_EQ(Download(image).sense[12], 0x2C);
    ShutDown();
    ASSERT_EQ(Download(image).status, 0);
    // Both controllers are off the bus while the image is burnt.
    EXPECT_EQ(State("STROVANE0"), -EBUSY);
    EXPECT_EQ(State("STROVANE1"), -EBUSY);
    sim->Advance(FirmwareRules::kFlashMs - 1000);
    EXPECT_EQ(State(), -EBUSY);
    sim->Advance(1000);
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(Revision("STROVANE0"), "0302");
    EXPECT_EQ(Revision("STROVANE1"), "0302");
    EXPECT_EQ(IdentityRevision("STROVANE1"), "0302      ");
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State("STROVANE0"), 0);
    EXPECT_EQ(State("STROVANE1"), 0);
}

TEST_F(SimFirmware, ImageCompleteWhateverTheModesAndActiveOnlyOnItsSaveWrite) {
    ShutDown();
    // 131064 bytes: two 65532-byte pieces bring it all, the save carries none.
    const Bytes image = Image("CONTROLLER", "0303", 131064);
    ASSERT_EQ(Out(ToolWriteBufferCdb(4, 65532), Piece(image, 0, 65532)).status, 0);
    ASSERT_EQ(Out(ToolWriteBufferCdb(4, 65532), Piece(image, 65532, 65532)).status, 0);
    EXPECT_EQ(State(), 6);  // staged, not yet burnt
    ASSERT_EQ(None(ToolWriteBufferCdb(5, 0)).status, 0);
    EXPECT_EQ(State(), -EBUSY);
    sim->Advance(FirmwareRules::kFlashMs + sim::CabinetRules::kRestartMs);
    EXPECT_EQ(Revision("STROVANE1"), "0303");

    // Offset modes, pieces out of order, overwritten, then saved by mode 7.
    ShutDown();
    const Bytes other = Image("CONTROLLER", "0304", 70000);
    ASSERT_EQ(Out(WriteBufferCdb(6, 0, 0, 40000), Piece(other, 0, 40000)).status, 0);
    ASSERT_EQ(Out(WriteBufferCdb(6, 0, 39900, 100), Piece(other, 39900, 100)).status, 0);
    EXPECT_EQ(Out(WriteBufferCdb(6, 0, 50000, 10), Bytes(10, 0)).sense[12], 0x24);  // a gap
    ASSERT_EQ(Out(WriteBufferCdb(7, 0, 40000, 30000), Piece(other, 40000, 30000)).status, 0);
    sim->Advance(FirmwareRules::kFlashMs + sim::CabinetRules::kRestartMs);
    EXPECT_EQ(Revision("STROVANE0"), "0304");
    EXPECT_EQ(State(), 0);
}

TEST_F(SimFirmware, RefusedImagesLeaveTheOldFirmwareRunning) {
    ShutDown();
    // Another target is refused as soon as the header has arrived, and a
    // refused piece changes nothing: its retry meets the same answer.
    const Bytes drive = Image("QD-9100", "0302", 100000);
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(Out(ToolWriteBufferCdb(4, 65532), Piece(drive, 0, 65532)).sense[13], 0x63);
    // Not an image at all.
    EXPECT_EQ(Download(Bytes(70000, 0xAB)).sense[13], 0x63);
    // A save with nothing sent is out of sequence.
    EXPECT_EQ(None(ToolWriteBufferCdb(5, 0)).sense[12], 0x2C);

    // A damaged payload, at the piece that completes it, each time it comes.
    Bytes damaged = Image("CONTROLLER", "0302", 100000);
    damaged[70000] ^= 1;
    auto r = Download(damaged);
    EXPECT_EQ(r.sense[2], 5);
    EXPECT_EQ(r.sense[12], 0x26);
    EXPECT_EQ(r.sense[13], 0x62);
    EXPECT_EQ(
        Out(ToolWriteBufferCdb(5, 100000 - 65532), Piece(damaged, 65532, 100000 - 65532)).sense[13],
        0x62);
    // What arrived stays until a restart drops it.
    EXPECT_EQ(None(ToolWriteBufferCdb(5, 0)).sense[13], 0x62);
    Restart();

    // An image whose header promises more than arrives: its save is refused.
    Bytes truncated = Image("CONTROLLER", "0302", 100000);
    truncated.resize(90000);
    EXPECT_EQ(Download(truncated).sense[13], 0x62);
    Restart();
    // Bytes past the declared end.
    Bytes longer = Image("CONTROLLER", "0302", 100000);
    longer.resize(100010, 0);
    EXPECT_EQ(Download(longer).sense[13], 0x62);

    EXPECT_EQ(State(), 6);
    EXPECT_EQ(Revision("STROVANE0"), "0301");
    EXPECT_EQ(Revision("STROVANE1"), "0301");
    // A restart drops a staged image; the subsystem comes back as it was.
    Restart();
    const Bytes good = Image("CONTROLLER", "0305", 70000);
    ASSERT_EQ(Out(ToolWriteBufferCdb(4, 70000), good).status, 0);
    ASSERT_EQ(None({0xF0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State(), 7);
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State(), 0);
    EXPECT_EQ(Revision("STROVANE0"), "0301");
}

TEST_F(SimFirmware, RestartWithoutWaitLeavesTheBusForARebootWindow) {
    ASSERT_EQ(None({0xF0, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State("STROVANE0"), -EBUSY);
    EXPECT_EQ(State("STROVANE1"), -EBUSY);
    sim->Advance(FirmwareRules::kRebootMs);
    EXPECT_EQ(State(), 7);
    sim->Advance(sim::CabinetRules::kRestartMs - FirmwareRules::kRebootMs);
    EXPECT_EQ(State(), 0);
    // A host that waits (bit 0) sees no window.
    ASSERT_EQ(None({0xF0, 0x03, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State(), 7);
}

TEST_F(SimFirmware, MismatchedRevisionsReportCodeMismatchUntilCopiedToThePartner) {
    Control("firmware 0 revision Y 0299");
    EXPECT_EQ(State("STROVANE0"), 12);
    EXPECT_EQ(State("STROVANE1"), 12);
    // The copy needs a subsystem that is shutting down or shut down.
    EXPECT_EQ(None({0x3B, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).sense[12], 0x2C);
    ASSERT_EQ(None({0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State(), 5);
    ASSERT_EQ(None({0x3B, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State("STROVANE1"), -EBUSY);
    sim->Advance(FirmwareRules::kCopyMs);
    EXPECT_EQ(Revision("STROVANE1"), "0301");
    EXPECT_EQ(State(), 7);
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State("STROVANE0"), 0);
    EXPECT_EQ(State("STROVANE1"), 0);
    // Without a partner there is nothing to copy to.
    Control("remove-controller 0 Y");
    ShutDown();
    EXPECT_EQ(None({0x3B, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).sense[12], 0x24);
}

TEST_F(SimFirmware, InterruptedFlashLeavesAControllerWithoutCode) {
    ShutDown();
    ASSERT_EQ(Download(Image("CONTROLLER", "0302", 70000)).status, 0);
    sim->Advance(FirmwareRules::kFlashMs / 4);
    Control("firmware 0 interrupt");
    // X was burning: it has no code, and Y (old code) runs the subsystem.
    EXPECT_EQ(State("STROVANE0"), 8);
    EXPECT_EQ(Revision("STROVANE0"), "    ");
    EXPECT_TRUE(Primary("STROVANE1"));
    EXPECT_FALSE(Primary("STROVANE0"));
    auto tur = None({0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(tur.sense[2], 2);
    EXPECT_EQ(tur.sense[13], 0x03);
    EXPECT_EQ(None({0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);  // nothing to shut down
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State("STROVANE1"), 12);

    // A controller without code takes an image without a shutdown.
    ASSERT_EQ(Download(Image("CONTROLLER", "0302", 70000)).status, 0);
    sim->Advance(FirmwareRules::kFlashMs + sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State("STROVANE0"), 0);
    EXPECT_EQ(State("STROVANE1"), 0);
    EXPECT_EQ(Revision("STROVANE1"), "0302");

    // Cut in the second half: X has the new code, Y none.
    ShutDown();
    ASSERT_EQ(Download(Image("CONTROLLER", "0303", 70000)).status, 0);
    sim->Advance(FirmwareRules::kFlashMs * 3 / 4);
    Control("firmware 0 interrupt");
    EXPECT_EQ(Revision("STROVANE0"), "0303");
    EXPECT_EQ(State("STROVANE1"), 8);
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State("STROVANE0"), 12);
}

TEST_F(SimFirmware, StalledFlashHoldsTheControllersOffTheBusUntilReleased) {
    Control("firmware 0 stall");
    ShutDown();
    ASSERT_EQ(Download(Image("CONTROLLER", "0302", 70000)).status, 0);
    sim->Advance(10 * FirmwareRules::kFlashMs);
    EXPECT_EQ(State(), -EBUSY);
    std::string shown;
    Control("firmware 0", &shown);
    EXPECT_NE(shown.find("window flash X remaining"), std::string::npos) << shown;
    EXPECT_NE(shown.find("stalled"), std::string::npos) << shown;
    Control("firmware 0 release");
    sim->Advance(FirmwareRules::kFlashMs);
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(Revision("STROVANE0"), "0302");
}

class SimDriveFirmware : public SimFirmware {
  protected:
    // One drive command through the exchange of STROVANE0.
    sim::SimReply Drive(std::uint8_t slot, const Bytes& inner,
                        SimDirection dir = SimDirection::kNone, const Bytes& out = {},
                        std::uint32_t in = 0) {
        const std::uint8_t code = dir == SimDirection::kNone  ? 1
                                  : dir == SimDirection::kOut ? 2
                                                              : 3;
        const std::uint32_t len = dir == SimDirection::kOut ? std::uint32_t(out.size()) : in;
        auto r = Out(ExchangeRequestCdb(code, slot, static_cast<std::uint8_t>(inner.size()), len),
                     inner);
        if (r.status != 0)
            return r;
        if (dir == SimDirection::kNone)
            return None({0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        if (dir == SimDirection::kOut)
            return Out({0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, out);
        return In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, in);
    }
    std::string DriveRevision(std::uint8_t slot) {
        auto r = Drive(slot, {0x12, 0, 0, 0, 0x24, 0}, SimDirection::kIn, {}, 36);
        return std::string(r.dataIn.begin() + 32, r.dataIn.begin() + 36);
    }
};

TEST_F(SimDriveFirmware, ImageInAnyModeThenOneUnitAttention) {
    // Mode 5 in one piece.
    const Bytes image = Image("QD-9100", "0103", 70000);
    ASSERT_EQ(Drive(0, WriteBufferCdb(5, 0, 0, 70000), SimDirection::kOut, image).status, 0);
    EXPECT_EQ(DriveRevision(0), "0103");  // INQUIRY is not told
    auto told = Drive(0, {0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(told.status, 0x02);
    EXPECT_EQ(told.sense[12], 0x80);  // the drive's own sense, in the controller's form
    EXPECT_EQ(told.sense[22], 6);
    EXPECT_EQ(told.sense[23], 0x29);
    EXPECT_EQ(told.sense[25], 0);
    EXPECT_EQ(Drive(0, {0x00, 0, 0, 0, 0, 0}).status, 0);  // once only

    // Mode 7 pieces at their offsets; a piece past what has arrived is refused.
    const Bytes second = Image("QD-9100", "0104", 100000);
    ASSERT_EQ(Drive(1, WriteBufferCdb(7, 0, 0, 65536), SimDirection::kOut, Piece(second, 0, 65536))
                  .status,
              0);
    EXPECT_EQ(
        Drive(1, WriteBufferCdb(7, 0, 70000, 100), SimDirection::kOut, Bytes(100, 0)).sense[23],
        0x24);
    ASSERT_EQ(Drive(1, WriteBufferCdb(7, 0, 65536, 34464), SimDirection::kOut,
                    Piece(second, 65536, 34464))
                  .status,
              0);
    EXPECT_EQ(DriveRevision(1), "0104");

    // 32 KiB pieces in mode 5 with buffer ids, then mode 4 and a mode 5 rest.
    const Bytes third = Image("QD-9100", "0105", 98304);
    for (std::uint8_t id = 0; id < 3; ++id) {
        Bytes cdb = {0x3B, 5, id, 0, 0, 0, 0, 0x80, 0, 0};
        ASSERT_EQ(Drive(2, cdb, SimDirection::kOut, Piece(third, id * 32768u, 32768)).status, 0);
    }
    EXPECT_EQ(DriveRevision(2), "0105");

    // A reset of the drive tells its next command too.
    EXPECT_EQ(Drive(2, {0x00, 0, 0, 0, 0, 0}).sense[23], 0x29);  // the image's
    EXPECT_EQ(Drive(2, {0x00, 0, 0, 0, 0, 0}).status, 0);
    ASSERT_EQ(None({0xE6, 0, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(Drive(2, {0x00, 0, 0, 0, 0, 0}).sense[23], 0x29);
    EXPECT_EQ(Drive(2, {0x00, 0, 0, 0, 0, 0}).status, 0);
}

TEST_F(SimDriveFirmware, RefusedDriveImagesKeepTheOldFirmware) {
    const Bytes other = Image("ST31230", "0200", 70000);
    auto r = Drive(0, WriteBufferCdb(5, 0, 0, 70000), SimDirection::kOut, other);
    EXPECT_EQ(r.sense[12], 0x80);
    EXPECT_EQ(r.sense[22], 5);
    EXPECT_EQ(r.sense[23], 0x26);
    EXPECT_EQ(r.sense[24], 0x63);
    Bytes damaged = Image("QD-9100", "0200", 70000);
    damaged[100] ^= 0xFF;
    EXPECT_EQ(Drive(0, WriteBufferCdb(4, 0, 0, 70000), SimDirection::kOut, damaged).sense[24],
              0x62);
    EXPECT_EQ(Drive(0, WriteBufferCdb(3, 0, 0, 4), SimDirection::kOut, Bytes(4, 0)).sense[23],
              0x24);
    // Half an image, then a restart: the half is dropped.
    const Bytes good = Image("QD-9100", "0200", 70000);
    ASSERT_EQ(
        Drive(0, WriteBufferCdb(4, 0, 0, 35000), SimDirection::kOut, Piece(good, 0, 35000)).status,
        0);
    ASSERT_EQ(None({0xF0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    sim->Advance(sim::CabinetRules::kRestartMs);
    ASSERT_EQ(
        Drive(0, WriteBufferCdb(4, 0, 0, 35000), SimDirection::kOut, Piece(good, 35000, 35000))
            .sense[24],
        0x63);  // the rest alone is no image
    EXPECT_EQ(DriveRevision(0), "0102");
    EXPECT_EQ(Drive(0, {0x00, 0, 0, 0, 0, 0}).status, 0);  // nothing to tell
}

TEST_F(SimDriveFirmware, DriveThatFailsItsInitializationAtTheNextRestart) {
    Control("firmware 0 init-fail A2");
    EXPECT_EQ(In({0x21, 0, 0, 0, 2, 0, 0, 0, 0, 0}, 12).dataIn[1], 0);
    ASSERT_EQ(None({0xF0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(In({0x21, 0, 0, 0, 2, 0, 0, 0, 0, 0}, 12).dataIn[1], 7);
}

TEST_F(SimDriveFirmware, ModePagesDefaultChangeableAndSaved) {
    // Page control 2 (defaults) and 1 (changeable) of every page, no block descriptor.
    auto defaults = Drive(0, {0x1A, 0x08, 0xBF, 0, 0xFF, 0}, SimDirection::kIn, {}, 255);
    ASSERT_EQ(defaults.status, 0);
    EXPECT_EQ(defaults.dataIn[0], 3 + 12 + 24 + 24 + 12);
    EXPECT_EQ(Bytes(defaults.dataIn.begin() + 4, defaults.dataIn.begin() + 16),
              Bytes({0x01, 0x0A, 0xC0, 0x08, 0x30, 0, 0, 0, 0x08, 0, 0xFF, 0xFF}));
    auto changeable = Drive(0, {0x1A, 0x08, 0x7F, 0, 0xFF, 0}, SimDirection::kIn, {}, 255);
    EXPECT_EQ(Bytes(changeable.dataIn.begin() + 4, changeable.dataIn.begin() + 16),
              Bytes({0x01, 0x0A, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(changeable.dataIn.begin() + 64, changeable.dataIn.begin() + 67),
              Bytes({0x08, 0x0A, 0x05}));

    // A select takes the changeable bits only: the retry counts, not the span.
    const Bytes list = {0, 0, 0, 0, 0x01, 0x0A, 0x80, 0x03, 0x77, 0, 0, 0, 0x02, 0, 0x00, 0x10};
    ASSERT_EQ(Drive(0, {0x15, 0x01, 0, 0, 16, 0}, SimDirection::kOut, list).status, 0);
    auto current = Drive(0, {0x1A, 0x08, 0x01, 0, 16, 0}, SimDirection::kIn, {}, 16);
    EXPECT_EQ(Bytes(current.dataIn.begin() + 4, current.dataIn.end()),
              Bytes({0x01, 0x0A, 0x80, 0x03, 0x30, 0, 0, 0, 0x02, 0, 0x00, 0x10}));
    auto saved = Drive(0, {0x1A, 0x08, 0xC1, 0, 16, 0}, SimDirection::kIn, {}, 16);
    EXPECT_EQ(saved.dataIn, current.dataIn);
    // Another drive keeps its defaults.
    EXPECT_EQ(Drive(1, {0x1A, 0x08, 0x01, 0, 16, 0}, SimDirection::kIn, {}, 16).dataIn[6], 0xC0);

    // A wrong page length, an unknown page, a list cut inside a page: refused.
    const Bytes wrongLength = {0, 0, 0, 0, 0x08, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Drive(0, {0x15, 0x01, 0, 0, 15, 0}, SimDirection::kOut, wrongLength).sense[23], 0x26);
    const Bytes unknown = {0, 0, 0, 0, 0x1C, 0x02, 0, 0};
    EXPECT_EQ(Drive(0, {0x15, 0x01, 0, 0, 8, 0}, SimDirection::kOut, unknown).sense[23], 0x26);
    const Bytes cut = {0, 0, 0, 0, 0x08, 0x0A, 0, 0};
    EXPECT_EQ(Drive(0, {0x15, 0x01, 0, 0, 8, 0}, SimDirection::kOut, cut).sense[23], 0x26);
    EXPECT_EQ(Drive(0, {0x1A, 0x08, 0x01, 0, 16, 0}, SimDirection::kIn, {}, 16).dataIn[7], 0x03);

    // The saved pages and a pending attention are kept in the state file.
    Control("firmware 0 init-fail B1");
    ASSERT_EQ(None({0xE6, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    sim::WorldModel back;
    std::string error;
    ASSERT_TRUE(
        sim::ModelJson::FromText(sim::ModelJson::ToJson(sim->Snapshot()).dump(), &back, &error))
        << error;
    const sim::DriveModel& d = back.cabinets[0].drives[0];
    EXPECT_EQ(d.modePages.at(0x01),
              Bytes({0x01, 0x0A, 0x80, 0x03, 0x30, 0, 0, 0, 0x02, 0, 0, 0x10}));
    EXPECT_TRUE(d.unitAttention);
    EXPECT_TRUE(back.cabinets[0].drives[1].initFailNext);
}

TEST_F(SimFirmware, NoCodeIsKeptInTheStateFile) {
    ShutDown();
    ASSERT_EQ(Download(Image("CONTROLLER", "0302", 70000)).status, 0);
    Control("firmware 0 interrupt");
    sim::WorldModel back;
    std::string error;
    ASSERT_TRUE(
        sim::ModelJson::FromText(sim::ModelJson::ToJson(sim->Snapshot()).dump(), &back, &error))
        << error;
    EXPECT_TRUE(back.cabinets[0].controllers[0].noCode);
    EXPECT_FALSE(back.cabinets[0].controllers[1].noCode);
}

TEST_F(SimFirmware, TraceShowsTheDataEachCommandCarried) {
    ShutDown();
    Control("clear-trace STROVANE0");
    const Bytes image = Image("CONTROLLER", "0302", 65600);
    Download(image);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", sim::Crc32(image.data(), 65532));
    EXPECT_EQ(sim->Trace("STROVANE0"),
              "op=3b cdb=3b04000000"
              "0000fffc00 status=00 out=65532:" +
                  std::string(crc) +
                  "\n"
                  "op=3b cdb=3b05000000"
                  "0000004400 status=00 out=" +
                  sim::CommandTrace::DataSummary(Piece(image, 65532, 68)) + "\n");
    EXPECT_EQ(sim::CommandTrace::DataSummary({0x0A, 0x0B, 0xFF}), "0a0bff");
    EXPECT_EQ(sim::CommandTrace::DataSummary(Bytes(33, 0)).substr(0, 3), "33:");
}

}  // namespace
