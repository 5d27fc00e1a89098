// How far taking a drive down may cost the array its redundancy: the
// allowance a DownPhysicalDrive request carries in its second value.
#pragma once

#include <cstdint>

enum DOWN_TYPE : std::uint32_t {
    DT_NO_ALLOWANCE = 0,      // refuse when the drive is needed for redundancy
    DT_ALLOW_REDUNDANCY = 1,  // the array may lose its redundancy
    DT_ALLOW_ALL = 2,         // take the drive down whatever it costs
};
