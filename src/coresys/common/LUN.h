// One logical unit entry; its number is its index in the state's LUN list.
#pragma once

#include <cstdint>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/OruXdr.h"

class LUN : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 4 + BlockCapacity::kWireSize;

    std::uint32_t status = 0;  // 0: no such LUN
    BlockCapacity capacity;

    // Wire: status, capacity.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    bool Exists() const { return status != 0; }
};
