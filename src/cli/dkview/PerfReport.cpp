#include "cli/dkview/PerfReport.h"

#include <algorithm>
#include <cstdio>

#include "cli/common/CliConfig.h"
#include "cli/dkview/DkviewTexts.h"

namespace dkview {

namespace {

constexpr std::uint32_t kRecommendations = 15;
constexpr std::uint32_t kFindingDetails = 11;
constexpr int kRecsHeadItem = 1;
constexpr int kMetricsHeadItem = 2;
constexpr int kRawRecItem = 200;
constexpr int kRecItem = 300;
constexpr int kRawDetailItem = 400;
constexpr int kDetailItem = 500;
constexpr int kHeadItem = 700;
constexpr int kSecondHeadItem = 800;
constexpr int kNoValueItem = 301;  // of the display set
constexpr std::size_t kRuleWidth = 80;

std::string Cell(const std::string& text) {
    char cell[32];
    std::snprintf(cell, sizeof cell, "%12.12s  ", text.c_str());
    return cell;
}

std::string RowHead(const std::string& text) {
    char head[32];
    std::snprintf(head, sizeof head, "%-12.12s", text.c_str());
    return head;
}

}  // namespace

PerfReport::PerfReport(std::string head, bool rawForm, std::ostream& stream)
    : vendorProduct(std::move(head)), raw(rawForm), out(stream) {}

void PerfReport::Recommendations(const PerfRecs& recs, const TimeWindow& window) {
    const std::string rawHead = "PR:" + vendorProduct + ":" + std::to_string(window.start) + ":" +
                                std::to_string(window.end) + ":";
    if (!raw) {
        out << CliText(kPerfSet, kRecsHeadItem, window.startText.c_str(), window.endText.c_str())
            << "\n\n";
    }
    bool any = false;
    for (std::uint32_t i = 1; i <= kRecommendations; ++i) {
        if (recs.recommendations[i] == 0) {
            continue;
        }
        any = true;
        const int item = static_cast<int>(i);
        if (raw) {
            out << rawHead << CliText(kPerfSet, kRawRecItem + item) << '\n';
        } else {
            out << CliText(kPerfSet, kRecItem + item) << '\n';
        }
        if (i == 1) {
            for (std::uint32_t n = 0; n < kFindingDetails; ++n) {
                if (recs.conditions[n] == 0) {
                    continue;
                }
                const int detail = static_cast<int>(n);
                if (raw) {
                    out << rawHead << CliText(kPerfSet, kRawDetailItem + detail) << '\n';
                } else {
                    out << DkviewTexts::kHeading << CliText(kPerfSet, kDetailItem + detail) << '\n';
                }
            }
        }
        if (!raw) {
            out << std::string(kRuleWidth, '-') << '\n';
        }
    }
    if (!any) {
        out << (raw ? rawHead : "") << CliText(kPerfSet, raw ? kRawRecItem : kRecItem) << '\n';
    }
}

bool PerfReport::BeyondThreshold(const PerfMetric& metric, std::uint32_t value) {
    return metric.relop == RELOP_LESS ? value < metric.threshold : value > metric.threshold;
}

std::string PerfReport::ValueText(const PerfMetric& metric, std::uint32_t value) {
    const double scale = metric.scale == 0 ? 1.0 : static_cast<double>(metric.scale);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f%s", static_cast<double>(value) / scale,
                  BeyondThreshold(metric, value) ? "*" : "");
    return text;
}

bool PerfReport::Metrics(const std::vector<PerfMetric>& metrics, const TimeWindow& window) {
    for (const PerfMetric& metric : metrics) {
        if (metric.id < PERF_METRIC_FIRST || metric.id > PERF_METRIC_LAST) {
            return false;
        }
    }
    if (raw) {
        for (const PerfMetric& metric : metrics) {
            out << "PM:" << vendorProduct << ':' << metric.id << ':' << metric.windowStart << ':'
                << metric.windowEnd << ':' << metric.slotsPerValue << ':' << metric.scale << ':'
                << metric.threshold << ':' << metric.relop;
            for (std::uint32_t value : metric.values) {
                out << ':';
                if (value != PerfMetric::kNoData) {
                    out << value;
                }
            }
            out << '\n';
        }
        return true;
    }
    out << CliText(kPerfSet, kMetricsHeadItem, window.startText.c_str(), window.endText.c_str())
        << '\n';
    for (std::size_t first = 0; first < metrics.size(); first += kColumnsPerPage) {
        MetricPage(metrics, first, std::min(metrics.size(), first + kColumnsPerPage), window);
    }
    return true;
}

void PerfReport::MetricPage(const std::vector<PerfMetric>& metrics, std::size_t first,
                            std::size_t last, const TimeWindow& window) {
    out << '\n' << RowHead("");
    for (std::size_t c = first; c < last; ++c) {
        out << Cell(CliText(kPerfSet, kHeadItem + static_cast<int>(metrics[c].id)));
    }
    out << '\n' << RowHead("");
    for (std::size_t c = first; c < last; ++c) {
        out << Cell(CliText(kPerfSet, kSecondHeadItem + static_cast<int>(metrics[c].id)));
    }
    out << '\n';
    std::size_t rows = 0;
    for (std::size_t c = first; c < last; ++c) {
        rows = std::max(rows, metrics[c].values.size());
    }
    // Samples start where the service's window starts and advance by the
    // interval's slots.
    const std::time_t origin = static_cast<std::time_t>(metrics[first].windowStart);
    const std::time_t step =
        static_cast<std::time_t>(window.interval > 0 ? window.interval
                                                     : TimeWindow::kDefaultInterval) *
        kSlotSeconds;
    int shownDay = -1;
    for (std::size_t k = 0; k < rows; ++k) {
        const std::time_t sample = origin + static_cast<std::time_t>(k) * step;
        std::tm parts{};
        localtime_r(&sample, &parts);
        const int day = parts.tm_year * 400 + parts.tm_yday;
        if (day != shownDay) {
            char date[32];
            std::snprintf(date, sizeof date, "%02d/%02d/%04d", parts.tm_mon + 1, parts.tm_mday,
                          parts.tm_year + 1900);
            out << date << '\n';
            shownDay = day;
        }
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d", parts.tm_hour, parts.tm_min);
        out << RowHead(time);
        for (std::size_t c = first; c < last; ++c) {
            const PerfMetric& metric = metrics[c];
            if (k >= metric.values.size() || metric.values[k] == PerfMetric::kNoData) {
                out << Cell(CliText(kDisplaySet, kNoValueItem));
            } else {
                out << Cell(ValueText(metric, metric.values[k]));
            }
        }
        out << '\n';
    }
}

}  // namespace dkview
