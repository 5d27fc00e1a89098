// CRC-32 with the IEEE 802.3 polynomial (reflected, initial and final value
// 0xFFFFFFFF): the checksum zlib, PNG and gzip compute, so an image can be
// checked with any common tool. Used for the firmware image files and for
// the data summaries of the command trace.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

// The CRC of data[0..size). Pass the previous result as `crc` to continue a
// checksum over several pieces (0 starts a new one).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace sim
