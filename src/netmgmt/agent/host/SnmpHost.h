// oru-snmp-host: serves the agent library to a real snmpd as a net-snmp
// AgentX subagent.
//
// It loads the agent, connects to the master's AgentX socket, registers the
// agent's view and answers the master's GET and GETNEXT requests through the
// agent's query entry; when the agent's trap descriptor becomes readable it
// takes the agent's traps and sends each to the master as an SNMPv1
// enterprise-specific trap, which the master sends on to its trap sinks.
// Every net-snmp call runs on the host's one thread, in one select loop over
// net-snmp's descriptors, the trap descriptor and a self-pipe for signals.
// SET requests are refused by net-snmp itself (the view is read-only).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "netmgmt/agent/SnmpTypes.h"
#include "netmgmt/agent/host/AgentLibrary.h"

struct netsnmp_mib_handler_s;
struct netsnmp_handler_registration_s;
struct netsnmp_agent_request_info_s;
struct netsnmp_request_info_s;

namespace orusnmphost {

struct HostOptions {
    bool foreground = false;  // -f
    std::string socket;       // -x: the master's AgentX socket ("": net-snmp's default)
};

// Exit codes of the program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

enum class ParseOutcome { kRun, kUsage, kHelp };
// -f, -x SOCKET (or -xSOCKET), -? or -h (the usage); anything else is a
// usage error.
ParseOutcome ParseHostCommandLine(int argc, char** argv, HostOptions* options);
// The usage text from the agent's catalog.
void PrintUsage(std::FILE* to);

class SnmpHost {
  public:
    explicit SnmpHost(HostOptions options) : options_(std::move(options)) {}

    // Runs until SIGTERM or SIGINT; the program's exit code.
    int Run();

    // Net-snmp's handler of the view (handler->myvoid is the host).
    static int HandleRequests(netsnmp_mib_handler_s* handler,
                              netsnmp_handler_registration_s* registration,
                              netsnmp_agent_request_info_s* info, netsnmp_request_info_s* requests);

  private:
    void AnswerGet(netsnmp_agent_request_info_s* info, netsnmp_request_info_s* request);
    void AnswerGetNext(netsnmp_agent_request_info_s* info, netsnmp_request_info_s* request);
    // One query of one binding named `name`: the agent's error status, the
    // binding (name and value) in *binding, to be freed by the caller.
    std::int32_t Query(std::uint8_t type, const std::uint32_t* name, std::size_t length,
                       SnmpVarBind* binding);
    void TakeTraps();
    void SendTrap(const AsnObjectIdentifier& enterprise, std::int32_t generic,
                  std::int32_t specific, const SnmpVarBindList& bindings);
    bool InView(const AsnObjectIdentifier& name) const;

    static void OnTrapDescriptor(int fd, void* self);
    static void OnSignalPipe(int fd, void* self);

    HostOptions options_;
    AgentLibrary library_;
    AsnObjectIdentifier view_{0, nullptr};
    int trapFd_ = -1;
};

}  // namespace orusnmphost
