#include "coresys/server/monitor/ControllerLogWalk.h"

#include <algorithm>

ControllerLogWalk::ControllerLogWalk(const unsigned char* bytes, std::uint32_t received,
                                     std::uint32_t firstLength)
    : bytes_(bytes) {
    if (bytes == nullptr || received < kHeaderLength) {
        end_ = 0;
        position_ = 0;
        return;
    }
    const std::uint32_t secondLength = (static_cast<std::uint32_t>(bytes[1]) << 8) | bytes[2];
    end_ = std::min({firstLength, secondLength}) + kHeaderLength;
    end_ = std::min(end_, received);
}

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
