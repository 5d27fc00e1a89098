// The unit attention of a changed logical-unit set, as a controller keeps it
// per connection (per host): when the set of LUNs of a cabinet changes, every
// connection to either of its controllers that did not make the change is
// told so once, by CHECK CONDITION 6/0x3F/0x0E (REPORTED LUNS DATA HAS
// CHANGED) on its next command, which is then not carried out. The host's
// retry runs it. A change that no command made at that moment (a LUN whose
// deletion ended, a loaded scenario, a control request) is news to every
// connection.
//
// INQUIRY is answered as usual and leaves the attention pending, REQUEST
// SENSE reports it with GOOD and clears it, and the data phases of a drive
// exchange (0x29, 0xF3, 0xF4) pass: the hosts never repeat those, and the
// attention reaches the exchange's 0x27 instead.
//
// A connection's first command only takes note of the set: a host that
// connects after a change has nothing to be told. Not thread-safe; the
// Simulator holds its lock around every call.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SessionContext.h"
#include "sim/SimScsi.h"

namespace sim {

class LunSetAttention {
  public:
    // Before a command of session on cabinet number cabinet: the reply that
    // carries a pending unit attention instead of running the command, or
    // nothing when the command is to run.
    std::optional<SimReply> Before(int cabinet, const CabinetModel& cab, SessionContext& session,
                                   const SimCommand& cmd);
    // After the command ran (Before let it run): a change it made is news
    // to every other connection, not to this one.
    void After(int cabinet, const CabinetModel& cab, SessionContext& session);

  private:
    struct Watch {
        bool known = false;
        std::uint8_t set = 0;          // bit n: LUN n exists
        std::uint64_t generation = 0;  // changes of the set so far
    };
    // The cabinet's watch, brought up to date with its present LUN set.
    Watch& Look(int cabinet, const CabinetModel& cab);

    std::vector<Watch> watches_;
};

}  // namespace sim
