// One record per fixed time slot of one subsystem's log: the reader of the
// performance metrics.
//
// Slots are interval seconds long and counted from the start time: a
// record's slot is its time stamp rounded to the nearest slot boundary.
// First answers the first record of the wanted class and code at or after
// the start and fixes the first slot time F from it; each Next answers the
// record of the next slot after F (slot k after k calls), or none when that
// slot has no record (later slots still answer theirs). When two records
// fall into one slot only the first is answered. An interval of 0 answers
// none.
//
// The records answered are views, valid until the next call. Their payload
// is the writer's: read it with LogRecordView::PayloadWord, which answers
// none for a word the record is too short to hold.
//
//     SequenceLog slots(manager, serial, start, end, 900, 2, 4);
//     auto record = slots.First();             // slot 0 (time slots.FirstSlotTime())
//     for (k = 1; k < n; ++k) record = slots.Next();   // slot k, or none
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "coresys/server/log/LogCursor.h"

class LogMgr;
class SubsysLog;

class SequenceLog {
  public:
    // The records of class recordType and code recordCode of the subsystem
    // serial (12 characters) stamped within [start, end + interval / 2].
    SequenceLog(LogMgr& manager, const char* serial, std::uint32_t start, std::uint32_t end,
                std::uint32_t interval, std::uint32_t recordType, std::uint32_t recordCode);
    ~SequenceLog();
    SequenceLog(const SequenceLog&) = delete;
    SequenceLog& operator=(const SequenceLog&) = delete;

    std::optional<LogRecordView> First();
    std::optional<LogRecordView> Next();

    // The record of the last slot answered (none for an empty slot).
    std::optional<LogRecordView> CurrentRecord();
    std::uint32_t FirstSlotTime() const { return firstSlotTime_; }
    std::uint32_t Interval() const { return interval_; }

    // The slot time of a record stamped time, counted from start:
    // ((interval / 2 - start + time) / interval) * interval + start.
    static std::uint32_t SlotTime(std::uint32_t time, std::uint32_t start, std::uint32_t interval);

  private:
    // The slot index of a record after the first slot, -1 for a record
    // stamped before it.
    std::int64_t SlotIndex(const LogRecordView& record) const;

    LogMgr& manager_;
    SubsysLog* log_;
    std::unique_ptr<LogCursor> cursor_;
    std::uint32_t interval_;
    std::uint32_t start_;
    std::uint32_t end_;
    std::uint32_t recordCode_;
    std::uint32_t firstSlotTime_ = 0;
    std::int64_t slot_ = 0;
    bool started_ = false;
    bool exhausted_ = false;
    // The cursor rests on a record of a later slot, not yet answered.
    bool candidateWaiting_ = false;
    bool currentAnswered_ = false;
};
