// One status number per subsystem, folded from its gross status: the value
// of the agent's status column and the specific code of its traps.
//
//   1  no valid state        2  good              3  needs attention
//   4  degraded / not ready  6  busy (rebuild)    7  a fault
//   10 down (the subsystem state says it cannot serve)
#pragma once

#include <cstdint>

class GrossStatus;

namespace oruagent {

// The worse of two status numbers: the one that comes first in the
// precedence list 4, 7, 3, 6, 3, 2, 10, 0, 2, 5, 1, 1; 1 when neither is in it.
std::int32_t WorseStatus(std::int32_t a, std::int32_t b);

// The status of a subsystem from its gross status values g1..g36.
std::int32_t SubsystemStatus(const GrossStatus& gross);

}  // namespace oruagent
