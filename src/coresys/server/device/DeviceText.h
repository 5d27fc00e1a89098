// The texts of the device manager and the subsystem monitors: device
// notices and debug lines. One table; every text is a printf format.
#pragma once

#include <cstdio>
#include <string>

enum DEVICE_TEXT : int {
    DTEXT_CONTROLLER_REJECTED = 0,
    DTEXT_CONTROLLER_IDENTIFIED,
    DTEXT_FOUND_SUBSYSTEMS,
    DTEXT_CONTROLLER_NOT_PLACED,
    DTEXT_CONTROLLER_NO_SLOT,
    DTEXT_SUBSYSTEM_DROPPED,
    DTEXT_MESSAGE_REFUSED,
    DTEXT_MONITOR_INTERVAL,
    DTEXT_PLOG_INTERVAL,
    DTEXT_UNKNOWN_SUBCODE,
    DTEXT_INVALID_EVENT_TYPE,
    DTEXT_NO_ACTION,
    DTEXT_CONTROLLER_LOG_DAMAGED,
    DTEXT_INIT_STARTED,
    DTEXT_COUNT
};

// The format of a text ("" for a number out of range).
const char* DeviceTextFormat(int id);

template <class... Args>
std::string DeviceText(DEVICE_TEXT id, Args... args) {
    if constexpr (sizeof...(Args) == 0) {
        return DeviceTextFormat(id);
    } else {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, DeviceTextFormat(id), args...);
        return buffer;
    }
}
