// Metrics and recommendations over logs written by the service's own log
// writer (LogGenerator): window rounding, the slots of the window, values
// computed by hand, recommendation outcomes, and every kind of bad request.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "PerfTestSupport.h"
#include "coresys/server/perf/PerfAnalysis.h"
#include "support/FreshRoot.h"
#include "support/LogGenerator.h"

namespace {

using perftest::Counter;
using perftest::QuietWords;
using perftest::With;
using perftest::Words;
using testsupport::LogGenerator;

constexpr std::uint32_t kNoData = 0xFFFFFFFFu;
constexpr const char* kSerial = "QX0000000001";
// 2023-11-14 22:00:00 UTC: on the hour.
constexpr std::uint32_t kT0 = 1699999200;
constexpr std::uint32_t kSlot = 900;

class PerfAnalysisTest : public ::testing::Test {
  protected:
    LogGenerator::Options Options() {
        LogGenerator::Options options;
        options.directory = root_.File("c/oru_log");
        options.startTime = kT0;
        return options;
    }
    // slots preventive records of two subsystems from kT0 on, one per slot;
    // the first subsystem's words by words(slot), the second's quiet.
    void Write(LogGenerator& log, std::uint32_t slots, std::function<Words(std::uint32_t)> words,
               std::function<bool(std::uint32_t)> skip = nullptr) {
        LogGenerator::Series series;
        series.serials = LogGenerator::Serials(2);
        series.first = kT0;
        series.count = slots;
        series.words = [words](const LogGenerator::Slot& slot) {
            return slot.serialIndex == 0 ? words(slot.index) : QuietWords();
        };
        if (skip) {
            series.skip = [skip](const LogGenerator::Slot& slot) {
                return slot.serialIndex == 0 && skip(slot.index);
            };
        }
        // Records land a little after their slot boundary, as a monitor's
        // do.
        series.jitter = [](const LogGenerator::Slot& slot) {
            return static_cast<std::int32_t>(slot.index % 3) * 100;
        };
        log.WriteSeries(series);
        ASSERT_TRUE(log.Flush());
    }

    testsupport::FreshRoot root_;
};

TEST(PerfWindowTest, RoundingStepFollowsTheSlotsPerValue) {
    EXPECT_EQ(PerfAnalysis::RoundingStep(1), 900u);
    EXPECT_EQ(PerfAnalysis::RoundingStep(3), 900u);
    EXPECT_EQ(PerfAnalysis::RoundingStep(2), 1800u);
    EXPECT_EQ(PerfAnalysis::RoundingStep(6), 1800u);
    EXPECT_EQ(PerfAnalysis::RoundingStep(4), 3600u);
    EXPECT_EQ(PerfAnalysis::RoundingStep(8), 3600u);
    // 10:07 and 12:52 (on a day that starts at kT0 - 22 hours).
    const std::uint32_t day = kT0 - 22 * 3600;
    const std::uint32_t t1007 = day + 10 * 3600 + 7 * 60, t1252 = day + 12 * 3600 + 52 * 60;
    std::uint32_t start = 0, end = 0;
    ASSERT_TRUE(PerfAnalysis::RoundTime(t1007, 3600, start));
    ASSERT_TRUE(PerfAnalysis::RoundTime(t1252, 3600, end));
    EXPECT_EQ(start, day + 10 * 3600);
    EXPECT_EQ(end, day + 13 * 3600);
    ASSERT_TRUE(PerfAnalysis::RoundTime(t1007, 900, start));
    ASSERT_TRUE(PerfAnalysis::RoundTime(t1252, 900, end));
    EXPECT_EQ(start, day + 10 * 3600);
    EXPECT_EQ(end, day + 12 * 3600 + 45 * 60);
    // Near the end of time a value rounded up would not fit.
    EXPECT_FALSE(PerfAnalysis::RoundTime(0xFFFFFFFFu, 900, end));
    ASSERT_TRUE(PerfAnalysis::RoundTime(0xFFFFFFFFu, 3600, end));
    EXPECT_EQ(end, 4294965600u);
}

TEST_F(PerfAnalysisTest, MetricsInGroupsOfFourByHand) {
    LogGenerator log(Options());
    // Metric 2 reads P[9]: 10 + slot; metric 6 P[1] - P[2]: (2 + slot) - 1.
    // Slot 5 is missing (one of its group of four), slots 9 and 10 too (two
    // of theirs).
    Write(
        log, 13,
        [](std::uint32_t k) {
            return With(QuietWords(), {{9, 10 + k}, {1, 2 + k}});
        },
        [](std::uint32_t k) { return k == 5 || k == 9 || k == 10; });
    PerfAnalysis analysis(log.Manager(), kSerial);
    const std::uint32_t ids[] = {2, 6, 13};
    // 22:07 .. 00:52 rounds (G = 4, to the hour) to 22:00 .. 01:00.
    ASSERT_EQ(analysis.Metrics(kT0 + 7 * 60, kT0 + 2 * 3600 + 52 * 60, 4, ids, 3),
              PerfFailure::kNone);
    EXPECT_EQ(analysis.WindowStart(), kT0);
    EXPECT_EQ(analysis.WindowEnd(), kT0 + 3 * 3600);
    EXPECT_EQ(analysis.SlotCount(), 12u);
    EXPECT_EQ(analysis.ValueCount(), 3u);
    ASSERT_EQ(analysis.MetricCount(), 3u);
    const ServerPerfMetric& drives = analysis.Metric(0);
    // Slots 0..3: 10..13 -> (2 + 46) / 4; slots 4, 6, 7: (1 + 47) / 3;
    // slots 8..11 with two missing: no data.
    EXPECT_EQ(drives.values, (std::vector<std::uint32_t>{12, 16, kNoData}));
    EXPECT_EQ(drives.windowStart, kT0);
    EXPECT_EQ(drives.windowEnd, kT0 + 3 * 3600);
    EXPECT_EQ(drives.slotsPerValue, 4u);
    EXPECT_EQ(drives.extra1, 12u);
    // Metric 6: (2 + 1 + 2 + 3 + 4) / 4, then (1 + 5 + 7 + 8) / 3.
    EXPECT_EQ(analysis.Metric(1).values, (std::vector<std::uint32_t>{3, 7, kNoData}));
    EXPECT_EQ(analysis.Metric(2).values, (std::vector<std::uint32_t>{kNoData, kNoData, kNoData}));
    // The reply borrows the same objects in request order.
    EXPECT_EQ(analysis.MetricArray()[1]->id, 6u);
}

TEST_F(PerfAnalysisTest, TheFirstRecordStartsTheSlots) {
    LogGenerator log(Options());
    // No record in the first two slots of the subsystem.
    Write(
        log, 8,
        [](std::uint32_t k) {
            return With(QuietWords(), {{9, k}});
        },
        [](std::uint32_t k) { return k < 2; });
    PerfAnalysis analysis(log.Manager(), kSerial);
    const std::uint32_t ids[] = {2};
    ASSERT_EQ(analysis.Metrics(kT0, kT0 + 8 * kSlot, 1, ids, 1), PerfFailure::kNone);
    EXPECT_EQ(analysis.WindowStart(), kT0 + 2 * kSlot);
    EXPECT_EQ(analysis.SlotCount(), 6u);
    EXPECT_EQ(analysis.Metric(0).values, (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7}));
    // Fewer slots than a value needs: metrics without values.
    PerfAnalysis few(log.Manager(), kSerial);
    ASSERT_EQ(few.Metrics(kT0, kT0 + 8 * kSlot, 7, ids, 1), PerfFailure::kNone);
    EXPECT_EQ(few.ValueCount(), 0u);
    EXPECT_TRUE(few.Metric(0).values.empty());
}

TEST_F(PerfAnalysisTest, RecordsOfOtherSubsystemsAndKindsAreNotRead) {
    LogGenerator log(Options());
    Write(log, 4, [](std::uint32_t k) { return With(QuietWords(), {{9, 20 + k}}); });
    // A controller-log record (class 2, code 1) of the subsystem in slot 1.
    log.WriteWords(kSerial, 2, 1, With(QuietWords(), {{9, 999}}), 80, kT0 + kSlot + 10);
    ASSERT_TRUE(log.Flush());
    PerfAnalysis analysis(log.Manager(), "QX0000000002");
    const std::uint32_t ids[] = {2};
    ASSERT_EQ(analysis.Metrics(kT0, kT0 + 4 * kSlot, 1, ids, 1), PerfFailure::kNone);
    EXPECT_EQ(analysis.Metric(0).values, (std::vector<std::uint32_t>{11, 11, 11, 11}));
    PerfAnalysis first(log.Manager(), kSerial);
    ASSERT_EQ(first.Metrics(kT0, kT0 + 4 * kSlot, 1, ids, 1), PerfFailure::kNone);
    EXPECT_EQ(first.Metric(0).values, (std::vector<std::uint32_t>{20, 21, 22, 23}));
}

TEST_F(PerfAnalysisTest, BadRequestsFailWithoutReadingOrAllocating) {
    LogGenerator log(Options());
    Write(log, 8, [](std::uint32_t) { return QuietWords(); });
    const std::uint32_t good[] = {2, 6};
    const auto metrics = [&log](std::uint32_t start, std::uint32_t end, std::uint32_t g,
                                const std::uint32_t* ids, std::uint32_t count) {
        PerfAnalysis analysis(log.Manager(), kSerial);
        return analysis.Metrics(start, end, g, ids, count);
    };
    // G = 0 divides nothing.
    EXPECT_EQ(metrics(kT0, kT0 + 8 * kSlot, 0, good, 2), PerfFailure::kNoGrouping);
    // A window that rounds to nothing, or runs backwards.
    EXPECT_EQ(metrics(kT0 + 100, kT0 + 300, 1, good, 2), PerfFailure::kEmptyWindow);
    EXPECT_EQ(metrics(kT0 + 8 * kSlot, kT0, 1, good, 2), PerfFailure::kEmptyWindow);
    // Unknown identifiers anywhere in the list.
    const std::uint32_t unknown[] = {2, 17};
    EXPECT_EQ(metrics(kT0, kT0 + 8 * kSlot, 1, unknown, 2), PerfFailure::kUnknownMetric);
    const std::uint32_t zero[] = {0};
    EXPECT_EQ(metrics(kT0, kT0 + 8 * kSlot, 1, zero, 1), PerfFailure::kUnknownMetric);
    // No record in the window; another subsystem's log; no records at all.
    EXPECT_EQ(metrics(kT0 - 10 * kSlot, kT0 - 2 * kSlot, 1, good, 2), PerfFailure::kNoRecord);
    {
        PerfAnalysis other(log.Manager(), "QX0000000009");
        EXPECT_EQ(other.Metrics(kT0, kT0 + 8 * kSlot, 1, good, 2), PerfFailure::kNoRecord);
    }
    // A window that ends at its first record has no slot.
    EXPECT_EQ(metrics(kT0 - 2 * kSlot, kT0, 1, good, 2), PerfFailure::kNoSlots);
    // A window of years from the first record on is refused, however it
    // is grouped; so is one whose end passes 2106.
    EXPECT_EQ(metrics(kT0, kT0 + 3u * 366 * 86400, 96, good, 2), PerfFailure::kWindowTooLong);
    EXPECT_EQ(metrics(kT0, 0xFFFFFFFFu, 4, good, 2), PerfFailure::kWindowTooLong);
    EXPECT_EQ(metrics(0, 0x7FFFFFFFu, 1, good, 2), PerfFailure::kWindowTooLong);
    // No metrics is a request for nothing, answered with nothing.
    {
        PerfAnalysis none(log.Manager(), kSerial);
        EXPECT_EQ(none.Metrics(kT0, kT0 + 8 * kSlot, 1, nullptr, 0), PerfFailure::kNone);
        EXPECT_EQ(none.MetricCount(), 0u);
    }
    // Many identifiers: within a day fine, over a year too many values to
    // hold (16 metrics x a year of slots at most), and so many that no
    // reply could carry them even without values.
    std::vector<std::uint32_t> many(200, 10);
    EXPECT_EQ(metrics(kT0, kT0 + 8 * kSlot, 1, many.data(), 200), PerfFailure::kNone);
    std::vector<std::uint32_t> lots(30000, 10);
    EXPECT_EQ(metrics(kT0, kT0 + 8 * kSlot, 1, lots.data(), 30000), PerfFailure::kTooManyValues);
}

TEST_F(PerfAnalysisTest, AYearFitsAndTheReplyMustFitAFrame) {
    LogGenerator log(Options());
    Write(log, 2, [](std::uint32_t) { return QuietWords(); });
    const std::uint32_t year = 365 * 86400;
    std::vector<std::uint32_t> sixteen;
    for (std::uint32_t id = 1; id <= 16; ++id) {
        sixteen.push_back(id);
    }
    // A year of slots, values by the hour: 16 x 8760 values, 560 kB.
    {
        PerfAnalysis analysis(log.Manager(), kSerial);
        ASSERT_EQ(analysis.Metrics(kT0, kT0 + year, 4, sixteen.data(), 16), PerfFailure::kNone);
        EXPECT_EQ(analysis.SlotCount(), 365u * 96);
        EXPECT_EQ(analysis.Metric(1).values.size(), 365u * 24);
        EXPECT_EQ(analysis.Metric(1).values.front(), kNoData);  // 2 of 4 slots
    }
    // Every slot its own value: 2.2 MB, more than one reply may carry.
    PerfAnalysis analysis(log.Manager(), kSerial);
    EXPECT_EQ(analysis.Metrics(kT0, kT0 + year, 1, sixteen.data(), 16),
              PerfFailure::kTooManyValues);
    // 17 copies of one metric over a year pass the raw-value bound.
    std::vector<std::uint32_t> seventeen(17, 2);
    PerfAnalysis more(log.Manager(), kSerial);
    EXPECT_EQ(more.Metrics(kT0, kT0 + year, 96, seventeen.data(), 17), PerfFailure::kTooManyValues);
}

TEST_F(PerfAnalysisTest, RecommendationsOfAQuietDay) {
    LogGenerator log(Options());
    Write(log, 96, [](std::uint32_t) { return QuietWords(); });
    PerfAnalysis analysis(log.Manager(), kSerial);
    // 22:07 .. 21:52 the next day rounds to 22:00 .. 21:45.
    ASSERT_EQ(analysis.Recommendations(kT0 + 7 * 60, kT0 + 86400 - 8 * 60), PerfFailure::kNone);
    const ServerPerfRecs* recs = analysis.Recs();
    ASSERT_NE(recs, nullptr);
    EXPECT_EQ(recs->valueA, kT0);
    EXPECT_EQ(recs->valueB, kT0 + 86400 - kSlot);
    EXPECT_EQ(analysis.SlotCount(), 95u);
    EXPECT_EQ(analysis.SlotsPerValue(), 95u);
    for (std::uint32_t r = 0; r < 16; ++r) {
        EXPECT_EQ(recs->recommendations[r], 0u) << r;
    }
    for (std::uint32_t id = 0; id < 17; ++id) {
        EXPECT_EQ(recs->metricChecks[id], id == 13 ? 2u : 1u) << id;
    }
    for (std::uint32_t n = 0; n < 13; ++n) {
        EXPECT_EQ(recs->conditions[n], 0u) << n;
    }
    EXPECT_EQ(analysis.Metric(1).Value(), 11u);  // metric 2
}

TEST_F(PerfAnalysisTest, RecommendationsFromTheWindowsMeanValues) {
    LogGenerator log(Options());
    // Metric 6 (P[1] - P[2]) is 1 in three slots of four and 4 in the
    // fourth: (48 + 72 + 96) / 96 = 2, above its limit of 1.
    Write(log, 96, [](std::uint32_t k) { return With(QuietWords(), {{1, k % 4 == 3 ? 5 : 2}}); });
    PerfAnalysis analysis(log.Manager(), kSerial);
    ASSERT_EQ(analysis.Recommendations(kT0, kT0 + 86400), PerfFailure::kNone);
    EXPECT_EQ(analysis.Metric(4).Value(), 2u);  // metric 6
    const ServerPerfRecs* recs = analysis.Recs();
    EXPECT_EQ(recs->metricChecks[6], 2u);
    EXPECT_EQ(recs->recommendations[2], 1u);  // disks need balancing
    for (std::uint32_t r = 3; r < 16; ++r) {
        EXPECT_EQ(recs->recommendations[r], 0u) << r;
    }
}

TEST_F(PerfAnalysisTest, EmptyLeadingSlotsCountTowardsInsufficientData) {
    LogGenerator log(Options());
    // 24 hours; the subsystem's first 20 slots are empty and 4 later ones
    // too: 24 missing of 96 is still enough.
    const auto skip24 = [](std::uint32_t k) { return k < 20 || (k >= 50 && k < 54); };
    Write(
        log, 96, [](std::uint32_t) { return QuietWords(); }, skip24);
    {
        PerfAnalysis analysis(log.Manager(), kSerial);
        ASSERT_EQ(analysis.Recommendations(kT0, kT0 + 86400), PerfFailure::kNone);
        EXPECT_EQ(analysis.WindowStart(), kT0 + 20 * kSlot);
        EXPECT_EQ(analysis.Recs()->valueA, kT0);  // not advanced
        EXPECT_EQ(analysis.Recs()->MissingSlots(), 24u);
        EXPECT_EQ(analysis.Recs()->conditions[PC_INVALID_RECORDS], 0u);
    }
    // One slot more missing: condition 9, a finding, no recommendation.
    PerfAnalysis analysis(log.Manager(), kSerial);
    ASSERT_EQ(analysis.Recommendations(kT0 - kSlot, kT0 + 86400 - kSlot), PerfFailure::kNone);
    const ServerPerfRecs* recs = analysis.Recs();
    EXPECT_EQ(recs->MissingSlots(), 25u);
    EXPECT_EQ(recs->conditions[PC_INVALID_RECORDS], 1u);
    EXPECT_EQ(recs->recommendations[1], 1u);
    for (std::uint32_t id = 0; id < 17; ++id) {
        EXPECT_EQ(recs->metricChecks[id], 0u) << id;
    }
}

TEST_F(PerfAnalysisTest, ConditionsOfTheWindowsRecords) {
    LogGenerator log(Options());
    // One record raises C3 (a rebuild), one C6 (DRAM), one has no polls
    // but C1 set (ignored).
    Write(log, 8, [](std::uint32_t k) {
        switch (k) {
            case 2:
                return With(QuietWords(), {{Counter(3), 1}});
            case 4:
                return With(QuietWords(), {{Counter(6), 3}});
            case 6:
                return With(QuietWords(), {{perftest::kStatusPolls, 0}, {Counter(1), 1}});
            default:
                return QuietWords();
        }
    });
    PerfAnalysis analysis(log.Manager(), kSerial);
    ASSERT_EQ(analysis.Recommendations(kT0, kT0 + 8 * kSlot), PerfFailure::kNone);
    const ServerPerfRecs* recs = analysis.Recs();
    std::set<std::uint32_t> raised;
    for (std::uint32_t n = 0; n <= PC_REDUNDANCY_LOSS; ++n) {
        if (recs->conditions[n] != 0) {
            raised.insert(n);
        }
    }
    EXPECT_EQ(raised, (std::set<std::uint32_t>{PC_REBUILD_IN_PROGRESS, PC_DRAM_FAILURE}));
    EXPECT_EQ(recs->recommendations[1], 1u);
}

TEST_F(PerfAnalysisTest, RecommendationsRefuseWhatMetricsRefuse) {
    LogGenerator log(Options());
    Write(log, 8, [](std::uint32_t) { return QuietWords(); });
    const auto recs = [&log](std::uint32_t start, std::uint32_t end) {
        PerfAnalysis analysis(log.Manager(), kSerial);
        return analysis.Recommendations(start, end);
    };
    EXPECT_EQ(recs(kT0 + 100, kT0 + 200), PerfFailure::kEmptyWindow);
    EXPECT_EQ(recs(kT0 - 9 * kSlot, kT0 - kSlot), PerfFailure::kNoRecord);
    EXPECT_EQ(recs(kT0 - 2 * kSlot, kT0), PerfFailure::kNoSlots);
    EXPECT_EQ(recs(0, 0x7FFFFFFFu), PerfFailure::kWindowTooLong);
    EXPECT_EQ(recs(kT0, 0xFFFFFFFFu), PerfFailure::kWindowTooLong);
}

}  // namespace
