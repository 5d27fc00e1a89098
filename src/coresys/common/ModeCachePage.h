// The caching mode page as the subsystem reports it.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class ModeCachePage : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 8;

    std::uint32_t write_cache_enable = 0;
    std::uint32_t read_cache_enable = 0;

    // Wire: write_cache_enable, read_cache_enable.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;
};
