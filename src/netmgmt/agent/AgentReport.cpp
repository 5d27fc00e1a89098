#include "netmgmt/agent/AgentReport.h"

#include "netmgmt/agent/AgentTexts.h"
#include "platform/EventLog.h"

namespace oruagent {

void ReportAgentEvent(ReportType type, const std::string& text) {
    platform::EventSourceHandle source = platform::RegisterEventSource(AgentTexts::kEventSource);
    if (source == nullptr) {
        return;
    }
    platform::ReportEvent(source, type, 0, 0, {text});
    platform::DeregisterEventSource(source);
}

}  // namespace oruagent
