#include "coresys/server/log/LogBlock.h"

#include <cstring>

using namespace logfmt;

std::string LogRecordView::Serial() const {
    const char* serial = reinterpret_cast<const char*>(bytes_ + kRecSerial);
    return std::string(serial, ::strnlen(serial, kSerialSize - 1));
}

bool LogRecordView::HasSerial(const char* serial) const {
    char wanted[kSerialSize - 1] = {};
    if (serial != nullptr) {
        std::memcpy(wanted, serial, ::strnlen(serial, sizeof wanted));
    }
    return std::memcmp(bytes_ + kRecSerial, wanted, sizeof wanted) == 0;
}

std::optional<std::uint32_t> LogRecordView::WordAt(std::uint32_t offset) const {
    if (!Holds(offset, 4)) {
        return std::nullopt;
    }
    return GetLe32(bytes_ + offset);
}

LogBlockWalk::LogBlockWalk(const unsigned char* block, std::uint32_t blockLrba) : block_(block) {
    std::uint32_t offset = 0;
    while (offset < kBlockSize && count_ < kMaxRecords) {
        if (kBlockSize - offset < 8) {
            break;  // too little room left for even an end marker
        }
        const std::uint32_t length = GetLe32(block + offset + kRecLength);
        if (offset != 0 && length == kEndMarker &&
            GetLe32(block + offset + kRecReserved) == kEndMarker) {
            break;  // the end marker the writer puts behind a block's last record
        }
        if (length < kRecordHeaderSize || length > kBlockSize - offset ||
            GetLe32(block + offset + kRecLrba) != blockLrba + offset) {
            damaged_ = true;
            damageOffset_ = offset;
            break;
        }
        offsets_[static_cast<std::size_t>(count_++)] = static_cast<std::uint16_t>(offset);
        offset += RoundedLength(length);
    }
}

LogRecordView LogBlockWalk::Record(int i) const {
    const unsigned char* at = block_ + Offset(i);
    return LogRecordView(at, GetLe32(at + kRecLength));
}

int LogBlockWalk::IndexOf(std::uint32_t offset) const {
    // Offsets ascend: a binary search.
    int low = 0;
    int high = count_ - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        std::uint32_t at = Offset(middle);
        if (at == offset) {
            return middle;
        }
        if (at < offset) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return -1;
}
