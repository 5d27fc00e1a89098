#include "netmgmt/map/standin/LoopClock.h"

#include <poll.h>

#include <cerrno>
#include <cmath>

#include "platform/Clock.h"

namespace qxapp {

void PollReadable(const std::vector<int>& fds, int timeoutMs, std::vector<int>* ready) {
    ready->clear();
    std::vector<pollfd> polled;
    polled.reserve(fds.size());
    for (int fd : fds) {
        polled.push_back(pollfd{fd, POLLIN, 0});
    }
    int n = 0;
    do {
        n = ::poll(polled.data(), polled.size(), timeoutMs);
    } while (n < 0 && errno == EINTR && timeoutMs == 0);
    if (n <= 0) {
        return;  // a signal ends the wait early: the caller looks again
    }
    for (const pollfd& p : polled) {
        if ((p.revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0) {
            ready->push_back(p.fd);
        }
    }
}

ScaledClock::ScaledClock() : scale_(platform::TimeScale()) {}

std::uint64_t ScaledClock::NowMs() {
    return static_cast<std::uint64_t>(static_cast<double>(platform::MonotonicMs()) * scale_);
}

std::uint32_t ScaledClock::Ticks() {
    return static_cast<std::uint32_t>(NowMs());
}

void ScaledClock::Wait(const std::vector<int>& fds, std::uint64_t deadlineMs,
                       std::vector<int>* ready) {
    int timeout = -1;
    if (deadlineMs != kNoDeadline) {
        const std::uint64_t now = NowMs();
        const double left = deadlineMs > now ? static_cast<double>(deadlineMs - now) / scale_ : 0.0;
        timeout = left > 86400000.0 ? 86400000 : static_cast<int>(std::ceil(left));
    }
    PollReadable(fds, timeout, ready);
}

}  // namespace qxapp
