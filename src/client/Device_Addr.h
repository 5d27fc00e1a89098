// The device address of a subsystem on its server: the pair (major, minor) of
// one access path, then the 16 pairs the path answers to.
//
// In a subsystem-list record the address travels as the service host's raw
// memory image: 152 bytes, every word little-endian and not converted. The
// pairs fill bytes 0 to 135; the last 16 bytes carry nothing this system
// reads: they are kept as they came and sent as zeros by a fresh address.
// FromImage and ToImage read and write that image byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>

class Device_Addr {
  public:
    static constexpr std::size_t kPairCount = 16;
    static constexpr std::size_t kImageSize = 152;
    static constexpr std::size_t kReservedWords = (kImageSize - 8 - kPairCount * 8) / 4;  // 4

    struct AddressPair {
        std::uint32_t major = 0;
        std::uint32_t minor = 0;
    };

    std::uint32_t major_number = 0;
    std::uint32_t minor_number = 0;
    AddressPair address[kPairCount];
    std::uint32_t reserved[kReservedWords] = {};

    // True when one of the 16 pairs equals other's (major_number, minor_number).
    bool FindAddress(const Device_Addr& other) const;

    // Reads / writes the 152-byte little-endian image.
    void FromImage(const unsigned char* image);
    void ToImage(unsigned char* image) const;
};
