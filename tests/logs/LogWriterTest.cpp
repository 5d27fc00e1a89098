// The Log Task and the write buffers in this process: records packed into
// blocks, files rolled over, the end of the log found again after a stop
// without close, blocks arriving out of order, write failures and the
// suspended log.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "LogTestSupport.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/log/WriteBuffer.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Root.h"
#include "support/FreshRoot.h"
#include "support/ServerProcess.h"

namespace {

using logtest::Bytes;
using logtest::EventLogHas;
using logtest::FileSizeLimit;
using logtest::Le32;
using logtest::ReadBytes;
using logtest::Settle;
using logtest::StartLog;
using logtest::WalkLogFile;

class LogWriter : public ::testing::Test {
  protected:
    LogWriter() : dir_(root_.File("c/oru_log")) { platform::MakeDirs(dir_); }

    // A record of class 2 with that length; its payload counts up from tag.
    static Bytes Record(std::uint32_t length, std::uint16_t code = 0, unsigned char tag = 0) {
        Bytes record(length, 0);
        logtest::PutLe32(record, 4, length);
        record[12] = 2;
        record[14] = static_cast<unsigned char>(code);
        for (std::uint32_t i = 60; i < length; ++i) {
            record[i] = static_cast<unsigned char>(tag + i);
        }
        return record;
    }
    // A copy of the log directory as a stop without close would leave it.
    std::string Snapshot() {
        std::string copy = root_.File("c/snapshot");
        std::filesystem::copy(dir_, copy);
        for (const auto& file : std::filesystem::directory_iterator(copy)) {
            std::filesystem::permissions(file.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        }
        return copy;
    }

    testsupport::FreshRoot root_;
    OruTask self_{OruTask::BindToCurrentThread{}, "Log Test"};
    std::string dir_;
};

TEST_F(LogWriter, FirstStartCreatesCatalogAndFileWithFillerAndChainsBackLinks) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t first = log->WriteRecord(Record(100).data()).second;
    std::uint32_t second = log->WriteRecord(Record(61).data()).second;
    EXPECT_EQ(first, 4096u);
    EXPECT_EQ(second, 4096u + 104);
    Settle(*mgr);
    auto records = WalkLogFile(ReadBytes(dir_ + "/L0000001"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].recordClass, 0);
    EXPECT_EQ(records[0].length, 4096u);
    EXPECT_EQ(records[1].backLink, 0u);
    EXPECT_EQ(records[2].backLink, 4096u);
    EXPECT_EQ(records[2].serial, "QX0000000001");
    mgr->CloseSubsysLog(log);
    mgr.reset();
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 0), 0u);            // closed cleanly
    EXPECT_EQ(Le32(catalog, 24), second);       // high LRBA
    EXPECT_EQ(Le32(catalog, 52 + 12), second);  // the file's end LRBA
    EXPECT_EQ(Le32(catalog, 52 + 16), 4096u);   // its first bundle
}

TEST_F(LogWriter, RecordsOfAFullBlockLengthTakeABlockOfTheirOwn) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    EXPECT_EQ(log->WriteRecord(Record(100).data()).second, 4096u);
    EXPECT_EQ(log->WriteRecord(Record(4089).data()).second, 8192u);
    EXPECT_EQ(log->WriteRecord(Record(4096).data()).second, 12288u);
    EXPECT_EQ(log->WriteRecord(Record(60).data()).second, 16384u);
    Settle(*mgr);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    ASSERT_EQ(file.size(), 5u * 4096);
    // A block filled to its end has no end marker; one with room has.
    EXPECT_EQ(Le32(file, 4096 + 104 + 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(file, 12288 + 4), 4096u);
    mgr->CloseSubsysLog(log);
}

// The smallest room that still takes an end marker: a block whose last
// record ends exactly 8 bytes before its end gets one, in those 8 bytes.
TEST_F(LogWriter, ARecordEndingEightBytesBeforeTheBlockEndIsFollowedByTheEndMarker) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    EXPECT_EQ(log->WriteRecord(Record(4000).data()).second, 4096u);
    EXPECT_EQ(log->WriteRecord(Record(88).data()).second, 4096u + 4000);  // ends at 4088
    EXPECT_EQ(log->WriteRecord(Record(60).data()).second, 8192u);         // does not fit
    Settle(*mgr);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    ASSERT_EQ(file.size(), 3u * 4096);
    EXPECT_EQ(Le32(file, 4096 + 4088), 0xFFFFFFFFu);  // reserved word
    EXPECT_EQ(Le32(file, 4096 + 4092), 0xFFFFFFFFu);  // length word
    auto records = WalkLogFile(file);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2].lrba, 4096u + 4000);
    EXPECT_EQ(records[3].lrba, 8192u);
    mgr->CloseSubsysLog(log);
}

TEST_F(LogWriter, FullFilesRollOverAndLrbasContinueAcrossThem) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000002");
    std::uint32_t last = 0;
    for (int i = 0; i < 500; ++i) {
        last = log->WriteRecord(Record(100, 1, static_cast<unsigned char>(i)).data()).second;
    }
    mgr->CloseSubsysLog(log);
    mgr.reset();
    Bytes first = ReadBytes(dir_ + "/L0000001");
    Bytes second = ReadBytes(dir_ + "/L0000002");
    EXPECT_EQ(first.size(), 40960u);
    auto a = WalkLogFile(first);
    auto b = WalkLogFile(second);
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(b.front().lrba, 40960u);
    EXPECT_EQ(b.front().backLink, a.back().lrba);
    EXPECT_EQ(b.back().lrba, last);
    EXPECT_EQ(a.size() - 1 + b.size(), 500u);
    for (std::size_t i = 2; i < a.size(); ++i) {
        EXPECT_EQ(a[i].backLink, a[i - 1].lrba);
    }
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 8), 2u);
    EXPECT_EQ(Le32(catalog, 52 + 12), a.back().lrba);  // file 1 closed at its last record
    EXPECT_EQ(Le32(catalog, 96 + 8), 40960u);          // file 2 begins at the next block
    EXPECT_EQ(Le32(catalog, 12), 40960u + ((last + 4096 - 40960) & ~4095u));
}

TEST_F(LogWriter, StartAfterAStopWithoutCloseFindsTheLastRecord) {
    std::uint32_t last = 0;
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    for (int i = 0; i < 3; ++i) {
        last = log->WriteRecord(Record(72).data(), 0, 5000 + i).second;
    }
    Settle(*mgr);
    std::string copy = Snapshot();
    mgr->CloseSubsysLog(log);
    mgr.reset();
    ASSERT_EQ(Le32(ReadBytes(copy + "/LOGCATLG"), 0), 1u);  // left open

    auto again = StartLog(copy);
    EXPECT_EQ(again->NextLrba(), last);
    SubsysLog* next = again->OpenSubsysLog("QX0000000001");
    EXPECT_EQ(next->WriteRecord(Record(60).data()).second, 8192u);
    Settle(*again);
    Bytes catalog = ReadBytes(copy + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 52 + 12), last);   // entry closed at the found end
    EXPECT_EQ(Le32(catalog, 52 + 24), 5002u);  // with that record's time
    EXPECT_EQ(Le32(catalog, 96 + 8), 8192u);   // the new file at the next block
    auto records = WalkLogFile(ReadBytes(copy + "/L0000002"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].backLink, last);
    again->CloseSubsysLog(next);
}

// A new log stopped without close before any record reached it: the search
// for the end finds only the filler (LRBA 0, stamped 0). The entry it
// closes must not read as a file still open (end time 0).
TEST_F(LogWriter, AFileHoldingOnlyTheFillerIsClosedWithATime) {
    auto mgr = StartLog(dir_);
    Settle(*mgr);
    std::string copy = Snapshot();
    mgr.reset();
    ASSERT_EQ(Le32(ReadBytes(copy + "/LOGCATLG"), 0), 1u);  // left open
    ASSERT_EQ(WalkLogFile(ReadBytes(copy + "/L0000001")).size(), 1u);

    auto again = StartLog(copy);
    EXPECT_EQ(again->NextLrba(), 0u);
    again.reset();
    Bytes catalog = ReadBytes(copy + "/LOGCATLG");
    ASSERT_EQ(Le32(catalog, 8), 2u);
    EXPECT_EQ(Le32(catalog, 52 + 12), 0u);  // closed at the filler, its last record
    EXPECT_NE(Le32(catalog, 52 + 20), 0u);
    EXPECT_EQ(Le32(catalog, 52 + 24), Le32(catalog, 52 + 20));  // end time: its begin time
}

TEST_F(LogWriter, DamagedRecordAtTheEndIsSkippedWithAMessage) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t lrbas[3];
    for (std::uint32_t& lrba : lrbas) {
        lrba = log->WriteRecord(Record(72).data()).second;
    }
    Settle(*mgr);
    std::string copy = Snapshot();
    mgr->CloseSubsysLog(log);
    mgr.reset();
    // The third record's length word destroyed: zero.
    Bytes file = ReadBytes(copy + "/L0000001");
    logtest::PutLe32(file, lrbas[2] + 4, 0);
    ASSERT_TRUE(logtest::WriteBytes(copy + "/L0000001", file));

    auto again = StartLog(copy);
    EXPECT_FALSE(again->IsLogSuspended());
    EXPECT_EQ(again->NextLrba(), lrbas[1]);
    EXPECT_TRUE(EventLogHas("is damaged at byte"));
    // The damaged file keeps its bytes.
    EXPECT_EQ(ReadBytes(copy + "/L0000001"), file);
}

TEST_F(LogWriter, LatestFileWithoutAWholeBlockIsWithdrawnAtTheNextStart) {
    std::uint32_t last = 0;
    {
        auto mgr = StartLog(dir_);
        SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
        last = log->WriteRecord(Record(64).data()).second;
        mgr->CloseSubsysLog(log);
    }
    // A second run that stopped before its file got a whole block.
    {
        auto mgr = StartLog(dir_);
        Settle(*mgr);
    }
    std::string copy = root_.File("c/unclean");
    std::filesystem::create_directories(copy);
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    ASSERT_EQ(Le32(catalog, 8), 2u);
    logtest::PutLe32(catalog, 0, 1);        // left open
    logtest::PutLe32(catalog, 96 + 12, 0);  // the latest file still open
    ASSERT_TRUE(logtest::WriteBytes(copy + "/LOGCATLG", catalog));
    ASSERT_TRUE(logtest::WriteBytes(copy + "/L0000001", ReadBytes(dir_ + "/L0000001")));
    ASSERT_TRUE(logtest::WriteBytes(copy + "/L0000002", Bytes(1000, 0)));  // half a block

    auto again = StartLog(copy);
    EXPECT_FALSE(again->IsLogSuspended());
    EXPECT_EQ(again->NextLrba(), last);
    Settle(*again);
    Bytes after = ReadBytes(copy + "/LOGCATLG");
    EXPECT_EQ(Le32(after, 8), 2u);  // file 2 withdrawn, file 3 added in its slot
    EXPECT_EQ(Le32(after, 44), 96u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.data() + 96 + 28)), "L0000003");
    EXPECT_EQ(Le32(after, 96 + 8), 8192u);
    EXPECT_FALSE(std::filesystem::exists(copy + "/L0000002"));
}

TEST_F(LogWriter, BlocksArrivingOutOfOrderAreWrittenInLrbaOrder) {
    LogSettings settings;
    settings.directory = dir_;
    LogTask task(settings);
    TaskRequest init;
    init.code = LOG_TASK_INIT;
    ASSERT_EQ(task.Request(init).result, 0);
    WriteBuffer buffers[3];
    for (int i = 0; i < 3; ++i) {
        buffers[i].SetLogTask(&task);
        buffers[i].SetBlockLrba(4096u * (i + 1));
        unsigned char* space = buffers[i].Alloc(60);
        ASSERT_NE(space, nullptr);
        space[4] = 60;
        space[12] = static_cast<unsigned char>(10 + i);
        buffers[i].FreeSpace(space);
    }
    for (int i : {1, 2, 0}) {
        EXPECT_TRUE(buffers[i].Close());
    }
    TaskRequest barrier;
    barrier.code = LOG_TASK_BARRIER;
    task.Request(barrier);
    EXPECT_EQ(task.NextLrba(), 4u * 4096);
    TaskRequest stop;
    stop.code = LOG_TASK_STOP;
    task.Request(stop);
    Bytes file = ReadBytes(dir_ + "/L0000001");
    ASSERT_EQ(file.size(), 4u * 4096);
    EXPECT_EQ(file[4096 + 12], 10);
    EXPECT_EQ(file[8192 + 12], 11);
    EXPECT_EQ(file[12288 + 12], 12);
    for (const WriteBuffer& buffer : buffers) {
        EXPECT_FALSE(buffer.InUse());
    }
}

TEST_F(LogWriter, WriteFailureOnAFileWithBlocksKeepsItAndGoesOnInANewFile) {
    auto mgr = StartLog(dir_);
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t lrba = 0;
    {
        FileSizeLimit limit(8192);
        log->WriteRecord(Record(64).data());
        Settle(*mgr);  // block 4096: the file's second block fits
        lrba = log->WriteRecord(Record(64).data()).second;
        Settle(*mgr);  // block 8192 passes the limit: a new file takes it
    }
    EXPECT_EQ(lrba, 8192u);
    EXPECT_FALSE(mgr->IsLogSuspended());
    EXPECT_EQ(ReadBytes(dir_ + "/L0000001").size(), 8192u);
    auto records = WalkLogFile(ReadBytes(dir_ + "/L0000002"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].lrba, 8192u);
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 96 + 8), 8192u);
    mgr->CloseSubsysLog(log);
}

TEST_F(LogWriter, SuspendedLogDropsRecordsAndResumesAboveThem) {
    FileSizeLimit limit(2048);
    auto mgr = StartLog(dir_);
    limit.Lift();
    // Not even the first block could be written: no file stays behind.
    EXPECT_TRUE(mgr->IsLogSuspended());
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/L0000001"));
    EXPECT_TRUE(EventLogHas("Logging suspended"));
    SubsysLog* log = mgr->OpenSubsysLog("QX0000000001");
    std::uint32_t dropped = 0;
    for (int i = 0; i < 3; ++i) {
        dropped = log->WriteRecord(Record(60).data()).second;
    }
    Settle(*mgr);
    EXPECT_EQ(mgr->GetLogTask()->HighestDroppedLrba(), dropped);

    EXPECT_EQ(mgr->ResumeLog(), dropped);
    EXPECT_FALSE(mgr->IsLogSuspended());
    std::uint32_t after = log->WriteRecord(Record(60).data()).second;
    EXPECT_EQ(after, 8192u);
    Settle(*mgr);
    auto records = WalkLogFile(ReadBytes(dir_ + "/L0000002"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].lrba, after);
    Bytes catalog = ReadBytes(dir_ + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 8), 1u);
    EXPECT_EQ(Le32(catalog, 52 + 8), 8192u);
    mgr->CloseSubsysLog(log);
}

TEST_F(LogWriter, ACatalogThatCannotBeUsedSuspendsTheLogAndStaysUntouched) {
    Bytes damaged(52, 0);
    logtest::PutLe32(damaged, 4, 1);  // version 1
    ASSERT_TRUE(logtest::WriteBytes(dir_ + "/LOGCATLG", damaged));
    {
        auto mgr = StartLog(dir_);
        EXPECT_TRUE(mgr->IsLogSuspended());
        SubsysLog* log = mgr->OpenSubsysLog(nullptr);
        log->WriteRecord(Record(60).data());
        Settle(*mgr);
        mgr->CloseSubsysLog(log);
    }
    EXPECT_EQ(ReadBytes(dir_ + "/LOGCATLG"), damaged);
    EXPECT_TRUE(EventLogHas("has version 1"));
}

TEST_F(LogWriter, SubsystemRecordsWithBadLengthsAreRefused) {
    auto mgr = StartLog(dir_);
    Bytes record = Record(80);
    mgr->WriteSubsystemRecord("QX0000000001", record.data(), 70);  // claims 80
    logtest::PutLe32(record, 4, 20);
    mgr->WriteSubsystemRecord("QX0000000001", record.data(), 80);
    logtest::PutLe32(record, 4, 5000);
    mgr->WriteSubsystemRecord("QX0000000001", record.data(), 80);
    Settle(*mgr);
    EXPECT_EQ(WalkLogFile(ReadBytes(dir_ + "/L0000001")).size(), 1u);  // the filler only
    EXPECT_TRUE(EventLogHas("Log record refused"));
}

}  // namespace
