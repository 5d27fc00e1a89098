// Texts of the array-state build: debug lines and device notices.
#pragma once

namespace state_text {

inline constexpr const char* kPartnerUnavailable = "Nonactive Controller Unavailable for %s\n";
inline constexpr const char* kPartnerOffline = "Nonactive Controller Offline for %s\n";
// A drive-list entry naming a slot the cabinet does not have (%u the slot).
inline constexpr const char* kDriveSlotSkipped =
    "Drive list entry for slot %u skipped: no such drive slot\n";
// A drive-list entry for a slot an earlier entry already filled.
inline constexpr const char* kDriveSlotRepeated =
    "Drive list entry for slot %u skipped: slot already listed\n";
// The stored controller serial of a preventive record made while no
// controller is marked active.
inline constexpr const char* kNoActiveSerial = "UNKNOWN";

}  // namespace state_text
