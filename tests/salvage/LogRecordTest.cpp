// The three controller log records decoded from bytes written from their
// layout tables, their lines, and the text lookups behind them.
#include <gtest/gtest.h>

#include <sstream>

#include "SalvageTestSupport.h"
#include "cli/common/CliConfig.h"
#include "tools/recover/ControllerLogRecord.h"
#include "tools/recover/LogMessageModules.h"

namespace {

using namespace salvagetest;
using salvage::LogRecord;
using Bytes = std::vector<unsigned char>;

// Type 0: header (type 0, byte 1 0xAA, ticks 123456, byte 6 0xBB, event 102,
// count 3), slot 2, bytes 0x04 0x11 0x00, LBA 12345.
const Bytes kDriveEvent = {0x00, 0xAA, 0x00, 0x01, 0xE2, 0x40, 0xBB, 0x00, 0x66,
                           0x03, 0x02, 0x04, 0x11, 0x00, 0x00, 0x00, 0x30, 0x39};
// Type 1: ticks 1500, event 156, count 1, byte 10 7, message code 130, no data.
const Bytes kControllerEvent = {0x01, 0x00, 0x00, 0x00, 0x05, 0xDC, 0x00,
                                0x00, 0x9C, 0x01, 0x07, 0x82, 0x00, 0x00};
// Type 2: ticks 2000, event 200, count 1, message code 5, byte 11 0xEE (not
// used), 16 kept bytes "KEPT-BYTES-16-XY".
const Bytes kChangeEvent = {0x02, 0x00, 0x00, 0x00, 0x07, 0xD0, 0x00, 0x00, 0xC8, 0x01,
                            0x05, 0xEE, 'K',  'E',  'P',  'T',  '-',  'B',  'Y',  'T',
                            'E',  'S',  '-',  '1',  '6',  '-',  'X',  'Y'};

class LogRecordTest : public SalvageTest {
  protected:
    void SetUp() override {
        SalvageTest::SetUp();
        ASSERT_NE(InitCliConfig(0, nullptr), nullptr);
        modules = std::make_unique<salvage::LogMessageModules>("QXSALVAGE001");
    }
    void TearDown() override {
        modules.reset();
        ReleaseCliConfig();
        SalvageTest::TearDown();
    }

    std::string Printed(const Bytes& bytes) {
        auto record = LogRecord::Create(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        EXPECT_NE(record, nullptr);
        std::ostringstream out;
        if (record) {
            record->Print(out, *modules);
        }
        return out.str();
    }

    std::unique_ptr<salvage::LogMessageModules> modules;
};

TEST_F(LogRecordTest, DriveEventDecodesEveryField) {
    auto record = LogRecord::Create(kDriveEvent.data(), 18);
    ASSERT_NE(record, nullptr);
    auto* drive = dynamic_cast<salvage::DriveEventRecord*>(record.get());
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->Size(), 18u);
    EXPECT_EQ(drive->type, 0u);
    EXPECT_EQ(drive->kept1, 0xAAu);
    EXPECT_EQ(drive->tix, 123456u);
    EXPECT_EQ(drive->kept6, 0xBBu);
    EXPECT_EQ(drive->evCode, 102u);
    EXPECT_EQ(drive->evCount, 3u);
    EXPECT_EQ(drive->slot, 2u);
    EXPECT_EQ(drive->value[0], 0x04u);
    EXPECT_EQ(drive->value[1], 0x11u);
    EXPECT_EQ(drive->value[2], 0x00u);
    EXPECT_EQ(drive->lba, 12345u);

    const std::string text = Printed(kDriveEvent);
    EXPECT_EQ(text,
              Mark(18, 38) + " Drive event of array QXSALVAGE001\n" + Mark(18, 39) +
                  "    Tix                              = 123456\n" + Mark(18, 40) +
                  "    Event code                       = 102\n" + Mark(18, 41) +
                  "    Event                            = " + Mark(2, 102) + " Drive failed.\n" +
                  Mark(18, 42) + "    Event count                      = 3\n" + Mark(18, 43) +
                  "    Drive slot index                 = 2\n" + Mark(18, 44) +
                  "    Drive slot                       = " + Mark(17, 3) + " drive slot A2\n" +
                  Mark(18, 45) + "    Drive slot name                  = A2\n" + Mark(18, 46) +
                  "    Sense key                        = 0x04\n" + Mark(18, 47) +
                  "    Additional sense code            = 0x11\n" + Mark(18, 48) +
                  "    Additional sense code qualifier  = 0x00\n" +
                  "   LBA                              = 12345\n");
}

TEST_F(LogRecordTest, ControllerEventWithoutDataNamesTheEvent) {
    auto record = LogRecord::Create(kControllerEvent.data(), 14);
    auto* controller = dynamic_cast<salvage::ControllerEventRecord*>(record.get());
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->Size(), 14u);
    EXPECT_EQ(controller->tix, 1500u);
    EXPECT_EQ(controller->evCode, 156u);
    EXPECT_EQ(controller->value, 7u);
    EXPECT_EQ(controller->messageCode, 130u);

    const std::string text = Printed(kControllerEvent);
    EXPECT_NE(text.find(Mark(18, 49) + " Controller event of array QXSALVAGE001\n"),
              std::string::npos);
    EXPECT_NE(text.find(Mark(18, 52)), std::string::npos);
    EXPECT_NE(text.find(Mark(18, 53) + "    Event                            = " + Mark(2, 156)),
              std::string::npos);
    EXPECT_NE(text.find(Mark(18, 57) + "    Message                          = " + Mark(17, 131)),
              std::string::npos);
    EXPECT_EQ(text.find(Mark(18, 51)), std::string::npos);
    EXPECT_EQ(text.find(Mark(18, 58)), std::string::npos);
}

TEST_F(LogRecordTest, ControllerEventWithDataShowsItInstead) {
    Bytes bytes = kControllerEvent;
    bytes[12] = 0x12;
    bytes[13] = 0x34;
    const std::string text = Printed(bytes);
    EXPECT_NE(text.find(Mark(18, 51) + "    Event code                       = 156\n"),
              std::string::npos);
    EXPECT_EQ(text.find(Mark(18, 52)), std::string::npos);
    EXPECT_EQ(text.find(Mark(18, 53)), std::string::npos);
    EXPECT_NE(text.find(Mark(18, 58) + "    Event data                       = 0x12 0x34\n"),
              std::string::npos);
    // One byte set is enough.
    bytes[12] = 0;
    EXPECT_NE(
        Printed(bytes).find(Mark(18, 58) + "    Event data                       = 0x00 0x34"),
        std::string::npos);
}

TEST_F(LogRecordTest, ChangeEventKeepsItsSixteenBytes) {
    auto record = LogRecord::Create(kChangeEvent.data(), 28);
    auto* change = dynamic_cast<salvage::ChangeEventRecord*>(record.get());
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->Size(), 28u);
    EXPECT_EQ(change->tix, 2000u);
    EXPECT_EQ(change->evCode, 200u);
    EXPECT_EQ(change->messageCode, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(change->kept), 16), "KEPT-BYTES-16-XY");

    const std::string text = Printed(kChangeEvent);
    EXPECT_EQ(text, Mark(18, 59) + " Configuration change of array QXSALVAGE001\n" + Mark(18, 60) +
                        "    Tix                              = 2000\n" + Mark(18, 61) +
                        "    Event code                       = 200\n" + Mark(18, 62) +
                        "    Event                            = " + Mark(2, 200) +
                        " Configuration changed.\n" + Mark(18, 63) +
                        "    Event count                      = 1\n" + Mark(18, 64) +
                        "    Message code                     = 5\n" + Mark(18, 65) +
                        "    Message                          = " + Mark(17, 6) +
                        " drive slot B3\n");
    EXPECT_EQ(text.find("KEPT"), std::string::npos);
}

TEST_F(LogRecordTest, UnknownTypesAndCutRecordsAreRefused) {
    Bytes unknown = kDriveEvent;
    unknown[0] = 3;
    EXPECT_EQ(LogRecord::Create(unknown.data(), 18), nullptr);
    EXPECT_EQ(LogRecord::Create(kDriveEvent.data(), 17), nullptr);
    EXPECT_EQ(LogRecord::Create(kControllerEvent.data(), 13), nullptr);
    EXPECT_EQ(LogRecord::Create(kChangeEvent.data(), 27), nullptr);
    EXPECT_EQ(LogRecord::Create(kDriveEvent.data(), 0), nullptr);
}

TEST_F(LogRecordTest, CodesWithoutTextPrintAsNumbers) {
    // No firmware text for 999: its decimal; no client text for 77: 77 + 1.
    EXPECT_EQ(modules->FirmwareText(999), "999");
    EXPECT_EQ(modules->ClientText(77), "78");
    EXPECT_EQ(modules->FirmwareText(102), Mark(2, 102) + " Drive failed.");
    EXPECT_EQ(modules->ClientText(0), Mark(17, 1) + " drive slot A1");
    // Codes whose text id falls on number 0 of a set have none.
    EXPECT_EQ(modules->FirmwareText(1000), "1000");
    EXPECT_EQ(salvage::LogSlotName(11), std::string("B6"));
    EXPECT_EQ(salvage::LogSlotName(12), std::string(""));
}

TEST_F(LogRecordTest, WithoutTheFirmwareCatalogOnlyNumbersRemain) {
    ::setenv("ORU_NLSPATH", (root.Path() + "/nowhere").c_str(), 1);
    salvage::LogMessageModules bare("QXSALVAGE001");
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    EXPECT_EQ(bare.FirmwareText(102), "102");
}

TEST_F(LogRecordTest, TheBaseRecordPrintsItsHeaderOnOneLine) {
    LogRecord base;
    base.Parse(kDriveEvent.data());
    std::ostringstream out;
    base.Print(out, *modules);
    EXPECT_EQ(out.str(), ", Type: 0, Tix: 123456, evCode: 102, evCount: 3\n");
    EXPECT_EQ(base.Size(), 10u);
}

}  // namespace
