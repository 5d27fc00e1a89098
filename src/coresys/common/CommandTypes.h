// Kinds of command result and the states of a drive diagnostic.
#pragma once

#include <cstdint>

// The kind of a CommandResults entry; its coding starts with this word.
enum COMMAND_TYPE : std::uint32_t {
    COMMAND_RESULTS = 1,                        // CommandResults
    DIAG_COMMAND_RESULTS = 2,                   // DiagCommandResults
    PROACTIVE_PERFORMANCE_COMMAND_RESULTS = 3,  // ProactivePerformanceCommandResults
};

// State of a drive verify or write/read test.
enum DIAG_STATE : std::uint32_t {
    DIAG_STATE_NONE = 0,  // no diagnostic recorded
    DIAG_STATE_IDLE = 1,
    DIAG_STATE_COULD_NOT_START = 2,
    DIAG_STATE_FINISHED = 3,
    DIAG_STATE_FINISHED_WITH_ERRORS = 4,
    DIAG_STATE_RUNNING = 5,
    DIAG_STATE_CANCELLED = 6,
};
