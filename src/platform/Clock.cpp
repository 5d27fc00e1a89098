#include "platform/Clock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

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

using Observer = std::function<void(std::uint64_t)>;

std::mutex& ObserverLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

// Copied out under the lock and called outside it, so an observer may take
// its own time (or sleep) without holding up other sleepers.
std::shared_ptr<Observer>& CurrentObserver() {
    static auto* observer = new std::shared_ptr<Observer>;
    return *observer;
}

std::atomic<bool> g_observed{false};

}  // namespace

std::uint64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

double TimeScale() {
    return Scale().load(std::memory_order_relaxed);
}

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

std::uint64_t NominalMs(std::uint64_t realMs) {
    return static_cast<std::uint64_t>(static_cast<double>(realMs) * TimeScale());
}

void SetSleepObserver(std::function<void(std::uint64_t ms)> observer) {
    std::lock_guard<std::mutex> guard(ObserverLock());
    if (observer) {
        CurrentObserver() = std::make_shared<Observer>(std::move(observer));
    } else {
        CurrentObserver().reset();
    }
    g_observed.store(CurrentObserver() != nullptr, std::memory_order_release);
}

namespace {

void TellObserver(std::uint64_t ms) {
    if (g_observed.load(std::memory_order_acquire)) {
        std::shared_ptr<Observer> observer;
        {
            std::lock_guard<std::mutex> guard(ObserverLock());
            observer = CurrentObserver();
        }
        if (observer != nullptr) {
            (*observer)(ms);
        }
    }
}

}  // namespace

void SleepMs(std::uint64_t ms) {
    TellObserver(ms);
    std::uint64_t real = ScaledMs(ms);
    timespec left{static_cast<time_t>(real / 1000u), static_cast<long>((real % 1000u) * 1000000u)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::uint64_t SleepMsUnless(std::uint64_t ms, const volatile std::sig_atomic_t* stop) {
    TellObserver(ms);
    if (*stop != 0) {
        return ms;
    }
    std::uint64_t real = ScaledMs(ms);
    timespec left{static_cast<time_t>(real / 1000u), static_cast<long>((real % 1000u) * 1000000u)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        if (*stop != 0) {
            const std::uint64_t leftMs = static_cast<std::uint64_t>(left.tv_sec) * 1000u +
                                         static_cast<std::uint64_t>(left.tv_nsec) / 1000000u;
            // At least 1: the caller learns that the sleep was cut.
            const std::uint64_t nominal = NominalMs(leftMs);
            return nominal == 0 ? 1 : std::min(nominal, ms);
        }
    }
    return 0;
}

}  // namespace platform
