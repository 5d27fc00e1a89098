// Which text of the service's catalog an event's trap carries.
//
// The event's class selects the catalog set, its minor type and the values
// of the state piece it came with select the number; some texts are filled
// with a value of the state (a state number, a slot). Classes 0 (CTLR), 10
// (CRES) and 12 (ORUSS_MISC), and the minor types a class does not list,
// make no trap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DiskArrayState;
class Event;

namespace oruagent {

struct TrapKey {
    int set = 0;
    int number = 0;
    // The values the text is filled with, in order: numbers as decimal
    // text, labels as they are.
    std::vector<std::string> values;
    // Catalog id of the trap: set * 1000 + number.
    std::uint32_t CatalogId() const { return static_cast<std::uint32_t>(set * 1000 + number); }
};

// Highest event class the agent knows.
inline constexpr std::uint32_t kLastEventClass = 14;

// The text of an event's trap, or none when the event makes no trap. The
// state is the subsystem's state with the event applied.
std::optional<TrapKey> TrapCatalogKey(const DiskArrayState& state, const Event& event);

}  // namespace oruagent
