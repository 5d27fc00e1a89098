// One command the service is still running for a subsystem.
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruXdr.h"

class CommandInProgress : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 24;

    CommandHandle handle;
    MESSAGE_CODE code = MC_NONE;
    std::uint32_t drive = 255;  // the drive (or other object) the command works on
    std::uint32_t aux1 = 255;
    std::uint32_t aux2 = 0;

    CommandInProgress() = default;
    CommandInProgress(const CommandHandle& h, MESSAGE_CODE c, std::uint32_t d, std::uint32_t a1,
                      std::uint32_t a2)
        : handle(h), code(c), drive(d), aux1(a1), aux2(a2) {}

    // Wire: handle (sequence, sessionID), code, drive, aux1, aux2.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // Same handle, code, drive and aux1; aux2 is progress and not compared.
    bool operator==(const CommandInProgress& other) const {
        return handle == other.handle && code == other.code && aux1 == other.aux1 &&
               drive == other.drive;
    }
};
