// A position in the log of one subsystem and the window it may move in.
//
// A cursor reads its subsystem's records through its own one-block buffer,
// forwards (First, NextRecord) or backwards (Last, PrevRecord), keeping to
// the records its filter matches. The window is given by the filter: from
// the low end of its first bundle range (else the catalog's start LRBA) to
// the high end of its last (else the log's last record on disk), and from
// the low end of its first time range (else 0) to the high end of its last
// (else now). Records written before the cursor was made are pushed to the
// files first, so the cursor sees everything written up to then.
//
// Forward steps cross from block to block and from file to file; where the
// next LRBA lies in no file (a gap left by a suspension of the log) the walk
// ends, and so it does at a block that cannot be read. The rest of a block
// behind a damaged record is passed over for the next block (the damage
// counts as a failed read of the Log Task; LogBlock.h says what is damage).
//
// Records are handed out as views into the cursor's buffer, valid until the
// cursor's next call. A cursor made while the log is suspended is not valid
// and finds nothing. Use it on one thread (a subsystem task: every read is
// a synchronous request to the Log Task), and destroy it before the log
// manager.
//
//     LogFilter filter;
//     filter.RecordType(2);
//     filter.TimeRange(from, to);
//     LogCursor cursor(filter, *log);
//     for (auto r = cursor.First(); r; r = cursor.NextRecord()) { ... }
#pragma once

#include <cstdint>
#include <optional>

#include "coresys/server/log/LogFilter.h"
#include "coresys/server/log/ReadBuffer.h"

class SubsysLog;

class LogCursor {
  public:
    // Over the log of a subsystem (its records are flushed first).
    LogCursor(const LogFilter& filter, SubsysLog& log);
    // Over any source of blocks, for the records of serial (an offline
    // reader, a tool).
    LogCursor(const LogFilter& filter, LogBlockSource& source, const char* serial);
    LogCursor(const LogCursor&) = delete;
    LogCursor& operator=(const LogCursor&) = delete;

    bool Valid() const { return valid_; }

    // The first matching record in the window; none makes the cursor not
    // valid.
    std::optional<LogRecordView> First();
    // The last matching record in the window.
    std::optional<LogRecordView> Last();
    // The next or previous matching record; fatal without a current record.
    std::optional<LogRecordView> NextRecord();
    std::optional<LogRecordView> PrevRecord();
    // The current record again (none when there is none or it cannot be
    // read any more).
    std::optional<LogRecordView> Current();

    std::uint32_t StartLrba() const { return startLrba_; }
    std::uint32_t EndLrba() const { return endLrba_; }
    std::uint32_t StartTime() const { return startTime_; }
    std::uint32_t EndTime() const { return endTime_; }
    bool StartFound() const { return startFound_; }
    bool EndFound() const { return endFound_; }
    const LogFilter& Filter() const { return filter_; }

  private:
    void Open(LogBlockSource* source, const char* serial);
    void SetCurrent(const LogRecordView& record);
    std::optional<LogRecordView> CurrentOr(const char* where);
    bool BeyondEnd(const LogRecordView& record) const;
    bool BeforeStart(const LogRecordView& record) const;
    // The record that closes the window's last bundle.
    bool ClosesLastBundle(const LogRecordView& record) const;

    LogFilter filter_;
    LogBlockSource* source_ = nullptr;
    std::optional<ReadBuffer> buffer_;
    bool valid_ = false;
    bool hasCurrent_ = false;
    std::uint32_t currentLrba_ = 0;
    std::uint32_t startLrba_ = 0;
    std::uint32_t endLrba_ = 0;
    std::uint32_t startTime_ = 0;
    std::uint32_t endTime_ = 0;
    bool startFound_ = false;
    bool endFound_ = false;
};
