// Every storage command against literal CDBs and replies written from
// docs/controller-interface.md, through an in-process twin of a controller
// path; and the executor's retry rules.
#include "coresys/server/storsys/StorSys.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "ScriptedDevice.h"
#include "SenseBytes.h"
#include "TempRoot.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "platform/Clock.h"

namespace {

using namespace scsitest;
using platform::ScsiDirection;

const Bytes kRequestSense = {0x03, 0x00, 0x00, 0x00, 0x1A, 0x00};

// length is the allocation; the transport moves whole words, so an odd one
// is asked of the device as one byte more.
Step In(Bytes cdb, std::uint32_t length, Bytes reply, std::uint32_t timeout = 32) {
    std::uint32_t transfer = length + (length & 1);
    return Step{
        std::move(cdb), ScsiDirection::In, transfer, timeout, {}, Answer{0, {}, reply, {}, 0}};
}

Step Out(Bytes cdb, Bytes data, std::uint32_t timeout = 32) {
    std::uint32_t length = static_cast<std::uint32_t>(data.size());
    return Step{std::move(cdb), ScsiDirection::Out, length, timeout, data, Answer{}};
}

Step None(Bytes cdb, std::uint32_t timeout = 32) {
    return Step{std::move(cdb), ScsiDirection::None, 0, timeout, {}, Answer{}};
}

Step WithAnswer(Step step, Answer answer) {
    step.answer = std::move(answer);
    return step;
}

Step SenseStep() {
    return In(kRequestSense, 26, SenseBytes(0, 0, 0));
}

class StorSysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Every pause of the executor, as the clock seam sees it.
        platform::SetSleepObserver([this](std::uint64_t ms) {
            std::lock_guard<std::mutex> guard(pausesLock_);
            pauses_.push_back(ms);
        });
        script_ = ServeController("STROVANE0", "CTRL-X-000000001");
        OpenArrayDevices(list_, result_);
        ASSERT_NE(list_, nullptr);
        storsys_ = std::make_unique<StorSys>(list_);
        storsys_->SetFormatLevel(3);
    }
    void TearDown() override {
        platform::SetSleepObserver(nullptr);
        EXPECT_TRUE(script_->Done()) << "scripted commands were not sent";
        storsys_.reset();
        CloseArrayDevices(list_);
    }
    void Expect(Step step) { script_->Expect(std::move(step)); }
    std::vector<std::uint64_t> Pauses() {
        std::lock_guard<std::mutex> guard(pausesLock_);
        return pauses_;
    }

    TempRoot root_;
    std::shared_ptr<Script> script_;
    DeviceRecord* list_ = nullptr;
    ScsiResult result_;
    std::unique_ptr<StorSys> storsys_;
    std::mutex pausesLock_;
    std::vector<std::uint64_t> pauses_;
};

// --- executor ---

TEST_F(StorSysTest, BusyThreeTimesRunsThreeTimesWithTwoRequestSenses) {
    Bytes tur = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Answer busy{0x08, {}, {}, {}, 0};
    Expect(WithAnswer(None(tur), busy));
    Expect(SenseStep());
    Expect(WithAnswer(None(tur), busy));
    Expect(SenseStep());
    Expect(WithAnswer(None(tur), busy));
    EXPECT_EQ(storsys_->TestUnitReady(0, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kScsiStatus);
    EXPECT_EQ(result_.status, 0x08u);
    // A pause of 10 ms follows each of the three runs.
    EXPECT_EQ(Pauses(), (std::vector<std::uint64_t>{10, 10, 10}));
}

TEST_F(StorSysTest, CheckConditionIsRetriedAfterRequestSense) {
    Bytes tur = {0x00, 0x20, 0x00, 0x00, 0x00, 0x00};  // LUN 1
    Expect(WithAnswer(None(tur), Answer{0x02, SenseBytes(6, 0x29, 0), {}, {}, 0}));
    // The failure's sense key stays in the result, so all five are sent.
    for (int i = 0; i < 5; ++i) {
        Expect(SenseStep());
    }
    Expect(None(tur));
    EXPECT_EQ(storsys_->TestUnitReady(1, result_), 1);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_FALSE(result_.lunSetChanged);  // a power-on attention says nothing of LUNs
    EXPECT_EQ(Pauses(), (std::vector<std::uint64_t>{10}));
}

// The executor keeps what the result of the last run would lose: that a run
// met the unit attention of a changed LUN set (6/0x3F/0x0E).
TEST_F(StorSysTest, AChangedLunSetOnAnyRunOutlivesTheRetryThatSucceeds) {
    const Bytes create = {0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes descriptor = {0x03, 0x00, 0x00, 0x00, 0x04, 0x00};
    Expect(WithAnswer(Out(create, descriptor), Answer{0x02, SenseBytes(6, 0x3F, 0x0E), {}, {}, 0}));
    for (int i = 0; i < 5; ++i) {
        Expect(SenseStep());
    }
    Expect(Out(create, descriptor));
    EXPECT_EQ(storsys_->CreateLun(descriptor.data(), result_), 1);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_TRUE(result_.lunSetChanged);
    // The next command starts afresh.
    Expect(None({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(storsys_->TestUnitReady(0, result_), 1);
    EXPECT_FALSE(result_.lunSetChanged);
}

TEST_F(StorSysTest, AChangedLunSetIsKeptWhenTheLaterRunsFail) {
    const Bytes del = {0xE3, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0};
    Expect(WithAnswer(None(del, 1280), Answer{0x02, SenseBytes(6, 0x3F, 0x0E), {}, {}, 0}));
    for (int run = 0; run < 2; ++run) {
        for (int i = 0; i < 5; ++i) {
            Expect(SenseStep());
        }
        Expect(WithAnswer(None(del, 1280), Answer{0x02, SenseBytes(5, 0x26, 0x02), {}, {}, 0}));
    }
    EXPECT_EQ(storsys_->DeleteLun(2, result_), 0);
    EXPECT_EQ(result_.status, 0x02u);
    EXPECT_EQ(result_.SenseKey(), 5);  // the last run's sense
    EXPECT_TRUE(result_.lunSetChanged);
}

TEST_F(StorSysTest, ShortTransferIsRetriedAndFailsAfterThreeTries) {
    Bytes cdb = {0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        Expect(In(cdb, 8, {0, 0, 0, 1}));
    }
    std::uint32_t blocks = 77;
    std::uint32_t size = 77;
    EXPECT_EQ(storsys_->ReadVirtualCapacity(blocks, size, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kGood);
    EXPECT_EQ(blocks, 77u);  // untouched on failure
    EXPECT_EQ(Pauses(), (std::vector<std::uint64_t>{10, 10, 10}));
}

TEST_F(StorSysTest, ExchangePhaseWithCheckConditionFailsAtOnce) {
    Expect(WithAnswer(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, {}, 7200),
                      Answer{0x02, SenseBytes(3, 0x11, 0), {}, {}, 0}));
    unsigned char buffer[8];
    EXPECT_EQ(storsys_->ExchangeReply(0, ScsiCommand::kDataIn, 8, buffer, nullptr, result_), 0);
    EXPECT_EQ(result_.status, 0x02u);
    EXPECT_TRUE(Pauses().empty());
}

TEST_F(StorSysTest, SystemFailureFailsAtOnce) {
    Expect(WithAnswer(None({0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 128), Answer{0, {}, {}, {}, EIO}));
    EXPECT_EQ(storsys_->ShutdownSubsystem(result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EIO));
}

TEST_F(StorSysTest, UnlockedExecutorRunsTheSameCommands) {
    StorSys tool(list_, StorSys::Locking::Unlocked);
    std::lock_guard<std::mutex> held(StorSys::DeviceLock());  // would deadlock if taken
    Expect(None({0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(tool.SwitchController(result_), 1);
}

// --- host sequence ---

TEST_F(StorSysTest, SequenceAcceptedReturnsTheControllerNumber) {
    Expect(In({0xEE, 0x00, 0x00, 0x05, 0x00, 0x06, 0, 0, 0, 0}, 2, {0x00, 0x06}));
    std::uint16_t value = 5;
    EXPECT_EQ(storsys_->ReadSequenceNumber(0, value, 6, result_), 1);
    EXPECT_EQ(value, 6);
}

TEST_F(StorSysTest, SequenceRefusalCarriesTheNumberWithItsData) {
    Bytes cdb = {0xEE, 0x01, 0x12, 0x34, 0xFF, 0xEF, 0, 0, 0, 0};
    Answer refusal{0x02, SenseBytes(5, 0x80, 0x28), {0x00, 0x07}, {}, 0};
    for (int round = 0; round < 3; ++round) {
        Expect(WithAnswer(In(cdb, 2, {}), refusal));
        if (round < 2) {
            for (int i = 0; i < 5; ++i) {
                Expect(SenseStep());
            }
        }
    }
    std::uint16_t value = 0x1234;
    EXPECT_EQ(storsys_->ReadSequenceNumber(1, value, 0xFFEF, result_), 0);
    EXPECT_TRUE(StorSys::IsSequenceRefusal(result_));
    EXPECT_EQ(value, 7);
}

TEST_F(StorSysTest, RefusalWithoutDataLeavesTheValue) {
    Bytes cdb = {0xEE, 0x00, 0x00, 0x01, 0x00, 0x02, 0, 0, 0, 0};
    Bytes shortSense = {0x70, 0, 5, 0, 0, 0, 0, 6, 0, 0, 0, 0};  // too short for ASC/ASCQ
    for (int round = 0; round < 3; ++round) {
        Expect(WithAnswer(In(cdb, 2, {}), Answer{0x02, shortSense, {}, {}, 0}));
        if (round < 2) {
            for (int i = 0; i < 5; ++i) {
                Expect(SenseStep());
            }
        }
    }
    std::uint16_t value = 1;
    EXPECT_EQ(storsys_->ReadSequenceNumber(0, value, 2, result_), 0);
    EXPECT_FALSE(StorSys::IsSequenceRefusal(result_));
    EXPECT_EQ(value, 1);
}

// --- identification ---

TEST_F(StorSysTest, IdentityPageSetsTheFormatLevel) {
    Bytes page = {0x00, 0xE0, 0x00, 0x40, 0,   0,   0,   0,   'Q', 'R', 'V', 'Z', 'X', '-',
                  '4',  '0',  '0',  '2',  '0', '4', '0', '7', '.', '1', '2', ' ', ' ', ' '};
    Expect(In({0x12, 0x41, 0xE0, 0x00, 0x1C, 0x00}, 28, page));
    IdentityPage identity;
    EXPECT_EQ(storsys_->ReadIdentityPage(2, identity, result_), 1);
    EXPECT_STREQ(identity.productCode, "QRVZX-4002");
    EXPECT_STREQ(identity.firmwareRevision, "0407.12   ");
    EXPECT_EQ(identity.formatLevel, 2u);
    EXPECT_EQ(storsys_->FormatLevel(), 2u);
}

TEST_F(StorSysTest, IdentityWithoutDigitsIsLevelZero) {
    Bytes page(28, 0);
    std::memcpy(page.data() + 8, "QRVZX-40A3", 10);
    Expect(In({0x12, 0x01, 0xE0, 0x00, 0x1C, 0x00}, 28, page));
    IdentityPage identity;
    EXPECT_EQ(storsys_->ReadIdentityPage(0, identity, result_), 1);
    EXPECT_EQ(identity.formatLevel, 0u);
}

TEST_F(StorSysTest, StandardInquiryAndUnitSerialFields) {
    Bytes inquiry(36, ' ');
    inquiry[0] = 0;
    inquiry[1] = 0;
    inquiry[2] = 2;
    inquiry[3] = 2;
    inquiry[4] = 31;
    inquiry[5] = inquiry[6] = inquiry[7] = 0;
    std::memcpy(inquiry.data() + 8, "VERDANIX", 8);
    std::memcpy(inquiry.data() + 16, "STROVANE 4000   ", 16);
    std::memcpy(inquiry.data() + 32, "0407", 4);
    Expect(In({0x12, 0x20, 0x00, 0x00, 0x24, 0x00}, 36, inquiry));
    InquiryData data;
    EXPECT_EQ(storsys_->StandardInquiry(1, data, result_), 1);
    EXPECT_STREQ(data.vendor, "VERDANIX");
    EXPECT_STREQ(data.productId, "STROVANE 4000   ");
    EXPECT_STREQ(data.revision, "0407");
    EXPECT_EQ(data.version, 2u);

    // LUN 0 unit serial: the twin's standing scan page answers it.
    UnitSerialPage serial;
    EXPECT_EQ(storsys_->ReadUnitSerialPage(0, serial, result_), 1);
    EXPECT_EQ(serial.active, 1u);
    EXPECT_STREQ(serial.serial, "CTRL-X-000000001");
    EXPECT_STREQ(serial.backplaneId, "CAB000000001");
}

TEST_F(StorSysTest, LunMapIsOneFlagPerLun) {
    Bytes page(36, 0);
    page[1] = 0xC0;
    page[3] = 32;
    page[4] = 1;
    page[7] = 1;
    page[11] = 1;
    Expect(In({0x12, 0x01, 0xC0, 0x00, 0x24, 0x00}, 36, page));
    std::uint8_t present[8];
    EXPECT_EQ(storsys_->ReadLunMap(0, present, result_), 1);
    EXPECT_EQ(present[0], 1);
    EXPECT_EQ(present[1], 0);
    EXPECT_EQ(present[3], 1);
    EXPECT_EQ(present[7], 1);
}

// --- vendor reads ---

TEST_F(StorSysTest, SubsystemStateBlockByteMap) {
    Bytes block(32, 0);
    block[1] = 1;     // state
    block[3] = 0x72;  // F118, F121, F122, F123
    block[4] = 0x10;  // F113
    block[5] = 0x01;  // F101
    block[8] = 1;     // value 2: data unavailable
    block[11] = 1;    // value 5: active spare unavailable
    block[20] = 1;    // value 14: rebuild needed
    block[30] = 1;    // value 24: map loss
    Expect(In({0x20, 0x02, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32, block));
    unsigned char raw[32];
    EXPECT_EQ(storsys_->ReadSubsystemState(1, 32, raw, result_), 1);
    SubsystemStateRecord record;
    storsys_->DecodeSubsystemState(raw, 32, record);
    EXPECT_EQ(record.value[1], 1u);
    EXPECT_EQ(record.value[2], 1u);
    EXPECT_EQ(record.value[3], 0u);
    EXPECT_EQ(record.value[5], 1u);
    EXPECT_EQ(record.value[14], 1u);
    EXPECT_EQ(record.value[24], 1u);
    EXPECT_EQ(record.flags3, 0x72);
    EXPECT_EQ(record.flags4, 0x10);
    EXPECT_EQ(record.flags5, 0x01);

    // Below level 3 the later flags do not exist; a short block reads 0 beyond its end.
    storsys_->SetFormatLevel(2);
    storsys_->DecodeSubsystemState(raw, 6, record);
    EXPECT_EQ(record.flags3, 0x02);
    EXPECT_EQ(record.value[2], 0u);
}

TEST_F(StorSysTest, DownloadLengthStateReadIsOddAndExact) {
    // Seven is odd: the transport is asked for eight, the caller gets seven.
    Expect(In({0x20, 0, 0, 0, 0, 0, 0, 0, 7, 0}, 7, {0, 6, 0, 0, 0, 0, 0, 0}));
    unsigned char raw[7];
    EXPECT_EQ(storsys_->ReadSubsystemState(0, 7, raw, result_), 1);
    EXPECT_EQ(raw[1], 6);
}

TEST_F(StorSysTest, PhysicalDriveState) {
    Expect(In({0x21, 0, 0, 0, 0x0B, 0, 0, 0, 0, 0}, 12,
              {0x00, 0x03, 0x02, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF}));
    std::uint32_t word[6];
    EXPECT_EQ(storsys_->ReadPhysicalDriveState(11, word, result_), 1);
    EXPECT_EQ(word[0], 3u);
    EXPECT_EQ(word[1], 2u);
    EXPECT_EQ(word[2], 1u);
    EXPECT_EQ(word[3], 256u);
    EXPECT_EQ(word[4], 0u);
    EXPECT_EQ(word[5], 0xFFFFu);
}

Bytes LongEntry(std::uint8_t slot, std::uint8_t state) {
    Bytes e(88, 0);
    e[0] = slot;
    std::memcpy(e.data() + 1, "VOLSET-0000000A1", 16);
    std::memcpy(e.data() + 17, "DRIVEID-00000001", 16);
    e[33] = state;
    e[34] = 4;
    e[35] = 0;
    e[36] = 2;
    std::memcpy(e.data() + 43, "ST34371W        ", 16);
    std::memcpy(e.data() + 59, "0484", 4);
    e[63] = 0x00;
    e[64] = 0x85;
    e[65] = 0x00;
    e[66] = 0x00;  // 0x00850000 blocks
    std::memcpy(e.data() + 67, "JDQ000123456", 12);
    e[79] = 0;
    e[80] = 1;
    e[81] = 0;
    e[82] = 2;
    e[83] = 0;
    e[84] = 3;
    e[85] = 0;
    e[86] = 4;
    e[87] = 1;
    return e;
}

TEST_F(StorSysTest, DriveListLongEntries) {
    Bytes list = {0x00, 0xB1, 88};  // L = 1 + 2 * 88 = 177
    Bytes a = LongEntry(0, 0);
    Bytes b = LongEntry(5, 3);
    list.insert(list.end(), a.begin(), a.end());
    list.insert(list.end(), b.begin(), b.end());
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0xB1}));
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0xB3, 0}, 179, list));
    DriveTableEntry table[12];
    std::uint32_t count = 0;
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(table, &count, result_), 1);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(table[0].address, 0u);
    EXPECT_STREQ(table[0].volumeSetId, "VOLSET-0000000A1");
    EXPECT_STREQ(table[0].driveId, "DRIVEID-00000001");
    EXPECT_EQ(table[0].state, 0u);
    EXPECT_EQ(table[0].stateValue, 4u);
    EXPECT_EQ(table[0].scsiVersion, 2u);
    EXPECT_STREQ(table[0].productId, "ST34371W        ");
    EXPECT_STREQ(table[0].revision, "0484");
    EXPECT_EQ(table[0].lastBlock, 0x0084FFFFu);
    EXPECT_STREQ(table[0].serial, "JDQ000123456");
    EXPECT_EQ(table[0].value[0], 1u);
    EXPECT_EQ(table[0].value[3], 4u);
    EXPECT_EQ(table[0].predictiveFailure, 1u);
    EXPECT_EQ(table[1].address, 5u);
    EXPECT_EQ(table[1].state, 3u);
    EXPECT_EQ(table[2].state, 1u);  // no drive
}

TEST_F(StorSysTest, DriveListNoDataMarkerFails) {
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0xFF, 0x10}));
    DriveTableEntry table[12];
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(table, nullptr, result_), 0);
}

TEST_F(StorSysTest, ListLengthThatCannotBeAskedForFails) {
    // L = 0xFFFE: L + 2 does not fit the 16-bit allocation field.
    Expect(In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0xFF, 0xFE}));
    LunTableEntry luns[8];
    luns[0].status = 9;
    EXPECT_EQ(storsys_->ReadLunTable(luns, result_), 0);
    EXPECT_EQ(luns[0].status, 9u);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
}

TEST_F(StorSysTest, DriveListLastEntryOutsideTheBytesReadIsNotDecoded) {
    // L = 2 x 88 claims two entries, but only 2 + 176 bytes are read and the
    // entries start at byte 3: the second one would run one byte past them.
    Bytes list = {0x00, 0xB0, 88};
    Bytes a = LongEntry(0, 0);
    list.insert(list.end(), a.begin(), a.end());
    list.insert(list.end(), 87, 0x55);
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0xB0}));
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0xB2, 0}, 178, list));
    DriveTableEntry table[12];
    std::uint32_t count = 99;
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(table, &count, result_), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(table[1].state, 1u);
}

TEST_F(StorSysTest, DriveListEntrySizeZeroFails) {
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x01}));
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x03, 0}, 3, {0x00, 0x01, 0x00}));
    DriveTableEntry table[12];
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(table, nullptr, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
}

// A controller may answer the first read of a two-step list with length 0:
// the second read then brings only the two length bytes, without the entry
// size byte, and no list can be decoded from that.
TEST_F(StorSysTest, TwoStepListsOfLengthZeroFail) {
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    DriveTableEntry drives[12];
    std::uint32_t count = 99;
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(drives, &count, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EPROTO));
    EXPECT_EQ(count, 99u);

    Expect(In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    Expect(In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    LunTableEntry luns[8];
    luns[3].status = 7;
    EXPECT_EQ(storsys_->ReadLunTable(luns, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(luns[3].status, 7u);

    Expect(In({0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    Expect(In({0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x00}));
    MissingDriveEntry missing[6];
    count = 99;
    EXPECT_EQ(storsys_->ReadMissingDrives(missing, &count, result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(count, 99u);
}

TEST_F(StorSysTest, ShortEntriesAreCompletedFromTheDrive) {
    Bytes entry(33, 0);
    entry[0] = 2;
    std::memcpy(entry.data() + 1, "VOLSET-0000000A2", 16);
    std::memcpy(entry.data() + 17, "DRIVEID-00000002", 16);
    Bytes list = {0x00, 0x22, 33};
    list.insert(list.end(), entry.begin(), entry.end());
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x22}));
    Expect(In({0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x24, 0}, 36, list));
    // INQUIRY through the exchange.
    Expect(
        Out({0x27, 0x03, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x24, 0x00}, {0x12, 0, 0, 0, 36, 0}));
    Bytes inquiry(36, ' ');
    inquiry[0] = 0;
    inquiry[2] = 2;
    std::memcpy(inquiry.data() + 16, "ST19171W        ", 16);
    std::memcpy(inquiry.data() + 32, "0023", 4);
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 36, inquiry, 7200));
    // Page 0x80: its length first, then the page.
    Expect(Out({0x27, 0x03, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x04, 0x00},
               {0x12, 1, 0x80, 0, 4, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4, {0, 0x80, 0, 8}, 7200));
    Expect(Out({0x27, 0x03, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x0C, 0x00},
               {0x12, 1, 0x80, 0, 12, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12,
              {0, 0x80, 0, 8, 'L', 'A', '8', '1', '2', '3', '4', '5'}, 7200));
    // READ CAPACITY (state 0 is not 4 or 7).
    Expect(Out({0x27, 0x03, 0x02, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x08, 0x00},
               {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, {0x00, 0x43, 0xFF, 0xFF, 0, 0, 2, 0}, 7200));
    DriveTableEntry table[12];
    EXPECT_EQ(storsys_->ReadPhysicalDriveList(table, nullptr, result_), 1);
    EXPECT_EQ(table[0].address, 2u);
    EXPECT_STREQ(table[0].productId, "ST19171W        ");
    EXPECT_STREQ(table[0].revision, "0023");
    EXPECT_STREQ(table[0].serial, "LA812345");
    EXPECT_EQ(table[0].lastBlock, 0x0043FFFFu);
    EXPECT_EQ(table[0].state, 0u);
}

// The drive list carries no vendor; the drive's own INQUIRY does. It is
// asked once per drive, and again only when another drive sits in the slot.
TEST_F(StorSysTest, TheDriveVendorComesFromTheDrivesInquiryOnce) {
    const Bytes inquiryBlock = {0x27, 0x03, 0x05, 0x00, 0x06, 0x00, 0x00, 0x00, 0x24, 0x00};
    Bytes inquiry(36, ' ');
    inquiry[0] = 0;
    std::memcpy(inquiry.data() + 8, "SEAGATE ", 8);
    Expect(Out(inquiryBlock, {0x12, 0, 0, 0, 36, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 36, inquiry, 7200));
    DriveTableEntry entry;
    entry.address = 5;
    entry.state = 0;
    std::strcpy(entry.serial, "JDQ000123456");
    std::strcpy(entry.productId, "ST34371W        ");
    EXPECT_EQ(storsys_->DriveVendor(entry), "SEAGATE ");
    EXPECT_EQ(storsys_->DriveVendor(entry), "SEAGATE ");  // nothing sent
    // A failed drive is not asked.
    DriveTableEntry failed = entry;
    std::strcpy(failed.serial, "JDQ000999999");
    failed.state = 4;
    EXPECT_EQ(storsys_->DriveVendor(failed), "");
    // Another drive in the slot is asked; one that does not answer has none.
    failed.state = 2;
    Expect(Out(inquiryBlock, {0x12, 0, 0, 0, 36, 0}));
    Expect(WithAnswer(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 36, {}, 7200),
                      Answer{0x02, SenseBytes(2, 0x80, 0), {}, {}, 0}));
    EXPECT_EQ(storsys_->DriveVendor(failed), "");
}

TEST_F(StorSysTest, LunTableAndMissingDrives) {
    Bytes lun = {0x00, 0x41, 8};  // 1 + 8 * 8
    for (std::uint8_t i = 0; i < 8; ++i) {
        Bytes e = {i, static_cast<std::uint8_t>(i == 1 ? 1 : 0), 0, 0, 0, 0, 0, 0};
        if (i == 1) {
            e[3] = 0x10;  // 0x00100000 blocks
        }
        lun.insert(lun.end(), e.begin(), e.end());
    }
    Expect(In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x41}));
    Expect(In({0x23, 0, 0, 0, 0, 0, 0, 0x00, 0x43, 0}, 67, lun));
    LunTableEntry luns[8];
    EXPECT_EQ(storsys_->ReadLunTable(luns, result_), 1);
    EXPECT_EQ(luns[1].status, 1u);
    EXPECT_EQ(luns[1].blocks, 0x00100000u);
    EXPECT_EQ(luns[0].status, 0u);

    Bytes missing = {0x00, 0x4D, 76};  // 1 + 76
    Bytes e(76, 0);
    e[0] = 1;
    std::memcpy(e.data() + 1, "ST34371W        ", 16);
    std::memcpy(e.data() + 17, "DRIVEID-00000009", 16);
    std::memcpy(e.data() + 33, "JDQ000999999", 12);
    std::memcpy(e.data() + 45, "SEAGATE ", 8);
    std::memcpy(e.data() + 53, "VOLSET-0000000A1", 16);
    e[70] = 0x85;  // 0x00850000
    missing.insert(missing.end(), e.begin(), e.end());
    Expect(In({0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x4D}));
    Expect(In({0x23, 0, 1, 0, 0, 0, 0, 0x00, 0x4F, 0}, 79, missing));
    MissingDriveEntry drives[6];
    std::uint32_t count = 0;
    EXPECT_EQ(storsys_->ReadMissingDrives(drives, &count, result_), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(drives[0].present, 1u);
    EXPECT_STREQ(drives[0].serial, "JDQ000999999");
    EXPECT_STREQ(drives[0].vendor, "SEAGATE ");
    EXPECT_EQ(drives[0].lastBlock, 0x0084FFFFu);
    EXPECT_EQ(drives[1].present, 0u);
}

TEST_F(StorSysTest, RawPageTwoReads) {
    Bytes page = {0x00, 0x08, 0x01, 0x02, 0x02, 0x01, 0x02, 0x0A, 0x01, 0x00};
    Expect(In({0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0x00, 0x08}));
    Expect(In({0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x0A, 0}, 10, page));
    std::vector<unsigned char> got;
    EXPECT_EQ(storsys_->ReadRawPage(got, result_), 1);
    EXPECT_EQ(got, page);
}

TEST_F(StorSysTest, RawPageLengthOverflowIsRefused) {
    Expect(In({0xEF, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0}, 2, {0xFF, 0xFF}));
    std::vector<unsigned char> got;
    EXPECT_EQ(storsys_->ReadRawPage(got, result_), 0);
    EXPECT_TRUE(got.empty());
}

TEST_F(StorSysTest, ControllerLogTwoReadsWithConsumeFlag) {
    Bytes log = {0x01, 0x00, 0x0E, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10,
                 0x00, 0x00, 0x9C, 0x01, 0x81, 0x00, 0x05, 0x00, 0x00};
    Expect(In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3, {0x01, 0x00, 0x0E}));
    Expect(In({0xF2, 2, 0, 1, 0, 0, 0, 0x00, 0x11, 0}, 17, Bytes(log.begin(), log.begin() + 17)));
    unsigned char buffer[8];
    std::uint32_t length = 0;
    EXPECT_EQ(storsys_->ReadControllerLog(1, buffer, sizeof(buffer), &length, result_), 1);
    EXPECT_EQ(length, 17u);
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[3], 0x01);
    EXPECT_EQ(buffer[7], 0x00);
}

TEST_F(StorSysTest, ControllerLogLengthOverflowIsRefused) {
    Expect(In({0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 3, {0x01, 0xFF, 0xFE}));
    std::uint32_t length = 0;
    EXPECT_EQ(storsys_->ReadControllerLog(0, nullptr, 0, &length, result_), 0);
    EXPECT_EQ(length, 0u);
}

TEST_F(StorSysTest, ControllerStatusCounters) {
    Expect(In({0xF2, 0x02, 0, 2, 0, 0, 0, 0, 19, 0}, 19,
              {2, 0, 16, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    std::uint32_t values[4];
    EXPECT_EQ(storsys_->ReadControllerStatus(1, values, result_), 1);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[1], 256u);
    EXPECT_EQ(values[2], 65536u);
    EXPECT_EQ(values[3], 0xFFFFFFFFu);
}

TEST_F(StorSysTest, CabinetStatusFullAndShortForms) {
    Bytes full(244, 0);
    full[0] = 3;
    full[1] = 0x80;  // attention flag, length 241
    full[2] = 241;
    full[3 + 3] = 0x42;  // word 1 = 0x42
    full[167 + 3] = 9;   // word 42
    full[171] = 12;
    full[172] = 1;
    full[183] = 2;
    full[184 + 3] = 7;  // word 55
    full[240 + 3] = 8;  // word 69
    Expect(In({0xF2, 0, 0, 3, 0, 0, 0, 0, 244, 0}, 244, full));
    CabinetStatusRecord record;
    EXPECT_EQ(storsys_->ReadCabinetStatus(0, record, result_), 1);
    EXPECT_EQ(record.word[0], 1u);
    EXPECT_EQ(record.word[1], 0x42u);
    EXPECT_EQ(record.word[42], 9u);
    EXPECT_EQ(record.slotCount, 12u);
    EXPECT_EQ(record.word[43], 1u);
    EXPECT_EQ(record.word[54], 2u);
    EXPECT_EQ(record.word[55], 7u);
    EXPECT_EQ(record.word[69], 8u);

    storsys_->SetFormatLevel(1);
    Bytes shortForm(184, 0);
    shortForm[0] = 3;
    shortForm[2] = 181;
    shortForm[171] = 40;  // more slots than a cabinet has: 12 are read
    shortForm[183] = 1;
    Expect(In({0xF2, 0, 0, 3, 0, 0, 0, 0, 184, 0}, 184, shortForm));
    EXPECT_EQ(storsys_->ReadCabinetStatus(0, record, result_), 1);
    EXPECT_EQ(record.word[0], 0u);
    EXPECT_EQ(record.slotCount, 12u);
    EXPECT_EQ(record.word[54], 1u);
    EXPECT_EQ(record.word[55], 0u);
}

TEST_F(StorSysTest, AliasReadFullAndShortForm) {
    Bytes alias(16, 0);
    std::memcpy(alias.data(), "PAYROLL", 7);
    Expect(In({0xFC, 0, 0, 0, 0, 0, 0, 0, 16, 0}, 16, alias));
    char text[17];
    std::uint32_t length = 99;
    EXPECT_EQ(storsys_->ReadAlias(text, length, result_), 1);
    EXPECT_EQ(length, 7u);
    EXPECT_STREQ(text, "PAYROLL");

    Bytes full(16, 'A');  // no terminator: 16 characters at most
    Expect(In({0xFC, 0, 0, 0, 0, 0, 0, 0, 16, 0}, 16, full));
    EXPECT_EQ(storsys_->ReadAlias(text, length, result_), 1);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(std::strlen(text), 16u);

    storsys_->SetFormatLevel(2);  // nothing is sent
    EXPECT_EQ(storsys_->ReadAlias(text, length, result_), 1);
    EXPECT_EQ(length, 0u);
}

// --- actions ---

struct ActionCase {
    const char* name;
    std::function<int(StorSys&, ScsiResult&)> call;
    Bytes cdb;
    std::uint32_t timeout;
};

TEST_F(StorSysTest, ActionsWithoutData) {
    std::vector<ActionCase> cases = {
        {"add",
         [](StorSys& s, ScsiResult& r) { return s.AddPhysicalDrive(3, r); },
         {0xE0, 0, 0, 0, 3, 0, 0, 0, 0, 0},
         32},
        {"down",
         [](StorSys& s, ScsiResult& r) { return s.DownPhysicalDrive(1, 2, 7, r); },
         {0xE1, 0x06, 0, 0, 7, 0, 0, 0, 0, 0},
         32},
        {"delete",
         [](StorSys& s, ScsiResult& r) { return s.DeleteLun(4, r); },
         {0xE3, 0, 4, 0, 0, 0, 0, 0, 0, 0},
         1280},
        {"format",
         [](StorSys& s, ScsiResult& r) { return s.FormatSubsystem(1, r); },
         {0xE4, 0, 0, 0, 0, 0, 0, 0, 1, 0},
         7200},
        {"renumber",
         [](StorSys& s, ScsiResult& r) { return s.RenumberLun(2, 5, r); },
         {0xE5, 0, 2, 0, 5, 0, 0, 0, 0, 0},
         32},
        {"reset",
         [](StorSys& s, ScsiResult& r) { return s.ResetPhysicalDrive(11, r); },
         {0xE6, 0, 0, 0, 11, 0, 0, 0, 0, 0},
         32},
        {"spin up",
         [](StorSys& s, ScsiResult& r) { return s.SpinUpPhysicalDrive(0, r); },
         {0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
        {"shutdown",
         [](StorSys& s, ScsiResult& r) { return s.ShutdownSubsystem(r); },
         {0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         128},
        {"switch",
         [](StorSys& s, ScsiResult& r) { return s.SwitchController(r); },
         {0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
        {"restart all",
         [](StorSys& s, ScsiResult& r) { return s.RestartController(1, r); },
         {0xF0, 3, 0, 0, 0, 0, 0, 0, 0, 0},
         256},
        {"restart",
         [](StorSys& s, ScsiResult& r) { return s.RestartController(0, r); },
         {0xF0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
        {"rebuild",
         [](StorSys& s, ScsiResult& r) { return s.StartRebuild(r); },
         {0x26, 1, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
        {"stop rebuild",
         [](StorSys& s, ScsiResult& r) { return s.StopRebuild(r); },
         {0x26, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
        {"format unit",
         [](StorSys& s, ScsiResult& r) { return s.FormatUnit(3, r); },
         {0x04, 0x60, 0, 0, 0, 0},
         128},
        {"start",
         [](StorSys& s, ScsiResult& r) { return s.StartStopUnit(1, true, r); },
         {0x1B, 0x20, 0, 0, 1, 0},
         32},
        {"stop",
         [](StorSys& s, ScsiResult& r) { return s.StartStopUnit(1, false, r); },
         {0x1B, 0x20, 0, 0, 0, 0},
         32},
        {"verify",
         [](StorSys& s, ScsiResult& r) { return s.VerifyBlocks(2, 0x01020304, 16, r); },
         {0x2F, 0x40, 1, 2, 3, 4, 0, 0, 16, 0},
         32},
        {"copy firmware",
         [](StorSys& s, ScsiResult& r) { return s.WriteBuffer(1, 0, nullptr, 0, r); },
         {0x3B, 1, 0, 0, 0, 0, 0, 0, 0, 0},
         32},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(c.name);
        Expect(None(c.cdb, c.timeout));
        EXPECT_EQ(c.call(*storsys_, result_), 1);
        EXPECT_TRUE(script_->Done());
    }
}

TEST_F(StorSysTest, ActionsWithDataOut) {
    unsigned char descriptor[6];
    StorSys::MakeLunDescriptor(3, 0x00012345, descriptor);
    Expect(Out({0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x03, 0x00, 0x01, 0x23, 0x45, 0x00}));
    EXPECT_EQ(storsys_->CreateLun(descriptor, result_), 1);

    Expect(Out({0xFA, 0, 0, 0, 0, 0, 0, 0, 16, 0}, Bytes(16, 0x46), 128));
    EXPECT_EQ(storsys_->WriteVolumeSetId(nullptr, true, result_), 1);
    Expect(Out({0xFA, 0, 0, 0, 0, 0, 0, 0, 16, 0},
               {'V', 'O', 'L', 'S', 'E', 'T', '-', '0', '0', '0', '0', '0', '0', '0', 'A', '1'},
               128));
    EXPECT_EQ(storsys_->WriteVolumeSetId("VOLSET-0000000A1", false, result_), 1);

    Expect(Out({0xFD, 0, 0, 0, 0, 0, 0, 0, 12, 0},
               {'P', 'A', 'Y', 'R', 'O', 'L', 'L', 0, 0, 0, 0, 0}));
    const char alias[12] = "PAYROLL";
    EXPECT_EQ(storsys_->WriteAlias(alias, result_), 1);

    Bytes image(6, 0x5A);
    Expect(Out({0x3B, 5, 0, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0}, image));
    EXPECT_EQ(storsys_->WriteBuffer(5, 0x100, image.data(), 6, result_), 1);

    Bytes blocks(1024, 0xA5);
    Expect(Out({0x2A, 0x00, 0, 0, 0, 0x10, 0, 0, 2, 0}, blocks));
    EXPECT_EQ(storsys_->WriteBlocks(0, 16, 2, blocks.data(), 1024, result_), 1);
}

TEST_F(StorSysTest, ReadBlocksAndCapacity) {
    Bytes data(512, 0x3C);
    Expect(In({0x28, 0x20, 0, 0, 0, 1, 0, 0, 1, 0}, 512, data));
    Bytes got(512, 0);
    EXPECT_EQ(storsys_->ReadBlocks(1, 1, 1, got.data(), 512, result_), 1);
    EXPECT_EQ(got, data);
    Expect(In({0x25, 0x20, 0, 0, 0, 0, 0, 0, 0, 0}, 8, {0, 0x0F, 0xFF, 0xFF, 0, 0, 2, 0}));
    std::uint32_t last = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(storsys_->ReadCapacity(1, last, size, result_), 1);
    EXPECT_EQ(last, 0x000FFFFFu);
    EXPECT_EQ(size, 512u);
}

// --- mode pages ---

Bytes Page21() {
    Bytes p(22, 0);
    p[1] = 20;
    p[8] = 0xA1;
    p[9] = 12;
    p[10] = 1;
    p[11] = 0x51;  // bits 6, 4, 0
    p[12] = 0xC2;  // bits 7, 6, 1
    p[13] = 7;
    p[14] = 6;
    p[15] = 0xA3;  // bits 7, 5; low nibble 3
    p[16] = 0x12;
    p[17] = 0x34;
    p[18] = 55;
    p[19] = 0x01;
    p[20] = 0x02;
    p[21] = 12;
    return p;
}

TEST_F(StorSysTest, ModePage21Decode) {
    Expect(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0x00, 0x16, 0}, 22, Page21()));
    ModePage21Record r;
    EXPECT_EQ(storsys_->ReadModePage21(0, r, result_), 1);
    EXPECT_EQ(r.word[1], 1u);
    EXPECT_EQ(r.word[2], 1u);  // bit 6
    EXPECT_EQ(r.word[3], 0u);
    EXPECT_EQ(r.word[4], 1u);   // bit 4
    EXPECT_EQ(r.word[9], 1u);   // bit 0
    EXPECT_EQ(r.word[8], 1u);   // byte 12 bit 7
    EXPECT_EQ(r.word[10], 1u);  // byte 12 bit 6
    EXPECT_EQ(r.word[15], 1u);  // byte 12 bit 1
    EXPECT_EQ(r.word[16], 0u);
    EXPECT_EQ(r.word[17], 6u);  // byte 14
    EXPECT_EQ(r.word[18], 7u);  // byte 13
    EXPECT_EQ(r.word[19], 1u);
    EXPECT_EQ(r.word[20], 0u);
    EXPECT_EQ(r.word[21], 1u);
    EXPECT_EQ(r.word[23], 3u);
    EXPECT_EQ(r.word[24], 0x1234u);
    EXPECT_EQ(r.word[25], 55u);
    EXPECT_EQ(r.word[26], 0x0102u);
    EXPECT_EQ(r.word[27], 12u);
    EXPECT_EQ(storsys_->PageKind(), 2u);
}

TEST_F(StorSysTest, ModePage21WriteIsTheInverse) {
    Expect(In({0x5A, 0x08, 0x21, 0, 0, 0, 0, 0x00, 0x16, 0}, 22, Page21()));
    ModePage21Record r;
    ASSERT_EQ(storsys_->ReadModePage21(0, r, result_), 1);
    Bytes expected = Page21();
    expected[1] = 0;     // the header is all zero on a select
    expected[8] = 0x21;  // PS bit clear
    Expect(Out({0x55, 0x01, 0, 0, 0, 0, 0, 0x00, 0x16, 0}, expected));
    EXPECT_EQ(storsys_->WriteModePage21(0, r, 1, result_), 1);
}

TEST_F(StorSysTest, ModePage22ByFormatLevel) {
    Bytes p(42, 0);
    p[8] = 0x22;
    p[9] = 32;
    p[13] = 9;     // word 1
    p[14] = 0x80;  // word 2 = 0x80000000
    p[18] = 0x0F;
    p[19] = 4;
    p[20] = 5;
    p[21] = 0x5D;  // bits 6, 4, 3..2 = 3, bit 0
    p[22] = 40;
    p[23] = 2;
    Expect(In({0x5A, 0x08, 0x22, 0, 0, 0, 0, 0x00, 0x2A, 0}, 42, p));
    ModePage22Record r;
    EXPECT_EQ(storsys_->ReadModePage22(0, r, result_), 1);
    EXPECT_EQ(r.word[1], 9u);
    EXPECT_EQ(r.word[2], 0x80000000u);
    EXPECT_EQ(r.word[3], 1u);
    EXPECT_EQ(r.word[4], 1u);
    EXPECT_EQ(r.word[5], 4u);
    EXPECT_EQ(r.word[6], 5u);
    EXPECT_EQ(r.word[7], 1u);
    EXPECT_EQ(r.word[8], 1u);
    EXPECT_EQ(r.word[9], 1u);
    EXPECT_EQ(r.word[10], 0u);
    EXPECT_EQ(r.word[11], 1u);
    EXPECT_EQ(r.word[12], 3u);
    EXPECT_EQ(r.word[13], 0u);
    EXPECT_EQ(r.word[14], 1u);
    EXPECT_EQ(r.word[15], 40u);
    EXPECT_EQ(r.word[16], 2u);

    storsys_->SetFormatLevel(1);  // level 1: words 1..3 only, defaults elsewhere
    Expect(In({0x5A, 0x08, 0x22, 0, 0, 0, 0, 0x00, 0x2A, 0}, 42, p));
    EXPECT_EQ(storsys_->ReadModePage22(0, r, result_), 1);
    EXPECT_EQ(r.word[3], 1u);
    EXPECT_EQ(r.word[4], 0u);
    EXPECT_EQ(r.word[5], 3u);
    EXPECT_EQ(r.word[6], 3u);
    EXPECT_EQ(r.word[14], 0u);

    storsys_->SetFormatLevel(0);  // nothing is sent
    EXPECT_EQ(storsys_->ReadModePage22(0, r, result_), 1);
    EXPECT_EQ(r.word[1], 0u);
    EXPECT_EQ(r.word[5], 3u);
}

TEST_F(StorSysTest, CachingPageBothWays) {
    Bytes p(20, 0);
    p[8] = 0x08;
    p[9] = 10;
    p[10] = 0x04;
    Expect(In({0x5A, 0x28, 0x08, 0, 0, 0, 0, 0x00, 0x14, 0}, 20, p));
    bool wce = false;
    bool rcd = true;
    EXPECT_EQ(storsys_->ReadCachingPage(1, wce, rcd, result_), 1);
    EXPECT_TRUE(wce);
    EXPECT_FALSE(rcd);
    Bytes out(20, 0);
    out[8] = 0x08;
    out[9] = 10;
    out[10] = 0x01;
    Expect(Out({0x55, 0x21, 0, 0, 0, 0, 0, 0x00, 0x14, 0}, out));
    EXPECT_EQ(storsys_->WriteCachingPage(1, false, true, result_), 1);
}

// --- drive exchange ---

TEST_F(StorSysTest, DriveExchangeShortDataInIsAccepted) {
    Expect(Out({0x27, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x00, 0x00},
               {0x37, 0x00, 0x0D, 0, 0, 0, 0, 0x01, 0x00, 0x00}));
    // The grown list has one descriptor: 12 of 256 bytes arrive.
    Bytes defects = {0x00, 0x0D, 0x00, 0x08, 0x00, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x09};
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 256, defects, 7200));
    unsigned char buffer[256];
    std::uint32_t moved = 0;
    EXPECT_EQ(storsys_->DriveReadDefectData(4, false, true, 5, buffer, 256, &moved, result_), 1);
    EXPECT_EQ(moved, 12u);
    EXPECT_EQ(buffer[1], 13);
}

// A drive read whose data phase brings fewer bytes than the blocks asked
// for must not pass the stale rest of the caller's buffer off as data.
TEST_F(StorSysTest, DriveReadThatGetsLessThanItsBlocksFails) {
    Expect(Out({0x27, 0x03, 0x02, 0x00, 0x0A, 0x00, 0x00, 0x04, 0x00, 0x00},
               {0x28, 0, 0, 0, 0, 9, 0, 0, 2, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1024, Bytes(512, 0x5A), 7200));
    std::vector<unsigned char> buffer(1024, 0xEE);
    EXPECT_EQ(storsys_->DriveRead(2, 9, 2, buffer.data(), result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EIO));
    // What did arrive is still the caller's.
    EXPECT_EQ(buffer[511], 0x5A);
    EXPECT_EQ(buffer[512], 0xEE);
}

// A data-out phase the drive did not take whole is no success either.
TEST_F(StorSysTest, DriveWriteThatMovesLessThanItsBlocksFails) {
    Bytes data(1024, 0x11);
    Expect(Out({0x27, 0x02, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x04, 0x00, 0x00},
               {0x2A, 0, 0, 0, 0, 3, 0, 0, 2, 0}));
    Expect(
        WithAnswer(Out({0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, data, 7200), Answer{0, {}, {}, 512u, 0}));
    EXPECT_EQ(storsys_->DriveWrite(1, 3, 2, data.data(), result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EIO));
}

// The command block carries at most 1 MiB: a longer transfer is refused
// before anything is sent, never cut short in silence.
TEST_F(StorSysTest, TransfersOverTheCommandBlockLimitAreRefused) {
    const std::size_t sentBefore = script_->Opcodes().size();
    std::vector<unsigned char> buffer(ScsiCommand::kMaxDataLength + 512, 0);
    const std::uint16_t blocks = (ScsiCommand::kMaxDataLength / 512) + 1;  // 2049
    EXPECT_EQ(storsys_->DriveRead(0, 0, blocks, buffer.data(), result_), 0);
    EXPECT_EQ(result_.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(storsys_->DriveWrite(0, 0, blocks, buffer.data(), result_), 0);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(storsys_->ReadBlocks(0, 0, blocks, buffer.data(),
                                   static_cast<std::uint32_t>(buffer.size()), result_),
              0);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(storsys_->WriteBuffer(5, 0, buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                                    result_),
              0);
    EXPECT_EQ(result_.status, static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(script_->Opcodes().size(), sentBefore);
}

TEST_F(StorSysTest, DriveWriteAndVerify) {
    Bytes data(512, 0x77);
    Expect(Out({0x27, 0x02, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x02, 0x00, 0x00},
               {0x2E, 0, 0, 0, 0, 9, 0, 0, 1, 0}));
    Expect(Out({0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, data, 7200));
    EXPECT_EQ(storsys_->DriveWriteVerify(1, 9, 1, data.data(), result_), 1);
    Expect(Out({0x27, 0x01, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},
               {0x2F, 0, 0, 0, 0, 9, 0, 0, 1, 0}));
    Expect(None({0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7200));
    EXPECT_EQ(storsys_->DriveVerify(1, 9, 1, result_), 1);
}

TEST_F(StorSysTest, DriveCheckConditionIsNotRepeated) {
    Expect(Out({0x27, 0x01, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00}, {0, 0, 0, 0, 0, 0}));
    Bytes sense = SenseBytes(2, 0x80, 0x00);
    sense[22] = 2;
    sense[23] = 0x04;
    sense[24] = 0x01;
    sense[25] = 0;
    Expect(
        WithAnswer(None({0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7200), Answer{0x02, sense, {}, {}, 0}));
    EXPECT_EQ(storsys_->DriveTestUnitReady(0, result_), 0);
    EXPECT_EQ(result_.sense[23], 0x04);
}

TEST_F(StorSysTest, DriveLogAndModePages) {
    Expect(Out({0x27, 0x03, 0x06, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x40, 0x00},
               {0x4D, 0, 0x42, 0, 0, 0, 0, 0x00, 0x40, 0}));
    Expect(In({0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 64, Bytes(64, 1), 7200));
    unsigned char page[64];
    EXPECT_EQ(storsys_->DriveLogSense(6, 0x42, page, 64, nullptr, result_), 1);

    Expect(Out({0x27, 0x01, 0x06, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},
               {0x4C, 0x02, 0x40, 0, 0, 0, 0, 0, 0, 0}));
    Expect(None({0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7200));
    // A LOG SELECT without parameters (reset the counters) has no data phase.
    EXPECT_EQ(storsys_->DriveLogSelect(6, 0x02, 1, nullptr, 0, result_), 1);
}

}  // namespace
