// A short summary of one subsystem's state, sent by datagram in answer to the
// gross-status request so that a monitor can show a subsystem's condition
// without opening a session.
//
// 36 values g1..g36:
//   g1..g13   subsystem state values 1..13
//   g14, g15  rebuild_in_progress, log_full_warn (subsystem mode page)
//   g16..g20  subsystem state values 15..19
//   g21       rebuild_progress
//   g22..g24  stateValue1..3
//   g25, g26  balancing, optimizing
//   g27..g34  drive slots in driveState 0..7
//   g35       missing-drive entries present
//   g36       validStateData
// Wire: 37 words, g1..g32, g27 once more, g33..g36 (148 bytes). Peers expect
// the repeated word, so it stays.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class DiskArrayState;

class GrossStatus : public OruXdr {
  public:
    static constexpr std::uint32_t kValues = 36;
    static constexpr std::uint32_t kWireSize = 4 * (kValues + 1);

    // values[n - 1] is g<n>.
    std::uint32_t values[kValues] = {};

    GrossStatus() = default;
    // Summarises a state; all zeros when the state is not valid.
    explicit GrossStatus(const DiskArrayState& state);

    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // g<n> for n in 1..36, 0 otherwise.
    std::uint32_t G(std::uint32_t n) const { return n >= 1 && n <= kValues ? values[n - 1] : 0; }
    std::uint32_t ValidStateData() const { return values[35]; }
};
