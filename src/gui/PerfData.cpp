#include "gui/PerfData.h"

#include <ctime>

#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"
#include "gui/GuiText.h"

namespace oru {
namespace {

constexpr int kRebuildMetric = 1;
// Hundredths of a GB from kilobytes: 1 GB is 1048576 KB.
constexpr std::uint32_t kKilobytesPerHundredth = 10486;

int ScaleCode(std::uint32_t divisor) {
    switch (divisor) {
        case 10:
            return 1;
        case 100:
            return 2;
        case 1000:
            return 3;
        case 10000:
            return 4;
        default:
            return 0;
    }
}

std::uint32_t Sample(int metric, std::uint32_t value) {
    // No data is told apart before any scaling: scaled, it would look like
    // a plausible value.
    if (value == PerfMetric::kNoData) {
        return metric == kRebuildMetric ? 5 : 0;
    }
    switch (metric) {
        case 3:
        case 4:
            return value / kKilobytesPerHundredth;
        case 14:
            return value >> 10;  // KB/sec from bytes/sec
        default:
            return value;
    }
}

}  // namespace

PerfDataSet PerfDataSet::FromMetrics(const std::vector<PerfMetric>& metrics) {
    PerfDataSet data;
    if (metrics.empty()) {
        return data;
    }
    const PerfMetric& first = metrics.front();
    data.start = first.windowStart;
    data.end = first.windowEnd;
    data.count = static_cast<int>(first.ValueCount());
    for (const PerfMetric& metric : metrics) {
        const int id = static_cast<int>(metric.id);
        if (id < 1 || id >= kMetrics || metric.ValueCount() != first.ValueCount()) {
            continue;
        }
        Metric& target = data.metrics[id];
        target.present = true;
        target.available = metric.metricWord == 0;
        target.reference = metric.threshold;
        target.scaleCode = id == 3 || id == 4 ? 2 : ScaleCode(metric.scale);
        target.samples.clear();
        target.samples.reserve(metric.values.size());
        for (std::uint32_t value : metric.values) {
            target.samples.push_back(Sample(id, value));
        }
    }
    return data;
}

const std::vector<SeriesLook>& EventSeries() {
    static const std::vector<SeriesLook> series = {
        {txt::kSeriesRebuild, 1, CTimeChart::kEventMarks, 12, QColor(0, 0, 0)},
        {txt::kSeriesDisks, 2, CTimeChart::kBars, 25, QColor(0, 255, 0)},
        {txt::kSeriesUnallocated, 3, CTimeChart::kBars, 30, QColor(0, 255, 255)},
        {txt::kSeriesRaid01, 4, CTimeChart::kBars, 50, QColor(255, 0, 0)},
        {txt::kSeriesKbPerSec, 14, CTimeChart::kBars, 50, QColor(0, 0, 255)},
        {txt::kSeriesIoPerSec, 15, CTimeChart::kBars, 50, QColor(255, 0, 255)},
    };
    return series;
}

const std::vector<SeriesLook>& ThresholdSeries() {
    static const std::vector<SeriesLook> series = {
        {txt::kSeriesRelocate, 7, CTimeChart::kThresholdBars, 50, QColor(0, 0, 0)},
        {txt::kSeriesWorkingSet, 8, CTimeChart::kThresholdBars, 50, QColor(0, 0, 0)},
        {txt::kSeriesCacheUtil, 9, CTimeChart::kThresholdBars, 50, QColor(0, 0, 0)},
        {txt::kSeriesDiskQueue, 10, CTimeChart::kThresholdBars, 50, QColor(0, 0, 0)},
        {txt::kSeriesConcurrency, 16, CTimeChart::kThresholdBars, 50, QColor(0, 0, 0)},
    };
    return series;
}

void FillChart(CTimeChart& chart, const PerfDataSet& data, const std::vector<SeriesLook>& view) {
    chart.Clear();
    chart.SetTimeAxis(data.start, kPerfSlotsPerSample * 900, 6, 24, data.count);
    const PerfDataSet::Metric& disks = data.metrics[kReferenceMetric];
    if (disks.present && disks.available) {
        chart.SetReferenceLine(disks.samples);
    }
    if (data.Empty()) {
        return;
    }
    for (const SeriesLook& look : view) {
        const PerfDataSet::Metric& metric = data.metrics[look.metric];
        if (!metric.present || !metric.available) {
            continue;
        }
        const bool percent = look.metric == 10 || look.metric == 16;
        if (chart.AddSeries(look.label, look.style, look.weight, look.colour, metric.reference,
                            metric.scaleCode, percent)) {
            chart.AttachSamples(look.label, metric.samples);
        }
    }
}

Recommendation Recommendation::FromRecs(const PerfRecs& recs) {
    struct Text {
        int index;
        TextId text;
    };
    // The first recommendation set in this order is the one shown.
    static constexpr Text kRecommendations[] = {
        {1, txt::kRecommendation1},   {2, txt::kRecommendation2},   {12, txt::kRecommendation12},
        {13, txt::kRecommendation13}, {14, txt::kRecommendation14}, {11, txt::kRecommendation11},
        {3, txt::kRecommendation3},   {4, txt::kRecommendation4},   {5, txt::kRecommendation5},
        {6, txt::kRecommendation6},   {7, txt::kRecommendation7},   {8, txt::kRecommendation8},
        {9, txt::kRecommendation9},   {10, txt::kRecommendation10}, {15, txt::kRecommendation15},
    };
    static constexpr TextId kConditions[] = {
        txt::kCondVolumeSet,  txt::kCondRebuilding,     txt::kRebuildFailed,
        txt::kCondNvram,      txt::kCondDram,           txt::kCondDataUnavailable,
        txt::kCondFailover,   txt::kCondLongTest,       txt::kCondDriveCount,
        txt::kCondInvalidLog, txt::kCondRedundancyLoss,
    };
    struct Check {
        int metric;
        TextId passed;
        TextId failed;
    };
    static constexpr Check kChecks[] = {
        {6, txt::kPassed6, txt::kFailed6},    {7, txt::kPassed7, txt::kFailed7},
        {8, txt::kPassed8, txt::kFailed8},    {9, txt::kPassed9, txt::kFailed9},
        {10, txt::kPassed10, txt::kFailed10}, {16, txt::kPassed16, txt::kFailed16},
    };
    Recommendation result;
    result.text = GuiText(txt::kNoRecommendations);
    for (const Text& entry : kRecommendations) {
        if (recs.recommendations[entry.index] != 0) {
            result.text = GuiText(entry.text);
            break;
        }
    }
    for (std::size_t i = 0; i < std::size(kConditions); ++i) {
        if (recs.conditions[i] != 0) {
            result.lines.push_back(Line{kCondition, GuiText(kConditions[i])});
        }
    }
    for (const Check& check : kChecks) {
        const std::uint32_t outcome = recs.metricChecks[check.metric];
        if (outcome == 1) {
            result.lines.push_back(Line{kPassed, GuiText(check.passed)});
        } else if (outcome == 2) {
            result.lines.push_back(Line{kFailed, GuiText(check.failed)});
        }
    }
    auto local = [](std::uint32_t seconds) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm tm{};
        localtime_r(&t, &tm);
        return tm;
    };
    const std::tm from = local(recs.valueA);
    const std::tm to = local(recs.valueB);
    result.interval = GuiText(txt::kIntervalText, from.tm_mon + 1, from.tm_mday, from.tm_hour,
                              from.tm_min, to.tm_mon + 1, to.tm_mday, to.tm_hour, to.tm_min);
    return result;
}

}  // namespace oru
