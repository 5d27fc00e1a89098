// A capacity: a number of blocks of one block size.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class BlockCapacity : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 8;

    std::uint32_t blocks = 0;
    std::uint32_t blockSize = 0;

    BlockCapacity() = default;
    BlockCapacity(std::uint32_t blockCount, std::uint32_t bytesPerBlock)
        : blocks(blockCount), blockSize(bytesPerBlock) {}

    // Wire: blocks, blockSize.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    bool operator==(const BlockCapacity& other) const {
        return blocks == other.blocks && blockSize == other.blockSize;
    }
};
