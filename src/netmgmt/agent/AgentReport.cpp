#include "netmgmt/agent/AgentReport.h"

#include <atomic>

#include "netmgmt/agent/AgentTexts.h"
#include "platform/EventLog.h"

namespace oruagent {

namespace {

using Echo = void (*)(std::uint16_t type, const char* text);

std::atomic<Echo>& TheEcho() {
    static std::atomic<Echo> echo{nullptr};
    return echo;
}

}  // namespace

void SetReportEcho(Echo echo) {
    TheEcho().store(echo);
}

void ReportAgentEvent(ReportType type, const std::string& text) {
    platform::EventSourceHandle source = platform::RegisterEventSource(AgentTexts::kEventSource);
    if (source != nullptr) {
        platform::ReportEvent(source, type, 0, 0, {text});
        platform::DeregisterEventSource(source);
    }
    if (const Echo echo = TheEcho().load(); echo != nullptr) {
        echo(type, text.c_str());
    }
}

}  // namespace oruagent
