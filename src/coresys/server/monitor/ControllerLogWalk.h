// Walks the entries of a controller log as read (3-byte header, then
// entries). The walk never leaves the bytes that arrived, nor the length
// the first (short) read announced, nor the length the full read's own
// header gives: a controller that announces more the second time is not
// believed. An entry that would run past that end stops the walk before it;
// an unknown kind stops the walk too. Both count as a damaged log.
//
// Entry kinds: 0 (18 bytes, a drive event with its slot in byte 10), 1 (14
// bytes, a module event: state in byte 2, item in byte 11), 2 (28 bytes,
// seven 32-bit words; a drive event with its slot in byte 10). Every entry
// carries its event code as BE16 at bytes 7..8.
#pragma once

#include <cstdint>

class ControllerLogWalk {
  public:
    static constexpr std::uint32_t kHeaderLength = 3;
    static constexpr std::uint32_t kKind0Length = 18;
    static constexpr std::uint32_t kKind1Length = 14;
    static constexpr std::uint32_t kKind2Length = 28;

    struct Entry {
        const unsigned char* bytes = nullptr;
        std::uint32_t kind = 0;
        std::uint32_t length = 0;
        // BE16 at 7..8.
        std::uint32_t EventCode() const { return (bytes[7] << 8) | bytes[8]; }
    };

    // bytes: the log as read, of which received arrived; firstLength: the
    // entry length L the 3-byte header read announced.
    ControllerLogWalk(const unsigned char* bytes, std::uint32_t received,
                      std::uint32_t firstLength);

    // The next entry; false at the end or when the walk stopped on damage.
    bool Next(Entry& entry);
    // True when the walk stopped on an unknown kind or a cut-off entry.
    bool Damaged() const { return damaged_; }
    bool UnknownKind() const { return unknownKind_; }
    // Bytes of the log the walk may look at (header included).
    std::uint32_t End() const { return end_; }

    // Length of an entry of a kind, 0 for an unknown kind.
    static std::uint32_t KindLength(std::uint32_t kind);

  private:
    const unsigned char* bytes_;
    std::uint32_t end_ = 0;
    std::uint32_t position_ = kHeaderLength;
    bool damaged_ = false;
    bool unknownKind_ = false;
};
