// Identifiers and comparison kinds of the performance metrics.
#pragma once

#include <cstdint>

// A performance metric; the service computes identifiers 1 to 16.
enum PERF_METRIC : std::uint32_t {
    PERF_METRIC_NONE = 0,
    PERF_METRIC_FIRST = 1,
    PERF_METRIC_LAST = 16,
};

// How a metric's value compares with its threshold.
enum RELATIONAL_OPERATOR : std::uint32_t {
    RELOP_LESS = 0,     // a value below the threshold is of note
    RELOP_GREATER = 1,  // a value above the threshold is of note
};
