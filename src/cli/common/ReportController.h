// Which controller's identity heads a report.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/common/ControllerInfo.h"

// The first controller with the best state (1 before 2 before 5 before 4
// before any other); 0 when there is none, so callers check the index
// against the controllers they have.
std::uint32_t PickReportController(const std::vector<ControllerInfo>& controllers);

// The index of the first controller whose status is not 3 (does not exist),
// or 3 when every controller, or none at all, is in status 3.
std::uint32_t FirstExistingController(const std::vector<ControllerInfo>& controllers);
