#include "coresys/server/monitor/MonitorInterval.h"

#include <cstdlib>

std::uint32_t MonitorInterval::ParseSeconds(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const char* p = text;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    std::uint64_t seconds = 0;
    bool digits = false;
    while (*p >= '0' && *p <= '9') {
        digits = true;
        if (seconds <= kMaxSeconds) {
            seconds = seconds * 10 + static_cast<std::uint64_t>(*p - '0');
        }
        ++p;
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (!digits || *p != '\0') {
        return 0;
    }
    if (seconds > kMaxSeconds) {
        seconds = kMaxSeconds;
    }
    return static_cast<std::uint32_t>(seconds * 1000u);
}

std::uint32_t MonitorInterval::StatusPoll() {
    if (const char* value = std::getenv("ORU_SMON_INTERVAL")) {
        return ParseSeconds(value);
    }
    if (const char* value = std::getenv("ORU_INTERVAL")) {
        return ParseSeconds(value);
    }
    return kDefaultStatusPollMs;
}

std::uint32_t MonitorInterval::PreventiveCheck() {
    if (const char* value = std::getenv("ORU_PLOG_INTERVAL")) {
        return ParseSeconds(value);
    }
    return kDefaultPreventiveMs;
}
