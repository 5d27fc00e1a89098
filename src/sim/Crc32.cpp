#include "sim/Crc32.h"

#include <array>
#include <cstring>

namespace sim {

namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

// Eight tables: table k gives the CRC of a byte followed by k zero bytes,
// so eight bytes are folded in per step (slicing by eight).
constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
        for (std::size_t k = 1; k < 8; ++k)
            t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    }
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    crc = ~crc;
    while (size >= 8) {
        // Little-endian words, assembled byte by byte: no alignment needed.
        const std::uint32_t low =
            crc ^ (std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                   std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24);
        const std::uint32_t high = std::uint32_t{data[4]} | std::uint32_t{data[5]} << 8 |
                                   std::uint32_t{data[6]} << 16 | std::uint32_t{data[7]} << 24;
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
              kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^
              kTables[2][(high >> 8) & 0xFF] ^ kTables[1][(high >> 16) & 0xFF] ^
              kTables[0][high >> 24];
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = kTables[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace sim
