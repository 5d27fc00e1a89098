#include "coresys/server/diag/BitMap.h"

#include <new>

BitMap::BitMap(std::uint64_t count) {
    if (count == 0) {
        return;
    }
    try {
        bytes_.assign(static_cast<std::size_t>((count + 7) / 8), 0);
        count_ = count;
    } catch (const std::bad_alloc&) {
        bytes_.clear();
        count_ = 0;
    }
}

bool BitMap::Test(std::uint64_t index) const {
    return index < count_ && (bytes_[index / 8] >> (index % 8) & 1) != 0;
}

void BitMap::Clear(std::uint64_t index) {
    if (index < count_) {
        bytes_[index / 8] = static_cast<std::uint8_t>(bytes_[index / 8] & ~(1u << (index % 8)));
    }
}

void BitMap::Set(std::uint64_t index) {
    if (index < count_) {
        bytes_[index / 8] = static_cast<std::uint8_t>(bytes_[index / 8] | (1u << (index % 8)));
    }
}

int BitMap::ChkSet(std::uint64_t index) {
    if (index >= count_) {
        return 1;
    }
    if (Test(index)) {
        return 0;
    }
    Set(index);
    return 1;
}

std::int64_t BitMap::NextFree(std::uint64_t start) {
    if (count_ == 0) {
        return -1;
    }
    start %= count_;
    // Upwards from start to the end, then from 0 up to start. Whole bytes
    // that are full are passed over at once: near the end of a test almost
    // every byte is.
    for (int pass = 0; pass < 2; ++pass) {
        std::uint64_t index = pass == 0 ? start : 0;
        const std::uint64_t end = pass == 0 ? count_ : start;
        while (index < end) {
            if (index % 8 == 0 && index + 8 <= end && bytes_[index / 8] == 0xFF) {
                index += 8;
                continue;
            }
            if (ChkSet(index) != 0) {
                return static_cast<std::int64_t>(index);
            }
            ++index;
        }
    }
    return -1;
}

void BitMap::Release() {
    count_ = 0;
    std::vector<std::uint8_t>().swap(bytes_);
}
