// One unit of subsystem work as it travels through a subsystem task: a
// client's message (with a private copy of its bytes) or a timer tick
// (no client, no bytes). The task frees it after dispatch.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/server/monitor/ServerClient.h"

struct ClientMessage {
    // The subsystem number of the monitor that posted it; a timer is valid
    // only while the monitor of its serial still carries this number.
    std::uint32_t subsystemNumber = 0;
    // nullptr for timers.
    ServerClient* client = nullptr;
    // The subsystem's backplane id, NUL-terminated.
    char serialNumber[13] = {};
    // The message as received (empty for timers).
    std::vector<unsigned char> bytes;
};
