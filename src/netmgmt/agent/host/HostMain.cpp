// oru-snmp-host: the agent library served to snmpd over AgentX.
//   oru-snmp-host [-f] [-x SOCKET]
#include <cstdio>

#include "netmgmt/agent/host/SnmpHost.h"

int main(int argc, char** argv) {
    orusnmphost::HostOptions options;
    switch (orusnmphost::ParseHostCommandLine(argc, argv, &options)) {
        case orusnmphost::ParseOutcome::kUsage:
            orusnmphost::PrintUsage(stderr);
            return orusnmphost::kExitUsage;
        case orusnmphost::ParseOutcome::kHelp:
            orusnmphost::PrintUsage(stdout);
            return orusnmphost::kExitDone;
        case orusnmphost::ParseOutcome::kRun:
            break;
    }
    orusnmphost::SnmpHost host(options);
    return host.Run();
}
