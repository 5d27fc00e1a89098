// The entry points of the agent library libOruagent.so, looked up by name by
// the program that loads it (oru-snmp-host): the library entry, start-up,
// queries and traps of an SNMP extension agent. See SnmpTypes.h for the
// types and who owns what.
//
// The loader calls every entry point from one thread: OruAgentDllMain
// (attach) right after loading, SnmpExtensionInit once, then queries and
// trap takes as they come, and OruAgentDllMain (detach) before unloading.
// The agent's own poll thread reaches the loader only through the trap
// descriptor.
#pragma once

#include "netmgmt/agent/SnmpTypes.h"

extern "C" {

// Attach: opens the agent's and the service's catalogs (false, reported,
// when either is missing). Detach: reports the shutdown, stops the poll
// thread and frees everything; false when the poll thread did not end
// within one poll step (the library must then stay loaded).
int OruAgentDllMain(int reason);

int SnmpExtensionInit(std::uint32_t startTicks, int* trapEvent, AsnObjectIdentifier* view);

int SnmpExtensionQuery(std::uint8_t requestType, SnmpVarBindList* bindings,
                       std::int32_t* errorStatus, std::int32_t* errorIndex);

int SnmpExtensionTrap(AsnObjectIdentifier* enterprise, std::int32_t* genericTrap,
                      std::int32_t* specificTrap, std::uint32_t* timeStamp,
                      SnmpVarBindList* bindings);

// Every report the agent makes to the event log is also handed to echo
// (nullptr: to nothing), so a loader in the foreground can show it.
void OruAgentSetReportEcho(OruAgentReportEchoFn echo);

}  // extern "C"
