#include "coresys/server/log/ReadBuffer.h"

#include <cstdint>
#include <cstring>

#include "coresys/server/task/ServerFatal.h"

using namespace logfmt;

ReadBuffer::ReadBuffer(LogBlockSource& source)
    : source_(source), data_(new unsigned char[kSize]()) {}

ReadBuffer::~ReadBuffer() {
    if (cachedFd_ >= 0) {
        source_.ReleaseDescriptor(cachedFd_);
    }
}

bool ReadBuffer::Fill(std::uint32_t blockLrba) {
    blockLrba_ = blockLrba;
    walk_.emplace(data_.get(), blockLrba);
    held_ = true;
    valid_ = walk_->Count() > 0;
    if (valid_) {
        LogRecordView first = walk_->Record(0);
        LogRecordView last = walk_->Record(walk_->Count() - 1);
        firstLrba_ = first.Lrba();
        firstTime_ = first.Time();
        lastLrba_ = last.Lrba();
        lastTime_ = last.Time();
    }
    return !walk_->Damaged();
}

bool ReadBuffer::Read(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time) {
    if (!source_.ReadBlock(mode, lrba, time, *this) || !held_) {
        Invalidate();
        return false;
    }
    return true;
}

std::optional<LogRecordView> ReadBuffer::First() const {
    if (!valid_) {
        return std::nullopt;
    }
    return walk_->Record(0);
}

std::optional<LogRecordView> ReadBuffer::Last() const {
    if (!valid_) {
        return std::nullopt;
    }
    return walk_->Record(walk_->Count() - 1);
}

std::optional<LogRecordView> ReadBuffer::RecordAt(std::uint32_t lrba) {
    if (!HoldsLrba(lrba) && !Read(LOG_READ_LRBA, lrba)) {
        return std::nullopt;
    }
    if (!HoldsLrba(lrba)) {
        return std::nullopt;
    }
    int index = walk_->IndexOf(lrba - blockLrba_);
    if (index < 0) {
        return std::nullopt;
    }
    return walk_->Record(index);
}

int ReadBuffer::IndexOf(const LogRecordView& record, const char* where) const {
    const unsigned char* at = record.Bytes();
    int index = -1;
    if (valid_ && at >= data_.get() && at < data_.get() + kSize) {
        index = walk_->IndexOf(static_cast<std::uint32_t>(at - data_.get()));
    }
    if (index < 0) {
        ServerFatalError(where, "current record not within buffer");
    }
    return index;
}

std::optional<LogRecordView> ReadBuffer::NextInBlock(const LogRecordView& record) {
    int index = IndexOf(record, "ReadBuffer::NextInBlock");
    if (index + 1 >= walk_->Count()) {
        return std::nullopt;
    }
    return walk_->Record(index + 1);
}

std::optional<LogRecordView> ReadBuffer::Next(const LogRecordView& record) {
    int index = IndexOf(record, "ReadBuffer::Next");
    if (index + 1 < walk_->Count()) {
        return walk_->Record(index + 1);
    }
    return FirstAfterBlock();
}

// Behind damage nothing more of a block can be trusted: the walk goes on
// with the next block that holds a sound record. Each damaged block counts
// as a failed read of the Log Task, so a run of them ends in a suspended
// log (and no more reads) rather than in a long walk over garbage.
std::optional<LogRecordView> ReadBuffer::FirstAfterBlock() {
    if (!held_) {
        return std::nullopt;
    }
    std::uint32_t next = blockLrba_;
    do {
        if (next > UINT32_MAX - kBlockSize) {
            return std::nullopt;
        }
        next += kBlockSize;
        if (!Read(LOG_READ_LRBA, next) || blockLrba_ != next) {
            return std::nullopt;
        }
    } while (!valid_);
    return First();
}

std::optional<LogRecordView> ReadBuffer::PrevInBlock(const LogRecordView& record) {
    int index = IndexOf(record, "ReadBuffer::PrevInBlock");
    if (index == 0) {
        return std::nullopt;
    }
    return walk_->Record(index - 1);
}

std::optional<LogRecordView> ReadBuffer::Prev(const LogRecordView& record) {
    int index = IndexOf(record, "ReadBuffer::Prev");
    if (index > 0) {
        return walk_->Record(index - 1);
    }
    return LastBeforeBlock();
}

std::optional<LogRecordView> ReadBuffer::LastBeforeBlock() {
    if (!held_) {
        return std::nullopt;
    }
    std::uint32_t previous = blockLrba_;
    do {
        if (previous < kBlockSize) {
            return std::nullopt;
        }
        previous -= kBlockSize;
        if (!Read(LOG_READ_LRBA, previous) || blockLrba_ != previous) {
            return std::nullopt;
        }
    } while (!valid_);
    return Last();
}
