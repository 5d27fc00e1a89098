#include "coresys/server/device/DeviceText.h"

namespace {

constexpr const char* kTexts[DTEXT_COUNT] = {
    "Controller rejected, Failed Unit Inquiry\n",
    "Controller Identified for backplane id %s\n",
    "Device Manager found %d subsystems from %d controllers\n",
    "Controller rejected for backplane id %s: no free controller slot\n",
    "Controller rejected: its raw page names no controller slot\n",
    "Subsystem %s dropped: no controller left\n",
    "Message refused for subsystem %s: %s\n",
    "Monitor Interval = %d",
    "Plog Interval = %d",
    "Unknown Request SubCode %d\n",
    "Invalid Event type",
    "No Action Taken",
    "Controller log of %s ends early: %s\n",
    "DeviceMgr::InitComplete Started.",
};

}  // namespace

const char* DeviceTextFormat(int id) {
    if (id < 0 || id >= DTEXT_COUNT) {
        return "";
    }
    return kTexts[id];
}
