#include "coresys/server/log/LogClock.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<const LogClockSource*> g_source{nullptr};

}  // namespace

namespace logclock {

std::uint32_t Now() {
    const LogClockSource* source = g_source.load(std::memory_order_acquire);
    if (source != nullptr) {
        return source->Now();
    }
    return static_cast<std::uint32_t>(std::time(nullptr));
}

void SetSource(const LogClockSource* source) {
    g_source.store(source, std::memory_order_release);
}

}  // namespace logclock
