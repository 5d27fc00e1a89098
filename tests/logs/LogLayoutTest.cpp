// The catalog and the log records on disk, byte for byte, against images
// written from the layout tables (little-endian words).
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "LogTestSupport.h"
#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Root.h"
#include "support/FreshRoot.h"

namespace {

using logtest::Bytes;
using logtest::Le32;
using logtest::ReadBytes;
using logtest::Settle;
using logtest::StartLog;

class LogLayout : public ::testing::Test {
  protected:
    LogLayout() : dir_(root_.File("c/oru_log")) { platform::MakeDirs(dir_); }

    testsupport::FreshRoot root_;
    OruTask self_{OruTask::BindToCurrentThread{}, "Log Test"};
    std::string dir_;
};

// Compares bytes, skipping the listed 4-byte time words.
void ExpectBytes(const Bytes& got, std::size_t at, const Bytes& want,
                 std::initializer_list<std::size_t> timeWords = {}) {
    ASSERT_GE(got.size(), at + want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        bool isTime = false;
        for (std::size_t word : timeWords) {
            isTime = isTime || (i >= word && i < word + 4);
        }
        if (!isTime) {
            EXPECT_EQ(got[at + i], want[i]) << "byte " << i;
        }
    }
}

TEST_F(LogLayout, NewCatalogHeaderIsStateOneWithStartLrba4096) {
    {
        LogCatalog catalog(dir_, 0xFFFFFFFFu);
        ASSERT_TRUE(catalog.IsOpen());
    }
    Bytes file = ReadBytes(dir_ + "/LOGCATLG");
    // Closed by the destructor: state 0; the rest as a new catalog.
    const Bytes want = {
        0x00, 0x00, 0x00, 0x00,  // state (closed)
        0x00, 0x00, 0x00, 0x00,  // version
        0x00, 0x00, 0x00, 0x00,  // file count
        0x00, 0x00, 0x00, 0x00,  // total log size
        0x00, 0x10, 0x00, 0x00,  // start LRBA 4096
        0x00, 0x00, 0x00, 0x00,  // oldest complete bundle
        0x00, 0x00, 0x00, 0x00,  // high LRBA
        0x00, 0x00, 0x00, 0x00,  // high LRBA time
        0x00, 0x00, 0x00, 0x00,  // last file number
        0x34, 0x00, 0x00, 0x00,  // catalog size 52
        0x00, 0x00, 0x00, 0x00,  // oldest entry
        0x00, 0x00, 0x00, 0x00,  // latest entry
        0x00, 0x00, 0x00, 0x00,  // free list
    };
    EXPECT_EQ(file, want);
}

TEST_F(LogLayout, OpenCatalogOnDiskSaysStateOne) {
    LogCatalog catalog(dir_, 0xFFFFFFFFu);
    Bytes file = ReadBytes(dir_ + "/LOGCATLG");
    ASSERT_EQ(file.size(), 52u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x01, 0x00, 0x00, 0x00}));
}

TEST_F(LogLayout, FirstEntryAndHeaderAfterAddFile) {
    std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr));
    LogCatalog catalog(dir_, 0xFFFFFFFFu);
    ASSERT_TRUE(catalog.AddFile("L0000001", 0));
    Bytes file = ReadBytes(dir_ + "/LOGCATLG");
    ASSERT_EQ(file.size(), 96u);
    const Bytes header = {
        0x01, 0x00, 0x00, 0x00,                          // state open
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // version, file count 1
        0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00,  // total 0, start LRBA 4096
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // last file number 1
        0x60, 0x00, 0x00, 0x00,                          // catalog size 96
        0x34, 0x00, 0x00, 0x00,                          // oldest entry 52
        0x34, 0x00, 0x00, 0x00,                          // latest entry 52
        0x00, 0x00, 0x00, 0x00,                          // free list
    };
    ExpectBytes(file, 0, header);
    const Bytes entry = {
        0x00, 0x00, 0x00, 0x00,  // next
        0x00, 0x00, 0x00, 0x00,  // previous
        0x00, 0x00, 0x00, 0x00,  // begin LRBA 0
        0x00, 0x00, 0x00, 0x00,  // end LRBA (open)
        0x00, 0x00, 0x00, 0x00,  // bundle
        0xEE, 0xEE, 0xEE, 0xEE,  // begin time (checked below)
        0x00, 0x00, 0x00, 0x00,  // end time
        'L',  '0',  '0',  '0',  '0', '0', '0', '1', 0, 0, 0, 0, 0, 0, 0, 0,
    };
    ExpectBytes(file, 52, entry, {20});
    EXPECT_GE(Le32(file, 52 + 20), before);
    EXPECT_LE(Le32(file, 52 + 20), before + 5);
}

TEST_F(LogLayout, NewLogHoldsTheFillerBlockAndTheFirstRecordAt4096) {
    auto mgr = StartLog(dir_);
    EXPECT_EQ(mgr->NextLrba(), 0u);
    SubsysLog* log = mgr->OpenSubsysLog("SER123456789");
    Bytes record(68, 0);
    logtest::PutLe32(record, 4, 68);
    record[12] = 0x02;  // class 2
    record[14] = 0x01;  // code 1
    for (int i = 0; i < 8; ++i) {
        record[60 + i] = static_cast<unsigned char>(0xA0 + i);
    }
    auto [bundle, lrba] = log->WriteRecord(record.data(), 0, 0x11223344);
    EXPECT_EQ(bundle, 4096u);
    EXPECT_EQ(lrba, 4096u);
    Settle(*mgr);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    ASSERT_EQ(file.size(), 8192u);

    Bytes filler(60, 0);
    filler[5] = 0x10;   // length 4096
    filler[52] = 0x01;  // begin of bundle
    filler[56] = 0x01;  // end of bundle
    ExpectBytes(file, 0, filler);

    const Bytes want = {
        0x00,
        0x00,
        0x00,
        0x00,  // reserved
        0x44,
        0x00,
        0x00,
        0x00,  // length 68
        0x00,
        0x00,
        0x00,
        0x00,  // reserved
        0x02,
        0x00,
        0x01,
        0x00,  // class 2, code 1
        0x44,
        0x33,
        0x22,
        0x11,  // time stamp
        0x00,
        0x10,
        0x00,
        0x00,  // bundle 4096
        0x00,
        0x10,
        0x00,
        0x00,  // LRBA 4096
        0x00,
        0x00,
        0x00,
        0x00,  // back link: first record of a new log
        0x00,
        0x00,
        0x00,
        0x00,  // reserved
        'S',
        'E',
        'R',
        '1',
        '2',
        '3',
        '4',
        '5',
        '6',
        '7',
        '8',
        '9',
        0x00,
        0x00,
        0x00,
        0x00,  // padding
        0x01,
        0x00,
        0x00,
        0x00,  // begins its bundle
        0x01,
        0x00,
        0x00,
        0x00,  // ends its bundle
        0xA0,
        0xA1,
        0xA2,
        0xA3,
        0xA4,
        0xA5,
        0xA6,
        0xA7,
        // end marker behind the record (offset 72 = 68 rounded up to 8)
        0x00,
        0x00,
        0x00,
        0x00,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
    };
    ExpectBytes(file, 4096, want);
    mgr->CloseSubsysLog(log);
}

TEST_F(LogLayout, BundleMarkersFrameTheirRecords) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t bundle = log->CreateBundle();
    EXPECT_EQ(bundle, 4096u);
    Bytes record(60, 0);
    logtest::PutLe32(record, 4, 60);
    record[12] = 0x02;
    record[14] = 0x03;
    auto [inBundle, lrba] = log->WriteRecord(record.data(), bundle, 7);
    EXPECT_EQ(inBundle, bundle);
    EXPECT_EQ(lrba, 4096u + 64u);
    log->EndBundle(bundle);
    Settle(*mgr);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    // Begin marker: class 1 code 0, length 60, bundle = its own LRBA.
    const Bytes begin = {0x00, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
    ExpectBytes(file, 4096, begin);
    EXPECT_EQ(Le32(file, 4096 + 20), 4096u);
    EXPECT_EQ(Le32(file, 4096 + 52), 1u);
    EXPECT_EQ(Le32(file, 4096 + 56), 0u);
    // The record inside: both flags 0, the bundle's ID, back link to the marker.
    EXPECT_EQ(Le32(file, 4160 + 20), 4096u);
    EXPECT_EQ(Le32(file, 4160 + 24), 4160u);
    EXPECT_EQ(Le32(file, 4160 + 28), 4096u);
    EXPECT_EQ(Le32(file, 4160 + 52), 0u);
    EXPECT_EQ(Le32(file, 4160 + 56), 0u);
    // End marker: class 1 code 1, end flag only.
    const Bytes end = {0x00, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00};
    ExpectBytes(file, 4224, end);
    EXPECT_EQ(Le32(file, 4224 + 20), 4096u);
    EXPECT_EQ(Le32(file, 4224 + 52), 0u);
    EXPECT_EQ(Le32(file, 4224 + 56), 1u);
    mgr->CloseSubsysLog(log);
}

TEST_F(LogLayout, ServiceTextRecordHoldsItsTextInA128ByteField) {
    auto mgr = StartLog(dir_);
    mgr->WriteServiceText(0, "DeviceMgr::InitComplete Started.");
    Settle(*mgr);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    EXPECT_EQ(Le32(file, 4096 + 4), 188u);
    EXPECT_EQ(logtest::Le16(file, 4096 + 12), 4u);
    EXPECT_EQ(file[4096 + 36], 0x00);  // the service's own log: no serial
    std::string text(reinterpret_cast<const char*>(file.data() + 4096 + 60));
    EXPECT_EQ(text, "DeviceMgr::InitComplete Started.");
}

}  // namespace
