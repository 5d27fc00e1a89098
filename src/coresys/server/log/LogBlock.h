// The records of one 4096-byte log block as far as a reader may trust them,
// and a read-only view of one record. The one definition of a sound record
// for every reader of the log: the service's cursors, the search for the end
// of the log after a stop without close, the tests' and tools' walks.
//
// A block is walked from offset 0, each record starting at the previous
// one's offset plus its length rounded up to 8. The walk ends, soundly, at
// the block's end or at the end marker behind the last record: the two
// words 0xFFFFFFFF (reserved word and length) that the writer always puts
// there. It ends as damage at a record that cannot be one: a length below
// 60 or running past the block (a length of 4096 or more behind the first
// record that is not the end marker included), or a header whose LRBA word
// is not the record's own place in the log (a block that was never written
// whole, or stale bytes). The records before the damage stand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "coresys/server/log/LogLayout.h"

// One record inside a block that the walk accepted: its length lies within
// 60..4096 and within the block, so every header field can be read. Payload
// reads are bounded by the record's length.
class LogRecordView {
  public:
    LogRecordView() = default;
    LogRecordView(const unsigned char* bytes, std::uint32_t length)
        : bytes_(bytes), length_(length) {}

    const unsigned char* Bytes() const { return bytes_; }
    std::uint32_t Length() const { return length_; }
    std::uint16_t Class() const { return logfmt::GetLe16(bytes_ + logfmt::kRecClass); }
    std::uint16_t Code() const { return logfmt::GetLe16(bytes_ + logfmt::kRecCode); }
    std::uint32_t Time() const { return logfmt::GetLe32(bytes_ + logfmt::kRecTime); }
    std::uint32_t BundleId() const { return logfmt::GetLe32(bytes_ + logfmt::kRecBundleId); }
    std::uint32_t Lrba() const { return logfmt::GetLe32(bytes_ + logfmt::kRecLrba); }
    std::uint32_t BackLink() const { return logfmt::GetLe32(bytes_ + logfmt::kRecBackLink); }
    bool BeginsBundle() const { return logfmt::GetLe32(bytes_ + logfmt::kRecBeginFlag) == 1; }
    bool EndsBundle() const { return logfmt::GetLe32(bytes_ + logfmt::kRecEndFlag) == 1; }
    // The serial number (up to 12 characters; empty for the service's own
    // records).
    std::string Serial() const;
    // True when the record's 12 serial characters equal serial's (compared
    // as 12 bytes, NUL-padded).
    bool HasSerial(const char* serial) const;

    // Whether size bytes at record offset lie inside the record.
    bool Holds(std::uint32_t offset, std::uint32_t size) const {
        return static_cast<std::uint64_t>(offset) + size <= length_;
    }
    // The little-endian word at record offset, none when the record is too
    // short to hold it. Payload word k (P[k]) lies at offset 60 + 4k.
    std::optional<std::uint32_t> WordAt(std::uint32_t offset) const;
    std::optional<std::uint32_t> PayloadWord(std::uint32_t index) const {
        if (index >= (logfmt::kBlockSize - logfmt::kRecordHeaderSize) / 4) {
            return std::nullopt;
        }
        return WordAt(logfmt::kRecordHeaderSize + 4 * index);
    }

  private:
    const unsigned char* bytes_ = nullptr;
    std::uint32_t length_ = 0;
};

class LogBlockWalk {
  public:
    // At most one record per 64 bytes (a 60-byte record takes 64).
    static constexpr int kMaxRecords = logfmt::kBlockSize / 64;

    // Walks block (4096 bytes) whose first byte has the LRBA blockLrba.
    LogBlockWalk(const unsigned char* block, std::uint32_t blockLrba);

    int Count() const { return count_; }
    // Offset of record i in the block (0 <= i < Count()).
    std::uint32_t Offset(int i) const { return offsets_[static_cast<std::size_t>(i)]; }
    LogRecordView Record(int i) const;
    // The index of the record at offset, -1 when no record starts there.
    int IndexOf(std::uint32_t offset) const;
    // True when the walk ended at a record that cannot be one; DamageOffset
    // is where.
    bool Damaged() const { return damaged_; }
    std::uint32_t DamageOffset() const { return damageOffset_; }

  private:
    const unsigned char* block_;
    std::array<std::uint16_t, kMaxRecords> offsets_{};
    int count_ = 0;
    bool damaged_ = false;
    std::uint32_t damageOffset_ = 0;
};
