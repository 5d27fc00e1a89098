// One accepted array path of the last scan, as the scan hands it out.
//
// The scan allocates one record per accepted path and links them in scan
// order; the caller keeps the first. The pass-through reads only the device
// index. Users that need more per-path data (the device manager) keep it
// beside the record, keyed by the record or its index. A record (or a copy
// of one) outlives its scan only as a key: once the table is rescanned or
// closed, its commands fail with ENODEV rather than reach whatever device now
// holds its index.
#pragma once

#include <cstdint>

struct DeviceRecord {
    DeviceRecord* next = nullptr;
    std::uint32_t deviceIndex = 0;     // entry of the device table
    std::uint32_t interfaceKind = 4;   // always 4
    std::uint32_t scanGeneration = 0;  // the scan that made it; a later scan retires it
};
