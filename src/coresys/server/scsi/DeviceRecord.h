// One accepted array path of the last scan, as the scan hands it out.
//
// The scan allocates one record per accepted path and links them in scan
// order; the caller keeps the first. The pass-through reads only the device
// index. Users that need more per-path data (the device manager) keep it
// beside the record, keyed by the record or its index.
#pragma once

#include <cstdint>

struct DeviceRecord {
    DeviceRecord* next = nullptr;
    std::uint32_t deviceIndex = 0;    // entry of the device table
    std::uint32_t interfaceKind = 4;  // always 4
};
