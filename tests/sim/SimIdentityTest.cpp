// Identification pages, mode pages and the vendor reads of the simulated
// controller, checked against the byte layouts of docs/controller-interface.md.
#include <gtest/gtest.h>

#include "SimTestUtil.h"

using namespace simtest;
using sim::SimDirection;

namespace {

class SimIdentity : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Simulator> sim = MakeSim();
    sim::SessionContext session;

    sim::SimReply In(const std::string& path, const Bytes& cdb, std::uint32_t len) {
        return Send(*sim, path, session, cdb, SimDirection::kIn, len);
    }
};

TEST_F(SimIdentity, ScenarioLoads) {
    ASSERT_EQ(sim->PathNames(true).size(), 3u);
}

TEST_F(SimIdentity, IdentityPageCarriesProductCodeLevelAndFirmware) {
    auto r = In("STROVANE0", {0x12, 0x01, 0xE0, 0x00, 0x44, 0x00}, 68);
    ASSERT_EQ(r.status, 0);
    Bytes want = Cat(
        {{0x00, 0xE0, 0x00, 0x40, 0, 0, 0, 0}, Text("QRVZX-4003"), Text("FW01.02.03"), Zeros(40)});
    EXPECT_EQ(r.dataIn, want);
    // The 28-byte form is the head of the same page.
    auto s = In("STROVANE0", {0x12, 0x01, 0xE0, 0x00, 0x1C, 0x00}, 28);
    EXPECT_EQ(s.dataIn, Bytes(want.begin(), want.begin() + 28));
}

TEST_F(SimIdentity, OddTransferMovesExactlyTheAllocationLength) {
    // The host asks the transport for one byte more than an odd allocation.
    auto r = In("STROVANE0", {0x12, 0x01, 0xE0, 0x00, 0x1D, 0x00}, 30);
    EXPECT_EQ(r.dataIn.size(), 29u);
}

TEST_F(SimIdentity, UnitSerialPageTellsActiveRoleSerialsAndBackplane) {
    auto x = In("STROVANE0", {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48);
    EXPECT_EQ(x.dataIn, Cat({{0x00, 0x80, 0x01, 0x2C},
                             Text("CTRLX00000000001"),
                             Text("CTRLY00000000001"),
                             Text("CAB000000001")}));
    auto y = In("STROVANE1", {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48);
    EXPECT_EQ(y.dataIn, Cat({{0x00, 0x80, 0x00, 0x2C},
                             Text("CTRLY00000000001"),
                             Text("CTRLX00000000001"),
                             Text("CAB000000001")}));
}

TEST_F(SimIdentity, StandardInquiryAndLunQualifier) {
    auto r = In("STROVANE0", {0x12, 0x00, 0x00, 0x00, 0x24, 0x00}, 36);
    EXPECT_EQ(r.dataIn, Cat({{0x00, 0x00, 0x02, 0x02, 0x1F, 0, 0, 0},
                             Text("STROVANE"),
                             Text("ARRAY CTL       "),
                             Text("0301")}));
    auto missing = In("STROVANE0", {0x12, 3 << 5, 0x00, 0x00, 0x24, 0x00}, 36);
    EXPECT_EQ(missing.dataIn[0], 0x7F);
}

TEST_F(SimIdentity, LunMapHasOneFlagPerLun) {
    auto r = In("STROVANE0", {0x12, 0x01, 0xC0, 0x00, 0x24, 0x00}, 36);
    EXPECT_EQ(r.dataIn, Cat({{0x00, 0xC0, 0x00, 0x20, 1, 0, 0, 0, 0, 0, 0, 0}, Zeros(24)}));
}

TEST_F(SimIdentity, PlainDiskAnswersInquiryButNotTheIdentityPage) {
    auto std = In("PHYSICALDRIVE0", {0x12, 0x00, 0x00, 0x00, 0x24, 0x00}, 36);
    ASSERT_EQ(std.status, 0);
    EXPECT_EQ(Bytes(std.dataIn.begin() + 8, std.dataIn.begin() + 16), Text("GENERIC "));
    auto id = In("PHYSICALDRIVE0", {0x12, 0x01, 0xE0, 0x00, 0x44, 0x00}, 68);
    EXPECT_EQ(id.status, 0x02);
    ASSERT_GE(id.sense.size(), 14u);
    EXPECT_EQ(id.sense[2], 5);
    EXPECT_EQ(id.sense[12], 0x24);
}

TEST_F(SimIdentity, ModeSenseAnswersTheAllocationLength) {
    // The header alone tells a host how long the page is.
    auto head = In("STROVANE0", {0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x08, 0}, 8);
    EXPECT_EQ(head.status, 0);
    EXPECT_EQ(head.dataIn, Bytes({0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    // A longer allocation: the page, then zeros.
    auto longer = In("STROVANE0", {0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(longer.status, 0);
    ASSERT_EQ(longer.dataIn.size(), 32u);
    EXPECT_EQ(longer.dataIn[8], 0xA1);
    EXPECT_EQ(longer.dataIn[9], 12);
    EXPECT_EQ(Bytes(longer.dataIn.begin() + 22, longer.dataIn.end()), Bytes(10, 0));
}

TEST_F(SimIdentity, BadCommandsGetIllegalRequest) {
    struct Case {
        Bytes cdb;
        std::uint8_t asc;
    } cases[] = {
        {{0xC7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x20},           // unknown opcode
        {{0x12, 0x01, 0x99, 0x00, 0x30, 0x00}, 0x24},        // unknown page
        {{0x5A, 0x08, 0x3F, 0, 0, 0, 0, 0, 0x16, 0}, 0x24},  // unknown mode page
        {{0x21, 0, 0, 0, 12, 0, 0, 0, 0, 0}, 0x24},          // slot 12
        {{0x23, 0, 2, 0, 0, 0, 0, 0, 2, 0}, 0x24},           // unknown list
        {{0xF2, 0, 0, 9, 0, 0, 0, 0, 3, 0}, 0x24},           // unknown controller page
        {{0x20, 0x00}, 0x24},                                // truncated CDB
        {{}, 0x20},                                          // empty CDB
    };
    for (const auto& c : cases) {
        auto r = In("STROVANE0", c.cdb, 64);
        EXPECT_EQ(r.status, 0x02);
        ASSERT_EQ(r.sense.size(), 26u);
        EXPECT_EQ(r.sense[0], 0x70);
        EXPECT_EQ(r.sense[2], 5);
        EXPECT_EQ(r.sense[7], 18);
        EXPECT_EQ(r.sense[12], c.asc);
    }
}

TEST_F(SimIdentity, RequestSenseAnswersNoSenseAfterAutosense) {
    In("STROVANE0", {0xC7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0);
    auto r = In("STROVANE0", {0x03, 0x00, 0x00, 0x00, 0x1A, 0x00}, 26);
    ASSERT_EQ(r.status, 0);
    Bytes want = Zeros(26);
    want[0] = 0x70;
    want[7] = 18;
    EXPECT_EQ(r.dataIn, want);
}

TEST_F(SimIdentity, ModePagesReadAndRoundTrip) {
    auto p21 = In("STROVANE0", {0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22);
    EXPECT_EQ(p21.dataIn,
              Bytes({0x00, 0x14, 0,    0,    0,    0,    0,    0,    0xA1, 0x0C, 0x00,
                     0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C}));
    auto p08 = In("STROVANE0", {0x5A, 0x08, 0x08, 0, 0, 0, 0, 0, 0x14, 0}, 20);
    EXPECT_EQ(p08.dataIn, Cat({{0x00, 0x12, 0, 0, 0, 0, 0, 0, 0x88, 0x0A, 0x04}, Zeros(9)}));
    auto p22 = In("STROVANE0", {0x5A, 0x08, 0x22, 0, 0, 0, 0, 0, 0x2A, 0}, 42);
    Bytes want22 = Cat({{0x00, 0x28, 0, 0, 0, 0, 0, 0, 0xA2, 0x20}, Zeros(32)});
    want22[19] = 3;
    want22[20] = 3;
    EXPECT_EQ(p22.dataIn, want22);

    // MODE SELECT stores the page (PS bit and header length are not checked).
    Bytes sel = Cat({{0x00, 0x55, 0, 0, 0, 0, 0, 0, 0x88, 0x0A, 0x01}, Zeros(9)});
    auto w = Send(*sim, "STROVANE0", session, {0x55, 0x01, 0, 0, 0, 0, 0, 0, 0x14, 0},
                  SimDirection::kOut, 0, sel);
    ASSERT_EQ(w.status, 0);
    auto again = In("STROVANE1", {0x5A, 0x08, 0x08, 0, 0, 0, 0, 0, 0x14, 0}, 20);
    EXPECT_EQ(again.dataIn[10], 0x01);

    Bytes sel21 = p21.dataIn;
    sel21[12] = 0x40;  // read the controller log on refresh
    sel21[16] = 0x12;
    ASSERT_EQ(Send(*sim, "STROVANE0", session, {0x55, 0x01, 0, 0, 0, 0, 0, 0, 0x16, 0},
                   SimDirection::kOut, 0, sel21)
                  .status,
              0);
    auto back = In("STROVANE0", {0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0}, 22);
    EXPECT_EQ(back.dataIn[12], 0x40);
    EXPECT_EQ(back.dataIn[16], 0x12);

    // A page length that does not match is refused and changes nothing.
    Bytes bad = sel;
    bad[9] = 0x0B;
    auto r = Send(*sim, "STROVANE0", session, {0x55, 0x01, 0, 0, 0, 0, 0, 0, 0x14, 0},
                  SimDirection::kOut, 0, bad);
    EXPECT_EQ(r.status, 0x02);
    EXPECT_EQ(r.sense[12], 0x26);
}

TEST_F(SimIdentity, StateBlockOfAReadyCabinetAndThroughThePartner) {
    auto r = In("STROVANE0", {0x20, 0x00, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(r.dataIn, Zeros(32));
    auto six = In("STROVANE0", {0x20, 0x02, 0, 0, 0, 0, 0, 0, 0x06, 0}, 6);
    EXPECT_EQ(six.dataIn, Zeros(6));
    std::string answer;
    ASSERT_TRUE(sim->Control("remove-controller 0 Y", &answer)) << answer;
    auto alone = In("STROVANE0", {0x20, 0x02, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(alone.status, 0x02);
    EXPECT_EQ(alone.sense[12], 0x24);
    auto self = In("STROVANE0", {0x20, 0x00, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32);
    EXPECT_EQ(self.dataIn[1], 1);   // ready with conditions
    EXPECT_EQ(self.dataIn[16], 1);  // non-active controller unavailable
    EXPECT_EQ(self.dataIn[29], 1);  // single controller
}

TEST_F(SimIdentity, DriveStateAndDriveList) {
    auto st = In("STROVANE0", {0x21, 0, 0, 0, 3, 0, 0, 0, 0, 0}, 12);
    EXPECT_EQ(st.dataIn, Bytes({0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // B2 is the spare
    auto empty = In("STROVANE0", {0x21, 0, 0, 0, 11, 0, 0, 0, 0, 0}, 12);
    EXPECT_EQ(empty.dataIn[1], 1);

    auto head = In("STROVANE0", {0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2);
    EXPECT_EQ(head.dataIn, Bytes({0x01, 0x61}));  // 1 + 4 x 88
    auto full = In("STROVANE0", {0x22, 0, 0, 0, 0, 0, 0, 0x01, 0x63, 0}, 355);
    ASSERT_EQ(full.dataIn.size(), 355u);
    EXPECT_EQ(full.dataIn[2], 88);
    Bytes entry(full.dataIn.begin() + 3, full.dataIn.begin() + 3 + 88);
    Bytes want = Cat({{0x00},
                      Text("VOLSET0000000001"),
                      Text("QDISK QD-9100   "),
                      {0x00, 0x00, 0x00, 0x02},
                      Zeros(6),
                      Text("QD-9100         "),
                      Text("0102"),
                      {0x00, 0x00, 0x10, 0x00},
                      Text("DRV000000001"),
                      Zeros(9)});
    EXPECT_EQ(entry, want);
    EXPECT_EQ(full.dataIn[3 + 3 * 88], 3);       // fourth entry: slot B2
    EXPECT_EQ(full.dataIn[3 + 3 * 88 + 33], 8);  // spare
}

TEST_F(SimIdentity, LunTableMissingListAndFreeCapacity) {
    auto head = In("STROVANE0", {0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2);
    EXPECT_EQ(head.dataIn, Bytes({0x00, 0x41}));
    auto t = In("STROVANE0", {0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x43, 0}, 67);
    EXPECT_EQ(t.dataIn[2], 8);
    EXPECT_EQ(Bytes(t.dataIn.begin() + 3, t.dataIn.begin() + 19),
              Bytes({0, 1, 0, 0, 0x08, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    auto m = In("STROVANE0", {0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x03, 0}, 3);
    EXPECT_EQ(m.dataIn, Bytes({0x00, 0x01, 76}));
    auto cap = In("STROVANE0", {0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    // (3 members - 1) x 4096 - 2048 for LUN 0.
    EXPECT_EQ(cap.dataIn, Bytes({0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x02, 0x00}));
}

TEST_F(SimIdentity, RawPageDescribesBothControllers) {
    auto head = In("STROVANE1", {0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2);
    EXPECT_EQ(head.dataIn, Bytes({0x00, 0x25}));
    auto page = In("STROVANE1", {0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x27, 0}, 39);
    EXPECT_EQ(page.dataIn,
              Bytes({0x00, 0x25, 0x01,                       // answered by Y
                     0,    4,    1,    1, 1, 1, 1, 2, 1, 1,  // hardware lists
                     2,    2,    1,    1,                    // X and Y good
                     3,    0,    4,    1, 1, 5, 2, 1, 1, 6, 1, 1, 7, 2, 1, 1, 8, 1, 1, 9, 1, 1}));
    std::string answer;
    ASSERT_TRUE(sim->Control("fail-controller 0 X", &answer));
    auto after = In("STROVANE1", {0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x27, 0}, 39);
    EXPECT_EQ(after.dataIn[15], 5);  // X offline
    EXPECT_EQ(after.dataIn[16], 1);  // Y took over
}

TEST_F(SimIdentity, CabinetStatusLengthsByFormatLevel) {
    auto r = In("STROVANE0", {0xF2, 0, 0, 3, 0, 0, 0, 0, 0xF4, 0}, 244);
    ASSERT_EQ(r.dataIn.size(), 244u);
    EXPECT_EQ(Bytes(r.dataIn.begin(), r.dataIn.begin() + 7),
              Bytes({0x03, 0x00, 0xF1, 0x00, 0x00, 0x10, 0x00}));  // RAID 1: 1 pair x 4096
    EXPECT_EQ(r.dataIn[171], 12);
    EXPECT_EQ(Bytes(r.dataIn.begin() + 172, r.dataIn.begin() + 184),
              Bytes({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    auto status = In("STROVANE0", {0xF2, 0x02, 0, 2, 0, 0, 0, 0, 0x13, 0}, 19);
    EXPECT_EQ(Bytes(status.dataIn.begin(), status.dataIn.begin() + 3), Bytes({0x02, 0x00, 0x10}));
}

TEST(SimIdentityLevels, ShortFormsBelowLevelThree) {
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(
        R"({"cabinets":[{"serial":"CAB000000002","controllers":[{"formatLevel":2},{}]}]})", &w,
        &error))
        << error;
    sim::Simulator s(w, "");
    sim::SessionContext ses;
    auto id =
        Send(s, "STROVANE0", ses, {0x12, 0x01, 0xE0, 0x00, 0x1C, 0x00}, SimDirection::kIn, 28);
    EXPECT_EQ(Bytes(id.dataIn.begin() + 8, id.dataIn.begin() + 18), Text("QRVZX-4002"));
    auto cab =
        Send(s, "STROVANE0", ses, {0xF2, 0, 0, 3, 0, 0, 0, 0, 0xB8, 0}, SimDirection::kIn, 184);
    EXPECT_EQ(Bytes(cab.dataIn.begin(), cab.dataIn.begin() + 3), Bytes({0x03, 0x00, 0xB5}));
    // Through the partner, the partner's (level 3) form.
    auto partner =
        Send(s, "STROVANE0", ses, {0xF2, 0x02, 0, 3, 0, 0, 0, 0, 0xF4, 0}, SimDirection::kIn, 244);
    EXPECT_EQ(partner.dataIn[2], 0xF1);
}

}  // namespace
