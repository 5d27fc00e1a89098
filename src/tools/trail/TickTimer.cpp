#include "tools/trail/TickTimer.h"

#include <atomic>

#include "platform/Clock.h"

namespace trail {

namespace {

std::atomic<std::uint32_t (*)()> g_tickSource{nullptr};

}  // namespace

std::uint32_t TickTimer::TickCount() {
    if (auto source = g_tickSource.load(); source != nullptr) {
        return source();
    }
    return static_cast<std::uint32_t>(platform::MonotonicMs());
}

void TickTimer::SetTickSource(std::uint32_t (*source)()) {
    g_tickSource.store(source);
}

void TickTimer::Start() {
    Start(interval_);
}

void TickTimer::Start(std::uint32_t ms) {
    deadline_ = TickCount() + ms;
    armed_ = 1;
}

bool TickTimer::Expired() {
    if (armed_ == 0) {
        return true;
    }
    const auto left = static_cast<std::int32_t>(deadline_ - TickCount());
    if (left >= 0) {
        return false;
    }
    armed_ = 0;
    return true;
}

bool TickTimer::Wait(std::uint32_t ms) {
    Start(ms);
    while (!Expired()) {
    }
    return true;
}

}  // namespace trail
