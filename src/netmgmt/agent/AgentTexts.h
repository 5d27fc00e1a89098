// The agent's own fixed texts: those that cannot come from a catalog (they
// say a catalog is missing, or name a status by its symbol) and the values
// it publishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace oruagent {

struct AgentTexts {
    // Event source of the agent's reports.
    static constexpr const char* kEventSource = "ORUAgent";
    // The version variable (.1.0 of the view).
    static constexpr const char* kVersion = "ORUAgent.dll - Version:2";
    // Reported when the agent's own catalog cannot be opened.
    static constexpr const char* kNoAgentCatalog =
        "Unable to open the ORUAgent catalog file... Exiting!";
    static constexpr const char* kShutDown = "ORU agent shut down... Exiting!";
    // A text the agent catalog lacks (set, number).
    static constexpr const char* kAgentNoSuchString =
        "Agent StringCatalog::(%d,%d): No such string.";
    // A text the service's catalog lacks (set, number).
    static constexpr const char* kServerNoSuchString =
        "ORU StringCatalog::(%d,%d): No such string.";
    // A service text holding this word makes no trap.
    static constexpr const char* kIgnore = "ignore";
    static constexpr const char* kSeparator = " - ";
};

// "- ASL_GOOD" ... for the list statuses 0..10, "- Unknown" otherwise.
const char* AslStatusName(std::uint32_t status);
// " - SESS_SUCCESS" ... for the session statuses 0..11, " - Unknown" otherwise.
const char* SessionStatusName(std::uint32_t status);

}  // namespace oruagent
