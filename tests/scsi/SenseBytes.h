// Sense data in the fixed format the controllers and drives return: 26
// bytes, response code 0x70, 18 additional bytes, the key in byte 2 and the
// additional sense code and qualifier in bytes 12 and 13.
#pragma once

#include <cstdint>
#include <vector>

namespace scsitest {

inline std::vector<std::uint8_t> SenseBytes(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    std::vector<std::uint8_t> s(26, 0);
    s[0] = 0x70;
    s[2] = key;
    s[7] = 18;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

}  // namespace scsitest
