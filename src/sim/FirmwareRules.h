// How a cabinet's controllers take new microcode, copy it to each other and
// restart around it:
//   - WRITE BUFFER modes 4..7 assemble an image (modes 4 and 5 append, 6
//     and 7 write at their offset), while the subsystem is shut down or
//     shutting down, or at any time to a controller without code. The
//     header is checked as soon as it has arrived (wrong type: 5/26/63), the
//     whole image when its declared length has (bad checksum: 5/26/62); a
//     refused write changes nothing, so a host's retry meets the same answer.
//     A complete image is staged; a save write (mode 5 or 7, of any length)
//     then burns it into both controllers: a flash window off the bus, then
//     a restart, after which both report the new revision. A save that does
//     not leave the image complete is refused (5/26/62).
//   - WRITE BUFFER mode 1 without data copies the controller's image to its
//     partner (a copy window, then a restart).
//   - A restart the host does not wait for (0xF0 with byte 1 bit 0 clear)
//     takes the controllers off the bus for a reboot window before they
//     report "starting up". A restart drops any image not yet saved.
//   - A controller whose burn was cut short holds no code: it reports state
//     8 and answers only INQUIRY, the state block, REQUEST SENSE, WRITE
//     BUFFER and restart. A controller whose partner has no code or another
//     revision reports 12 (code mismatch) where it would report 0 or 1.
// Off the bus means every command fails with a system error (EBUSY), which
// hosts read as a controller that is restarting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class FirmwareRules {
  public:
    // Simulated durations, in milliseconds.
    static constexpr std::uint64_t kRebootMs = 6000;
    static constexpr std::uint64_t kFlashMs = 30000;
    static constexpr std::uint64_t kCopyMs = 15000;
    // The error of a command sent while the controllers are off the bus.
    static const int kOffBusError;

    // Answers a command before the controller engine: off the bus, or as a
    // boot loader without code. Also notes a restart command on its way to
    // the engine. nullopt: the engine answers.
    static std::optional<SimReply> Gate(CabinetModel& cab, int slot, const SimCommand& cmd,
                                        bool* changed);

    // WRITE BUFFER to a controller (modes 1, 4..7).
    static SimReply WriteBuffer(CabinetModel& cab, int slot, const SimCommand& cmd, bool* changed);

    // The subsystem state a controller reports (state block byte 1 and
    // page 0x21 byte 10).
    static std::uint8_t ReportedState(const CabinetModel& cab, int slot);

    // Moves a firmware window on; one that ends applies its effect and
    // restarts the controllers. True when anything changed.
    static bool Advance(CabinetModel& cab, std::uint64_t elapsedMs);

    // The control request "firmware CAB [what...]" with the cabinet already
    // found; words are the request's words from the verb on.
    static bool Control(CabinetModel& cab, const std::vector<std::string>& words,
                        std::string* answer, bool* changed);
};

}  // namespace sim
