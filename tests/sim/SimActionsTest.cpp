// Vendor actions, the host sequence, the controller log, LUN data and the
// drive exchange of the simulated controller: each command's reply and the
// state change the following reads show.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "platform/Clock.h"

using namespace simtest;
using sim::SimDirection;

namespace {

class SimActions : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Simulator> sim = MakeSim();
    sim::SessionContext session;

    sim::SimReply In(const Bytes& cdb, std::uint32_t len, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb, SimDirection::kIn, len);
    }
    sim::SimReply None(const Bytes& cdb, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb);
    }
    sim::SimReply Out(const Bytes& cdb, const Bytes& data, const std::string& path = "STROVANE0") {
        return Send(*sim, path, session, cdb, SimDirection::kOut, 0, data);
    }
    std::uint8_t State() { return In({0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32).dataIn[1]; }
    std::uint8_t DriveState(std::uint8_t slot) {
        return In({0x21, 0, 0, 0, slot, 0, 0, 0, 0, 0}, 12).dataIn[1];
    }
    std::uint8_t LunStatus(int lun) {
        auto t = In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x43, 0}, 67);
        return t.dataIn[3 + 8 * lun + 1];
    }
    void Control(const std::string& line) {
        std::string answer;
        ASSERT_TRUE(sim->Control(line, &answer)) << line << ": " << answer;
    }
    static std::uint16_t VendorCode(const sim::SimReply& r) {
        return static_cast<std::uint16_t>((r.sense[19] << 8) | r.sense[20]);
    }
};

TEST_F(SimActions, HostSequenceAcceptsRefusesWithDataAndSignsOff) {
    auto take = In({0xEE, 0x00, 0x00, 0x00, 0x00, 0x05, 0, 0, 0, 0}, 2);
    EXPECT_EQ(take.status, 0);
    EXPECT_EQ(take.dataIn, Bytes({0x00, 0x05}));
    // Another host with a stale number is refused, with the data, the same way each time.
    for (int i = 0; i < 3; ++i) {
        auto other = In({0xEE, 0x00, 0x00, 0x07, 0x00, 0x09, 0, 0, 0, 0}, 2);
        EXPECT_EQ(other.status, 0x02);
        EXPECT_EQ(other.dataIn, Bytes({0x00, 0x05}));
        EXPECT_EQ(other.sense[2], 5);
        EXPECT_EQ(other.sense[12], 0x80);
        EXPECT_EQ(other.sense[13], 0x28);
    }
    // The number is the cabinet's: the partner controller knows it too.
    auto next = In({0xEE, 0x00, 0x00, 0x05, 0x00, 0x06, 0, 0, 0, 0}, 2, "STROVANE1");
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.dataIn, Bytes({0x00, 0x06}));
    auto off = In({0xEE, 0x00, 0x00, 0x06, 0x00, 0x00, 0, 0, 0, 0}, 2);
    EXPECT_EQ(off.dataIn, Bytes({0x00, 0x00}));
    auto anyone = In({0xEE, 0x00, 0x00, 0x33, 0x00, 0x34, 0, 0, 0, 0}, 2);
    EXPECT_EQ(anyone.status, 0);
    auto forced = In({0xEE, 0x01, 0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0}, 2);
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.dataIn, Bytes({0x00, 0x40}));
}

TEST_F(SimActions, ScriptedHostSequenceRefusals) {
    Control("refuse 0 X 2 4660");
    for (int i = 0; i < 2; ++i) {
        auto r = In({0xEE, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0}, 2);
        EXPECT_EQ(r.status, 0x02);
        EXPECT_EQ(r.dataIn, Bytes({0x12, 0x34}));
    }
    EXPECT_EQ(In({0xEE, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0}, 2).status, 0);
}

TEST_F(SimActions, ControllerLogConsumesOnlyWhatWasReturned) {
    EXPECT_EQ(In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3).dataIn, Bytes({0x01, 0x00, 0x00}));
    Control("log 0 102 A2");
    Control("log 0 144 B3");
    auto head = In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3);
    EXPECT_EQ(head.dataIn, Bytes({0x01, 0x00, 0x24}));
    // A flagged read with room for one entry returns and drops that one only.
    auto one = In({0xF2, 0x02, 0, 1, 0, 0, 0, 0x00, 0x15, 0}, 21);
    EXPECT_EQ(one.dataIn[3], 0);      // kind 0
    EXPECT_EQ(one.dataIn[3 + 7], 0);  // event code 102
    EXPECT_EQ(one.dataIn[3 + 8], 102);
    EXPECT_EQ(one.dataIn[3 + 10], 2);  // slot A2
    EXPECT_EQ(In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3).dataIn, Bytes({0x01, 0x00, 0x12}));
    // An unflagged read leaves the log as it is.
    auto rest = In({0xF2, 0x00, 0, 1, 0, 0, 0, 0x00, 0x15, 0}, 21);
    EXPECT_EQ(rest.dataIn[3 + 8], 144);
    EXPECT_EQ(In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3).dataIn, Bytes({0x01, 0x00, 0x12}));
}

TEST_F(SimActions, AliasAndVolumeSetId) {
    auto a = In({0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16);
    EXPECT_EQ(a.dataIn, Cat({Text("FIRSTCAB"), Zeros(8)}));
    ASSERT_EQ(Out({0xFD, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0}, Cat({Text("NEWNAME"), Zeros(5)})).status,
              0);
    EXPECT_EQ(In({0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16, "STROVANE1").dataIn,
              Cat({Text("NEWNAME"), Zeros(9)}));
    // A named set becomes the cabinet's; the default (16 'F') keeps it.
    ASSERT_EQ(Out({0xFA, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, Text("VOLSET0000000002")).status, 0);
    EXPECT_EQ(sim->Snapshot().cabinets[0].volumeSetId, "VOLSET0000000002");
    Control("advance 100000");
    ASSERT_EQ(Out({0xFA, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, Bytes(16, 0x46)).status, 0);
    EXPECT_EQ(sim->Snapshot().cabinets[0].volumeSetId, "VOLSET0000000002");
}

TEST_F(SimActions, DownIncludeResetAndRefusals) {
    EXPECT_EQ(VendorCode(None({0xE0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), 19);  // already a member
    EXPECT_EQ(None({0xE0, 0, 0, 0, 5, 0, 0, 0, 0, 0}).sense[12], 0x24);  // empty slot
    ASSERT_EQ(None({0xE1, 0x00, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);     // down A2
    EXPECT_EQ(DriveState(2), 3);
    EXPECT_EQ(DriveState(3), 9);  // the spare rebuilds
    EXPECT_EQ(LunStatus(0), 3);
    EXPECT_EQ(State(), 1);
    // Redundancy is gone while rebuilding: allowance 0 may not down another member.
    auto refused = None({0xE1, 0x00, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(refused.sense[12], 0x26);
    EXPECT_EQ(VendorCode(refused), 36);
    EXPECT_EQ(DriveState(0), 0);
    // Downing a down drive again succeeds (the host tells the duplicate itself).
    EXPECT_EQ(None({0xE1, 0x00, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);
    ASSERT_EQ(None({0xE6, 0, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(DriveState(2), 2);
    EXPECT_EQ(None({0xE7, 0, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(DriveState(2), 2);
    sim->Advance(sim::CabinetRules::kRebuildMs);
    EXPECT_EQ(DriveState(3), 0);
    EXPECT_EQ(LunStatus(0), 1);
    ASSERT_EQ(None({0xE0, 0, 0, 0, 2, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(DriveState(2), 0);
    EXPECT_EQ(State(), 0);
}

TEST_F(SimActions, PulledDriveWithoutSpareNeedsRebuild) {
    Control("pull 0 B2");  // the spare
    Control("pull 0 A1");
    auto block = In({0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(block.dataIn[1], 1);
    EXPECT_EQ(block.dataIn[9], 1);   // not redundant
    EXPECT_EQ(block.dataIn[11], 0);  // no spare, but none is wanted
    EXPECT_EQ(block.dataIn[20], 1);  // rebuild needed
    EXPECT_EQ(block.dataIn[21], 1);  // missing drive
    EXPECT_EQ(LunStatus(0), 2);
    auto m = In({0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x4F, 0}, 79);
    EXPECT_EQ(Bytes(m.dataIn.begin(), m.dataIn.begin() + 4), Bytes({0x00, 0x4D, 76, 1}));
    EXPECT_EQ(Bytes(m.dataIn.begin() + 3 + 33, m.dataIn.begin() + 3 + 45), Text("DRV000000001"));
    EXPECT_EQ(VendorCode(None({0x26, 0x00, 0, 0, 0, 0, 0, 0, 0, 0})), 48);  // nothing to stop
    EXPECT_EQ(VendorCode(None({0x26, 0x01, 0, 0, 0, 0, 0, 0, 0, 0})), 19);  // nothing to use
    Control("insert 0 A1 NEWDRIVE0001");
    EXPECT_EQ(DriveState(0), 2);
    ASSERT_EQ(None({0x26, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(DriveState(0), 9);
    auto p21 = In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22);
    EXPECT_EQ(p21.dataIn[11] & 0x10, 0x10);
    sim->Advance(sim::CabinetRules::kRebuildMs / 2);
    EXPECT_EQ(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22).dataIn[18], 50);
    ASSERT_EQ(None({0x26, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    sim->Advance(sim::CabinetRules::kRebuildMs);
    EXPECT_EQ(DriveState(0), 9);  // stopped rebuilds do not progress
    ASSERT_EQ(None({0x26, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    sim->Advance(sim::CabinetRules::kRebuildMs);
    EXPECT_EQ(DriveState(0), 0);
}

// A RAID 5 unit survives one lost member; a second lost before the first is
// rebuilt takes its data: failed, and so it stays after the rebuild onto the
// spare ends. A drive lost while it is being rebuilt onto held nothing yet.
TEST_F(SimActions, AUnitThatLosesTwoMembersFailsForGood) {
    Control("pull 0 A1");  // the spare in B2 rebuilds
    EXPECT_EQ(LunStatus(0), 3);
    Control("pull 0 B1");
    EXPECT_EQ(LunStatus(0), 5);
    auto block = In({0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(block.dataIn[1], 1);  // two members remain: the units are still listed
    EXPECT_EQ(block.dataIn[8], 1);  // data unavailable
    EXPECT_EQ(In({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 512).sense[2] & 0x0F, 4);
    sim->Advance(sim::CabinetRules::kRebuildMs);
    EXPECT_EQ(DriveState(3), 0);
    EXPECT_EQ(LunStatus(0), 5);
}

TEST_F(SimActions, ADriveLostWhileItIsRebuiltOntoCostsTheUnitNothing) {
    Control("pull 0 A1");  // the spare in B2 rebuilds
    Control("fail-drive 0 B2");
    EXPECT_EQ(LunStatus(0), 2);  // degraded: a rebuild is needed
    EXPECT_EQ(In({0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32).dataIn[8], 0);
}

// With time scale 0 the simulated clock is virtual: real time passing moves
// nothing, only Advance does, so a test reads exactly what it advanced to
// however slow the machine is.
TEST_F(SimActions, WithTimeScaleZeroOnlyAdvanceMovesTheClock) {
    Control("timescale 0");
    Control("pull 0 B2");
    Control("pull 0 A1");
    Control("insert 0 A1 NEWDRIVE0001");
    ASSERT_EQ(None({0x26, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    platform::SleepMs(50);
    EXPECT_EQ(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22).dataIn[18], 0);
    sim->Advance(sim::CabinetRules::kRebuildMs / 2);
    platform::SleepMs(50);
    EXPECT_EQ(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22).dataIn[18], 50);
    // A real clock again: time passes by itself (50 ms are at least 50 s
    // here, whether the rebuild is further on or already done).
    Control("timescale 1000");
    platform::SleepMs(50);
    EXPECT_NE(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22).dataIn[18], 50);
}

TEST_F(SimActions, LunCreateRenumberDeleteAndData) {
    // 2 units of 2^19 bytes = 2048 blocks.
    ASSERT_EQ(Out({0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x01, 0x00, 0x00, 0x00, 0x02, 0x00}).status,
              0);
    EXPECT_EQ(In({0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).dataIn,
              Bytes({0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(VendorCode(Out({0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 2, 0})), 16);
    EXPECT_EQ(VendorCode(Out({0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 9, 0})), 18);
    EXPECT_EQ(In({0x25, 1 << 5, 0, 0, 0, 0, 0, 0, 0, 0}, 8).dataIn,
              Bytes({0x00, 0x00, 0x07, 0xFF, 0x00, 0x00, 0x02, 0x00}));

    Bytes block = Zeros(1024);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(Out({0x2A, 1 << 5, 0, 0, 0x07, 0xFE, 0, 0x00, 0x02, 0}, block).status, 0);
    EXPECT_EQ(In({0x28, 1 << 5, 0, 0, 0x07, 0xFE, 0, 0x00, 0x02, 0}, 1024).dataIn, block);
    auto past = In({0x28, 1 << 5, 0, 0, 0x07, 0xFF, 0, 0x00, 0x02, 0}, 1024);
    EXPECT_EQ(past.sense[12], 0x21);

    EXPECT_EQ(VendorCode(None({0xE5, 0, 1, 0, 0, 0, 0, 0, 0, 0})), 17);  // LUN 0 in use
    ASSERT_EQ(None({0xE5, 0, 1, 0, 5, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(In({0x28, 5 << 5, 0, 0, 0x07, 0xFE, 0, 0x00, 0x02, 0}, 1024).dataIn, block);
    EXPECT_EQ(In({0x28, 1 << 5, 0, 0, 0, 0, 0, 0x00, 0x01, 0}, 512).sense[12], 0x25);

    ASSERT_EQ(None({0xE3, 0, 5, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(In({0x28, 5 << 5, 0, 0, 0, 0, 0, 0x00, 0x01, 0}, 512).sense[2], 2);
    sim->Advance(sim::CabinetRules::kDeleteLunMs);
    // The LUN set changed when the deletion ended: every host hears of it once.
    auto attention = None({0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(attention.status, 0x02);
    EXPECT_EQ(Bytes(attention.sense.begin() + 12, attention.sense.begin() + 14),
              Bytes({0x3F, 0x0E}));
    EXPECT_EQ(LunStatus(5), 0);
    EXPECT_EQ(In({0x12, 0x01, 0xC0, 0x00, 0x24, 0x00}, 36).dataIn[4 + 5], 0);
}

TEST_F(SimActions, FormatRunsOverTimeAndClearsLuns) {
    ASSERT_EQ(None({0xE4, 0, 0, 0, 0, 0, 0, 0, 1, 0}).status, 0);
    EXPECT_EQ(State(), 14);
    auto tur = None({0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(tur.sense[2], 2);
    EXPECT_EQ(tur.sense[12], 0x04);
    EXPECT_EQ(tur.sense[13], 0x04);
    sim->Advance(sim::CabinetRules::kFormatMs / 4);
    auto p22 = In({0x5A, 0x08, 0x22, 0, 0, 0, 0, 0, 0x2A, 0}, 42);
    EXPECT_EQ(p22.dataIn[21] & 1, 1);
    // A quarter of the way, plus whatever real time passed meanwhile.
    EXPECT_GE(p22.dataIn[22], 25);
    EXPECT_LE(p22.dataIn[22], 30);
    sim->Advance(sim::CabinetRules::kFormatMs);
    EXPECT_EQ(State(), 0);
    EXPECT_EQ(LunStatus(0), 0);
    EXPECT_EQ(None({0x00, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(In({0x5A, 0x08, 0x22, 0, 0, 0, 0, 0, 0x2A, 0}, 42).dataIn[21] & 1, 0);
}

TEST_F(SimActions, ShutdownRestartAndSwitch) {
    ASSERT_EQ(None({0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State(), 5);
    sim->Advance(sim::CabinetRules::kShutdownMs);
    EXPECT_EQ(State(), 6);
    EXPECT_EQ(None({0x00, 0, 0, 0, 0, 0}).sense[13], 0x02);
    ASSERT_EQ(None({0xF0, 0x03, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(In({0x23, 0, 0, 0, 0, 0, 0, 0, 2, 0}, 2).sense[13], 0x01);
    sim->Advance(sim::CabinetRules::kRestartMs);
    EXPECT_EQ(State(), 0);

    ASSERT_EQ(None({0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "STROVANE1").status, 0);
    EXPECT_EQ(In({0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, "STROVANE1").dataIn[2], 1);
    EXPECT_EQ(In({0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, "STROVANE0").dataIn[2], 0);
}

class SimExchange : public SimActions {
  protected:
    sim::SimReply Request(std::uint8_t dir, std::uint8_t slot, std::uint32_t len,
                          const Bytes& inner, sim::SessionContext& s) {
        return ExchangeRequest(*sim, s, dir, slot, len, inner);
    }
    sim::SimReply DataIn(std::uint32_t len, sim::SessionContext& s) {
        return ExchangeData(*sim, s, 0xF4, len);
    }
};

TEST_F(SimExchange, InquiryCapacityAndSerialOfADrive) {
    ASSERT_EQ(Request(3, 0, 36, {0x12, 0, 0, 0, 0x24, 0}, session).status, 0);
    auto inq = DataIn(36, session);
    EXPECT_EQ(inq.dataIn, Cat({{0x00, 0x00, 0x02, 0x02, 0x1F, 0, 0, 0},
                               Text("QDISK   "),
                               Text("QD-9100         "),
                               Text("0102")}));
    ASSERT_EQ(Request(3, 0, 4, {0x12, 0x01, 0x80, 0, 0x04, 0}, session).status, 0);
    EXPECT_EQ(DataIn(4, session).dataIn, Bytes({0x00, 0x80, 0x00, 0x0C}));
    ASSERT_EQ(Request(3, 0, 16, {0x12, 0x01, 0x80, 0, 0x10, 0}, session).status, 0);
    EXPECT_EQ(DataIn(16, session).dataIn, Cat({{0x00, 0x80, 0x00, 0x0C}, Text("DRV000000001")}));
    ASSERT_EQ(Request(3, 1, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, session).status, 0);
    EXPECT_EQ(DataIn(8, session).dataIn, Bytes({0x00, 0x00, 0x0F, 0xFF, 0x00, 0x00, 0x02, 0x00}));
}

TEST_F(SimExchange, ShortDataInIsAllowed) {
    // The exchange allows 64 bytes; the drive's command asks for 16 only.
    ASSERT_EQ(Request(3, 0, 64, {0x12, 0x01, 0x80, 0, 0x10, 0}, session).status, 0);
    auto r = DataIn(64, session);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.dataIn.size(), 16u);
    // The phase never moves more than its own transfer length.
    ASSERT_EQ(Request(3, 0, 64, {0x12, 0x01, 0x80, 0, 0x40, 0}, session).status, 0);
    EXPECT_EQ(DataIn(8, session).dataIn.size(), 8u);
    ASSERT_EQ(Request(3, 0, 64, {0x37, 0, 0x0D, 0, 0, 0, 0, 0, 0x40, 0}, session).status, 0);
    auto defects = DataIn(64, session);
    EXPECT_EQ(Bytes(defects.dataIn.begin(), defects.dataIn.begin() + 12),
              Bytes({0x00, 0x0D, 0x00, 0x08, 0x01, 0x11, 0x70, 0x03, 0x00, 0x01, 0xE2, 0x40}));
}

TEST_F(SimExchange, WriteThenReadADrive) {
    Bytes data(512, 0x5C);
    ASSERT_EQ(Request(2, 2, 512, {0x2A, 0, 0, 0, 0, 9, 0, 0, 1, 0}, session).status, 0);
    auto w = Send(*sim, "STROVANE0", session, {0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SimDirection::kOut,
                  0, data);
    ASSERT_EQ(w.status, 0);
    ASSERT_EQ(Request(3, 2, 512, {0x28, 0, 0, 0, 0, 9, 0, 0, 1, 0}, session).status, 0);
    EXPECT_EQ(DataIn(512, session).dataIn, data);
}

TEST_F(SimExchange, ADataOutPhaseShortOfTheRequestWritesNothing) {
    ASSERT_EQ(Request(2, 2, 1024, {0x2A, 0, 0, 0, 0, 9, 0, 0, 2, 0}, session).status, 0);
    auto w = Send(*sim, "STROVANE0", session, {0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SimDirection::kOut,
                  0, Bytes(600, 0x5C));
    EXPECT_EQ(w.status, 0x02);
    ASSERT_EQ(w.sense.size(), 26u);
    EXPECT_EQ(w.sense[2], 5);
    EXPECT_EQ(w.sense[12], 0x1A);  // parameter list length error
    EXPECT_TRUE(sim->Snapshot().cabinets[0].drives[2].data.Empty());
}

TEST_F(SimExchange, DriveSenseInControllerForm) {
    ASSERT_EQ(Request(1, 1, 0, {0x2F, 0, 0, 0, 0, 100, 0, 0, 1, 0}, session).status, 0);
    auto r = Send(*sim, "STROVANE0", session, {0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(r.status, 0x02);
    Bytes want = Zeros(26);
    want[0] = 0xF0;  // the information field is valid ...
    want[6] = 100;   // ... and names the bad block
    want[2] = 3;
    want[7] = 18;
    want[12] = 0x80;
    want[14] = 2;  // slot B1 + 1
    want[22] = 3;
    want[23] = 0x11;
    want[25] = 1;
    EXPECT_EQ(r.sense, want);
}

TEST_F(SimExchange, PhaseWithoutRequestOrOfAnotherDirection) {
    EXPECT_EQ(DataIn(8, session).sense[12], 0x2C);
    ASSERT_EQ(Request(1, 0, 0, {0x00, 0, 0, 0, 0, 0}, session).status, 0);
    EXPECT_EQ(DataIn(8, session).sense[12], 0x2C);
    // The refused phase consumed the request.
    EXPECT_EQ(Send(*sim, "STROVANE0", session, {0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0}).sense[12], 0x2C);
    ASSERT_EQ(Request(1, 5, 0, {0x00, 0, 0, 0, 0, 0}, session).status, 0);  // empty slot
    auto empty = Send(*sim, "STROVANE0", session, {0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(empty.sense[2], 2);
    EXPECT_EQ(empty.sense[12], 0x04);
    EXPECT_EQ(empty.sense[13], 0x03);
}

TEST_F(SimExchange, PendingRequestBelongsToItsConnection) {
    sim::SessionContext other;
    ASSERT_EQ(Request(3, 0, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, session).status, 0);
    ASSERT_EQ(Request(3, 2, 36, {0x12, 0, 0, 0, 0x24, 0}, other).status, 0);
    auto mine = DataIn(8, session);
    EXPECT_EQ(mine.dataIn, Bytes({0x00, 0x00, 0x0F, 0xFF, 0x00, 0x00, 0x02, 0x00}));
    auto theirs = DataIn(36, other);
    EXPECT_EQ(Bytes(theirs.dataIn.begin() + 8, theirs.dataIn.begin() + 13), Text("QDISK"));
}

TEST_F(SimExchange, LogPagesAndReset) {
    ASSERT_EQ(Request(3, 0, 12, {0x4D, 0, 0x40, 0, 0, 0, 0, 0, 12, 0}, session).status, 0);
    EXPECT_EQ(DataIn(12, session).dataIn, Bytes({0, 0, 0, 5, 0, 2, 3, 5, 6, 0, 0, 0}));
    Control("fail-drive 0 A1");
    ASSERT_EQ(Request(3, 0, 12, {0x4D, 0, 0x42, 0, 0, 0, 0, 0, 12, 0}, session).status, 0);
    auto failed = DataIn(12, session);
    EXPECT_EQ(failed.sense[22], 4);  // a failed drive answers with a hardware error
}

TEST_F(SimExchange, DriveModeSenseAndModeSelect) {
    ASSERT_EQ(Request(3, 2, 16, {0x1A, 0x08, 0x08, 0, 0x10, 0}, session).status, 0);
    EXPECT_EQ(DataIn(16, session).dataIn,
              Bytes({0x0F, 0, 0, 0, 0x08, 0x0A, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(Request(3, 2, 16, {0x1A, 0x08, 0x2A, 0, 0x10, 0}, session).status, 0);
    EXPECT_EQ(DataIn(16, session).sense[23], 0x24);  // the drive knows no page 0x2A
    Bytes page = {0, 0, 0, 0, 0x08, 0x0A, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(Request(2, 2, 16, {0x15, 0x11, 0, 0, 0x10, 0}, session).status, 0);
    EXPECT_EQ(Send(*sim, "STROVANE0", session, {0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   SimDirection::kOut, 0, page)
                  .status,
              0);
    EXPECT_EQ(sim->Snapshot().cabinets[0].drives[2].modeSelectData, page);
}

}  // namespace
