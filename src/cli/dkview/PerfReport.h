// dkview's performance displays: the recommendations (PR) and the metrics
// table (PM) of a time window, readable or raw.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/dkview/TimeWindow.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"

namespace dkview {

class PerfReport {
  public:
    // Metric columns on one page of the readable table.
    static constexpr std::size_t kColumnsPerPage = 5;
    static constexpr std::uint32_t kSlotSeconds = 900;

    // rawHead: the "PR:vendor:product" / "PM:vendor:product" starts of the
    // raw lines are built from it (it holds "vendor:product").
    PerfReport(std::string vendorProduct, bool raw, std::ostream& out);

    void Recommendations(const PerfRecs& recs, const TimeWindow& window);

    // False, printing nothing, when a metric's identifier is none this
    // program knows (1..16).
    bool Metrics(const std::vector<PerfMetric>& metrics, const TimeWindow& window);

    // Whether a value lies beyond the metric's threshold: above it for
    // RELOP_GREATER, below it for RELOP_LESS (raw values compared).
    static bool BeyondThreshold(const PerfMetric& metric, std::uint32_t value);

    // A value as the table shows it: divided by the scale (1 when the scale
    // is 0), three decimals, "*" when beyond the threshold.
    static std::string ValueText(const PerfMetric& metric, std::uint32_t value);

  private:
    void MetricPage(const std::vector<PerfMetric>& metrics, std::size_t first, std::size_t last,
                    const TimeWindow& window);

    std::string vendorProduct;
    bool raw;
    std::ostream& out;
};

}  // namespace dkview
