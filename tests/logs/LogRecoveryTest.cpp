// A log that meets a full disk (a file-size limit stands in for it) and a
// catalog left in the middle of a change: nothing reported written is lost,
// the catalog is never marked closed over a failed change, the next start
// repairs it, and a resumed log goes on above everything handed out.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "LogTestSupport.h"
#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Root.h"
#include "support/FreshRoot.h"

namespace {

using logtest::Bytes;
using logtest::FileSizeLimit;
using logtest::Le32;
using logtest::ReadBytes;
using logtest::Settle;
using logtest::StartLog;

class LogRecovery : public ::testing::Test {
  protected:
    LogRecovery() : dir_(root_.File("c/oru_log")) { platform::MakeDirs(dir_); }

    // A class-2 record whose payload carries its sequence number.
    static Bytes Record(std::uint32_t length, std::uint32_t sequence) {
        Bytes record(length, 0);
        logtest::PutLe32(record, 4, length);
        record[12] = 2;
        logtest::PutLe32(record, 60, sequence);
        return record;
    }
    // The sequence numbers found in the chain's records of class 2, in order.
    std::vector<std::uint32_t> Sequences() {
        std::vector<std::uint32_t> found;
        for (const auto& name : logtest::ChainFileNames(dir_)) {
            Bytes file = ReadBytes(dir_ + "/" + name);
            for (const auto& r : logtest::WalkLogFile(file)) {
                if (r.recordClass == 2) {
                    found.push_back(Le32(file, r.fileOffset + 60));
                }
            }
        }
        return found;
    }

    // A first run writes `count` records (the last one's LRBA in *high);
    // then the catalog is made unusable (its version 1) and the log started
    // again, which suspends it. *good: the catalog as the first run left it.
    auto StartSuspendedAfter(std::uint32_t count, std::uint32_t* high, Bytes* good) {
        {
            auto mgr = StartLog(dir_);
            SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
            for (std::uint32_t i = 0; i < count; ++i) {
                *high = log->WriteRecord(Record(400, i).data()).second;
            }
            mgr->CloseSubsysLog(log);
        }
        *good = ReadBytes(dir_ + "/LOGCATLG");
        Bytes unusable = *good;
        logtest::PutLe32(unusable, 4, 1);
        EXPECT_TRUE(logtest::WriteBytes(dir_ + "/LOGCATLG", unusable));
        return StartLog(dir_);
    }

    testsupport::FreshRoot root_;
    OruTask self_{OruTask::BindToCurrentThread{}, "Log Test"};
    std::string dir_;
};

// The catalog cannot grow by one more entry: 185 entries fill 8192 bytes.
TEST_F(LogRecovery, AFailedCatalogExtensionIsRepairedAtTheNextStart) {
    std::uint32_t written = 0;
    {
        auto mgr = StartLog(dir_, 8192);
        SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
        {
            FileSizeLimit limit(8192);
            // Two blocks per file: the 186th file needs a slot past 8192.
            for (; written < 380 && !mgr->IsLogSuspended(); ++written) {
                log->WriteRecord(Record(4096, written).data());
                if (written % 8 == 7) {
                    Settle(*mgr);
                }
            }
            Settle(*mgr);
        }
        EXPECT_TRUE(mgr->IsLogSuspended());
        mgr->CloseSubsysLog(log);
    }
    // Never closed cleanly over the failed change.
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_NE(Le32(catalog, 0), 0u);
    // Every record that reached a file before the failure is in the chain.
    std::vector<std::uint32_t> before = Sequences();
    ASSERT_GT(before.size(), 300u);
    for (std::uint32_t i = 0; i < before.size(); ++i) {
        ASSERT_EQ(before[i], i);
    }

    auto again = StartLog(dir_, 8192);
    EXPECT_FALSE(again->IsLogSuspended());
    SubsysLog* log = again->OpenSubsysLog("QX0000000001");
    log->WriteRecord(Record(100, 9999).data());
    again->CloseSubsysLog(log);
    again.reset();
    std::vector<std::uint32_t> after = Sequences();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), 9999u);
    EXPECT_EQ(Le32(ReadBytes(dir_ + "/LOGCATLG"), 0), 0u);
}

// The first start finds a log that another run left, but cannot use its
// catalog; writers go on meanwhile. Resuming must go on above that log.
TEST_F(LogRecovery, ResumeAfterASuspensionAtStartGoesOnAboveTheExistingLog) {
    std::uint32_t high = 0;
    Bytes good;
    auto mgr = StartSuspendedAfter(100, &high, &good);
    ASSERT_TRUE(mgr->IsLogSuspended());
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    for (std::uint32_t i = 0; i < 3; ++i) {
        log->WriteRecord(Record(400, 1000 + i).data());
    }
    ASSERT_TRUE(logtest::WriteBytes(dir_ + "/LOGCATLG", good));
    EXPECT_GE(mgr->ResumeLog(), high);
    EXPECT_FALSE(mgr->IsLogSuspended());
    // Far more blocks than the ring and the pending queue hold.
    std::uint32_t first = 0;
    for (std::uint32_t i = 0; i < 300; ++i) {
        std::uint32_t lrba = log->WriteRecord(Record(400, 2000 + i).data()).second;
        if (i == 0) {
            first = lrba;
        }
    }
    EXPECT_GT(first, high);
    mgr->CloseSubsysLog(log);
    mgr.reset();
    std::vector<std::uint32_t> sequences = Sequences();
    ASSERT_EQ(sequences.size(), 400u);
    EXPECT_EQ(sequences[99], 99u);
    EXPECT_EQ(sequences[100], 2000u);
    EXPECT_EQ(sequences.back(), 2299u);
}

// The log could not be used at start while the writers went on past the
// end of the log on disk. What they handed out meanwhile was dropped, never
// written: the first record written after the resume links back to the last
// record on disk, the end of the file before it.
TEST_F(LogRecovery, AfterAResumeTheFirstRecordLinksBackToTheLastRecordOnDisk) {
    std::uint32_t high = 0;
    Bytes good;
    auto mgr = StartSuspendedAfter(3, &high, &good);
    ASSERT_TRUE(mgr->IsLogSuspended());
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t dropped = 0;
    for (std::uint32_t i = 0; i < 50; ++i) {
        dropped = log->WriteRecord(Record(400, 100 + i).data()).second;
    }
    ASSERT_GT(dropped, high);
    ASSERT_TRUE(logtest::WriteBytes(dir_ + "/LOGCATLG", good));
    mgr->ResumeLog();
    ASSERT_FALSE(mgr->IsLogSuspended());
    const std::uint32_t first = log->WriteRecord(Record(400, 200).data()).second;
    EXPECT_GT(first, dropped);
    mgr->CloseSubsysLog(log);
    mgr.reset();

    const std::vector<std::string> names = logtest::ChainFileNames(dir_);
    ASSERT_EQ(names.size(), 2u);
    auto records = logtest::WalkLogFile(ReadBytes(dir_ + "/" + names[1]));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].lrba, first);
    EXPECT_EQ(records[0].backLink, high);
    EXPECT_EQ(Le32(ReadBytes(dir_ + "/LOGCATLG"), 52 + 12), high);  // the first file's end
}

// A stop inside AddFile: the header still says "update under way", the old
// latest entry already links to a new slot that the header does not count.
TEST_F(LogRecovery, ACatalogLeftInTheMiddleOfAChangeIsRepairedNotFatal) {
    {
        auto mgr = StartLog(dir_);
        SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
        for (std::uint32_t i = 0; i < 250; ++i) {
            log->WriteRecord(Record(400, i).data());
        }
        mgr->CloseSubsysLog(log);
    }
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    const std::uint32_t count = Le32(catalog, 8);
    const std::uint32_t latest = Le32(catalog, 44);
    const std::uint32_t slot = Le32(catalog, 36);
    ASSERT_GE(count, 3u);
    logtest::PutLe32(catalog, 0, 2);
    logtest::PutLe32(catalog, latest, slot);  // next: the unfinished entry
    catalog.resize(slot + 44, 0);
    logtest::PutLe32(catalog, slot + 4, latest);
    const char* name = "L0000099";
    std::copy(name, name + 8, catalog.begin() + slot + 28);
    ASSERT_TRUE(logtest::WriteBytes(dir_ + "/LOGCATLG", catalog));

    auto mgr = StartLog(dir_);
    EXPECT_FALSE(mgr->IsLogSuspended());
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    log->WriteRecord(Record(100, 7777).data());
    mgr->CloseSubsysLog(log);
    mgr.reset();
    Bytes after = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_EQ(Le32(after, 0), 0u);
    EXPECT_EQ(Le32(after, 8), count + 1);
    std::vector<std::uint32_t> sequences = Sequences();
    ASSERT_EQ(sequences.size(), 251u);
    EXPECT_EQ(sequences[249], 249u);
    EXPECT_EQ(sequences.back(), 7777u);
}

// A log as a stop without close leaves it: the catalog still open (state
// 1), the latest file's entry open; last is the LRBA of its last record.
class UncleanStop : public LogRecovery {
  protected:
    void SetUp() override {
        auto mgr = StartLog(dir_);
        SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
        for (std::uint32_t i = 0; i < 150; ++i) {
            last_ = log->WriteRecord(Record(400, i).data()).second;
        }
        Settle(*mgr);
        Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
        latest_ = logtest::ChainFileNames(dir_).back();
        copy_ = root_.File("c/copy");
        platform::MakeDirs(copy_);
        for (const auto& name : logtest::ChainFileNames(dir_)) {
            ASSERT_TRUE(logtest::WriteBytes(copy_ + "/" + name, ReadBytes(dir_ + "/" + name)));
        }
        ASSERT_TRUE(logtest::WriteBytes(copy_ + "/LOGCATLG", catalog));
        ASSERT_EQ(Le32(catalog, 0), 1u);
        mgr->CloseSubsysLog(log);
    }
    std::unique_ptr<LogMgr> Restart() { return StartLog(copy_); }

    std::uint32_t last_ = 0;
    std::string latest_;
    std::string copy_;
};

TEST_F(UncleanStop, AZeroFilledBlockAtTheEndIsNotTheEndOfTheLog) {
    // The file system kept the file's new length but not its data.
    Bytes file = ReadBytes(copy_ + "/" + latest_);
    file.resize(file.size() + 4096, 0);
    ASSERT_TRUE(logtest::WriteBytes(copy_ + "/" + latest_, file));
    auto mgr = Restart();
    EXPECT_FALSE(mgr->IsLogSuspended());
    EXPECT_EQ(mgr->NextLrba(), last_);
    EXPECT_TRUE(logtest::EventLogHas("is damaged at byte"));
}

// The file the search for the end closes counts in the log's total size
// like any file a clean stop or a new file closes.
TEST_F(UncleanStop, TheFileClosedAtTheFoundEndCountsInTheTotalSize) {
    auto mgr = Restart();
    ASSERT_FALSE(mgr->IsLogSuspended());
    Settle(*mgr);
    Bytes catalog = ReadBytes(copy_ + "/LOGCATLG");
    ASSERT_EQ(Le32(catalog, 8), 3u);  // the two files of the first run and the new one
    std::uint32_t spans = 0;
    for (std::uint32_t at = Le32(catalog, 40); at != 0; at = Le32(catalog, at)) {
        if (Le32(catalog, at + 12) != 0) {
            spans += (Le32(catalog, at + 12) + 4096 - Le32(catalog, at + 8)) & ~4095u;
        }
    }
    EXPECT_EQ(spans, 40960u + ((last_ + 4096 - 40960) & ~4095u));
    EXPECT_EQ(Le32(catalog, 12), spans);
}

TEST_F(UncleanStop, ALatestFileThatIsMissingIsWithdrawnNotFatal) {
    // A stop between adding the entry and creating the file.
    Bytes catalog = ReadBytes(copy_ + "/LOGCATLG");
    ASSERT_TRUE(std::filesystem::remove(copy_ + "/" + latest_));
    const std::uint32_t count = Le32(catalog, 8);
    auto mgr = Restart();
    EXPECT_FALSE(mgr->IsLogSuspended());
    EXPECT_TRUE(logtest::EventLogHas("is missing"));
    // Writing goes on above what the catalog knew, never below it.
    EXPECT_GE(mgr->NextLrba(), Le32(catalog, 24));
    mgr.reset();
    Bytes after = ReadBytes(copy_ + "/LOGCATLG");
    EXPECT_EQ(Le32(after, 8), count);  // withdrawn, and a new file added
    EXPECT_EQ(Le32(after, 0), 0u);
}

}  // namespace
