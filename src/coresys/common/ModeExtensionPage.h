// The extension mode page: 6 values, and 10 more from protocol version 4.
// Values 7, 8, 9, 10, 12, 13 and 16 feed DiskArrayState::SetUserParams.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class ModeExtensionPage : public OruXdr {
  public:
    static constexpr std::uint32_t kBaseValues = 6;
    static constexpr std::uint32_t kValues = 16;

    std::uint32_t values[kValues] = {};

    // Older versions carry the first 6 values; decoding one zeroes the rest.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // Value n, counted from 1; 0 outside 1..16.
    std::uint32_t Value(std::uint32_t n) const {
        return n >= 1 && n <= kValues ? values[n - 1] : 0;
    }
};
