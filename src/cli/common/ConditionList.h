// The conditions of a subsystem as the displays list them: 23 flags taken
// from the subsystem state record and one further flag, printed as a
// heading and one line per set flag, and packed as a bit set (bit i for
// flag i) for the raw displays.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>

#include "coresys/common/SubsystemStateInfo.h"

class ConditionList {
  public:
    static constexpr std::size_t kFlagCount = 24;
    static constexpr std::size_t kFurtherFlag = 23;

    std::array<bool, kFlagCount> flags{};

    // Flags 0..17 are state values 2..19 (data unavailable ... state
    // changing), flags 18..22 the version-4 values 20..24 (code mismatch,
    // controller mismatch, recovery failed, single controller, map loss).
    // The state record has no source for the further flag; it stays clear.
    static ConditionList FromStateInfo(const SubsystemStateInfo& info);

    bool Any() const;
    std::uint32_t Bits() const;

    // The heading (three blanks) and one line per set flag in flag order;
    // nothing when no flag is set.
    void Print(std::ostream& out) const;
};
