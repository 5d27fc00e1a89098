// Puts event detection into the running service.
//
// Install makes every state refresh of a subsystem monitor compare the
// current state with the new one and send the differences to the
// subsystem's revision-4 sessions (with their texts in the NT event log),
// and makes the connection side's failures travel the same way. Uninstall
// takes both out again. Call both from the service's main thread, Install
// before the managers start and Uninstall after they stopped.
#pragma once

#include <cstdint>

class DeviceMgr;
class OruLite;
class ServerDiskArrayState;

class EventDistribution {
  public:
    static void Install();
    static void Uninstall();
    // From then on every finished rescan of manager is told to every
    // session (server software, minor 13) and written to the event log.
    // Call after the connection manager started, which installs a plain
    // listener of its own.
    static void ListenForRescans(DeviceMgr& manager);

    // The monitor's comparison: events for every difference between current
    // and fresh, sent as one reply. Returns true when any was found.
    static bool CompareAndSend(OruLite& monitor, const ServerDiskArrayState& current,
                               ServerDiskArrayState& fresh);

    // A failure of the connection code: one server-software event (minor
    // 2, argument 1 = 3, argument 2 = value) to every session, and its text.
    static void RaiseServerEvent(unsigned value);
    // The configuration changed (a rescan finished).
    static void ConfigurationChanged();
    // The service's log was suspended or resumed: one DAS_MISC event of
    // minor type 2 with the LRBA and the read error count to every
    // revision-4 session (the log is every subsystem's), carrying the state
    // value it changes (1 suspended, 0 running). The Log Task writes the
    // event-log text itself.
    static void LogStateChanged(std::uint32_t lrba, std::uint32_t readErrors, bool suspended);
};
