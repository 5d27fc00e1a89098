// The service's status as the service control manager sees it.
//
// In console mode nothing is reported and every report succeeds. Otherwise
// ReportStatusToSCMgr publishes the state with the controls accepted (none
// while START_PENDING, else STOP and SHUTDOWN) and a check point that is 0
// for RUNNING and STOPPED and counts up from 1 otherwise. Thread-safe.
#pragma once

#include <cstdint>

#include "platform/ServiceControl.h"

// Registers service_ctrl as the control handler of the service; false when
// the manager refused.
bool RegisterServiceControl();

// Returns nonzero when the status was reported (always in console mode).
int ReportStatusToSCMgr(std::uint32_t state, std::uint32_t win32ExitCode, std::uint32_t waitHintMs);

// The control handler: STOP and SHUTDOWN ask the service to stop; every
// control is answered with the current status.
void service_ctrl(std::uint32_t control);

// The state last reported (or set by a stop control).
std::uint32_t CurrentServiceState();

// The control code of a control channel that broke.
inline constexpr std::uint32_t SERVICE_CONTROL_BROKEN_PIPE = 109;
