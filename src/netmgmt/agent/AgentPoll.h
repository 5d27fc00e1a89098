// The agent's poll thread: it finds the subsystems through the client
// library, connects a session to each, reads each one's state, publishes
// the MIB, and while idle turns the sessions' events into traps.
//
// Every pause of the thread goes through PollControl: 60 s before the first
// round and after a round that failed, 30 s after a trap, 5 s between event
// polls. A state reply is waited for on its session, which ends as soon as
// the reply arrives, in steps of at most 100 ms between looks at the stop
// flag; it is awaited at most 300 s and never past a lost connection; the
// subsystem then has no state. A session lost while idle shows its
// subsystem without state (status 1) at once and ends the round, so the
// next round finds the service again when it returns.
//
// No status change is lost: each event poll takes every waiting result of
// every session and posts its traps one after the other; after the pause
// that follows a trap, what came meanwhile is taken the same way before the
// sessions go; and every round compares each subsystem's status with the
// last one the sinks were told (by a trap, or the first status the table
// showed) and traps the difference. A subsystem whose session was lost
// (status 1) counts as told so, since no trap can be made without its
// state; its next valid status is then trapped.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentTraps.h"

class DiskArray;
class DiskArrayState;
class EventPollMsg;
class OruSubsystem;
class QEN;

namespace oruagent {

struct AgentShared;

// The waits of the poll thread, in milliseconds of the clock seam.
struct PollTimes {
    static constexpr std::uint64_t kFirstRoundMs = 60000;
    static constexpr std::uint64_t kRetryMs = 60000;
    static constexpr std::uint64_t kAfterTrapMs = 30000;
    static constexpr std::uint64_t kIdleMs = 5000;
    static constexpr std::uint64_t kStateLimitMs = 300000;
    static constexpr std::uint64_t kReplyPauseMs = 100;
};

class AgentPoller {
  public:
    explicit AgentPoller(AgentShared& shared);

    // AgentPollThread: rounds until a stop is asked; then flag 2.
    void Run();

    // PollSubsystems: one round over the QEN's subsystems. 1 when it ended
    // after a trap (the next round follows at once), 0 otherwise.
    int PollSubsystems(QEN& qen);

    // Whether the registry value "EnableRemoteSupport" of the agent is 1.
    static bool RemoteSupport();

  private:
    // One subsystem of the round.
    struct SubsystemRecord {
        OruSubsystem* subsystem = nullptr;
        DiskArray* array = nullptr;       // its session, or none
        DiskArrayState* state = nullptr;  // its state while valid, or none
        std::int32_t status = 1;
        int row = -1;        // its MIB row, or -1
        std::string serial;  // its serial number, once a state was read
    };
    enum class EventsOutcome { kNone, kPosted, kLost };

    DiskArrayState* WaitForState(DiskArray& array);
    EventsOutcome PollEvents();
    // The events of one event reply of a subsystem with state: its status
    // again, and every trap the events make, in order. True when a trap
    // was posted; *noMib when the new status could not be published (the
    // round then ends).
    bool TakeEvents(SubsystemRecord& record, EventPollMsg& events, bool* noMib);
    // A trap of the subsystem's status when it differs from the last one
    // told (its first status is only remembered). True when one was posted.
    bool TrapStatusChange(const SubsystemRecord& record);
    // The rows with their statuses, as a new chain for the queries; false,
    // with the agent's report, when memory ran out (the round then ends and
    // the next one builds everything again).
    bool PublishRows();
    void Report(int type, int number, const std::string& tail = std::string());

    AgentShared& shared_;
    AgentTraps traps_;
    std::vector<SubsystemRecord> table_;
    std::vector<MibRow> rows_;
    // By serial number: the status the trap sinks were last told.
    std::map<std::string, std::int32_t> told_;
};

}  // namespace oruagent
