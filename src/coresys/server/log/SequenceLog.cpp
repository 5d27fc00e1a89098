#include "coresys/server/log/SequenceLog.h"

#include <limits>

#include "coresys/server/log/LogMgr.h"
#include "coresys/server/task/ServerFatal.h"

SequenceLog::SequenceLog(LogMgr& manager, const char* serial, std::uint32_t start,
                         std::uint32_t end, std::uint32_t interval, std::uint32_t recordType,
                         std::uint32_t recordCode)
    : manager_(manager),
      log_(manager.OpenSubsysLog(serial)),
      interval_(interval),
      start_(start),
      end_(end),
      recordCode_(recordCode) {
    if (log_ == nullptr) {
        ServerFatalError("SequenceLog::SequenceLog", "Unable to access subsystem logs.");
    }
    LogFilter filter;
    filter.RecordType(recordType);
    // The last slot takes records up to half an interval late; the sum is
    // kept within the time stamps' range.
    std::uint64_t last = std::uint64_t{end} + interval / 2;
    filter.TimeRange(start, static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                last, std::numeric_limits<std::uint32_t>::max())));
    cursor_ = std::make_unique<LogCursor>(filter, *log_);
}

SequenceLog::~SequenceLog() {
    cursor_.reset();
    manager_.CloseSubsysLog(log_);
}

std::uint32_t SequenceLog::SlotTime(std::uint32_t time, std::uint32_t start,
                                    std::uint32_t interval) {
    return ((interval / 2 - start + time) / interval) * interval + start;
}

std::int64_t SequenceLog::SlotIndex(const LogRecordView& record) const {
    std::int64_t offset = std::int64_t{interval_ / 2} + record.Time() - firstSlotTime_;
    return offset < 0 ? -1 : offset / interval_;
}

std::optional<LogRecordView> SequenceLog::First() {
    currentAnswered_ = false;
    if (interval_ == 0) {
        return std::nullopt;
    }
    std::optional<LogRecordView> record = cursor_->First();
    while (record && record->Code() != recordCode_) {
        record = cursor_->NextRecord();
    }
    if (!record) {
        exhausted_ = true;
        return std::nullopt;
    }
    std::uint32_t slot = SlotTime(record->Time(), start_, interval_);
    if (slot > end_) {
        exhausted_ = true;
        return std::nullopt;
    }
    firstSlotTime_ = slot;
    slot_ = 0;
    started_ = true;
    candidateWaiting_ = false;
    currentAnswered_ = true;
    return record;
}

std::optional<LogRecordView> SequenceLog::Next() {
    currentAnswered_ = false;
    if (interval_ == 0 || !started_) {
        return std::nullopt;
    }
    ++slot_;
    while (!exhausted_) {
        std::optional<LogRecordView> record =
            candidateWaiting_ ? cursor_->Current() : cursor_->NextRecord();
        candidateWaiting_ = false;
        if (!record) {
            exhausted_ = true;
            break;
        }
        std::int64_t index = SlotIndex(*record);
        if (record->Code() != recordCode_ || index < slot_) {
            continue;
        }
        if (index == slot_) {
            currentAnswered_ = true;
            return record;
        }
        // A later slot's record: it waits for its own slot.
        candidateWaiting_ = true;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<LogRecordView> SequenceLog::CurrentRecord() {
    if (!currentAnswered_) {
        return std::nullopt;
    }
    return cursor_->Current();
}
