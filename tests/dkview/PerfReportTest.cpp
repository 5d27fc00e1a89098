// The performance displays: recommendations with the conditions behind a
// finding, and the metrics table with its marks and gaps.
#include <sstream>

#include "../cli/CliTestSupport.h"
#include "cli/dkview/PerfReport.h"

namespace dkview {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TimeWindow Window() {
    TimeWindow window;
    TimeStamp start;
    start.year = 126;
    start.month = 3;
    start.day = 1;
    start.hour = 23;
    TimeStamp end = start;
    end.day = 2;
    end.hour = 1;
    window.start = TimeWindow::CalendarTime(start);
    window.end = TimeWindow::CalendarTime(end);
    window.startText = TimeWindow::Text(window.start);
    window.endText = TimeWindow::Text(window.end);
    window.interval = 4;
    return window;
}

PerfMetric Metric(std::uint32_t id, std::vector<std::uint32_t> values, std::uint32_t scale,
                  std::uint32_t threshold, RELATIONAL_OPERATOR relop, std::time_t start) {
    PerfMetric metric(static_cast<PERF_METRIC>(id), threshold, scale, relop);
    metric.values = std::move(values);
    metric.windowStart = static_cast<std::uint32_t>(start);
    metric.slotsPerValue = 4;
    return metric;
}

class PerfReportTest : public CliTest {};

TEST_F(PerfReportTest, NoRecommendationSaysSoInBothForms) {
    std::ostringstream readable;
    std::ostringstream raw;
    PerfReport(std::string("V:P"), false, readable).Recommendations(PerfRecs{}, Window());
    PerfReport(std::string("V:P"), true, raw).Recommendations(PerfRecs{}, Window());
    EXPECT_THAT(readable.str(), HasSubstr(Mark(11, 1)));
    EXPECT_THAT(readable.str(), HasSubstr(Mark(11, 300)));
    const TimeWindow window = Window();
    EXPECT_EQ(raw.str(), "PR:V:P:" + std::to_string(window.start) + ":" +
                             std::to_string(window.end) + ":" + Mark(11, 200) + " NONE\n");
}

TEST_F(PerfReportTest, AFindingListsItsConditionsAndEachRecommendationItsRule) {
    PerfRecs recs;
    recs.recommendations[1] = 1;
    recs.recommendations[15] = 1;
    recs.conditions[0] = 1;
    recs.conditions[10] = 1;
    recs.conditions[11] = 1;  // a room flag, no condition
    std::ostringstream readable;
    PerfReport(std::string("V:P"), false, readable).Recommendations(recs, Window());
    const std::string text = readable.str();
    for (int item : {301, 500, 510, 315}) {
        EXPECT_THAT(text, HasSubstr(Mark(11, item))) << item;
    }
    EXPECT_THAT(text, Not(HasSubstr(Mark(11, 300))));
    EXPECT_THAT(text, HasSubstr(std::string(80, '-')));
    std::ostringstream raw;
    PerfReport(std::string("V:P"), true, raw).Recommendations(recs, Window());
    for (int item : {201, 400, 410, 215}) {
        EXPECT_THAT(raw.str(), HasSubstr(Mark(11, item))) << item;
    }
}

TEST_F(PerfReportTest, AValueBeyondItsThresholdIsMarkedEachWay) {
    const PerfMetric above = Metric(6, {}, 100, 500, RELOP_GREATER, 0);
    EXPECT_EQ(PerfReport::ValueText(above, 501), "5.010*");
    EXPECT_EQ(PerfReport::ValueText(above, 500), "5.000");
    const PerfMetric below = Metric(6, {}, 100, 500, RELOP_LESS, 0);
    EXPECT_EQ(PerfReport::ValueText(below, 499), "4.990*");
    EXPECT_EQ(PerfReport::ValueText(below, 500), "5.000");
    // A scale of 0 does not divide by zero.
    const PerfMetric unscaled = Metric(6, {}, 0, 10, RELOP_GREATER, 0);
    EXPECT_EQ(PerfReport::ValueText(unscaled, 7), "7.000");
}

TEST_F(PerfReportTest, TheTablePagesItsColumnsAndShowsGapsAndDates) {
    const TimeWindow window = Window();
    std::vector<PerfMetric> metrics;
    for (std::uint32_t id : {2u, 6u, 7u, 8u, 9u, 10u}) {
        metrics.push_back(
            Metric(id, {100, PerfMetric::kNoData, 300}, 100, 1000, RELOP_GREATER, window.start));
    }
    metrics[5].values.resize(1);  // a shorter metric
    std::ostringstream out;
    ASSERT_TRUE(PerfReport(std::string("V:P"), false, out).Metrics(metrics, window));
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr(Mark(11, 2)));
    // Six columns make two pages, each with both heading lines.
    for (int item : {702, 706, 707, 708, 709, 710, 802, 810}) {
        EXPECT_THAT(text, HasSubstr(Mark(11, item))) << item;
    }
    EXPECT_THAT(text, HasSubstr("03/01/2026\n"));
    EXPECT_THAT(text, HasSubstr("03/02/2026\n"));  // the third sample is past midnight
    EXPECT_THAT(text, HasSubstr("23:00       "));
    EXPECT_THAT(text, HasSubstr("       1.000  "));
    EXPECT_THAT(text, HasSubstr(Mark(13, 301)));
}

TEST_F(PerfReportTest, TheRawFormIsOneLinePerMetricWithEmptyGaps) {
    std::ostringstream out;
    const std::vector<PerfMetric> metrics = {
        Metric(12, {5, PerfMetric::kNoData, 7}, 10, 6, RELOP_LESS, 1000)};
    ASSERT_TRUE(PerfReport(std::string("V:P"), true, out).Metrics(metrics, Window()));
    EXPECT_EQ(out.str(), "PM:V:P:12:1000:0:4:10:6:0:5::7\n");
}

TEST_F(PerfReportTest, AMetricOfAnUnknownIdentifierIsRefused) {
    std::ostringstream out;
    const std::vector<PerfMetric> metrics = {Metric(17, {1}, 1, 1, RELOP_LESS, 0)};
    EXPECT_FALSE(PerfReport(std::string("V:P"), false, out).Metrics(metrics, Window()));
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace dkview
