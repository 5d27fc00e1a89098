// The subsystem state record: 19 values, and 5 more from protocol version 4.
// The first value is the subsystem state; the rest are filled by the service.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class SubsystemStateInfo : public OruXdr {
  public:
    static constexpr std::uint32_t kBaseValues = 19;
    static constexpr std::uint32_t kValues = 24;

    // values[0] is the subsystem state; values[19..23] exist from version 4.
    std::uint32_t values[kValues] = {};

    // Older versions carry the first 19 values; decoding one zeroes the rest.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::uint32_t SubsystemState() const { return values[0]; }
    // Value n, counted from 1 as the record's documentation counts; 0 outside 1..24.
    std::uint32_t Value(std::uint32_t n) const {
        return n >= 1 && n <= kValues ? values[n - 1] : 0;
    }
};
