// The scan for array paths and the pass-through's transfer rules, against
// in-process twins that answer literal pages.
#include <gtest/gtest.h>

#include <cerrno>

#include "ScriptedDevice.h"
#include "TempRoot.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"

namespace {

using namespace scsitest;
using platform::ScsiDirection;

std::vector<DeviceRecord*> Records(DeviceRecord* list) {
    std::vector<DeviceRecord*> out;
    for (DeviceRecord* r = list; r != nullptr; r = r->next) {
        out.push_back(r);
    }
    return out;
}

class ArrayScanTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseArrayDevices(list_); }
    TempRoot root_;
    DeviceRecord* list_ = nullptr;
    ScsiResult result_;
};

TEST_F(ArrayScanTest, NoDevicesGivesAnEmptyGoodScan) {
    OpenArrayDevices(list_, result_);
    EXPECT_EQ(list_, nullptr);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_EQ(ScsiDeviceTable::Instance().Count(), 0u);
}

TEST_F(ArrayScanTest, SecondPathToTheSameControllerIsDropped) {
    auto first = ServeController("PHYSICALDRIVE0", "CTRL-X-000000001");
    first->address.targetId = 3;
    ServeController("PHYSICALDRIVE1", "CTRL-Y-000000002");
    // The class-driver name of the first controller: the same unit serial.
    auto again = ServeController("STROVANE0", "CTRL-X-000000001");
    again->address.targetId = 9;
    OpenArrayDevices(list_, result_);
    auto records = Records(list_);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->deviceIndex, 0u);
    EXPECT_EQ(records[1]->deviceIndex, 1u);
    EXPECT_EQ(records[0]->interfaceKind, 4u);
    // Taken under the first path scanned.
    EXPECT_EQ(ScsiDeviceTable::Instance().At(0)->address.targetId, 3);
    EXPECT_EQ(ScsiDeviceTable::Instance().Count(), 2u);
}

TEST_F(ArrayScanTest, DeviceWithAnotherIdentificationIsSkipped) {
    auto disk = Serve("PHYSICALDRIVE0");
    disk->standing[kScanIdentityCdb].dataIn = IdentityPage68("QRVZY-4003", "0001      ");
    disk->standing[kScanSerialCdb].dataIn =
        SerialPage48(false, "DISK-00000000001", "                ", "            ");
    // A plain disk refusing the vendor page is skipped too.
    auto plain = Serve("PHYSICALDRIVE1");
    plain->standing[kScanIdentityCdb] =
        Answer{0x02, {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0}, {}, {}, 0};
    ServeController("PHYSICALDRIVE2", "CTRL-X-000000001");
    OpenArrayDevices(list_, result_);
    auto records = Records(list_);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->deviceIndex, 0u);
}

TEST_F(ArrayScanTest, ShortIdentityOrSerialReplyIsNotTaken) {
    auto shortId = Serve("STROVANE0");
    shortId->standing[kScanIdentityCdb].dataIn = Bytes{0, 0xE0, 0, 64, 0, 0, 0, 0, 'Q', 'R'};
    auto shortSerial = Serve("STROVANE1");
    shortSerial->standing[kScanIdentityCdb].dataIn = IdentityPage68("QRVZX-4003", "0407.12   ");
    shortSerial->standing[kScanSerialCdb].dataIn = Bytes{0, 0x80, 0, 44, 'A', 'B'};
    OpenArrayDevices(list_, result_);
    EXPECT_EQ(list_, nullptr);
}

TEST_F(ArrayScanTest, FirstMissingNumberEndsTheKind) {
    ServeController("PHYSICALDRIVE0", "CTRL-X-000000001");
    ServeController("PHYSICALDRIVE2", "CTRL-Y-000000002");  // after a gap: never seen
    ServeController("STROVANE0", "CTRL-Z-000000003");
    OpenArrayDevices(list_, result_);
    EXPECT_EQ(Records(list_).size(), 2u);
}

TEST_F(ArrayScanTest, RescanReplacesTheTableAndOldRecordsFailCleanly) {
    ServeController("STROVANE0", "CTRL-X-000000001");
    OpenArrayDevices(list_, result_);
    ASSERT_EQ(Records(list_).size(), 1u);
    DeviceRecord stale = *list_;
    stale.next = nullptr;
    stale.deviceIndex = 5;
    ScsiCommand command(12, 0, ScsiCommand::kNoData, 32, 0, 0);
    command.cdbLength = 6;
    ScsiPassThrough(command, result_, stale);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(ENODEV));
    CloseArrayDevices(list_);
    EXPECT_EQ(list_, nullptr);
    EXPECT_EQ(ScsiDeviceTable::Instance().Count(), 0u);
}

class PassThroughTest : public ArrayScanTest {
  protected:
    void SetUp() override {
        script_ = ServeController("STROVANE0", "CTRL-X-000000001");
        OpenArrayDevices(list_, result_);
        ASSERT_NE(list_, nullptr);
    }
    std::shared_ptr<Script> script_;
};

TEST_F(PassThroughTest, OddDataInMovesOneMoreAndHandsExactlyTheLength) {
    // 0x20 with allocation 3: the transport is asked for 4 bytes.
    script_->Expect(Step{{0x20, 0, 0, 0, 0, 0, 0, 0, 3, 0},
                         ScsiDirection::In,
                         4,
                         32,
                         {},
                         Answer{0, {}, {0x00, 0x06, 0x00, 0x99}, {}, 0}});
    ScsiCommand command(12, 3, ScsiCommand::kDataIn, 32, 0, 0);
    const unsigned char cdb[10] = {0x20, 0, 0, 0, 0, 0, 0, 0, 3, 0};
    std::memcpy(command.Cdb(), cdb, 10);
    command.cdbLength = 10;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_EQ(command.residual, ScsiCommand::kResidualNone);
    EXPECT_EQ(command.bytesMoved, 3u);
    EXPECT_EQ(command.DataByte(0), 0x00);
    EXPECT_EQ(command.DataByte(1), 0x06);
    EXPECT_EQ(command.DataByte(2), 0x00);
    EXPECT_TRUE(script_->Done());
}

TEST_F(PassThroughTest, ShortTransferIsResidualTwoWithGoodStatus) {
    script_->Expect(Step{{0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                         ScsiDirection::In,
                         8,
                         32,
                         {},
                         Answer{0, {}, {0, 0, 0x10, 0, 0, 0}, {}, 0}});
    ScsiCommand command(12, 8, ScsiCommand::kDataIn, 32, 0, 0);
    command.Cdb()[0] = 0x24;
    command.cdbLength = 10;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_EQ(command.residual, ScsiCommand::kResidualShort);
    EXPECT_EQ(command.bytesMoved, 6u);
    // Bytes the device did not send keep the buffer's fill.
    EXPECT_EQ(command.DataByte(6), 0xFF);
    EXPECT_EQ(command.DataByte(7), 0xFF);
}

TEST_F(PassThroughTest, ShortOddTransferIsStillShort) {
    script_->Expect(Step{{0x20, 0, 0, 0, 0, 0, 0, 0, 5, 0},
                         ScsiDirection::In,
                         6,
                         32,
                         {},
                         Answer{0, {}, {0, 7}, {}, 0}});
    ScsiCommand command(12, 5, ScsiCommand::kDataIn, 32, 0, 0);
    const unsigned char cdb[10] = {0x20, 0, 0, 0, 0, 0, 0, 0, 5, 0};
    std::memcpy(command.Cdb(), cdb, 10);
    command.cdbLength = 10;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(command.residual, ScsiCommand::kResidualShort);
    EXPECT_EQ(command.DataByte(1), 7);
    EXPECT_EQ(command.DataByte(2), 0xFF);
}

TEST_F(PassThroughTest, OverrunIsResidualOne) {
    script_->Expect(Step{{0xFD, 0, 0, 0, 0, 0, 0, 0, 12, 0},
                         ScsiDirection::Out,
                         12,
                         32,
                         {},
                         Answer{0, {}, {}, 14u, 0}});
    ScsiCommand command(12, 12, ScsiCommand::kDataOut, 32, 0, 0);
    const unsigned char cdb[10] = {0xFD, 0, 0, 0, 0, 0, 0, 0, 12, 0};
    std::memcpy(command.Cdb(), cdb, 10);
    command.cdbLength = 10;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(command.residual, ScsiCommand::kResidualMore);
}

TEST_F(PassThroughTest, CheckConditionKeepsStatusAndSense) {
    Bytes sense = {0x70, 0, 0x06, 0, 0, 0, 0, 18, 0, 0, 0, 0, 0x29,
                   0x00, 0, 0,    0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    script_->Expect(Step{
        {0x00, 0, 0, 0, 0, 0}, ScsiDirection::None, 0, 32, {}, Answer{0x02, sense, {}, {}, 0}});
    ScsiCommand command(12, 0, ScsiCommand::kNoData, 32, 0, 0);
    command.cdbLength = 6;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(result_.result, ScsiResult::kScsiStatus);
    EXPECT_EQ(result_.status, 0x02u);
    EXPECT_EQ(result_.reason, ScsiResult::kReasonScsiStatus);
    EXPECT_EQ(result_.senseLength, 26u);
    EXPECT_EQ(result_.SenseKey(), 6);
    EXPECT_EQ(result_.Asc(), 0x29);
}

TEST_F(PassThroughTest, SystemFailureIsResultThreeWithTheError) {
    script_->Expect(
        Step{{0x00, 0, 0, 0, 0, 0}, ScsiDirection::None, 0, 32, {}, Answer{0, {}, {}, {}, ENODEV}});
    ScsiCommand command(12, 0, ScsiCommand::kNoData, 32, 0, 0);
    command.cdbLength = 6;
    ScsiPassThrough(command, result_, *list_);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(ENODEV));
    EXPECT_EQ(result_.reason, ScsiResult::kReasonSystemFailed);
    EXPECT_EQ(command.residual, 0u);
}

TEST(ScsiCommandTest, AccessorsStayInsideTheBuffers) {
    ScsiCommand command(12, 4, ScsiCommand::kDataIn, 32, 2, 0);
    EXPECT_EQ(command.DataByte(0), 0xFF);
    EXPECT_EQ(command.DataByte(4), 0);
    EXPECT_EQ(command.DataAt(4), nullptr);
    EXPECT_EQ(command.DataBe32(1), 0u);
    EXPECT_EQ(command.DataBe16(2), 0xFFFFu);
    command.SetDataByte(9, 1);  // ignored
    command.SetCdbByte(12, 1);  // ignored
    command.SetCdbValue(7, 0x1234, 2);
    EXPECT_EQ(command.Cdb()[7], 0x12);
    EXPECT_EQ(command.Cdb()[8], 0x34);
}

}  // namespace
