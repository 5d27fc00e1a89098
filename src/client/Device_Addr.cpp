#include "client/Device_Addr.h"

namespace {

std::uint32_t ReadLittle(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void WriteLittle(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

}  // namespace

bool Device_Addr::FindAddress(const Device_Addr& other) const {
    for (const AddressPair& pair : address) {
        if (pair.major == other.major_number && pair.minor == other.minor_number) {
            return true;
        }
    }
    return false;
}

void Device_Addr::FromImage(const unsigned char* image) {
    major_number = ReadLittle(image);
    minor_number = ReadLittle(image + 4);
    for (std::size_t i = 0; i < kPairCount; ++i) {
        address[i].major = ReadLittle(image + 8 + i * 8);
        address[i].minor = ReadLittle(image + 12 + i * 8);
    }
    for (std::size_t i = 0; i < kReservedWords; ++i) {
        reserved[i] = ReadLittle(image + 8 + kPairCount * 8 + i * 4);
    }
}

void Device_Addr::ToImage(unsigned char* image) const {
    WriteLittle(image, major_number);
    WriteLittle(image + 4, minor_number);
    for (std::size_t i = 0; i < kPairCount; ++i) {
        WriteLittle(image + 8 + i * 8, address[i].major);
        WriteLittle(image + 12 + i * 8, address[i].minor);
    }
    for (std::size_t i = 0; i < kReservedWords; ++i) {
        WriteLittle(image + 8 + kPairCount * 8 + i * 4, reserved[i]);
    }
}
