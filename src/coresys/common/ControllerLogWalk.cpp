#include "coresys/common/ControllerLogWalk.h"

#include <algorithm>

namespace {

// Where the entry header keeps its values.
constexpr std::uint32_t kTicksAt = 2;
constexpr std::uint32_t kEventCodeAt = 7;
constexpr std::uint32_t kCountAt = 9;

// The largest length a header's 16 bits can give.
constexpr std::uint32_t kLargestLength = 0xFFFF;

std::uint32_t Be16(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 8) | b[1];
}

std::uint32_t Be32(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

}  // namespace

ControllerLogWalk::ControllerLogWalk(const unsigned char* bytes, std::uint32_t received,
                                     std::uint32_t firstLength)
    : bytes_(bytes) {
    if (bytes == nullptr || received < kHeaderLength) {
        end_ = 0;
        position_ = 0;
        return;
    }
    const std::uint32_t secondLength = Be16(bytes + 1);
    end_ = std::min({firstLength, secondLength}) + kHeaderLength;
    end_ = std::min(end_, received);
}

ControllerLogWalk::ControllerLogWalk(const unsigned char* bytes, std::uint32_t received)
    : ControllerLogWalk(bytes, received, kLargestLength) {}

std::uint32_t ControllerLogWalk::KindLength(std::uint32_t kind) {
    switch (kind) {
        case 0:
            return kKind0Length;
        case 1:
            return kKind1Length;
        case 2:
            return kKind2Length;
        default:
            return 0;
    }
}

bool ControllerLogWalk::ReadHeader(const unsigned char* bytes, std::uint32_t available,
                                   EntryHeader& header) {
    if (bytes == nullptr || available < kEntryHeaderLength) {
        return false;
    }
    header.ticks = Be32(bytes + kTicksAt);
    header.eventCode = Be16(bytes + kEventCodeAt);
    header.count = bytes[kCountAt];
    return true;
}

ControllerLogWalk::EntryHeader ControllerLogWalk::Entry::Header() const {
    EntryHeader header;
    ReadHeader(bytes, length, header);
    return header;
}

bool ControllerLogWalk::Next(Entry& entry) {
    if (damaged_ || position_ >= end_) {
        return false;
    }
    const std::uint32_t kind = bytes_[position_];
    const std::uint32_t length = KindLength(kind);
    if (length == 0) {
        damaged_ = true;
        unknownKind_ = true;
        return false;
    }
    if (length > end_ - position_) {
        damaged_ = true;
        return false;
    }
    entry.bytes = bytes_ + position_;
    entry.kind = kind;
    entry.length = length;
    position_ += length;
    return true;
}
