// Per-controller module states that controller-log entries report (one
// record for slot X, one for slot Y). Item 0 is the controller module
// itself, items 1 and 2 its two memory modules; the value is the state the
// log entry carried.
#pragma once

#include <cstdint>

struct ControllerDetail {
    static constexpr std::uint32_t kItems = 3;
    std::uint32_t moduleState[kItems] = {};
    // How many log entries changed an item of this record.
    std::uint32_t updates = 0;
};
