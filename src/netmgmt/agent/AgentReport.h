// The agent's entries in the event log, under the source "ORUAgent".
#pragma once

#include <cstdint>
#include <string>

namespace oruagent {

enum ReportType : std::uint16_t {
    kReportError = 1,
    kReportWarning = 2,
    kReportInformation = 4,
};

// ReportAgentEvent: registers the source, reports the one text, deregisters;
// then hands the text to the echo, when one is set.
void ReportAgentEvent(ReportType type, const std::string& text);

// The receiver of every report besides the event log (nullptr: none).
void SetReportEcho(void (*echo)(std::uint16_t type, const char* text));

}  // namespace oruagent
