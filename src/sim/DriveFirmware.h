// Microcode for a simulated drive, as the controller forwards it through the
// drive exchange: WRITE BUFFER modes 4 and 5 append to the image being
// assembled, modes 6 and 7 write at their offset (bytes 3..5); the length is
// bytes 6..8. The header is checked once it has arrived (another product's
// image: 5/26/63), the whole image once its declared length has (5/26/62);
// a refused piece changes nothing, the drive's firmware stays as it was. A
// complete, good image is taken at once, whatever the modes that brought
// it: the drive reports the new revision and tells its next command (but
// INQUIRY and REQUEST SENSE) of the change with a unit attention, 6/29/00.
// A restart of the controllers drops an image not yet complete.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class DriveFirmware {
  public:
    static SimReply WriteBuffer(DriveModel& drive, const std::vector<std::uint8_t>& cdb,
                                const std::vector<std::uint8_t>& data, bool* changed);

    // The pending unit attention of a drive, answered once: true with
    // *reply = CHECK CONDITION 6/29/00 for any command but INQUIRY and
    // REQUEST SENSE; false when the command goes on.
    static bool TakeUnitAttention(DriveModel& drive, std::uint8_t opcode, SimReply* reply,
                                  bool* changed);
};

}  // namespace sim
