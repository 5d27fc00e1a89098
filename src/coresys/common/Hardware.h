// The cabinet hardware: two counted lists of values filled by the service.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/common/OruXdr.h"

class Hardware : public OruXdr {
  public:
    static constexpr std::uint32_t kMinWireSize = 8;

    std::vector<std::uint32_t> values1;
    std::vector<std::uint32_t> values2;

    // Wire: count1, values1, count2, values2. Decode fails the buffer on a
    // count larger than the bytes left and then leaves both lists empty.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::uint32_t Count1() const { return static_cast<std::uint32_t>(values1.size()); }
    std::uint32_t Count2() const { return static_cast<std::uint32_t>(values2.size()); }
};
