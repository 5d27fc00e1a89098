#include "tools/firmware/DownloadSignals.h"

#include "platform/Clock.h"

namespace download {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_caught = 0;

void OnSignal(int signal) {
    if (g_caught == 0)
        g_caught = signal;
}

}  // namespace

SignalCatcher::SignalCatcher() {
    for (int i = 0; i < kCount; ++i) {
        struct sigaction current {};
        if (sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        // Reads and writes on the device go on; only the flows' waits end.
        action.sa_flags = SA_RESTART;
        caught_[i] = sigaction(kSignals[i], &action, &previous_[i]) == 0;
    }
}

SignalCatcher::~SignalCatcher() {
    for (int i = 0; i < kCount; ++i) {
        if (caught_[i])
            sigaction(kSignals[i], &previous_[i], nullptr);
    }
}

int CaughtSignal() {
    return g_caught;
}

std::uint64_t SleepUnlessSignalled(std::uint64_t ms) {
    if (g_caught != 0) {
        platform::SleepMs(ms);
        return 0;
    }
    return platform::SleepMsUnless(ms, &g_caught);
}

void RaiseCaughtSignal() {
    const int signal = g_caught;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace download
