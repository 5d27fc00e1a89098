// The performance requests through a subsystem monitor and its task, as a
// client's requests travel, over in-process simulated cabinets and a log
// written by the service's own writer: the replies' kinds, values and
// error records.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "MonitorRequestTest.h"
#include "PerfTestSupport.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/perf/ServerPerfRecs.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Root.h"
#include "support/LogGenerator.h"

namespace {

using devmgrtest::MonitorRequestTest;
using devmgrtest::PutBe32;
using devmgrtest::ReplyWords;
using testsupport::LogGenerator;

constexpr std::uint32_t kT0 = 1699999200;
constexpr std::uint32_t kPerfUnavailable = 13, kInvalidLength = 9, kDeviceMgr = 4;

// A metrics request: header, start, end, G, the count and the identifiers
// (count may claim more than follow).
std::vector<unsigned char> MetricsRequest(std::uint32_t sequence, std::uint32_t start,
                                          std::uint32_t end, std::uint32_t slots,
                                          std::uint32_t count,
                                          const std::vector<std::uint32_t>& ids) {
    std::vector<unsigned char> b;
    const auto length = static_cast<std::uint32_t>(36 + 4 * ids.size());
    for (std::uint32_t w : {length, 4u, 10u, sequence, 7u, start, end, slots, count}) {
        PutBe32(b, w);
    }
    for (std::uint32_t id : ids) {
        PutBe32(b, id);
    }
    return b;
}

std::vector<unsigned char> RecsRequest(std::uint32_t sequence, std::uint32_t start,
                                       std::uint32_t end) {
    return devmgrtest::RequestBytes(11, sequence, 7, start, end);
}

class PerfRequestTest : public MonitorRequestTest {
  protected:
    void BeforeManager() override {
        LogGenerator::Options options;
        options.directory = platform::MapDrivePath("C:\\oru_log");
        options.startTime = kT0;
        log_ = std::make_unique<LogGenerator>(options);
        // A quiet day of QX0000000001 in which metric 2 (P[9]) counts the
        // slot modulo 4 and metric 6 is 1.
        LogGenerator::Series day;
        day.first = kT0;
        day.count = 96;
        day.words = [](const LogGenerator::Slot& slot) {
            return perftest::With(perftest::QuietWords(), {{9, slot.index % 4}});
        };
        log_->WriteSeries(day);
        ASSERT_TRUE(log_->Flush());
        SetManager(LOG_MANAGER, &log_->Manager());
    }
    void AfterManager() override {
        SetManager(LOG_MANAGER, nullptr);
        log_.reset();
    }

    // Sends one request as a client; its final reply's bytes.
    std::vector<unsigned char> Run(const std::vector<unsigned char>& bytes) {
        Exchange exchange = Submit(bytes);
        words_ = exchange.words;
        return exchange.replies.empty() ? std::vector<unsigned char>{} : exchange.replies.back();
    }
    ReplyWords Last() const { return words_.empty() ? ReplyWords{} : words_.back(); }
    void ExpectError(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t module) {
        const ReplyWords last = Last();
        EXPECT_EQ(last.kind, 10u);
        EXPECT_EQ(last.status, 1u);
        EXPECT_EQ(last.errorCode, errorCode);
        EXPECT_EQ(last.qualifier, qualifier);
        EXPECT_EQ(last.moduleId, module);
    }

    std::unique_ptr<LogGenerator> log_;
    std::vector<ReplyWords> words_;
};

TEST_F(PerfRequestTest, MetricsReplyWithTheValuesOfTheWindow) {
    // Four hours by the hour: metric 2 is (2 + 0 + 1 + 2 + 3) / 4 = 2.
    std::vector<unsigned char> bytes =
        Run(MetricsRequest(5, kT0, kT0 + 4 * 3600, 4, 3, {2, 6, 13}));
    const ReplyWords last = Last();
    ASSERT_EQ(last.kind, 7u);
    EXPECT_EQ(last.status, 1u);
    EXPECT_EQ(last.sequence, 5u);
    EXPECT_EQ(last.session, 7u);
    PerfMetrics_RtnMsg reply;
    ASSERT_TRUE(reply.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    ASSERT_EQ(reply.MetricCount(), 3u);
    EXPECT_EQ(reply.metrics[0].id, 2u);
    EXPECT_EQ(reply.metrics[0].values, (std::vector<std::uint32_t>{2, 2, 2, 2}));
    EXPECT_EQ(reply.metrics[0].windowStart, kT0);
    EXPECT_EQ(reply.metrics[0].windowEnd, kT0 + 4 * 3600);
    EXPECT_EQ(reply.metrics[0].slotsPerValue, 4u);
    EXPECT_EQ(reply.metrics[0].extra1, 12u);
    EXPECT_EQ(reply.metrics[1].values, (std::vector<std::uint32_t>{1, 1, 1, 1}));
    EXPECT_EQ(reply.metrics[1].threshold, 1u);
    EXPECT_EQ(reply.metrics[2].values.size(), 4u);
    EXPECT_EQ(reply.metrics[2].values[0], PerfMetric::kNoData);
    EXPECT_EQ(reply.length, bytes.size());
}

TEST_F(PerfRequestTest, RecommendationsReplyWithTheAnalysis) {
    std::vector<unsigned char> bytes = Run(RecsRequest(6, kT0 + 7 * 60, kT0 + 86400));
    ASSERT_EQ(Last().kind, 8u);
    PerfRecs_RtnMsg reply;
    ASSERT_TRUE(reply.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(reply.recs.valueA, kT0);
    EXPECT_EQ(reply.recs.valueB, kT0 + 86400);
    // Metric 2 is (48 + 96 x 1.5) / 96 = 2 drives: 60 units of work are
    // more than 10 per drive, and more demand than drives passes.
    EXPECT_EQ(reply.recs.metricChecks[10], 2u);
    EXPECT_EQ(reply.recs.metricChecks[16], 1u);
    EXPECT_EQ(reply.recs.metricChecks[13], 2u);
    EXPECT_EQ(reply.recs.recommendations[5], 1u);  // add a physical disk
    EXPECT_EQ(reply.recs.recommendations[1], 0u);
    EXPECT_EQ(reply.recs.conditions[PC_DRIVE_SLOTS_FULL], 0u);
}

TEST_F(PerfRequestTest, BadRequestsGetTheErrorReply) {
    // Unknown identifier, G = 0, an empty window, no record in the window.
    Run(MetricsRequest(1, kT0, kT0 + 3600, 4, 2, {2, 17}));
    ExpectError(kPerfUnavailable, 0, 0);
    Run(MetricsRequest(2, kT0, kT0 + 3600, 0, 1, {2}));
    ExpectError(kPerfUnavailable, 0, 0);
    Run(MetricsRequest(3, kT0 + 3600, kT0, 1, 1, {2}));
    ExpectError(kPerfUnavailable, 0, 0);
    Run(RecsRequest(4, kT0 - 86400, kT0 - 3600));
    ExpectError(kPerfUnavailable, 0, 0);
    // A window of years, however it is grouped.
    Run(MetricsRequest(5, 0, 0x7FFFFFFF, 96, 1, {2}));
    ExpectError(kPerfUnavailable, 0, 0);
    Run(RecsRequest(6, 0, 0xFFFFFFFF));
    ExpectError(kPerfUnavailable, 0, 0);
    EXPECT_EQ(Last().sequence, 6u);
    // A count that claims identifiers that never came.
    Run(MetricsRequest(7, kT0, kT0 + 3600, 4, 5, {2}));
    ExpectError(kInvalidLength, 0, kDeviceMgr);
    // Zero identifiers is a question about nothing: an empty list.
    std::vector<unsigned char> bytes = Run(MetricsRequest(8, kT0, kT0 + 3600, 4, 0, {}));
    ASSERT_EQ(Last().kind, 7u);
    PerfMetrics_RtnMsg reply;
    ASSERT_TRUE(reply.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(reply.MetricCount(), 0u);
    EXPECT_EQ(bytes.size(), 28u);
}

TEST_F(PerfRequestTest, WithoutALogManagerTheDataAreUnavailable) {
    SetManager(LOG_MANAGER, nullptr);
    Run(RecsRequest(1, kT0, kT0 + 3600));
    ExpectError(kPerfUnavailable, 0, 0);
}

}  // namespace
