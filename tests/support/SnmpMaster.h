// A private net-snmp master agent and trap receiver for one test: snmpd on a
// free loopback UDP port with its own AgentX socket, sending v1 traps to
// snmptrapd on another free port, and the net-snmp client programs run
// against them. Never the system's daemons: everything lives in one
// directory of the test (configuration, socket, net-snmp's persistent
// files), and both daemons are stopped by their own process ids.
//
// snmpd: "master agentx", agentXSocket unix:<dir>/agentx.sock, community
// "public" read-only and "private" read-write from 127.0.0.1, trapsink on
// snmptrapd's port (and on the ports AddTrapSink named), v1trapaddress
// 127.0.0.1. snmptrapd: authorization off,
// every v1 trap written as a block the fixture reads back (Traps()).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace testsupport {

// One variable as a net-snmp client printed it with numeric names.
struct SnmpVariable {
    std::string oid;    // ".1.3.6..."
    std::string type;   // "INTEGER", "STRING", "Hex-STRING", "OID", ... ("" for an exception)
    std::string value;  // strings unquoted; Hex-STRING decoded to its bytes; else as printed
};

// One SNMPv1 trap as snmptrapd received it.
struct SnmpV1Trap {
    std::string enterprise;  // ".1.3.6..."
    int generic = -1;
    int specific = -1;
    std::vector<SnmpVariable> bindings;
};

// What one run of a client program gave.
struct SnmpRun : ProgramRun {
    std::vector<SnmpVariable> variables;  // parsed from out
};

class SnmpMaster {
  public:
    // directory: created if missing; holds everything of both daemons.
    explicit SnmpMaster(std::string directory);
    ~SnmpMaster();
    SnmpMaster(const SnmpMaster&) = delete;
    SnmpMaster& operator=(const SnmpMaster&) = delete;

    // Starts snmptrapd, then snmpd, and waits until snmpd answers and its
    // AgentX socket exists. Empty on success, else what went wrong.
    std::string Start();
    // Stops both (SIGTERM, then waits).
    void Stop();
    // Before Start: snmpd also sends its v1 traps to this loopback port.
    void AddTrapSink(std::uint16_t port) { extraSinks_.push_back(port); }

    // "unix:<dir>/agentx.sock": what a subagent connects to.
    std::string AgentXSocket() const { return "unix:" + directory_ + "/agentx.sock"; }
    std::uint16_t Port() const { return port_; }
    // The environment every net-snmp program of the test gets: no MIB
    // loading, configuration and persistent files in the directory.
    std::vector<std::string> Environment() const;

    // Runs /usr/bin/<program> -On <arguments...> <address> <names...>.
    // version "1" or "2c"; community "public" or "private".
    SnmpRun Client(const std::string& program, const std::string& version,
                   const std::string& community, const std::vector<std::string>& names,
                   const std::vector<std::string>& extra = {});
    SnmpRun Walk(const std::string& oid, const std::string& version = "2c") {
        return Client("snmpwalk", version, "public", {oid});
    }
    SnmpRun Get(const std::string& oid, const std::string& version = "2c") {
        return Client("snmpget", version, "public", {oid});
    }

    // Every v1 trap snmptrapd logged so far, in arrival order.
    std::vector<SnmpV1Trap> Traps();
    // Waits up to timeoutMs for a trap of the enterprise; true with it in *trap.
    bool WaitForTrap(const std::string& enterprise, int timeoutMs, SnmpV1Trap* trap);

    ChildProcess& Daemon() { return snmpd_; }
    ChildProcess& TrapDaemon() { return snmptrapd_; }

  private:
    std::string directory_;
    std::uint16_t port_ = 0;
    std::uint16_t trapPort_ = 0;
    std::vector<std::uint16_t> extraSinks_;
    ChildProcess snmpd_;
    ChildProcess snmptrapd_;
    bool started_ = false;
};

// The variables of a client's numeric output ("OID = TYPE: value" lines).
std::vector<SnmpVariable> ParseSnmpVariables(const std::string& text);

}  // namespace testsupport
