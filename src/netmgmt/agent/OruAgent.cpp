// The agent's entry points over one agent object per process.
#include "netmgmt/agent/OruAgent.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentPoll.h"
#include "netmgmt/agent/AgentReport.h"
#include "netmgmt/agent/AgentShared.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/agent/TrapBindings.h"
#include "platform/Clock.h"

namespace oruagent {
namespace {

// Numbers of the agent's reports (set 1).
constexpr int kNoWaitForPollThread = 5;
constexpr int kNoServerCatalog = 6;
constexpr int kNoTrapEvent = 11;
constexpr int kNoPollThread = 13;

// The stop waits this long (one poll step) for the poll thread.
constexpr std::uint64_t kStopStepMs = 5000;

// The enterprise of the agent's traps: its view. The loader only reads it.
std::uint32_t gEnterprise[kViewArcs.size()] = {};

struct Agent {
    std::shared_ptr<AgentShared> shared;
    std::thread poller;
    std::uint32_t startTicks = 0;
    bool initialised = false;
};

// One per process; left to the process's end on purpose, so nothing of it
// is torn down under a poll thread that could not be stopped.
Agent& TheAgent() {
    static Agent* agent = new Agent();
    return *agent;
}

std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(platform::MonotonicMs());
}

void Report(ReportType type, int number) {
    Agent& agent = TheAgent();
    ReportAgentEvent(type, agent.shared->catalog.AgentText(number));
}

bool Attach() {
    Agent& agent = TheAgent();
    agent.shared = std::make_shared<AgentShared>();
    if (!agent.shared->catalog.LoadCatalogDll(CatalogWhich::kAgent)) {
        ReportAgentEvent(kReportError, AgentTexts::kNoAgentCatalog);
        agent.shared.reset();
        return false;
    }
    if (!agent.shared->catalog.LoadCatalogDll(CatalogWhich::kServer)) {
        Report(kReportError, kNoServerCatalog);
        agent.shared.reset();
        return false;
    }
    return true;
}

// StopAgentPollThread: true when the thread ended within one poll step.
bool StopAgentPollThread(Agent& agent) {
    agent.shared->control.AskStop();
    agent.shared->traps.Stop();
    if (!agent.poller.joinable()) {
        return true;
    }
    if (!agent.shared->control.WaitEnded(kStopStepMs)) {
        // The thread sits in a call of the client library that waits on an
        // unresponsive service. It holds its own reference to what it uses
        // and ends by itself once that call returns.
        Report(kReportError, kNoWaitForPollThread);
        agent.poller.detach();
        return false;
    }
    agent.poller.join();
    return true;
}

bool Detach() {
    Agent& agent = TheAgent();
    if (agent.shared == nullptr) {
        return true;
    }
    ReportAgentEvent(kReportInformation, AgentTexts::kShutDown);
    bool ended = true;
    if (agent.initialised && agent.shared->control.Flag() != PollControl::kEnded) {
        ended = StopAgentPollThread(agent);
    } else if (agent.poller.joinable()) {
        agent.poller.join();
    }
    if (ended) {
        agent.shared->mib.Clear();
        agent.shared->traps.Close();
        agent.shared->catalog.Free();
    }
    agent.shared.reset();
    agent.initialised = false;
    return ended;
}

}  // namespace
}  // namespace oruagent

using namespace oruagent;

extern "C" int OruAgentDllMain(int reason) {
    if (reason == AGENT_PROCESS_ATTACH) {
        return Attach() ? 1 : 0;
    }
    if (reason == AGENT_PROCESS_DETACH) {
        return Detach() ? 1 : 0;
    }
    return 1;
}

extern "C" void OruAgentSetReportEcho(OruAgentReportEchoFn echo) {
    SetReportEcho(echo);
}

extern "C" int SnmpExtensionInit(std::uint32_t startTicks, int* trapEvent,
                                 AsnObjectIdentifier* view) {
    Agent& agent = TheAgent();
    if (agent.shared == nullptr || agent.initialised || trapEvent == nullptr || view == nullptr) {
        return 0;
    }
    agent.startTicks = startTicks;
    if (!agent.shared->traps.Create()) {
        Report(kReportError, kNoTrapEvent);
        return 0;
    }
    *trapEvent = agent.shared->traps.Descriptor();
    std::shared_ptr<AgentShared> shared = agent.shared;
    try {
        agent.poller = std::thread([shared] {
            AgentPoller poller(*shared);
            poller.Run();
        });
    } catch (const std::system_error&) {
        Report(kReportError, kNoPollThread);
        agent.shared->traps.Close();
        return 0;
    }
    std::copy(kViewArcs.begin(), kViewArcs.end(), gEnterprise);
    view->idLength = static_cast<std::uint32_t>(kViewArcs.size());
    view->ids = gEnterprise;
    agent.initialised = true;
    return 1;
}

extern "C" int SnmpExtensionQuery(std::uint8_t requestType, SnmpVarBindList* bindings,
                                  std::int32_t* errorStatus, std::int32_t* errorIndex) {
    Agent& agent = TheAgent();
    if (errorStatus == nullptr || errorIndex == nullptr) {
        return 0;
    }
    if (agent.shared == nullptr) {
        *errorStatus = SNMP_ERRORSTATUS_GENERR;
        *errorIndex = 1;
        return 1;
    }
    return agent.shared->mib.Query(requestType, bindings, errorStatus, errorIndex);
}

extern "C" int SnmpExtensionTrap(AsnObjectIdentifier* enterprise, std::int32_t* genericTrap,
                                 std::int32_t* specificTrap, std::uint32_t* timeStamp,
                                 SnmpVarBindList* bindings) {
    Agent& agent = TheAgent();
    if (agent.shared == nullptr || enterprise == nullptr || genericTrap == nullptr ||
        specificTrap == nullptr || timeStamp == nullptr || bindings == nullptr) {
        return 0;
    }
    TrapSlot& slot = agent.shared->traps;
    // The second call of a take lets the next trap be posted.
    if (slot.Release()) {
        return 0;
    }
    PendingTrap trap;
    if (!slot.Take(&trap)) {
        return 0;
    }
    if (!MakeTrapBindings(trap, bindings)) {
        slot.Release();
        return 0;
    }
    enterprise->idLength = static_cast<std::uint32_t>(kViewArcs.size());
    enterprise->ids = gEnterprise;
    *genericTrap = SNMP_GENERICTRAP_ENTERSPECIFIC;
    *specificTrap = trap.specific;
    *timeStamp = TrapTimeStamp(TickCount(), agent.startTicks);
    return 1;
}
