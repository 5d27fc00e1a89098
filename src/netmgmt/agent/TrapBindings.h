// A pending trap as the SNMP service gets it from SnmpExtensionTrap.
#pragma once

#include <cstdint>

#include "netmgmt/agent/SnmpTypes.h"
#include "netmgmt/agent/TrapSlot.h"

namespace oruagent {

// The four bindings of a trap, each named by the view: INTEGER 2; OCTET
// STRING the serial number; INTEGER the catalog id; OCTET STRING the trap
// text. Both strings count their terminating NUL. False (nothing allocated)
// when out of memory.
bool MakeTrapBindings(const PendingTrap& trap, SnmpVarBindList* bindings);

// The trap's time stamp in hundredths of a second from two millisecond
// counts (the count wraps after 49.7 days; so does the difference).
inline std::uint32_t TrapTimeStamp(std::uint32_t nowMs, std::uint32_t startMs) {
    return (nowMs - startMs) / 10;
}

}  // namespace oruagent
