// The controller's event log as read from the array, and the walk over its
// entries: the one place that knows how the log is laid out.
//
// A log is a 3-byte header (byte 0 the page code, bytes 1..2 the BE16
// length L of the entries that follow) and the entries. Every entry starts
// with a 10-byte header: byte 0 its kind, BE32 ticks at 2..5, BE16 event
// code at 7..8, the event count at 9. Kinds: 0 (18 bytes, a drive event with
// its slot in byte 10), 1 (14 bytes, a module event: state in byte 2, item
// in byte 11), 2 (28 bytes, seven 32-bit words; a drive event with its slot
// in byte 10).
//
// The walk never leaves the bytes that arrived, nor the length the first
// (short) read announced, nor the length the full read's own header gives:
// a controller that announces more the second time is not believed. An
// entry that would run past that end stops the walk before it; an unknown
// kind stops the walk too. Both count as a damaged log.
#pragma once

#include <cstdint>

class ControllerLogWalk {
  public:
    static constexpr std::uint32_t kHeaderLength = 3;
    static constexpr std::uint32_t kEntryHeaderLength = 10;
    static constexpr std::uint32_t kKind0Length = 18;
    static constexpr std::uint32_t kKind1Length = 14;
    static constexpr std::uint32_t kKind2Length = 28;

    // The values every entry carries in its header.
    struct EntryHeader {
        std::uint32_t ticks = 0;
        std::uint32_t eventCode = 0;
        std::uint32_t count = 0;
    };

    struct Entry {
        const unsigned char* bytes = nullptr;
        std::uint32_t kind = 0;
        std::uint32_t length = 0;
        // BE16 at 7..8.
        std::uint32_t EventCode() const { return Header().eventCode; }
        // All 0 for an entry shorter than its header (never one the walk
        // hands out).
        EntryHeader Header() const;
    };

    // bytes: the log as read, of which received arrived; firstLength: the
    // entry length L the 3-byte header read announced.
    ControllerLogWalk(const unsigned char* bytes, std::uint32_t received,
                      std::uint32_t firstLength);
    // A log read once: only its own header and the bytes received bound it.
    ControllerLogWalk(const unsigned char* bytes, std::uint32_t received);

    // The next entry; false at the end or when the walk stopped on damage.
    bool Next(Entry& entry);
    // True when the walk stopped on an unknown kind or a cut-off entry.
    bool Damaged() const { return damaged_; }
    bool UnknownKind() const { return unknownKind_; }
    // Bytes of the log the walk may look at (header included).
    std::uint32_t End() const { return end_; }

    // Length of an entry of a kind, 0 for an unknown kind.
    static std::uint32_t KindLength(std::uint32_t kind);
    // The header of the entry at bytes, of which available are there; false,
    // leaving header as it was, when fewer than kEntryHeaderLength are.
    static bool ReadHeader(const unsigned char* bytes, std::uint32_t available,
                           EntryHeader& header);

  private:
    const unsigned char* bytes_;
    std::uint32_t end_ = 0;
    std::uint32_t position_ = kHeaderLength;
    bool damaged_ = false;
    bool unknownKind_ = false;
};
