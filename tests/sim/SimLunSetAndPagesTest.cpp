// The unit attention of a changed logical-unit set, the rules a controller
// applies to the mode pages a host sends, the hot-spare flag of the state
// block, and the rule that a command the host will send again never finds
// itself half done.
#include <gtest/gtest.h>

#include "SimTestUtil.h"

using namespace simtest;
using sim::SimDirection;

namespace {

const Bytes kTur = {0x00, 0, 0, 0, 0, 0};
const Bytes kLunMap = {0x12, 0x01, 0xC0, 0x00, 0x24, 0x00};
const Bytes kSense = {0x03, 0, 0, 0, 0x1A, 0};
const Bytes kSense21 = {0x5A, 0x08, 0x21, 0, 0, 0, 0, 0, 0x16, 0};
const Bytes kSelect21 = {0x55, 0x01, 0, 0, 0, 0, 0, 0, 0x16, 0};
const Bytes kStateBlock = {0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0};

Bytes CreateLun(std::uint8_t lun) {
    return {lun, 0, 0, 0, 1, 0};  // one unit: 1024 blocks
}

const Bytes kCreate = {0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

bool IsLunSetAttention(const sim::SimReply& r) {
    return r.status == 0x02 && r.sense.size() == 26 && r.sense[2] == 6 && r.sense[12] == 0x3F &&
           r.sense[13] == 0x0E;
}

class SimLunSet : public ::testing::Test {
  protected:
    std::shared_ptr<sim::Simulator> sim = MakeSim();
    sim::SessionContext a, b, c;

    sim::SimReply None(sim::SessionContext& s, const Bytes& cdb,
                       const std::string& path = "STROVANE0") {
        return Send(*sim, path, s, cdb);
    }
    sim::SimReply In(sim::SessionContext& s, const Bytes& cdb, std::uint32_t len,
                     const std::string& path = "STROVANE0") {
        return Send(*sim, path, s, cdb, SimDirection::kIn, len);
    }
    sim::SimReply Out(sim::SessionContext& s, const Bytes& cdb, const Bytes& data,
                      const std::string& path = "STROVANE0") {
        return Send(*sim, path, s, cdb, SimDirection::kOut, 0, data);
    }
    bool LunPresent(int lun) { return sim->Snapshot().cabinets[0].luns[lun].present; }
};

TEST_F(SimLunSet, EveryOtherHostHearsOfAChangeOnceAndTheChangerNot) {
    // a on X, b on Y, c on X: each has been heard from.
    ASSERT_EQ(None(a, kTur).status, 0);
    ASSERT_EQ(None(b, kTur, "STROVANE1").status, 0);
    ASSERT_EQ(None(c, kTur).status, 0);

    ASSERT_EQ(Out(a, kCreate, CreateLun(1)).status, 0);
    EXPECT_EQ(None(a, kTur).status, 0);

    // INQUIRY answers as usual and leaves the attention pending.
    auto map = In(b, kLunMap, 36, "STROVANE1");
    ASSERT_EQ(map.status, 0);
    EXPECT_EQ(map.dataIn[4 + 1], 1);
    EXPECT_TRUE(IsLunSetAttention(None(b, kTur, "STROVANE1")));
    EXPECT_EQ(None(b, kTur, "STROVANE1").status, 0);

    // REQUEST SENSE reports it with GOOD and clears it.
    auto sense = In(c, kSense, 26);
    EXPECT_EQ(sense.status, 0);
    ASSERT_EQ(sense.dataIn.size(), 26u);
    EXPECT_EQ(Bytes({sense.dataIn[2], sense.dataIn[12], sense.dataIn[13]}), Bytes({6, 0x3F, 0x0E}));
    EXPECT_EQ(None(c, kTur).status, 0);

    // A host that connects after the change has nothing to hear.
    sim::SessionContext late;
    EXPECT_EQ(None(late, kTur).status, 0);
}

TEST_F(SimLunSet, ACommandMetByTheAttentionIsNotCarriedOut) {
    ASSERT_EQ(None(b, kTur).status, 0);
    ASSERT_EQ(Out(a, kCreate, CreateLun(1)).status, 0);
    EXPECT_TRUE(IsLunSetAttention(Out(b, kCreate, CreateLun(2))));
    EXPECT_FALSE(LunPresent(2));
    // Sent again, as the hosts do, it runs.
    EXPECT_EQ(Out(b, kCreate, CreateLun(2)).status, 0);
    EXPECT_TRUE(LunPresent(2));
    // Renumbering and deleting change the set as well; a format of one unit
    // and a refused request do not.
    ASSERT_EQ(None(b, {0xE5, 0, 2, 0, 3, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_TRUE(IsLunSetAttention(None(a, kTur)));
    ASSERT_EQ(None(b, {0x04, 3 << 5, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(Out(b, kCreate, CreateLun(3)).sense[20], 16);  // the unit exists
    EXPECT_EQ(None(a, kTur).status, 0);
}

TEST_F(SimLunSet, ADeletionThatEndsLaterIsNewsToEveryHost) {
    ASSERT_EQ(None(b, kTur).status, 0);
    ASSERT_EQ(None(a, {0xE3, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(None(b, kTur).status, 0);  // the unit is still there
    sim->Advance(sim::CabinetRules::kDeleteLunMs);
    EXPECT_TRUE(IsLunSetAttention(None(a, kTur)));
    EXPECT_TRUE(IsLunSetAttention(None(b, kTur)));
    // The data phases of a drive exchange pass: the hosts never repeat them.
    ASSERT_EQ(Out(c, kCreate, CreateLun(0)).status, 0);
    EXPECT_EQ(None(a, {0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0}).sense[12], 0x2C);
    EXPECT_TRUE(IsLunSetAttention(None(a, kTur)));
}

class SimModeSelect : public SimLunSet {
  protected:
    // The page 0x21 parameter list as MODE SENSE gives it.
    Bytes Page21() { return In(a, kSense21, 22).dataIn; }
    sim::SimReply Select21(const Bytes& list) { return Out(a, kSelect21, list); }
    Bytes Stored21() { return sim->Snapshot().cabinets[0].page21; }
};

TEST_F(SimModeSelect, TargetIdsTheBusCannotUseAreRefusedAndNothingIsStored) {
    const Bytes before = Stored21();
    for (auto [x, y] : {std::pair<int, int>{16, 1}, {0, 254}, {3, 3}}) {
        SCOPED_TRACE(std::to_string(x) + " " + std::to_string(y));
        Bytes list = Page21();
        list[13] = static_cast<std::uint8_t>(x);
        list[14] = static_cast<std::uint8_t>(y);
        list[16] = 0x12;  // a good change beside the bad one
        auto r = Select21(list);
        EXPECT_EQ(r.status, 0x02);
        EXPECT_EQ(Bytes({r.sense[2], r.sense[12], r.sense[13]}), Bytes({5, 0x26, 0x02}));
        EXPECT_EQ(Stored21(), before);
    }
    // 255 leaves the id to the controller, for both.
    Bytes list = Page21();
    list[13] = 255;
    list[14] = 255;
    ASSERT_EQ(Select21(list).status, 0);
    EXPECT_EQ(Stored21()[5], 255);
    EXPECT_EQ(Stored21()[6], 255);
}

TEST_F(SimModeSelect, TheControllerKeepsWhatItReportsOfItself) {
    const Bytes before = Stored21();
    Bytes list = Page21();
    list[10] = 9;      // subsystem state
    list[11] |= 0x50;  // rebuild in progress, and hot spare wanted
    list[18] = 77;     // rebuild progress
    list[21] = 13;     // subsystem type
    list[16] = 0xAB;   // capacity threshold, high byte
    ASSERT_EQ(Select21(list).status, 0);
    Bytes want = before;
    want[3] |= 0x40;
    want[8] = 0xAB;
    EXPECT_EQ(Stored21(), want);
    EXPECT_EQ(Page21()[21], 12);
}

TEST_F(SimModeSelect, ASpareIsUnavailableOnlyWhenOneIsWanted) {
    auto spareUnavailable = [&] { return In(a, kStateBlock, 32).dataIn[11]; };
    EXPECT_EQ(spareUnavailable(), 0);  // a spare in B2, none wanted
    std::string answer;
    ASSERT_TRUE(sim->Control("pull 0 B2", &answer)) << answer;
    EXPECT_EQ(spareUnavailable(), 0);
    Bytes list = Page21();
    list[11] |= 0x40;
    ASSERT_EQ(Select21(list).status, 0);
    EXPECT_EQ(spareUnavailable(), 1);
    list[11] &= static_cast<std::uint8_t>(~0x40);
    ASSERT_EQ(Select21(list).status, 0);
    EXPECT_EQ(spareUnavailable(), 0);
}

TEST(SimShortTransfer, ADataOutCutShortDoesNothingAndTheRetryRuns) {
    auto sim = MakeSim();
    sim::SessionContext s;
    std::string answer;
    ASSERT_TRUE(sim->Control("fault STROVANE0 e2 1 short 3", &answer)) << answer;
    auto cut = Send(*sim, "STROVANE0", s, kCreate, SimDirection::kOut, 0, CreateLun(4));
    EXPECT_EQ(cut.status, 0);
    EXPECT_EQ(cut.bytesMoved, 3u);
    EXPECT_FALSE(sim->Snapshot().cabinets[0].luns[4].present);
    auto whole = Send(*sim, "STROVANE0", s, kCreate, SimDirection::kOut, 0, CreateLun(4));
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.bytesMoved, 6u);
    EXPECT_TRUE(sim->Snapshot().cabinets[0].luns[4].present);
}

}  // namespace
