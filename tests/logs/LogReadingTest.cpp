// Reading the log back: filters, cursors forwards and backwards across many
// files, windows by time and by bundle, time slots, and what a reader does
// with a log that is suspended, has a gap, or holds damaged blocks. Every
// log here is written by the service's own writer (LogGenerator).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "LogTestSupport.h"
#include "coresys/server/log/LogBlock.h"
#include "coresys/server/log/LogCursor.h"
#include "coresys/server/log/LogFilter.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/SequenceLog.h"
#include "support/FreshRoot.h"
#include "support/LogGenerator.h"

namespace {

using logtest::Bytes;
using testsupport::LogGenerator;

constexpr std::uint32_t kStart = 1700000000;

class LogReading : public ::testing::Test {
  protected:
    LogGenerator::Options Options(std::uint32_t fileSize = 8192, std::uint32_t start = kStart) {
        LogGenerator::Options options;
        options.directory = root_.File("c/oru_log");
        options.maxFileSize = fileSize;
        options.startTime = start;
        return options;
    }
    // Three subsystems, one record each per 900-second slot: P[1] is the
    // slot, P[2] the subsystem.
    LogGenerator::Series ThreeSubsystems(std::uint32_t slots, std::uint32_t length = 300) {
        LogGenerator::Series series;
        series.serials = LogGenerator::Serials(3);
        series.code = 4;
        series.first = kStart;
        series.count = slots;
        series.length = length;
        return series;
    }
    static std::uint32_t Slot(const LogRecordView& record) { return *record.PayloadWord(1); }
    static std::uint32_t Subsystem(const LogRecordView& record) { return *record.PayloadWord(2); }

    testsupport::FreshRoot root_;
};

TEST(LogFilterTest, RangesMergeWhenTheyTouchAndTypesAreKeptOnce) {
    LogFilter filter;
    filter.TimeRange(10, 20);
    filter.TimeRange(20, 30);
    ASSERT_EQ(filter.TimeRanges().size(), 1u);
    EXPECT_EQ(filter.TimeRanges()[0], LogFilter::Range(10, 30));
    filter.TimeRange(50, 60);
    filter.TimeRange(31, 40);  // [31, 40] does not touch [10, 30]
    EXPECT_EQ(filter.TimeRanges().size(), 3u);
    filter.TimeRange(35, 55);  // joins the last two
    ASSERT_EQ(filter.TimeRanges().size(), 2u);
    EXPECT_EQ(filter.TimeRanges()[1], LogFilter::Range(31, 60));
    filter.BundleRange(100, 90);  // given the wrong way round
    EXPECT_EQ(filter.BundleRanges()[0], LogFilter::Range(90, 100));
    filter.RecordType(4);
    filter.RecordType(2);
    filter.RecordType(4);
    EXPECT_EQ(filter.RecordTypes(), (std::vector<std::uint32_t>{2, 4}));
}

TEST(LogFilterTest, MatchTakesTheSerialAndEveryListThatIsNotEmpty) {
    // A record header as the writer leaves it: class 2, code 7, time 500,
    // bundle 8192 at LRBA 8192.
    unsigned char bytes[64] = {};
    logfmt::PutLe32(bytes + logfmt::kRecLength, 64);
    logfmt::PutLe16(bytes + logfmt::kRecClass, 2);
    logfmt::PutLe16(bytes + logfmt::kRecCode, 7);
    logfmt::PutLe32(bytes + logfmt::kRecTime, 500);
    logfmt::PutLe32(bytes + logfmt::kRecBundleId, 8192);
    std::memcpy(bytes + logfmt::kRecSerial, "QX0000000001", 12);
    LogRecordView record(bytes, 64);
    LogFilter filter;
    filter.SetSerial("QX0000000001");
    EXPECT_TRUE(filter.Match(record));
    filter.SetSerial("QX0000000002");
    EXPECT_FALSE(filter.Match(record));
    filter.SetSerial("QX0000000001");
    filter.TimeRange(400, 499);
    EXPECT_FALSE(filter.Match(record));
    filter.TimeRange(500, 500);  // bounds are inclusive
    EXPECT_TRUE(filter.Match(record));
    filter.RecordType(1);
    EXPECT_FALSE(filter.Match(record));
    filter.RecordType(2);
    EXPECT_TRUE(filter.Match(record));
    filter.BundleRange(0, 8191);
    EXPECT_FALSE(filter.Match(record));
    filter.BundleRange(8192, 9000);
    EXPECT_TRUE(filter.Match(record));
    // The filler that opens a new log is nobody's record.
    logfmt::PutLe16(bytes + logfmt::kRecClass, 0);
    LogFilter any;
    any.SetSerial("QX0000000001");
    EXPECT_FALSE(any.Match(record));
}

TEST(LogRecordViewTest, PayloadWordsStopAtTheRecordsLength) {
    unsigned char bytes[72] = {};
    logfmt::PutLe32(bytes + 60, 0x11223344);
    logfmt::PutLe32(bytes + 64, 0x55667788);
    LogRecordView record(bytes, 68);  // three bytes short of P[2]
    EXPECT_EQ(record.PayloadWord(0), 0x11223344u);
    EXPECT_EQ(record.PayloadWord(1), 0x55667788u);
    EXPECT_FALSE(record.PayloadWord(2).has_value());
    EXPECT_FALSE(record.PayloadWord(0x40000000).has_value());  // no wrap
    EXPECT_TRUE(record.Holds(64, 4));
    EXPECT_FALSE(record.Holds(65, 4));
}

TEST_F(LogReading, ForwardsAndBackwardsOverOneSubsystemAcrossManyFiles) {
    LogGenerator log(Options());
    log.WriteSeries(ThreeSubsystems(400));
    // A few records of the service's own log in between.
    log.WriteWords("", 4, 0, {7});
    ASSERT_GT(logtest::ChainFileNames(log.Directory()).size(), 40u);

    SubsysLog* second = log.Manager().OpenSubsysLog("QX0000000002");
    {
        LogFilter filter;
        LogCursor cursor(filter, *second);
        ASSERT_TRUE(cursor.Valid());
        std::uint32_t expected = 0;
        for (auto record = cursor.First(); record; record = cursor.NextRecord()) {
            ASSERT_EQ(record->Serial(), "QX0000000002");
            ASSERT_EQ(Slot(*record), expected) << "forwards";
            ASSERT_EQ(record->Time(), kStart + 900 * expected);
            ++expected;
        }
        EXPECT_EQ(expected, 400u);
        std::uint32_t back = 400;
        for (auto record = cursor.Last(); record; record = cursor.PrevRecord()) {
            ASSERT_EQ(Slot(*record), --back) << "backwards";
        }
        EXPECT_EQ(back, 0u);
        // Both ends are known now and answered again at once.
        EXPECT_EQ(Slot(*cursor.First()), 0u);
        EXPECT_EQ(Slot(*cursor.Last()), 399u);
        EXPECT_FALSE(cursor.NextRecord().has_value());
    }
    log.Manager().CloseSubsysLog(second);
}

TEST_F(LogReading, ATimeWindowGivesItsRecordsInBothDirections) {
    LogGenerator log(Options());
    log.WriteSeries(ThreeSubsystems(300));
    SubsysLog* first = log.Manager().OpenSubsysLog("QX0000000001");
    {
        LogFilter filter;
        filter.TimeRange(kStart + 900 * 100, kStart + 900 * 199);
        LogCursor cursor(filter, *first);
        std::vector<std::uint32_t> forwards;
        for (auto record = cursor.First(); record; record = cursor.NextRecord()) {
            forwards.push_back(Slot(*record));
        }
        ASSERT_EQ(forwards.size(), 100u);
        EXPECT_EQ(forwards.front(), 100u);
        EXPECT_EQ(forwards.back(), 199u);
        std::vector<std::uint32_t> backwards;
        for (auto record = cursor.Last(); record; record = cursor.PrevRecord()) {
            backwards.push_back(Slot(*record));
        }
        ASSERT_EQ(backwards.size(), 100u);
        EXPECT_EQ(backwards.front(), 199u);
        EXPECT_EQ(backwards.back(), 100u);
    }
    {
        // Last alone, without First: found from the end of the window.
        LogFilter filter;
        filter.TimeRange(kStart + 900 * 10, kStart + 900 * 20 + 5);
        LogCursor cursor(filter, *first);
        auto last = cursor.Last();
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(Slot(*last), 20u);
        auto before = cursor.PrevRecord();
        ASSERT_TRUE(before.has_value());
        EXPECT_EQ(Slot(*before), 19u);
    }
    {
        // A window after every record, and one before them all.
        LogFilter late;
        late.TimeRange(kStart + 900 * 400, kStart + 900 * 500);
        LogCursor cursor(late, *first);
        EXPECT_FALSE(cursor.First().has_value());
        LogFilter early;
        early.TimeRange(kStart - 5000, kStart - 1);
        LogCursor before(early, *first);
        EXPECT_FALSE(before.First().has_value());
    }
    log.Manager().CloseSubsysLog(first);
}

TEST_F(LogReading, ClassesAndBundlesNarrowTheRecords) {
    LogGenerator log(Options());
    log.WriteSeries(ThreeSubsystems(50));
    SubsysLog* third = log.Manager().OpenSubsysLog("QX0000000003");
    // A bundle of three records of class 5 between two more series.
    std::uint32_t bundle = third->CreateBundle();
    unsigned char record[64] = {};
    logfmt::PutLe32(record + logfmt::kRecLength, 64);
    logfmt::PutLe16(record + logfmt::kRecClass, 5);
    for (std::uint32_t i = 0; i < 3; ++i) {
        logfmt::PutLe32(record + 60, 1000 + i);
        third->WriteRecord(record, bundle);
    }
    third->EndBundle(bundle);
    LogGenerator::Series more = ThreeSubsystems(50);
    more.first = kStart + 900 * 60;
    log.WriteSeries(more);
    {
        LogFilter filter;
        filter.RecordType(5);
        LogCursor cursor(filter, *third);
        std::vector<std::uint32_t> seen;
        for (auto r = cursor.First(); r; r = cursor.NextRecord()) {
            seen.push_back(*r->PayloadWord(0));
            EXPECT_EQ(r->BundleId(), bundle);
            EXPECT_FALSE(r->BeginsBundle() || r->EndsBundle());
        }
        EXPECT_EQ(seen, (std::vector<std::uint32_t>{1000, 1001, 1002}));
    }
    {
        // No list: every record of the subsystem, the bundle's markers too,
        // and none of the other subsystems'.
        LogFilter filter;
        LogCursor cursor(filter, *third);
        std::uint32_t markers = 0;
        std::uint32_t count = 0;
        for (auto r = cursor.First(); r; r = cursor.NextRecord(), ++count) {
            ASSERT_EQ(r->Serial(), "QX0000000003");
            markers += r->Class() == 1 ? 1 : 0;
        }
        EXPECT_EQ(markers, 2u);
        EXPECT_EQ(count, 50u + 5 + 50);
    }
    {
        // The bundle's window: its markers and its records.
        LogFilter filter;
        filter.BundleRange(bundle, bundle);
        LogCursor cursor(filter, *third);
        std::vector<std::uint16_t> classes;
        for (auto r = cursor.First(); r; r = cursor.NextRecord()) {
            classes.push_back(r->Class());
        }
        EXPECT_EQ(classes, (std::vector<std::uint16_t>{1, 5, 5, 5, 1}));
        auto last = cursor.Last();
        ASSERT_TRUE(last.has_value());
        EXPECT_TRUE(last->EndsBundle());
    }
    log.Manager().CloseSubsysLog(third);
}

TEST_F(LogReading, TimeSlotsAnswerOneRecordPerSlotAndNoneForAnEmptySlot) {
    LogGenerator::Options options = Options();
    options.startTime = 100;
    LogGenerator log(options);
    const std::string serial = "QX0000000001";
    // Slots of 900 seconds from 0: 440 is slot 0, 460 slot 1 (rounded to the
    // nearest boundary), 500 slot 1 again, nothing in slot 2, 2700 slot 3.
    for (std::uint32_t stamp : {440u, 460u, 500u, 2700u}) {
        log.SetTime(stamp);
        log.WriteWords(serial, 2, 4, {1, stamp}, 848);
    }
    log.WriteWords(serial, 2, 3, {1, 3000}, 848, 3000);  // another code: never a slot's
    log.SetTime(5000);
    SequenceLog slots(log.Manager(), serial.c_str(), 0, 3600, 900, 2, 4);
    auto first = slots.First();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first->PayloadWord(1), 440u);
    EXPECT_EQ(slots.FirstSlotTime(), 0u);
    auto one = slots.Next();
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(*one->PayloadWord(1), 460u);   // the first of the two in slot 1
    EXPECT_FALSE(slots.Next().has_value());  // slot 2: empty
    EXPECT_FALSE(slots.CurrentRecord().has_value());
    auto three = slots.Next();
    ASSERT_TRUE(three.has_value());
    EXPECT_EQ(*three->PayloadWord(1), 2700u);
    EXPECT_EQ(*slots.CurrentRecord()->PayloadWord(1), 2700u);
    EXPECT_FALSE(slots.Next().has_value());

    SequenceLog none(log.Manager(), serial.c_str(), 0, 3600, 0, 2, 4);
    EXPECT_FALSE(none.First().has_value());
    EXPECT_EQ(SequenceLog::SlotTime(460, 0, 900), 900u);
    EXPECT_EQ(SequenceLog::SlotTime(1000 + 449, 1000, 900), 1000u);
}

TEST_F(LogReading, AMonthOfPreventiveRecordsForTenSubsystemsReadsBackSlotBySlot) {
    LogGenerator log(Options(40960));
    LogGenerator::Series month;
    month.serials = LogGenerator::Serials(10);
    month.first = kStart;
    month.count = 30 * 96;
    // Every subsystem misses a check now and then; stamps come a little
    // after their slot.
    month.skip = [](const LogGenerator::Slot& s) { return (s.index + s.serialIndex) % 97 == 5; };
    month.jitter = [](const LogGenerator::Slot& s) {
        return static_cast<std::int32_t>((s.index * 7 + s.serialIndex) % 300);
    };
    std::uint32_t skipped = 0;
    for (std::uint32_t s = 0; s < 10; ++s) {
        for (std::uint32_t i = 0; i < 30 * 96; ++i) {
            skipped += month.skip(LogGenerator::Slot{s, i, 0}) ? 1 : 0;
        }
    }
    EXPECT_EQ(log.WriteSeries(month), 30u * 96 * 10 - skipped);
    log.SetTime(kStart + 31 * 86400);
    const std::string serial = LogGenerator::Serials(10)[6];
    SequenceLog slots(log.Manager(), serial.c_str(), kStart, kStart + 30 * 86400, 900, 2, 4);
    std::uint32_t present = 0;
    std::uint32_t missing = 0;
    std::uint32_t slot = 0;
    for (auto r = slots.First(); slot < 30 * 96; r = slots.Next(), ++slot) {
        bool gap = month.skip(LogGenerator::Slot{6, slot, 0});
        missing += gap ? 1 : 0;
        ASSERT_EQ(r.has_value(), !gap) << slot;
        if (r) {
            ASSERT_EQ(Slot(*r), slot);
            ASSERT_EQ(Subsystem(*r), 6u);
            ASSERT_EQ(r->Length(), 848u);
            ++present;
        }
    }
    EXPECT_EQ(present + missing, 30u * 96);
    EXPECT_GT(missing, 0u);
}

TEST_F(LogReading, ASuspendedLogHasNoValidCursor) {
    logtest::FileSizeLimit limit(2048);  // not even the first block fits
    LogGenerator log(Options());
    ASSERT_TRUE(log.Manager().IsLogSuspended());
    SubsysLog* first = log.Manager().OpenSubsysLog("QX0000000001");
    LogFilter filter;
    LogCursor cursor(filter, *first);
    EXPECT_FALSE(cursor.Valid());
    EXPECT_FALSE(cursor.First().has_value());
    log.Manager().CloseSubsysLog(first);
}

TEST_F(LogReading, AForwardWalkEndsAtTheGapThatASuspensionLeft) {
    LogGenerator log(Options(40960));
    log.WriteSeries(ThreeSubsystems(20));
    ASSERT_TRUE(log.Flush());
    std::uint32_t beforeGap = log.LastLrba();
    {
        // Every write fails: the log is suspended, records are dropped.
        logtest::FileSizeLimit limit(0);
        LogGenerator::Series lost = ThreeSubsystems(30);
        lost.first = kStart + 900 * 20;
        log.WriteSeries(lost);
        EXPECT_FALSE(log.Flush());
    }
    EXPECT_GT(log.Manager().ResumeLog(), beforeGap);
    LogGenerator::Series after = ThreeSubsystems(10);
    after.first = kStart + 900 * 50;
    log.WriteSeries(after);
    SubsysLog* first = log.Manager().OpenSubsysLog("QX0000000001");
    {
        LogFilter filter;
        LogCursor cursor(filter, *first);
        std::uint32_t count = 0;
        for (auto r = cursor.First(); r; r = cursor.NextRecord()) {
            ASSERT_LT(Slot(*r), 20u);
            ++count;
        }
        EXPECT_EQ(count, 20u);
        // The records after the gap are found by time.
        LogFilter later;
        later.TimeRange(kStart + 900 * 50, kStart + 900 * 59);
        LogCursor second(later, *first);
        std::uint32_t found = 0;
        for (auto r = second.First(); r; r = second.NextRecord()) {
            ASSERT_EQ(Slot(*r), found);  // the second series counts from 0
            ++found;
        }
        EXPECT_EQ(found, 10u);
    }
    log.Manager().CloseSubsysLog(first);
}

// A log of one subsystem, 120 records of 300 bytes (13 to a block), closed;
// then bytes of one of its files are damaged and the log is opened again.
class DamagedLog : public LogReading {
  protected:
    void SetUp() override {
        LogGenerator log(Options(40960));
        LogGenerator::Series series;
        series.first = kStart;
        series.count = 120;
        series.length = 300;
        log.WriteSeries(series);
    }
    std::string FilePath(const std::string& name) { return root_.File("c/oru_log/" + name); }
    // The log opened again ten days later.
    LogGenerator::Options Later() { return Options(40960, kStart + 10 * 86400); }
    // The slots a cursor over the whole log finds, forwards or backwards.
    static std::vector<std::uint32_t> Walk(LogGenerator& log, bool forwards) {
        SubsysLog* subsystem = log.Manager().OpenSubsysLog("QX0000000001");
        std::vector<std::uint32_t> slots;
        {
            LogFilter filter;
            LogCursor cursor(filter, *subsystem);
            if (forwards) {
                for (auto r = cursor.First(); r; r = cursor.NextRecord()) {
                    slots.push_back(Slot(*r));
                }
            } else {
                for (auto r = cursor.Last(); r; r = cursor.PrevRecord()) {
                    slots.push_back(Slot(*r));
                }
            }
        }
        log.Manager().CloseSubsysLog(subsystem);
        return slots;
    }
    static std::uint32_t ReadErrors(LogGenerator& log) {
        log.Manager().Sync();
        return log.Manager().GetLogTask()->ReadErrors();
    }
};

TEST_F(DamagedLog, ADamagedRecordEndsItsBlockAndTheWalkGoesOnBehindIt) {
    // Block 2 of the first file holds slots 13..25 (block 0 is the filler,
    // 13 records of 304 bytes fill a block): slot 16's length becomes 0, 30,
    // past the block, and its LRBA word wrong, in turn.
    Bytes original = logtest::ReadBytes(FilePath("L0000001"));
    const std::size_t at = 2 * 4096 + 3 * 304;
    for (std::uint32_t damage = 0; damage < 4; ++damage) {
        Bytes file = original;
        if (damage < 3) {
            logtest::PutLe32(file, at + 4, damage == 0 ? 0 : damage == 1 ? 30 : 4000);
        } else {
            logtest::PutLe32(file, at + 24, 12345);
        }
        ASSERT_TRUE(logtest::WriteBytes(FilePath("L0000001"), file));
        LogGenerator log(Later());
        std::vector<std::uint32_t> forwards = Walk(log, true);
        ASSERT_EQ(forwards.size(), 120u - 10) << damage;  // 16..25 are lost
        EXPECT_EQ(forwards[15], 15u);
        EXPECT_EQ(forwards[16], 26u);
        std::vector<std::uint32_t> backwards = Walk(log, false);
        ASSERT_EQ(backwards.size(), 110u) << damage;
        EXPECT_EQ(backwards[119 - 26], 26u);
        EXPECT_EQ(backwards[119 - 26 + 1], 15u);
        // Each walk met the damage once; the sound reads after it cleared
        // the count.
        EXPECT_EQ(ReadErrors(log), 0u);
        EXPECT_FALSE(log.Manager().IsLogSuspended());
    }
}

TEST_F(DamagedLog, BackLinksAreNeverFollowedAsPointers) {
    Bytes file = logtest::ReadBytes(FilePath("L0000001"));
    for (std::size_t record = 0; record < 13; ++record) {
        logtest::PutLe32(file, 4096 + record * 304 + 28, 0xFFFFFFF0u - record);
    }
    ASSERT_TRUE(logtest::WriteBytes(FilePath("L0000001"), file));
    LogGenerator log(Later());
    std::vector<std::uint32_t> backwards = Walk(log, false);
    ASSERT_EQ(backwards.size(), 120u);
    EXPECT_EQ(backwards.back(), 0u);
}

TEST_F(DamagedLog, FiveFailedReadsInARowSuspendTheLog) {
    // Blocks 1 to 5 of the first file zeroed: five damaged blocks in a row.
    Bytes file = logtest::ReadBytes(FilePath("L0000001"));
    std::fill(file.begin() + 4096, file.begin() + 6 * 4096, 0);
    ASSERT_TRUE(logtest::WriteBytes(FilePath("L0000001"), file));
    LogGenerator log(Later());
    std::vector<std::uint32_t> forwards = Walk(log, true);
    EXPECT_TRUE(forwards.empty());
    EXPECT_TRUE(log.Manager().IsLogSuspended());
    EXPECT_TRUE(logtest::EventLogHas("5 log reads in a row failed"));
    EXPECT_TRUE(logtest::EventLogHas("Logging suspended"));
    // The writer is not to blame: resuming goes on above the log.
    EXPECT_GT(log.Manager().ResumeLog(), 0u);
    EXPECT_FALSE(log.Manager().IsLogSuspended());
    EXPECT_EQ(ReadErrors(log), 0u);
}

TEST_F(DamagedLog, AFileShorterThanItsEntryEndsTheWalkWithoutHarm) {
    Bytes file = logtest::ReadBytes(FilePath("L0000001"));
    file.resize(3 * 4096 + 100);
    ASSERT_TRUE(logtest::WriteBytes(FilePath("L0000001"), file));
    LogGenerator log(Later());
    std::vector<std::uint32_t> forwards = Walk(log, true);
    ASSERT_EQ(forwards.size(), 26u);  // blocks 1 and 2
    EXPECT_EQ(ReadErrors(log), 1u);
}

}  // namespace
