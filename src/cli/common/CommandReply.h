// The final reply of one request, copied out of the connection.
//
// A poll result belongs to the DiskArray that produced it and dies with its
// next poll or its disconnect; a program that needs the reply afterwards
// (to print it, to choose the exit code, to read a state, a buffer or
// performance data) keeps this copy instead, which it owns.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cli/common/ErrorPrinter.h"
#include "coresys/common/CommandHandle.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"
#include "coresys/common/oruerr.h"

class PollMsg;

class CommandReply {
  public:
    std::uint32_t kind = 0;
    std::uint32_t status = 0;
    CommandHandle handle;
    // What the reply carried, by kind: the error record (kinds 2 and 10),
    // the state and server state (5), performance metrics (7) and
    // recommendations (8), the buffer (9).
    std::optional<oruerr> error;
    std::optional<DiskArrayState> state;
    std::optional<OruServerState> serverState;
    std::vector<PerfMetric> metrics;
    std::optional<PerfRecs> recs;
    std::vector<unsigned char> bytes;

    // A deep copy of everything the poll result carries.
    static CommandReply CopyOf(const PollMsg& message);

    // The kind and error record, for the error printers; valid while this
    // object lives unchanged.
    ReplyView View() const;
};
