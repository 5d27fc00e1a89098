// Performance metrics and recommendations of one subsystem over a time
// window, read from its log: one preventive record (class 2, code 4) per
// 900-second slot through SequenceLog, one raw value per metric and slot,
// grouped into the requested values; for recommendations also the record
// checks and the rules of ServerPerfRecs.
//
// Metrics (request code 10): the window is rounded to a step chosen by the
// slots per value G (900 s for an odd G, 1800 s for G = 2 mod 4, 3600 s for
// a multiple of 4); the first record's slot F starts the slots, N = (end -
// F) / 900 of them, V = N / G values per metric (0 when N < G).
// Recommendations (code 11): the window is rounded to 900 s; empty leading
// slots count as missing; the 13 metrics of ServerPerfRecs::kMetricList
// yield one value each over the N slots.
//
// Every failure is one answer for the client (the error reply "performance
// log data unavailable"); the reasons are told apart for the trace and the
// tests. Bounds: a window is at most kMaxSlots slots (366 days), the raw
// values of all metrics at most kMaxRawValues (2.2 MB), and the reply must
// fit in one message frame; beyond, the request fails before anything is
// read or allocated. Runs on the subsystem's task thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/server/perf/ServerPerfMetric.h"
#include "coresys/server/perf/ServerPerfRecs.h"
#include "platform/net/SocketIo.h"

class LogMgr;
class SequenceLog;

enum class PerfFailure {
    kNone = 0,
    kEmptyWindow,    // the rounded start is not before the rounded end
    kNoGrouping,     // G = 0
    kUnknownMetric,  // an identifier outside 1..16
    kNoRecord,       // no performance record in the window
    kStartMismatch,  // the first record is not at the advanced start
    kNoSlots,        // N = 0
    kWindowTooLong,  // more than kMaxSlots slots
    kTooManyValues,  // the raw values or the reply would pass their bounds
    kNoMemory,       // an allocation failed
};

// A short name of a failure for the trace ("no record", ...).
const char* PerfFailureName(PerfFailure failure);

class PerfAnalysis {
  public:
    static constexpr std::uint32_t kSlotSeconds = 900;
    static constexpr std::uint32_t kMaxSlots = 366 * 96;
    static constexpr std::uint64_t kMaxRawValues = 16ull * kMaxSlots;
    // The largest reply that travels in one frame.
    static constexpr std::uint64_t kMaxReplyLength = netio::kMaxFrameLength;

    // The rounding step of a window with G slots per value.
    static std::uint32_t RoundingStep(std::uint32_t slotsPerValue);
    // Rounds time to the nearest multiple of step; false when the result
    // does not fit in 32 bits.
    static bool RoundTime(std::uint32_t time, std::uint32_t step, std::uint32_t& rounded);

    // The log of the subsystem serial (12 characters); log must outlive the
    // analysis.
    PerfAnalysis(LogMgr& log, const char* serial);
    ~PerfAnalysis();
    PerfAnalysis(const PerfAnalysis&) = delete;
    PerfAnalysis& operator=(const PerfAnalysis&) = delete;

    // The metrics of count identifiers over [start, end], G slots per value.
    PerfFailure Metrics(std::uint32_t start, std::uint32_t end, std::uint32_t slotsPerValue,
                        const std::uint32_t* identifiers, std::uint32_t count);
    // The recommendations over [start, end].
    PerfFailure Recommendations(std::uint32_t start, std::uint32_t end);

    // After success: the metric objects in request order (for the reply,
    // which borrows them), the analysis of a recommendation request.
    std::uint32_t MetricCount() const { return static_cast<std::uint32_t>(metrics_.size()); }
    PerfMetric* const* MetricArray() { return view_.data(); }
    const ServerPerfMetric& Metric(std::uint32_t i) const { return *metrics_[i]; }
    const ServerPerfRecs* Recs() const { return recs_.get(); }

    // The window as prepared: the rounded start (advanced to the first
    // slot), the rounded end, G, V and N.
    std::uint32_t WindowStart() const { return windowStart_; }
    std::uint32_t WindowEnd() const { return windowEnd_; }
    std::uint32_t SlotsPerValue() const { return slotsPerValue_; }
    std::uint32_t ValueCount() const { return valueCount_; }
    std::uint32_t SlotCount() const { return slotCount_; }

  private:
    // Makes one metric object per identifier (fails on an unknown one).
    PerfFailure BuildMetrics(const std::uint32_t* identifiers, std::uint32_t count);
    // Opens the slots of the rounded window; F becomes the first slot time.
    PerfFailure OpenSlots(std::uint32_t& firstSlot);
    // Checks the bounds, prepares every metric and reads the N slots.
    PerfFailure ReadSlots();

    LogMgr& log_;
    char serial_[13] = {};
    std::uint32_t windowStart_ = 0;
    std::uint32_t windowEnd_ = 0;
    std::uint32_t slotsPerValue_ = 0;
    std::uint32_t valueCount_ = 0;
    std::uint32_t slotCount_ = 0;
    std::vector<std::unique_ptr<ServerPerfMetric>> metrics_;
    std::vector<PerfMetric*> view_;
    std::unique_ptr<SequenceLog> sequence_;
    std::unique_ptr<ServerPerfRecs> recs_;
};
