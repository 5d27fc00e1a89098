// The value coders of OruXdr for code that codes lists and pieces outside a
// record class of its own (list coders, event pieces).
#pragma once

#include "coresys/common/OruXdr.h"

class WireWords : public OruXdr {
  public:
    using OruXdr::DecodeVal;
    using OruXdr::EncodeVal;

    // Reads one word; 0 after an overrun.
    static std::uint32_t Read(CodedBuff& buff) {
        std::uint32_t value = 0;
        DecodeVal(buff, value);
        return value;
    }
};
