// What the agent's entry points and its poll thread share. The poll thread
// holds a reference of its own, so the parts stay alive for it even when a
// stop had to give up waiting for it.
#pragma once

#include "netmgmt/agent/AgentCatalog.h"
#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/PollControl.h"
#include "netmgmt/agent/TrapSlot.h"

namespace oruagent {

struct AgentShared {
    AgentCatalog catalog;  // loaded at attach, read-only afterwards
    AgentMib mib;
    TrapSlot traps;
    PollControl control;
};

}  // namespace oruagent
