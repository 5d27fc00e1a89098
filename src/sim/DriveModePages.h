// The mode pages of a simulated drive: read-write error recovery (0x01),
// format device (0x03), rigid disk geometry (0x04) and caching (0x08), each
// with default values, a mask of changeable bits and current values (the
// defaults until a MODE SELECT changes them; current values are saved).
//
// MODE SENSE(6) answers page control 0 (current), 1 (changeable), 2
// (default) and 3 (saved, the same as current), one page or all (0x3F),
// with a block descriptor unless DBD is set. MODE SELECT(6) takes a 4-byte
// header, an optional 8-byte block descriptor and whole pages: an unknown
// page, a wrong page length or a list that ends inside a page is refused
// with 5/26/00 and nothing changes; otherwise only the changeable bits of
// each page are taken (like most drives, the others are ignored, not
// refused).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class DriveModePages {
  public:
    static SimReply Sense(const DriveModel& drive, const std::vector<std::uint8_t>& cdb);
    static SimReply Select(DriveModel& drive, const std::vector<std::uint8_t>& cdb,
                           const std::vector<std::uint8_t>& data, bool* changed);
};

}  // namespace sim
