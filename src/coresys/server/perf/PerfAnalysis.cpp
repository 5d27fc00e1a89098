#include "coresys/server/perf/PerfAnalysis.h"

#include <cstring>
#include <new>
#include <optional>

#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/log/SequenceLog.h"
#include "coresys/server/state/PreventiveRecord.h"

namespace {

// The reply's coded length: header, status, count, then per metric 44
// bytes and 4 per value.
std::uint64_t ReplyLength(std::uint64_t metrics, std::uint64_t values) {
    return ORU_ReturnMsg::kBareLength + 4 + metrics * (PerfMetric::kFixedWireSize + 4 * values);
}

}  // namespace

const char* PerfFailureName(PerfFailure failure) {
    switch (failure) {
        case PerfFailure::kNone:
            return "none";
        case PerfFailure::kEmptyWindow:
            return "empty window";
        case PerfFailure::kNoGrouping:
            return "no slots per value";
        case PerfFailure::kUnknownMetric:
            return "unknown metric";
        case PerfFailure::kNoRecord:
            return "no performance record";
        case PerfFailure::kStartMismatch:
            return "first record off the slots";
        case PerfFailure::kNoSlots:
            return "no slots";
        case PerfFailure::kWindowTooLong:
            return "window too long";
        case PerfFailure::kTooManyValues:
            return "too many values";
        case PerfFailure::kNoMemory:
            return "no memory";
    }
    return "?";
}

std::uint32_t PerfAnalysis::RoundingStep(std::uint32_t slotsPerValue) {
    if (slotsPerValue % 2 == 1) {
        return kSlotSeconds;
    }
    return slotsPerValue % 4 == 2 ? 2 * kSlotSeconds : 4 * kSlotSeconds;
}

bool PerfAnalysis::RoundTime(std::uint32_t time, std::uint32_t step, std::uint32_t& rounded) {
    const std::uint64_t value = (std::uint64_t{time} + step / 2) / step * step;
    if (value > 0xFFFFFFFFu) {
        return false;
    }
    rounded = static_cast<std::uint32_t>(value);
    return true;
}

PerfAnalysis::PerfAnalysis(LogMgr& log, const char* serial) : log_(log) {
    if (serial != nullptr) {
        std::strncpy(serial_, serial, sizeof serial_ - 1);
    }
}

PerfAnalysis::~PerfAnalysis() = default;

PerfFailure PerfAnalysis::Metrics(std::uint32_t start, std::uint32_t end,
                                  std::uint32_t slotsPerValue, const std::uint32_t* identifiers,
                                  std::uint32_t count) {
    try {
        // G is the client's: it divides the slots below, so 0 ends here.
        if (slotsPerValue == 0) {
            return PerfFailure::kNoGrouping;
        }
        slotsPerValue_ = slotsPerValue;
        const std::uint32_t step = RoundingStep(slotsPerValue);
        if (!RoundTime(start, step, windowStart_) || !RoundTime(end, step, windowEnd_)) {
            return PerfFailure::kWindowTooLong;
        }
        if (windowStart_ >= windowEnd_) {
            return PerfFailure::kEmptyWindow;
        }
        if (PerfFailure failed = BuildMetrics(identifiers, count); failed != PerfFailure::kNone) {
            return failed;
        }
        std::uint32_t first = 0;
        if (PerfFailure failed = OpenSlots(first); failed != PerfFailure::kNone) {
            return failed;
        }
        windowStart_ = first;
        slotCount_ = (windowEnd_ - first) / kSlotSeconds;
        valueCount_ = slotCount_ / slotsPerValue_;
        return ReadSlots();
    } catch (const std::bad_alloc&) {
        return PerfFailure::kNoMemory;
    }
}

PerfFailure PerfAnalysis::Recommendations(std::uint32_t start, std::uint32_t end) {
    try {
        recs_ = std::make_unique<ServerPerfRecs>(start, end);
        if (!RoundTime(start, kSlotSeconds, windowStart_) ||
            !RoundTime(end, kSlotSeconds, windowEnd_)) {
            return PerfFailure::kWindowTooLong;
        }
        recs_->SetWindow(windowStart_, windowEnd_);
        if (windowStart_ >= windowEnd_) {
            return PerfFailure::kEmptyWindow;
        }
        const auto& list = ServerPerfRecs::kMetricList;
        if (PerfFailure failed = BuildMetrics(list.data(), static_cast<std::uint32_t>(list.size()));
            failed != PerfFailure::kNone) {
            return failed;
        }
        std::uint32_t first = 0;
        if (PerfFailure failed = OpenSlots(first); failed != PerfFailure::kNone) {
            return failed;
        }
        // The start moves over the empty leading slots, each one missing.
        const std::uint32_t skipped = (first - windowStart_) / kSlotSeconds;
        if (windowStart_ + skipped * kSlotSeconds != first) {
            return PerfFailure::kStartMismatch;
        }
        recs_->CountMissingSlots(skipped);
        windowStart_ = first;
        slotCount_ = (windowEnd_ - first) / kSlotSeconds;
        slotsPerValue_ = slotCount_;
        valueCount_ = 1;
        if (PerfFailure failed = ReadSlots(); failed != PerfFailure::kNone) {
            return failed;
        }
        std::vector<const ServerPerfMetric*> inOrder;
        for (const auto& metric : metrics_) {
            inOrder.push_back(metric.get());
        }
        recs_->Evaluate(inOrder.data());
        return PerfFailure::kNone;
    } catch (const std::bad_alloc&) {
        return PerfFailure::kNoMemory;
    }
}

PerfFailure PerfAnalysis::BuildMetrics(const std::uint32_t* identifiers, std::uint32_t count) {
    // A count no reply could carry is refused before anything is made.
    if (count > kMaxRawValues || ReplyLength(count, 0) > kMaxReplyLength) {
        return PerfFailure::kTooManyValues;
    }
    metrics_.clear();
    view_.clear();
    metrics_.reserve(count);
    view_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<ServerPerfMetric> metric =
            identifiers != nullptr ? ServerPerfMetric::Make(identifiers[i]) : nullptr;
        if (metric == nullptr) {
            return PerfFailure::kUnknownMetric;
        }
        view_.push_back(metric.get());
        metrics_.push_back(std::move(metric));
    }
    return PerfFailure::kNone;
}

PerfFailure PerfAnalysis::OpenSlots(std::uint32_t& firstSlot) {
    sequence_ = std::make_unique<SequenceLog>(log_, serial_, windowStart_, windowEnd_, kSlotSeconds,
                                              PreventiveRecord::kClass, PreventiveRecord::kCode);
    if (!sequence_->First()) {
        return PerfFailure::kNoRecord;
    }
    firstSlot = sequence_->FirstSlotTime();
    return PerfFailure::kNone;
}

PerfFailure PerfAnalysis::ReadSlots() {
    if (slotCount_ == 0) {
        return PerfFailure::kNoSlots;
    }
    if (slotCount_ > kMaxSlots) {
        return PerfFailure::kWindowTooLong;
    }
    if (std::uint64_t{slotCount_} * metrics_.size() > kMaxRawValues ||
        ReplyLength(metrics_.size(), valueCount_) > kMaxReplyLength) {
        return PerfFailure::kTooManyValues;
    }
    for (auto& metric : metrics_) {
        metric->Prepare(windowStart_, windowEnd_, slotsPerValue_, valueCount_, slotCount_);
    }
    std::optional<LogRecordView> record = sequence_->CurrentRecord();
    for (std::uint32_t slot = 0; slot < slotCount_; ++slot) {
        if (slot != 0) {
            record = sequence_->Next();
        }
        for (auto& metric : metrics_) {
            metric->SetRaw(slot, metric->Compute(record));
        }
        if (recs_ != nullptr) {
            recs_->CheckRecord(record);
        }
    }
    for (auto& metric : metrics_) {
        metric->Summarize();
    }
    return PerfFailure::kNone;
}
