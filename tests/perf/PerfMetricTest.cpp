// The metric objects: the table, each metric's arithmetic on one record
// (values computed by hand), the grouping rules, and records that carry no
// data.
#include <gtest/gtest.h>

#include <optional>

#include "PerfTestSupport.h"
#include "coresys/server/perf/ServerPerfMetric.h"

namespace {

using perftest::QuietWords;
using perftest::RecordBytes;
using perftest::With;
using perftest::Words;

constexpr std::uint32_t kNoData = 0xFFFFFFFFu;

std::uint32_t Compute(std::uint32_t id, const Words& words,
                      std::uint32_t length = perftest::kRecordLength) {
    auto metric = ServerPerfMetric::Make(id);
    EXPECT_NE(metric, nullptr);
    RecordBytes record(words, length);
    return metric->Compute(record.View());
}

// The rich record of the hand computations below.
Words Busy() {
    return With(QuietWords(), {{1, 3},
                               {2, 1},
                               {21, 2048},
                               {22, 512},
                               {23, 1000},
                               {24, 4096},
                               {51, 100},
                               {52, 200},
                               {53, 300},
                               {81, 50},
                               {63, 4},
                               {70, 7},
                               {71, 8},
                               {55, 9},
                               {91, 2000}});
}

TEST(PerfMetricTable, ThresholdScaleAndOperatorOfEveryIdentifier) {
    struct Row {
        std::uint32_t threshold, scale, relop;
    };
    const Row table[17] = {{},         {0, 1, 1},    {0, 1, 0},    {0, 1, 1},       {0, 1, 0},
                           {0, 1, 0},  {1, 1, 1},    {20, 100, 1}, {110, 100, 1},   {200, 1000, 1},
                           {10, 1, 1}, {31, 100, 1}, {64, 1, 1},   {9999999, 1, 1}, {0, 1, 0},
                           {0, 1, 0},  {1, 1, 0}};
    for (std::uint32_t id = 1; id <= 16; ++id) {
        auto metric = ServerPerfMetric::Make(id);
        ASSERT_NE(metric, nullptr) << id;
        EXPECT_EQ(metric->id, id);
        EXPECT_EQ(metric->threshold, table[id].threshold) << id;
        EXPECT_EQ(metric->scale, table[id].scale) << id;
        EXPECT_EQ(metric->relop, table[id].relop) << id;
        EXPECT_EQ(metric->extra1, 12u);
        EXPECT_EQ(metric->extra2, 1u);
    }
    EXPECT_EQ(ServerPerfMetric::Make(0), nullptr);
    EXPECT_EQ(ServerPerfMetric::Make(17), nullptr);
    EXPECT_EQ(ServerPerfMetric::Make(0xFFFFFFFFu), nullptr);
}

TEST(PerfMetricCompute, EachMetricOfOneRecordByHand) {
    const Words busy = Busy();
    EXPECT_EQ(Compute(1, busy), 1u);  // redundancy state
    EXPECT_EQ(Compute(2, busy), 11u);
    EXPECT_EQ(Compute(3, busy), 1024u);  // (2048 + 1) / (1024 / 512)
    EXPECT_EQ(Compute(4, busy), 4000u);  // 1000 x (4096 / 1024)
    EXPECT_EQ(Compute(5, busy), 1u);
    EXPECT_EQ(Compute(6, busy), 2u);      // 3 - 1
    EXPECT_EQ(Compute(7, busy), 6660u);   // 600 x 5 x 200 / 900 = 666; x 100 / 10
    EXPECT_EQ(Compute(8, busy), 156u);    // 2000 x 100 / 1280
    EXPECT_EQ(Compute(9, busy), 12500u);  // 50 x 1000 / 4
    EXPECT_EQ(Compute(10, busy), 60u);
    EXPECT_EQ(Compute(11, busy), 375u);  // (8 + 7) x 100 / 4
    EXPECT_EQ(Compute(12, busy), 9u);
    EXPECT_EQ(Compute(13, busy), kNoData);  // never measured
    EXPECT_EQ(Compute(14, busy), 1024u);    // (800 + 1000) / 900 x 512
    EXPECT_EQ(Compute(15, busy), 10u);      // 9000 / 900
    EXPECT_EQ(Compute(16, busy), 60u);
}

TEST(PerfMetricCompute, TheEdgesOfEachFormula) {
    const Words quiet = QuietWords();
    // Metric 7: P[89] below 128 (or 0) has no data; 128 divides by 1.
    EXPECT_EQ(Compute(7, With(quiet, {{89, 127}})), kNoData);
    EXPECT_EQ(Compute(7, With(quiet, {{89, 0}})), kNoData);
    EXPECT_EQ(Compute(7, With(quiet, {{89, 128}})), 100u);
    // Metric 8: P[89] = 0 has no data.
    EXPECT_EQ(Compute(8, With(quiet, {{89, 0}})), kNoData);
    // Metrics 9 and 11 are not divided when P[63] is 0.
    EXPECT_EQ(Compute(9, With(quiet, {{63, 0}, {81, 7}})), 7000u);
    EXPECT_EQ(Compute(11, With(quiet, {{63, 0}})), 200u);
    // Metric 3: a unit of 0 has no data, a count of 0 is 0, units of 1024
    // are kilobytes already, smaller units round the count up by one.
    EXPECT_EQ(Compute(3, With(quiet, {{21, 5}, {22, 0}})), kNoData);
    EXPECT_EQ(Compute(3, With(quiet, {{21, 0}, {22, 512}})), 0u);
    EXPECT_EQ(Compute(3, With(quiet, {{21, 77}, {22, 1024}})), 77u);
    EXPECT_EQ(Compute(3, With(quiet, {{21, 9}, {22, 256}})), 2u);  // 10 / 4
    EXPECT_EQ(Compute(4, With(quiet, {{23, 3}, {24, 2048}})), 6u);
    // Metric 14 divides before it multiplies.
    EXPECT_EQ(Compute(14, With(quiet, {{59, 899}, {60, 0}})), 0u);
}

TEST(PerfMetricCompute, RecordsWithoutData) {
    const Words quiet = QuietWords();
    auto metric = ServerPerfMetric::Make(2);
    EXPECT_EQ(metric->Compute(std::nullopt), kNoData);  // an empty slot
    for (std::uint32_t validity : {0u, 2u, 0xFFFFFFFFu}) {
        RecordBytes record(With(quiet, {{0, validity}}));
        EXPECT_EQ(metric->Compute(record.View()), kNoData) << validity;
    }
    // A record too short for a word a metric reads is no record for that
    // metric; the metrics whose words it holds still read it.
    const std::uint32_t holdsTen = 60 + 4 * 10;  // P[0] .. P[9]
    EXPECT_EQ(Compute(2, quiet, holdsTen), 11u);
    EXPECT_EQ(Compute(6, quiet, holdsTen), 1u);
    EXPECT_EQ(Compute(5, quiet, holdsTen), kNoData);
    EXPECT_EQ(Compute(16, quiet, 60 + 4 * 103), kNoData);  // P[103] missing
    EXPECT_EQ(Compute(16, quiet, 60 + 4 * 104), 60u);
}

TEST(PerfMetricCompute, LargeCountersSaturateBelowNoData) {
    const std::uint32_t max = 0xFFFFFFFFu;
    const Words quiet = QuietWords();
    // 32-bit arithmetic would wrap these into small, plausible values.
    EXPECT_EQ(Compute(7, With(quiet, {{51, max}, {52, max}, {53, max}, {89, 128}})), 0xFFFFFFFEu);
    EXPECT_EQ(Compute(9, With(quiet, {{81, 0x10000000}, {63, 0}})), 0xFFFFFFFEu);
    EXPECT_EQ(Compute(8, With(quiet, {{91, 0x80000000u}, {89, 1}})), 0xFFFFFFFEu);
    // Twelve words of 0x20000000 sum to 6 x 2^30, beyond 32 bits.
    Words big = quiet;
    for (std::uint32_t k = 92; k <= 103; ++k) {
        big[k] = 0x20000000;
    }
    EXPECT_EQ(Compute(10, big), 0xFFFFFFFEu);
    // A word of 0xFFFFFFFF is a value, not "no data".
    EXPECT_EQ(Compute(2, With(quiet, {{9, max}})), 0xFFFFFFFEu);
    // K of the largest count rounds up without wrapping to 0.
    EXPECT_EQ(Compute(3, With(quiet, {{21, max}, {22, 512}})), 0x80000000u);
    // The sum over many slots does not wrap either.
    auto metric = ServerPerfMetric::Make(2);
    const std::uint32_t raw[4] = {0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu};
    EXPECT_EQ(metric->Aggregate(4, raw), 0xFFFFFFFEu);
}

TEST(PerfMetricCompute, ExtraWordsComeFromTheLastValidRecord) {
    auto drives = ServerPerfMetric::Make(2);
    auto memory = ServerPerfMetric::Make(5);
    RecordBytes first(With(QuietWords(), {{3, 10}, {31, 4}}));
    RecordBytes invalid(With(QuietWords(), {{0, 0}, {3, 99}, {31, 99}}));
    drives->Compute(first.View());
    memory->Compute(first.View());
    drives->Compute(invalid.View());
    memory->Compute(invalid.View());
    drives->Compute(std::nullopt);
    EXPECT_EQ(drives->extra1, 10u);
    EXPECT_EQ(drives->extra2, 1u);
    EXPECT_EQ(memory->extra1, 12u);
    EXPECT_EQ(memory->extra2, 4u);
}

TEST(PerfMetricAggregate, TheRoundedMeanWithAQuarterMissingAtMost) {
    auto metric = ServerPerfMetric::Make(2);
    const std::uint32_t four[4] = {10, 11, 12, 14};
    EXPECT_EQ(metric->Aggregate(4, four), 12u);  // (2 + 47) / 4
    // One missing slot of four: the mean of the other three.
    const std::uint32_t oneMissing[4] = {10, kNoData, 12, 14};
    EXPECT_EQ(metric->Aggregate(4, oneMissing), 12u);  // (1 + 36) / 3
    const std::uint32_t twoMissing[4] = {10, kNoData, kNoData, 14};
    EXPECT_EQ(metric->Aggregate(4, twoMissing), kNoData);
    // Fewer than four slots tolerate none missing.
    const std::uint32_t three[3] = {1, 2, kNoData};
    EXPECT_EQ(metric->Aggregate(3, three), kNoData);
    EXPECT_EQ(metric->Aggregate(2, three), 2u);  // (1 + 3) / 2
    const std::uint32_t one[1] = {kNoData};
    EXPECT_EQ(metric->Aggregate(1, one), kNoData);
}

TEST(PerfMetricAggregate, TheRedundancyStateTakesItsSlotsInOrder) {
    auto state = ServerPerfMetric::Make(1);
    const auto run = [&state](std::vector<std::uint32_t> raw) {
        return state->Aggregate(static_cast<std::uint32_t>(raw.size()), raw.data());
    };
    EXPECT_EQ(run({1, 1, 1, 1}), 1u);
    EXPECT_EQ(run({1, 0, 1, 1}), 0u);
    // A 2 counts only once the result is no longer 1 (after a 0).
    EXPECT_EQ(run({1, 2, 1, 1}), 1u);
    EXPECT_EQ(run({0, 2, 1, 1}), 2u);
    EXPECT_EQ(run({0, 2, 0, 1}), 0u);
    // Values other than 0, 1, 2 are missing: one of four is tolerated,
    // two are not (more than G x 0.25).
    EXPECT_EQ(run({1, 7, 0, 1}), 0u);
    EXPECT_EQ(run({1, 7, kNoData, 0}), kNoData);
    EXPECT_EQ(run({5, 1, 1, 1, 1, 1, 1, 1}), 1u);
    EXPECT_EQ(run({5, 1, 5, 1, 1, 1, 1, 1}), 1u);  // 2 of 8 is exactly a quarter
    EXPECT_EQ(run({5, 1, 5, 1, 5, 1, 1, 1}), kNoData);
}

TEST(PerfMetricAggregate, SummarizeGroupsGSlotsPerValue) {
    auto metric = ServerPerfMetric::Make(10);
    metric->Prepare(1000, 9000, 4, 2, 9);  // N = 9, G = 4: two values, slot 8 unused
    const std::uint32_t raw[9] = {4, 4, 4, 5, kNoData, kNoData, 1, 1, 99};
    for (std::uint32_t k = 0; k < 9; ++k) {
        metric->SetRaw(k, raw[k]);
    }
    metric->Summarize();
    ASSERT_EQ(metric->values.size(), 2u);
    EXPECT_EQ(metric->values[0], 4u);  // (2 + 17) / 4
    EXPECT_EQ(metric->values[1], kNoData);
    EXPECT_EQ(metric->windowStart, 1000u);
    EXPECT_EQ(metric->windowEnd, 9000u);
    EXPECT_EQ(metric->slotsPerValue, 4u);
    EXPECT_EQ(metric->Value(), 4u);
    // No values at all (N below G): nothing to summarize.
    metric->Prepare(1000, 2000, 4, 0, 1);
    metric->Summarize();
    EXPECT_TRUE(metric->values.empty());
    EXPECT_EQ(metric->Value(), kNoData);
}

}  // namespace
