// Events into traps: the text of an event from the service's catalog, the
// trap text around it, and the post to the trap slot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class DiskArrayState;
class Event;

namespace oruagent {

class AgentCatalog;
class TrapSlot;

class AgentTraps {
  public:
    // Bytes of a trap text with its terminator.
    static constexpr std::size_t kTextBytes = 256;

    AgentTraps(const AgentCatalog& catalog, TrapSlot& slot) : catalog_(catalog), slot_(slot) {}

    // EventToTrapText: the event's text, or nothing for an event that makes
    // no trap (an unknown class is reported as a missing text); then
    // PostTrap. True when a trap was posted. status: the subsystem's status
    // now, the trap's specific code.
    bool EventToTrapText(const DiskArrayState& state, const Event& event, std::int32_t status);

    // TrapText: "<serial text>:<event text>:<revision text>:<product text>",
    // the serial, the controller's productRev and productId each in its
    // catalog text; the missing-string text when one of those texts is
    // missing; none when one is suppressed.
    std::optional<std::string> TrapText(const DiskArrayState& state,
                                        const std::string& eventText) const;

    // A trap that tells the subsystem's status when no event told it: the
    // service catalog's status text (set 1, number 20) filled with the
    // status. True when it was posted.
    bool PostStatusChange(const DiskArrayState& state, std::int32_t status);

    // Posts the trap of one event text; false when nothing was posted.
    bool PostTrap(const DiskArrayState& state, const std::string& eventText, int set, int number,
                  std::int32_t status);

  private:
    const AgentCatalog& catalog_;
    TrapSlot& slot_;
};

}  // namespace oruagent
