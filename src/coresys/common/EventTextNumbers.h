// The texts of the service's catalog that name an event, for both places
// that tell events in words: the service's event log and the SNMP agent's
// traps. These are the numbers the two agree on; the texts each one puts
// around them (heads, slot names, filled-in values) stay with it.
//
// The catalog holds a few texts for traps alone (set 15 numbers 11 and 22
// to 24, set 28 numbers 11 to 13): the event log names those states by
// their number instead.
#pragma once

#include <cstdint>
#include <optional>

class ModeSubsystemPage;

namespace event_text {

// Catalog sets of the event texts, by event class.
inline constexpr int kSetSubsystemState = 15;
inline constexpr int kSetModeSubsystem = 20;
inline constexpr int kSetDrive = 28;
inline constexpr int kSetHardware = 32;
inline constexpr int kSetSingleValue = 34;
inline constexpr int kSetSoftware = 42;

// The texts that name a state by its number ("state %u.").
inline constexpr int kSubsystemStateByNumber = 39;
inline constexpr int kDriveStateByNumber = 49;

// Who tells the event: a trap may use every text, the event log its own.
enum class Teller { kEventLog, kTrap };

// A pair of texts: the first when the new value is not 0, else the second.
constexpr int Pick(std::uint32_t value, int whenSet, int whenClear) {
    return value != 0 ? whenSet : whenClear;
}

// Set 15: the text of subsystem state value, or 0 when the teller names
// that state by its number.
int SubsystemStateText(std::uint32_t value, Teller teller);

// Set 15: the text of a subsystem-state event whose minor has a pair of
// texts, chosen by the value the minor reports; none for the other minors.
std::optional<int> SubsystemStatePairText(std::uint32_t minor, std::uint32_t value);

// Set 20: the text of a subsystem-settings event whose minor has a pair of
// texts, chosen by the one page value that minor watches; none for the
// other minors. Minors as the event log numbers them: 2, 4, 5 and 6 have a
// pair.
std::optional<int> ModeSubsystemPairText(std::uint32_t minor, const ModeSubsystemPage& page);

// Set 28: the text of drive state value, or 0 when the teller names that
// state by its number.
int DriveStateText(std::uint32_t state, Teller teller);

// Set 42: the text of a service-software event whose text takes no values
// and depends on nothing but its minor; 0 for the other minors.
int SoftwareText(std::uint32_t minor);

}  // namespace event_text
