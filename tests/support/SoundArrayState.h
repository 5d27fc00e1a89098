// A sound, ready array as the service reports it: six members (slots 0-5),
// a hot spare (slot 6) and empty slots, no condition; the start of the
// tables that fault one thing of it.
#pragma once

#include <cstdint>

#include "coresys/common/DiskArrayState.h"

namespace testsupport {

inline DiskArrayState SoundArrayState() {
    DiskArrayState state;
    state.stateValue4 = 1;
    state.subsystemState.emplace();
    state.modeSubsystem.emplace();
    state.drives.resize(DiskArrayState::kDriveSlots);
    for (std::uint32_t slot = 0; slot < DiskArrayState::kDriveSlots; ++slot) {
        state.drives[slot].driveState = slot < 6 ? 0 : slot == 6 ? 8 : 1;
    }
    return state;
}

}  // namespace testsupport
