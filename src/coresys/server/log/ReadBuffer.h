// A reader's one block of the log (4096 bytes) and the records in it.
//
// Readers never touch the log files: a ReadBuffer asks its LogBlockSource
// (the Log Task through the log manager, or an offline reader) to fill it
// by LRBA or by time, and steps from record to record, reading the next or
// the previous block when a step leaves this one. Records are handed out as
// views into the buffer, valid until the buffer is filled again.
//
// Every record handed out passed the block walk of LogBlock.h. Stepping
// back inside a block goes to the record before in that walk (the record the
// back link names in a sound block); a back link is never followed as a
// pointer.
//
// The buffer caches one read descriptor between reads (the file it came
// from and that file's begin LRBA), kept for it by its source; the
// destructor lets go of it. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "coresys/server/log/LogBlock.h"

class ReadBuffer;

// How a block is chosen for a read (request 2 of the Log Task).
enum LOG_READ_MODE : std::uint32_t {
    LOG_READ_LRBA = 1,               // the block that holds the LRBA (0 reads the same)
    LOG_READ_TIME = 2,               // by time: the first block, from the start of the file
                                     // that holds the time, whose last record is at or
                                     // after the time
    LOG_READ_LRBA_THEN_EARLIER = 3,  // by LRBA; by time when the time is
                                     // before the block's first record
    LOG_READ_LRBA_THEN_LATER = 4,    // by LRBA; by time when the time is after
                                     // the block's last record
};

// Where a reader's blocks come from.
class LogBlockSource {
  public:
    // The span of the log that readers may walk, after every record written
    // so far was made readable.
    struct Window {
        // False while the log is suspended: nothing can be read.
        bool readable = false;
        std::uint32_t startLrba = 0;
        std::uint32_t highLrba = 0;
    };

    virtual ~LogBlockSource() = default;
    // Pushes every record written so far to the files (a barrier) and
    // answers the window.
    virtual Window Sync() = 0;
    // Fills buffer with the block the mode chooses; false when none could
    // be read.
    virtual bool ReadBlock(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time,
                           ReadBuffer& buffer) = 0;
    // Closes a read descriptor that a buffer cached (without waiting).
    virtual void ReleaseDescriptor(int fd) = 0;
};

class ReadBuffer {
  public:
    static constexpr std::uint32_t kSize = logfmt::kBlockSize;

    explicit ReadBuffer(LogBlockSource& source);
    ~ReadBuffer();
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    // --- filling (by the source) ---
    unsigned char* Data() { return data_.get(); }
    // The data now holds the block blockLrba: walks it and sets the extents.
    // Returns whether the walk found no damage.
    bool Fill(std::uint32_t blockLrba);
    void Invalidate() {
        held_ = false;
        valid_ = false;
    }
    // The cached read descriptor (-1: none) and the begin LRBA of its file.
    int CachedFd() const { return cachedFd_; }
    std::uint32_t CachedBeginLrba() const { return cachedBegin_; }
    void Cache(int fd, std::uint32_t beginLrba) {
        cachedFd_ = fd;
        cachedBegin_ = beginLrba;
    }

    // --- reading ---
    // Reads a block through the source (one of LOG_READ_MODE): true when a
    // block was read (Valid() then says whether it holds a sound record).
    bool Read(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time = 0);
    // The record at lrba: from this block, or after reading the block that
    // holds it; none when it cannot be read or no record starts there.
    std::optional<LogRecordView> RecordAt(std::uint32_t lrba);
    // The record after record (which must lie in this buffer, else fatal),
    // reading the next block after the last record; none at the end.
    std::optional<LogRecordView> Next(const LogRecordView& record);
    // The same without leaving the block.
    std::optional<LogRecordView> NextInBlock(const LogRecordView& record);
    // The record before, reading the previous block before the first record.
    std::optional<LogRecordView> Prev(const LogRecordView& record);
    std::optional<LogRecordView> PrevInBlock(const LogRecordView& record);
    // The first and the last record of the block.
    std::optional<LogRecordView> First() const;
    std::optional<LogRecordView> Last() const;
    // The first record of the blocks after the one held (blocks without a
    // sound record are passed over), or the last record of the blocks
    // before it; none where a block cannot be read.
    std::optional<LogRecordView> FirstAfterBlock();
    std::optional<LogRecordView> LastBeforeBlock();

    // --- extents of the block held ---
    // A block is held, and it holds at least one sound record.
    bool Valid() const { return valid_; }
    bool Held() const { return held_; }
    // The walk of the block held ended at damage.
    bool Damaged() const { return held_ && walk_ && walk_->Damaged(); }
    std::uint32_t BlockLrba() const { return blockLrba_; }
    std::uint32_t FirstLrba() const { return firstLrba_; }
    std::uint32_t FirstTime() const { return firstTime_; }
    std::uint32_t LastLrba() const { return lastLrba_; }
    std::uint32_t LastTime() const { return lastTime_; }
    // Whether lrba lies in the block held.
    bool HoldsLrba(std::uint32_t lrba) const {
        return held_ && logfmt::BlockOf(lrba) == blockLrba_;
    }

  private:
    // The index of record in the walk; fatal (where) when it is not in this
    // buffer.
    int IndexOf(const LogRecordView& record, const char* where) const;

    LogBlockSource& source_;
    std::unique_ptr<unsigned char[]> data_;
    std::optional<LogBlockWalk> walk_;
    bool held_ = false;
    bool valid_ = false;
    std::uint32_t blockLrba_ = 0;
    std::uint32_t firstLrba_ = 0;
    std::uint32_t firstTime_ = 0;
    std::uint32_t lastLrba_ = 0;
    std::uint32_t lastTime_ = 0;
    int cachedFd_ = -1;
    std::uint32_t cachedBegin_ = 0;
};
