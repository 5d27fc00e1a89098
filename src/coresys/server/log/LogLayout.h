// The on-disk layout of the service's log: the catalog "LOGCATLG" and the
// numbered log files of 4096-byte blocks. Every integer is little-endian;
// the helpers below code them byte by byte, never through host structures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace logfmt {

inline constexpr const char* kCatalogName = "LOGCATLG";
inline constexpr std::uint32_t kBlockSize = 4096;
inline constexpr std::uint32_t kNoSizeLimit = 0xFFFFFFFFu;
// Room kept below the size limit when old files are removed: five blocks.
inline constexpr std::uint32_t kLimitHeadroom = 20480;

// Catalog header (52 bytes at offset 0): word offsets.
inline constexpr std::uint32_t kHeaderSize = 52;
inline constexpr std::size_t kHdrState = 0;
inline constexpr std::size_t kHdrVersion = 4;
inline constexpr std::size_t kHdrFileCount = 8;
inline constexpr std::size_t kHdrTotalSize = 12;
inline constexpr std::size_t kHdrStartLrba = 16;
inline constexpr std::size_t kHdrOldestBundle = 20;
inline constexpr std::size_t kHdrHighLrba = 24;
inline constexpr std::size_t kHdrHighTime = 28;
inline constexpr std::size_t kHdrLastFileNumber = 32;
inline constexpr std::size_t kHdrCatalogSize = 36;
inline constexpr std::size_t kHdrOldestEntry = 40;
inline constexpr std::size_t kHdrLatestEntry = 44;
inline constexpr std::size_t kHdrFreeList = 48;

// Catalog states.
inline constexpr std::uint32_t kStateClosed = 0;
inline constexpr std::uint32_t kStateOpen = 1;
inline constexpr std::uint32_t kStateUpdating = 2;

// File entry (44 bytes at 52, 96, 140, ...).
inline constexpr std::uint32_t kEntrySize = 44;
inline constexpr std::size_t kEntNext = 0;
inline constexpr std::size_t kEntPrevious = 4;
inline constexpr std::size_t kEntBeginLrba = 8;
inline constexpr std::size_t kEntEndLrba = 12;
inline constexpr std::size_t kEntBundleId = 16;
inline constexpr std::size_t kEntBeginTime = 20;
inline constexpr std::size_t kEntEndTime = 24;
inline constexpr std::size_t kEntFileName = 28;
inline constexpr std::size_t kFileNameSize = 16;

// Log record header (60 bytes).
inline constexpr std::uint32_t kRecordHeaderSize = 60;
inline constexpr std::size_t kRecReserved = 0;
inline constexpr std::size_t kRecLength = 4;
inline constexpr std::size_t kRecClass = 12;
inline constexpr std::size_t kRecCode = 14;
inline constexpr std::size_t kRecTime = 16;
inline constexpr std::size_t kRecBundleId = 20;
inline constexpr std::size_t kRecLrba = 24;
inline constexpr std::size_t kRecBackLink = 28;
inline constexpr std::size_t kRecSerial = 36;
inline constexpr std::size_t kSerialSize = 13;
inline constexpr std::size_t kRecBeginFlag = 52;
inline constexpr std::size_t kRecEndFlag = 56;

// Record classes the log itself writes.
inline constexpr std::uint16_t kClassFiller = 0;
inline constexpr std::uint16_t kClassBundle = 1;
inline constexpr std::uint16_t kCodeBundleBegin = 0;
inline constexpr std::uint16_t kCodeBundleEnd = 1;
// The service's own text records: a 128-character text after the header.
inline constexpr std::uint16_t kClassText = 4;
inline constexpr std::uint32_t kTextFieldSize = 128;

// The end marker behind a block's last record: reserved and length words.
inline constexpr std::uint32_t kEndMarker = 0xFFFFFFFFu;
// The reserved first word of every record the service writes.
inline constexpr std::uint32_t kReservedWord = 0;

// Bytes a record of this length takes in its block: every record starts
// on an 8-byte boundary.
constexpr std::uint32_t RoundedLength(std::uint32_t length) {
    return (length + 7u) & ~7u;
}
// The block that holds this LRBA.
constexpr std::uint32_t BlockOf(std::uint32_t lrba) {
    return lrba & ~(kBlockSize - 1);
}

inline std::uint32_t GetLe32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
inline std::uint16_t GetLe16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}
inline void PutLe32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}
inline void PutLe16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace logfmt
