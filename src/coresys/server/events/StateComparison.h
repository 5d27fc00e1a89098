// The comparison of a subsystem's current array state with a new one.
//
// Compare appends one event to report for every difference, in a fixed
// order: validity, the log task's suspended flag, drive diagnostics, each
// controller (serial number, active flag, battery, NVRAM and DRAM modules,
// status), the subsystem state record, the subsystem and extension mode
// pages, the caching page, the capacities, each LUN, each drive slot, each
// missing-drive entry, the cabinet hardware, the alias, the derived values
// and the host-sequence flag. A current state that is not valid gives only
// the validity event. The report must have been made over fresh.
//
// Lists are compared element by element as far as both states hold them; an
// element one state lacks compares as an empty one, so a short list from a
// peer never leads to a read past its end.
#pragma once

#include <cstdint>

#include "coresys/common/DiskArrayState.h"

class ComparisonEffects;
class ServerEventReport;

class StateComparison {
  public:
    // Returns true when any event was appended. effects may be null.
    static bool Compare(const DiskArrayState& current, DiskArrayState& fresh,
                        ServerEventReport& report, ComparisonEffects* effects);
};
