// What a comparison of two states changes in the subsystem's monitor besides
// raising events. The monitor side implements it; every call comes from the
// subsystem's task under the subsystem-in-use lock.
#pragma once

#include <cstdint>

class ComparisonEffects {
  public:
    virtual ~ComparisonEffects() = default;

    // Another drive sits in slot (0..11): its diagnostic record starts
    // afresh and the old drive's diagnostic command and results go.
    virtual void DriveReplaced(std::uint32_t slot) = 0;
    // The drive in slot changed to driveState.
    virtual void DriveStateChanged(std::uint32_t slot, std::uint32_t driveState) = 0;
    // Another controller sits in slot 0 (X) or 1 (Y).
    virtual void ControllerReplaced(std::uint32_t slot) = 0;
};
