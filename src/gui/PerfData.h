// The Performance page's data: the metrics of the last 14 days as the
// charts take them, the series of its two views, and the performance
// recommendations turned into the texts of the recommendations dialog.
#pragma once

#include <QColor>

#include <cstdint>
#include <string>
#include <vector>

#include "coresys/common/PerfTypes.h"
#include "gui/CTimeChart.h"
#include "gui/GuiTextIds.h"

class PerfMetric;
class PerfRecs;

namespace oru {

struct PerfDataSet {
    static constexpr int kMetrics = 17;  // indices 1..16 are used

    struct Metric {
        bool present = false;    // the reply carried it with the common count
        bool available = false;  // the service marked it available
        std::uint32_t reference = 0;
        int scaleCode = 0;
        std::vector<std::uint32_t> samples;
    };

    std::uint32_t start = 0;
    std::uint32_t end = 0;
    int count = 0;
    Metric metrics[kMetrics];

    // The set from the metrics of a reply (the first metric gives the
    // window and the sample count); empty for no metrics.
    static PerfDataSet FromMetrics(const std::vector<PerfMetric>& metrics);
    bool Empty() const { return count == 0; }
};

// The metrics the page asks for, in this order.
inline constexpr PERF_METRIC kPageMetrics[] = {
    static_cast<PERF_METRIC>(2),  static_cast<PERF_METRIC>(1),  static_cast<PERF_METRIC>(3),
    static_cast<PERF_METRIC>(4),  static_cast<PERF_METRIC>(14), static_cast<PERF_METRIC>(15),
    static_cast<PERF_METRIC>(7),  static_cast<PERF_METRIC>(8),  static_cast<PERF_METRIC>(9),
    static_cast<PERF_METRIC>(10), static_cast<PERF_METRIC>(16)};
// The window asked for first: the last 14 days.
inline constexpr std::uint32_t kPerfWindowSeconds = 1209600;
// Slots of 900 seconds per sample: one sample an hour.
inline constexpr std::uint32_t kPerfSlotsPerSample = 4;
// The page places the interval to end at this hour, this many samples long.
inline constexpr int kPerfHourOfDay = 23;
inline constexpr int kPerfIntervalSamples = 8;
// The metric of the reference line (the number of disks).
inline constexpr int kReferenceMetric = 2;

// One series of a view.
struct SeriesLook {
    TextId label;
    int metric = 0;
    CTimeChart::Style style = CTimeChart::kBars;
    int weight = 0;
    QColor colour;
};
const std::vector<SeriesLook>& EventSeries();
const std::vector<SeriesLook>& ThresholdSeries();

// Fills a chart for a view: the time axis, the reference line when metric 2
// is there, and each series whose metric the data holds, with its samples,
// reference value, scale code and percent flag (metrics 10 and 16).
void FillChart(CTimeChart& chart, const PerfDataSet& data, const std::vector<SeriesLook>& view);

// The recommendations dialog's content.
struct Recommendation {
    enum Marker { kCondition = 1, kPassed = 2, kFailed = 3 };
    struct Line {
        Marker marker = kCondition;
        std::string text;
    };
    std::string text;
    std::string interval;
    std::vector<Line> lines;

    static Recommendation FromRecs(const PerfRecs& recs);
};

}  // namespace oru
