// The SNMP side of vxqxoru: finds the map's computers that run the arrays'
// SNMP agent (a probe of the agent's version variable, in batches of 100
// hosts whose replies are awaited together), reads each agent's subsystem
// table with blocking requests, and takes the agent's traps.
//
// Waiting for probe replies pumps the application's messages, so platform
// events, further replies and traps are handled meanwhile; without progress
// the wait gives up after 1 + 2 + 4 + 8 seconds on the loop's clock, and it
// ends as soon as every probe was answered.
//
// Everything read from an agent is checked before it is used: the version
// and table values by type and name, the row count against a limit, texts
// up to their first NUL within the bytes received.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "netmgmt/map/ArrayMap.h"
#include "netmgmt/map/standin/QxSnmp.h"

namespace vxqxoru {

// The most rows one agent's table may have; a larger count fails the read.
inline constexpr std::int64_t kMaxRows = 1024;
// The longest serial number taken from an agent; a longer one fails the read.
inline constexpr std::size_t kMaxSerial = 255;
// After a configuration-change trap, the host is read again this much later:
// the agent rebuilds its table only after its pause that follows the trap.
inline constexpr std::uint64_t kRereadDelayMs = 90000;
// Waits for replies nested deeper than this (a 42100 trap during a wait
// during ...) are not started; the host is read at the next idle time.
inline constexpr int kMaxNestedWaits = 4;
// Hosts waiting for a re-read at most; traps naming further hosts add none.
inline constexpr std::size_t kMaxRereads = 1024;
// Agent addresses without a name that were said on standard error at most;
// traps from further such addresses are ignored unsaid.
inline constexpr std::size_t kMaxNamelessSaid = 256;

struct AgentProbe {
    std::string hostName;
    QXsnmpSession* session = nullptr;  // nullptr once its reply (or time-out) came
    bool found = false;                // the host runs the agent
};

class SnmpPoller {
  public:
    // Opens the trap session (none when the trap port cannot be had).
    explicit SnmpPoller(ArrayMap& map);
    ~SnmpPoller();
    SnmpPoller(const SnmpPoller&) = delete;
    SnmpPoller& operator=(const SnmpPoller&) = delete;

    // Probes every computer of the map and merges the tables of those that
    // run the agent.
    void WalkComputers();
    // Reads again the hosts whose delayed re-read is due (idle time); true
    // when it read any.
    bool ReadDueHosts();
    // When the next delayed re-read is due (the loop's clock), if any.
    std::optional<std::uint64_t> NextReadDue() const;

    const std::vector<AgentProbe>& Probes() const { return probes_; }
    bool Receiving() const { return trapSession_ != nullptr; }

  private:
    static void AgentProbeCallback(int type, QXsnmpSession* session, QXsnmpPdu* pdu, void* data);
    static void TrapCallback(int type, QXsnmpSession* session, QXsnmpPdu* pdu, void* data);
    void OnTrap(const QXsnmpPdu& pdu);
    // Says the first ignored trap of each address without a name.
    void SayNamelessAddress(const std::array<std::uint8_t, 4>& address);

    void ProbeHost(const std::string& hostName);
    // True when the application is quitting.
    bool WaitForReplies();
    bool PumpMessages();
    std::size_t InFlight() const;
    void ReadFoundHosts();
    void ReadArrayTable(ArrayEntry& fresh);
    std::optional<std::vector<SubsystemRow>> ReadRows(QXsnmpSession* session);
    void ClearProbes();

    ArrayMap& map_;
    QXsnmpSession* trapSession_ = nullptr;
    std::vector<AgentProbe> probes_;
    int waits_ = 0;                                       // waits for replies in progress (nested)
    std::map<std::string, std::uint64_t> rereads_;        // host -> due (loop clock)
    std::set<std::string> readSoon_;                      // hosts read at the next idle time
    std::set<std::array<std::uint8_t, 4>> namelessSaid_;  // nameless agent addresses said
};

// An agent's text value as the text it stands for: the bytes up to the
// first NUL (the agent's traps count a terminator, its table does not).
std::string AgentText(const std::string& bytes);

}  // namespace vxqxoru
