// Performance records: exact bytes, copies and damaged counts.
#include <gtest/gtest.h>

#include "RecordBytes.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"

namespace {

PerfMetric GoldenMetric() {
    PerfMetric m(static_cast<PERF_METRIC>(7), 20, 100, RELOP_GREATER);
    m.windowStart = 0x5F000000;
    m.windowEnd = 0x5F000E10;
    m.slotsPerValue = 4;
    m.values = {10, PerfMetric::kNoData, 30};
    return m;
}

TEST(PerfMetricTest, ThreeValuesCodeAs56Bytes) {
    PerfMetric m = GoldenMetric();
    const ByteVector bytes = EncodeToBytes(m, 4);
    EXPECT_EQ(bytes.size(), 56u);
    EXPECT_EQ(bytes, GoldenPerfMetricBytes());
    EXPECT_EQ(m.WireSize(), 56u);
}

TEST(PerfMetricTest, NoValuesCodeAs44Bytes) {
    PerfMetric m;
    const ByteVector bytes = EncodeToBytes(m, 4);
    Bytes expected;
    expected.Word(0).Word(0).Word(0).Word(0).Word(0);
    expected.Word(0).Word(0).Word(1).Word(0).Word(12).Word(1);
    EXPECT_EQ(bytes, expected.Get());
}

TEST(PerfMetricTest, DecodesTheGoldenBytes) {
    PerfMetric m;
    ASSERT_TRUE(DecodeFromBytes(m, GoldenPerfMetricBytes(), 4));
    EXPECT_EQ(m.id, 7u);
    EXPECT_EQ(m.windowEnd, 0x5F000E10u);
    EXPECT_EQ(m.values, (std::vector<std::uint32_t>{10, 0xFFFFFFFF, 30}));
    EXPECT_EQ(m.scale, 100u);
    EXPECT_EQ(m.threshold, 20u);
    EXPECT_EQ(m.relop, RELOP_GREATER);
    EXPECT_EQ(m.extra1, 12u);
    EXPECT_EQ(m.extra2, 1u);
}

TEST(PerfMetricTest, CopiesOwnTheirValues) {
    auto* original = new PerfMetric(GoldenMetric());
    PerfMetric copy = *original;
    PerfMetric assigned;
    assigned = *original;
    delete original;  // the copies must survive this
    EXPECT_EQ(copy.values[2], 30u);
    EXPECT_EQ(assigned.values[0], 10u);
    copy.values[0] = 1;
    EXPECT_EQ(assigned.values[0], 10u);
}

TEST(PerfMetricTest, LyingValueCountFails) {
    ByteVector bytes = GoldenPerfMetricBytes();
    bytes[16] = 0x40;  // value count 0x40000003
    PerfMetric m;
    EXPECT_FALSE(DecodeFromBytes(m, bytes, 4));
    EXPECT_EQ(m.ValueCount(), 0u);
    bytes[16] = 0;
    bytes[19] = 10;  // 10 values, 9 words left
    EXPECT_FALSE(DecodeFromBytes(m, bytes, 4));
}

TEST(PerfRecsTest, DefaultRecordCodesAs192Bytes) {
    PerfRecs recs;
    EXPECT_EQ(EncodeToBytes(recs, 4), GoldenPerfRecsBytes());
    EXPECT_EQ(PerfRecs::kWireSize, 192u);
}

TEST(PerfRecsTest, RoundTripKeepsEveryValueInItsBlock) {
    Bytes b;
    for (std::uint32_t i = 0; i < 48; ++i) {
        b.Word(1000 + i);
    }
    PerfRecs recs;
    ASSERT_TRUE(DecodeFromBytes(recs, b.Get(), 4));
    EXPECT_EQ(recs.valueA, 1000u);
    EXPECT_EQ(recs.valueB, 1001u);
    EXPECT_EQ(recs.recommendations[0], 1002u);
    EXPECT_EQ(recs.metricChecks[0], 1018u);
    EXPECT_EQ(recs.conditions[12], 1047u);
    EXPECT_EQ(EncodeToBytes(recs, 4), b.Get());
}

TEST(PerfRecsTest, DeletedThroughTheBaseRunsTheDerivedDestructor) {
    struct Review : PerfRecs {
        explicit Review(bool& flag) : destroyed(flag) {}
        ~Review() override { destroyed = true; }
        bool& destroyed;
    };
    bool destroyed = false;
    PerfRecs* recs = new Review(destroyed);
    delete recs;
    EXPECT_TRUE(destroyed);
}

}  // namespace
