// The service's event reply: the events one comparison (or one notice)
// raised, sent to every session of the subsystem, each event followed by the
// piece of the new state it names.
//
// This holds the reply itself: its construction, its list, its coded length
// and the subsystem it is addressed to. Composing the texts of the events
// and sending the reply belong to event reporting, which appends through
// AppendEvent.
#pragma once

#include <cstdint>
#include <string_view>

#include "coresys/common/FieldText.h"
#include "coresys/common/Hardware.h"
#include "coresys/common/ReturnMsgs.h"

class ServerDiskArrayState;

class ServerEvent_RtnMsg : public Event_RtnMsg {
  public:
    // Coded length of a reply without events.
    static constexpr std::uint32_t kBareEventLength = 28;

    // A reply without a state (notices, configuration changes): no events,
    // serial empty.
    ServerEvent_RtnMsg();
    // A reply whose events carry pieces of state and server (either may be
    // null); addressed to the subsystem of the state's monitor.
    ServerEvent_RtnMsg(ServerDiskArrayState* state, OruServerState* server);

    // Appends one event and adds its coded size (16 bytes and its piece) to
    // the length. Returns the event (owned by the reply).
    Event* AppendEvent(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t data1,
                       std::uint32_t data2);
    // The n-th event (from 0), or nullptr when n is not below the count.
    Event* EventAt(unsigned short n) const { return events[n]; }

    // The hardware comparison: for each element i of old's first list that
    // fresh lacks or holds another value, HW minor 0 with argument i; the
    // same for the second list with minor 1. Returns the events appended.
    std::uint32_t AddHardwareDifferences(const Hardware& old, const Hardware& fresh);

    std::string_view SerialNumber() const { return FieldText(serialNumber_); }

  private:
    char serialNumber_[13] = {};
};
