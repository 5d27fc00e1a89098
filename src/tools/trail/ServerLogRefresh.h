// Before the printer reads the log it asks the array-management service to
// bring it up to date, through the client library: every subsystem copies
// its controller's event log into the service log, then the service writes
// out every record it holds. The service answers the flush only once the
// records are in the files, so what the printer reads afterwards holds
// them.
//
// Nothing here ends the program: a subsystem that cannot be connected, a
// reply of the wrong kind or no reply at all is said (or passed over) and
// the printer goes on with the log as it stands.
#pragma once

#include "coresys/common/CommandHandle.h"

class DiskArray;
class PollMsg;
class StringCatalog;

namespace trail {

class TrailOutput;

// The refresh: the list of subsystems of the service on this host (or
// ORUHOST), one controller-log request per subsystem (text 26 on err for one
// that cannot be connected, 27 for a reply that is not a buffer), then one
// flush request per subsystem until one is answered OK. When none is (also
// with no subsystem at all), text 28 on out.
void RefreshServerLog(StringCatalog& catalog, TrailOutput& out, TrailOutput& err);

// Polls the array until the final message of the request comes (returned;
// it belongs to the array until its next poll) or until nothing has come
// for it for 2 s (every message of the request starts the 2 s again), the
// connection is lost, or the request was never sent: null.
const PollMsg* AwaitCommandCompletion(DiskArray* array, const CommandHandle& handle);

}  // namespace trail
