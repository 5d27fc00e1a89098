// The service's error records and its event reply: construction, coded
// length, event access and the hardware comparison.
#include <gtest/gtest.h>

#include <cstring>

#include "StateTestSupport.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerEvent_RtnMsg.h"

namespace {

using namespace srvstatetest;

TEST(OruErrRecordsTest, AFreshRecordHasOnlyTheThreeValues) {
    oruerr e = MakeOruErr(7, 12, 3);
    EXPECT_EQ(e.errorCode, 7u);
    EXPECT_EQ(e.qualifier, 12u);
    EXPECT_EQ(e.moduleId, 3u);
    EXPECT_EQ(e.errorClass, 3u);
    EXPECT_EQ(e.source, 0u);
    EXPECT_EQ(e.ExtraLength(), 0u);
    EXPECT_TRUE(e.TextView().empty());
}

TEST(OruErrRecordsTest, ACopyKeepsEverythingButTheThreeValues) {
    oruerr from = MakeOruErr(1, 2, 3);
    from.source = 4;
    from.errorClass = 1;
    from.detail = 2;
    from.senseValid = 26;
    from.SetText("sense");
    from.oemSet = 6;
    from.oemItem = 1;
    from.extraBytes = {9, 8, 7};
    oruerr copy = MakeOruErr(from, 10, 20, 30);
    EXPECT_EQ(copy.errorCode, 10u);
    EXPECT_EQ(copy.qualifier, 20u);
    EXPECT_EQ(copy.moduleId, 30u);
    EXPECT_EQ(copy.source, 4u);
    EXPECT_EQ(copy.errorClass, 1u);
    EXPECT_EQ(copy.detail, 2u);
    EXPECT_EQ(copy.senseValid, 26u);
    EXPECT_EQ(copy.TextView(), "sense");
    EXPECT_EQ(copy.oemSet, 6u);
    EXPECT_EQ(copy.oemItem, 1u);
    EXPECT_EQ(copy.extraBytes, (std::vector<unsigned char>{9, 8, 7}));
    // The copy owns its bytes.
    from.extraBytes[0] = 0;
    EXPECT_EQ(copy.extraBytes[0], 9);
    EXPECT_EQ(from.errorCode, 1u);
}

TEST(OruErrRecordsTest, AStorageResultMapsFieldForField) {
    ScsiResult r;
    r.result = ScsiResult::kScsiStatus;
    r.status = 0x02;
    r.senseLength = 26;
    r.sense[2] = 5;
    r.sense[12] = 0x24;
    r.sense[255] = 0xAB;
    r.reason = ScsiResult::kReasonScsiStatus;
    oruerr e = OruErrFromResult(r);
    EXPECT_EQ(e.source, 4u);
    EXPECT_EQ(e.errorClass, 1u);
    EXPECT_EQ(e.detail, 2u);
    EXPECT_EQ(e.senseValid, 26u);
    EXPECT_EQ(static_cast<unsigned char>(e.text[2]), 5);
    EXPECT_EQ(static_cast<unsigned char>(e.text[12]), 0x24);
    EXPECT_EQ(static_cast<unsigned char>(e.text[255]), 0xAB);
    EXPECT_EQ(e.oemSet, 6u);
    EXPECT_EQ(e.oemItem, 1u);
    EXPECT_EQ(e.errorCode, 0u);
}

TEST(ServerEventTest, AReplyWithoutStateStartsEmpty) {
    ServerEvent_RtnMsg m;
    EXPECT_EQ(m.code, static_cast<std::uint32_t>(RMT_EVENT_MSG));
    EXPECT_EQ(m.length, 28u);
    EXPECT_EQ(m.status, 5u);
    EXPECT_EQ(m.EventCount(), 0u);
    EXPECT_TRUE(m.SerialNumber().empty());
    EXPECT_EQ(m.EventAt(0), nullptr);
}

TEST(ServerEventTest, EventNEqualToTheCountGivesNone) {
    ServerEvent_RtnMsg m;
    m.AppendEvent(SSW, SSW_CONFIGURATION_CHANGED, 0, 0);
    m.AppendEvent(HW, HW_LIST2, 4, 0);
    ASSERT_EQ(m.EventCount(), 2u);
    ASSERT_NE(m.EventAt(1), nullptr);
    EXPECT_EQ(m.EventAt(1)->majorType, HW);
    EXPECT_EQ(m.EventAt(1)->data1, 4u);
    EXPECT_EQ(m.EventAt(2), nullptr);
    EXPECT_EQ(m.EventAt(65535), nullptr);
}

class ServerEventStateTest : public ::testing::Test {
  protected:
    TempRoot root_;
};

TEST_F(ServerEventStateTest, AReplyOverAStateIsAddressedToItsSubsystemAndCountsPieces) {
    ControllerPair pair;
    FakeMonitor monitor;
    pair.Bind(monitor);
    StandardController(0).Install(*pair.x);
    StandardController(1).Install(*pair.y);
    ServerDiskArrayState state(monitor);
    ASSERT_TRUE(state.Valid());
    OruServerState server;

    ServerEvent_RtnMsg m(&state, &server);
    EXPECT_EQ(m.SerialNumber(), "CAB000000001");
    EXPECT_EQ(m.length, 28u);
    m.AppendEvent(LUN_EVENT, 0, 2, 0);
    // 16 bytes of event and all eight LUN records of 12 bytes each, behind a count.
    EXPECT_EQ(m.length, 28u + 16u + 4u + 8u * 12u);

    // The length is what the reply codes to.
    const std::uint32_t estimate = m.length;
    unsigned char* bytes = m.EncodeMsg();
    ASSERT_NE(bytes, nullptr);
    const std::uint32_t coded = (static_cast<std::uint32_t>(bytes[0]) << 24) |
                                (static_cast<std::uint32_t>(bytes[1]) << 16) |
                                (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
    EXPECT_EQ(coded, estimate);
    CodedBuff::FreeData(bytes);
}

TEST(ServerEventTest, HardwareDifferencesFollowTheOldLists) {
    Hardware a;
    a.values1 = {1, 1, 2, 3};
    a.values2 = {1, 2};
    Hardware b;
    b.values1 = {1, 2, 2};  // element 1 differs, element 3 is missing
    b.values2 = {1, 2, 3};  // an element only b has is not compared
    ServerEvent_RtnMsg m;
    EXPECT_EQ(m.AddHardwareDifferences(a, b), 2u);
    ASSERT_EQ(m.EventCount(), 2u);
    EXPECT_EQ(m.EventAt(0)->majorType, HW);
    EXPECT_EQ(m.EventAt(0)->minorType, static_cast<std::uint32_t>(HW_LIST1));
    EXPECT_EQ(m.EventAt(0)->data1, 1u);
    EXPECT_EQ(m.EventAt(1)->data1, 3u);

    ServerEvent_RtnMsg second;
    b.values1 = a.values1;
    b.values2 = {2};
    EXPECT_EQ(second.AddHardwareDifferences(a, b), 2u);
    EXPECT_EQ(second.EventAt(0)->minorType, static_cast<std::uint32_t>(HW_LIST2));
    EXPECT_EQ(second.EventAt(0)->data1, 0u);
    EXPECT_EQ(second.EventAt(1)->data1, 1u);

    ServerEvent_RtnMsg same;
    EXPECT_EQ(same.AddHardwareDifferences(a, a), 0u);
    EXPECT_EQ(same.EventCount(), 0u);
}

}  // namespace
