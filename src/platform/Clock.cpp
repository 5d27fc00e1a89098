#include "platform/Clock.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

double ScaleFromEnvironment() {
    const char* text = std::getenv("ORU_TIME_SCALE");
    if (text == nullptr || *text == '\0') {
        return 1.0;
    }
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0.0) || value > 1e6) {
        return 1.0;
    }
    return value;
}

std::atomic<double>& Scale() {
    static std::atomic<double> scale{ScaleFromEnvironment()};
    return scale;
}

}  // namespace

std::uint64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

double TimeScale() { return Scale().load(std::memory_order_relaxed); }

void SetTimeScale(double factor) {
    Scale().store(factor > 0.0 ? factor : 1.0, std::memory_order_relaxed);
}

std::uint64_t ScaledMs(std::uint64_t ms) {
    if (ms == 0) {
        return 0;
    }
    double scaled = static_cast<double>(ms) / TimeScale();
    if (scaled < 1.0) {
        return 1;
    }
    return static_cast<std::uint64_t>(scaled);
}

void SleepMs(std::uint64_t ms) {
    std::uint64_t real = ScaledMs(ms);
    timespec left{static_cast<time_t>(real / 1000u), static_cast<long>((real % 1000u) * 1000000u)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace platform
