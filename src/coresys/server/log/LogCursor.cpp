#include "coresys/server/log/LogCursor.h"

#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/SubsysLog.h"
#include "coresys/server/task/ServerFatal.h"

LogCursor::LogCursor(const LogFilter& filter, SubsysLog& log) : filter_(filter) {
    if (log.Source() != nullptr) {
        // What this subsystem wrote so far goes to the files first.
        log.Flush();
    }
    Open(log.Source(), log.Serial());
}

LogCursor::LogCursor(const LogFilter& filter, LogBlockSource& source, const char* serial)
    : filter_(filter) {
    Open(&source, serial);
}

void LogCursor::Open(LogBlockSource* source, const char* serial) {
    source_ = source;
    if (source_ == nullptr) {
        return;
    }
    // The window is read after the barrier, on the Log Task's own thread.
    LogBlockSource::Window window = source_->Sync();
    if (!window.readable) {
        return;
    }
    filter_.SetSerial(serial);
    buffer_.emplace(*source_);
    const auto& bundles = filter_.BundleRanges();
    const auto& times = filter_.TimeRanges();
    startLrba_ = bundles.empty() ? window.startLrba : bundles.front().first;
    endLrba_ = bundles.empty() ? window.highLrba : bundles.back().second;
    startTime_ = times.empty() ? 0 : times.front().first;
    endTime_ = times.empty() ? LogCatalog::Now() : times.back().second;
    valid_ = true;
}

void LogCursor::SetCurrent(const LogRecordView& record) {
    hasCurrent_ = true;
    currentLrba_ = record.Lrba();
}

std::optional<LogRecordView> LogCursor::Current() {
    if (!valid_ || !hasCurrent_) {
        return std::nullopt;
    }
    return buffer_->RecordAt(currentLrba_);
}

std::optional<LogRecordView> LogCursor::CurrentOr(const char* where) {
    if (!hasCurrent_) {
        ServerFatalError(where, "Cursor not positioned on a record");
    }
    return Current();
}

bool LogCursor::BeyondEnd(const LogRecordView& record) const {
    return record.Lrba() > endLrba_ || record.Time() > endTime_;
}

bool LogCursor::BeforeStart(const LogRecordView& record) const {
    return record.Lrba() < startLrba_ || record.Time() < startTime_;
}

bool LogCursor::ClosesLastBundle(const LogRecordView& record) const {
    return !filter_.BundleRanges().empty() && record.BundleId() == endLrba_ && record.EndsBundle();
}

// The window's first record: the block that holds the start is read (by
// LRBA, or by time when a start time is given), the first record in it that
// is not before the start is the candidate, and the walk goes forward to the
// first one the filter takes. Records stamped exactly at the start time all
// belong to the window, whichever subsystem wrote first.
std::optional<LogRecordView> LogCursor::First() {
    if (!valid_) {
        return std::nullopt;
    }
    std::optional<LogRecordView> candidate;
    if (startFound_) {
        candidate = buffer_->RecordAt(startLrba_);
    } else {
        std::uint32_t mode = startTime_ == 0   ? LOG_READ_LRBA
                             : startLrba_ != 0 ? LOG_READ_LRBA_THEN_LATER
                                               : LOG_READ_TIME;
        if (buffer_->Read(mode, startLrba_, startTime_)) {
            candidate = buffer_->First();
            while (candidate && BeforeStart(*candidate)) {
                candidate = buffer_->NextInBlock(*candidate);
            }
            if (!candidate) {
                // Everything in the block lies before the start, or the
                // block holds no sound record: on to the next.
                candidate = buffer_->FirstAfterBlock();
            }
        }
    }
    while (candidate && (!filter_.Match(*candidate) || BeforeStart(*candidate))) {
        candidate = buffer_->Next(*candidate);
        if (candidate && (candidate->BundleId() > endLrba_ || candidate->Time() > endTime_)) {
            candidate.reset();
        }
    }
    if (!candidate || candidate->BundleId() > endLrba_ || candidate->Time() > endTime_) {
        valid_ = false;
        return std::nullopt;
    }
    startFound_ = true;
    startLrba_ = candidate->Lrba();
    startTime_ = candidate->Time();
    SetCurrent(*candidate);
    return candidate;
}

// The window's last record, the mirror of First: the block that holds the
// end LRBA is read (by time when the end time lies before it), the last
// record in it that is not beyond the end is the candidate (with bundle
// ranges, on to the record that closes the last bundle), and the walk goes
// back to the last one the filter takes.
std::optional<LogRecordView> LogCursor::Last() {
    if (!valid_) {
        return std::nullopt;
    }
    std::optional<LogRecordView> candidate;
    if (endFound_) {
        candidate = buffer_->RecordAt(endLrba_);
    } else if (buffer_->Read(LOG_READ_LRBA_THEN_EARLIER, endLrba_, endTime_)) {
        // The end time is always set (now when the filter gives none).
        candidate = buffer_->Last();
        while (candidate && BeyondEnd(*candidate)) {
            candidate = buffer_->PrevInBlock(*candidate);
        }
        if (!candidate) {
            candidate = buffer_->LastBeforeBlock();
        }
        if (candidate && !filter_.BundleRanges().empty()) {
            // On to the record that closes the last bundle of the window.
            while (candidate->Time() < endTime_ && !ClosesLastBundle(*candidate)) {
                const std::uint32_t at = candidate->Lrba();
                auto next = buffer_->Next(*candidate);
                if (!next || next->Time() > endTime_) {
                    // The end of the log or of the window: back to the last
                    // record reached.
                    candidate = buffer_->RecordAt(at);
                    break;
                }
                candidate = next;
            }
        }
    }
    while (candidate && (!filter_.Match(*candidate) || BeyondEnd(*candidate))) {
        candidate = buffer_->Prev(*candidate);
        if (candidate && BeforeStart(*candidate)) {
            candidate.reset();
        }
    }
    if (!candidate) {
        return std::nullopt;
    }
    endFound_ = true;
    endLrba_ = candidate->Lrba();
    endTime_ = candidate->Time();
    SetCurrent(*candidate);
    return candidate;
}

// Forward to the next record the filter takes. Before the end is known a
// record stamped after the end time ends the walk, and the record that
// closes the window's last bundle becomes the end; once it is known nothing
// past it is taken.
std::optional<LogRecordView> LogCursor::NextRecord() {
    auto current = CurrentOr("LogCursor::NextRecord");
    if (!current || (endFound_ && current->Lrba() == endLrba_)) {
        return std::nullopt;
    }
    for (auto record = buffer_->Next(*current); record; record = buffer_->Next(*record)) {
        if (endFound_ ? record->Lrba() > endLrba_ : record->Time() > endTime_) {
            return std::nullopt;
        }
        if (!endFound_ && ClosesLastBundle(*record)) {
            endFound_ = true;
            endLrba_ = record->Lrba();
            endTime_ = record->Time();
        }
        if (filter_.Match(*record)) {
            SetCurrent(*record);
            return record;
        }
        if (endFound_ && record->Lrba() == endLrba_) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Back to the previous record the filter takes; nothing before the start is
// taken. A walk that runs out of records makes the record it came from the
// start.
std::optional<LogRecordView> LogCursor::PrevRecord() {
    auto current = CurrentOr("LogCursor::PrevRecord");
    if (!current || (startFound_ && current->Lrba() == startLrba_)) {
        return std::nullopt;
    }
    const std::uint32_t fromLrba = current->Lrba();
    const std::uint32_t fromTime = current->Time();
    for (auto record = buffer_->Prev(*current); record; record = buffer_->Prev(*record)) {
        if (BeforeStart(*record)) {
            break;
        }
        if (filter_.Match(*record)) {
            SetCurrent(*record);
            return record;
        }
    }
    if (!startFound_) {
        startFound_ = true;
        startLrba_ = fromLrba;
        startTime_ = fromTime;
    }
    return std::nullopt;
}
