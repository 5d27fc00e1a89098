// What a cabinet's controllers hold of a firmware change in progress: the
// image arriving through WRITE BUFFER, a checked image waiting for its save
// write, and the window in which the controllers are off the bus (burning
// an image, copying it to the partner, rebooting). Lives in controller RAM:
// it is not written to the state file, so a restart of strovsim is a power
// cycle that drops it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class FirmwareWindow : std::uint8_t {
    kNone,
    kReboot,  // a restart the host does not wait for
    kFlash,   // a new image is burnt into both controllers
    kCopy,    // one controller's image is copied to its partner
};

struct FirmwareRuntime {
    int assemblySlot = -1;  // the controller the image arrives at
    std::vector<std::uint8_t> assembly;
    bool staged = false;  // a complete, checked image waits for its save write
    std::string stagedRevision;

    FirmwareWindow window = FirmwareWindow::kNone;
    int windowSlot = 0;          // the controller that flashes or copies
    std::string windowRevision;  // what a flash window installs
    std::uint64_t windowTotalMs = 0;
    std::uint64_t windowRemainingMs = 0;
    bool stalled = false;    // this window does not end until released
    bool stallNext = false;  // the next flash window stalls
};

}  // namespace sim
