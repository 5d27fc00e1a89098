#include "coresys/common/CodedBuff.h"

#include <cstring>
#include <limits>
#include <new>

#include "coresys/common/ReportError.h"

void CodedBuff::Setup(std::uint32_t codingVersion) {
    data = new (std::nothrow) unsigned char[kBlockSize];
    if (data == nullptr) {
        ReportError("CodedBuff::Setup", "No Memory");
    }
    // Pad bytes and fields skipped by a record are sent as zeros.
    std::memset(data, 0, kBlockSize);
    owns = 1;
    size = kBlockSize;
    position = 0;
    version = codingVersion;
    failed = false;
}

void CodedBuff::SetupDecode(unsigned char* bytes, std::uint32_t length,
                            std::uint32_t codingVersion) {
    data = bytes;
    owns = 0;
    size = bytes != nullptr ? length : 0;
    position = 0;
    version = codingVersion;
    failed = false;
}

void CodedBuff::Grow(std::uint32_t n) {
    const std::uint64_t needed = static_cast<std::uint64_t>(position) + n;
    std::uint64_t newSize = size;
    while (newSize < needed) {
        newSize += kBlockSize;
    }
    if (newSize > std::numeric_limits<std::uint32_t>::max()) {
        ReportError("CodedBuff::NextItem", "No Memory");
    }
    auto* grown = new (std::nothrow) unsigned char[newSize];
    if (grown == nullptr) {
        ReportError("CodedBuff::NextItem", "No Memory");
    }
    if (size != 0) {
        std::memcpy(grown, data, size);
    }
    std::memset(grown + size, 0, newSize - size);
    delete[] data;
    data = grown;
    size = static_cast<std::uint32_t>(newSize);
}

void CodedBuff::ValidateLength() const {
    if (position > size) {
        ReportError("CodedBuff::ValidateLength", "Overrun of encode buffer");
    }
}

void CodedBuff::FreeData(unsigned char* bytes) {
    delete[] bytes;
}
