#include "gui/ModelHost.h"

#include <QTimer>

#include <algorithm>

#include "platform/Clock.h"

namespace oru {
namespace {

constexpr std::uint64_t kAnimationStepMs = 500;
// A wait looks at its condition at least this often, also when no worker
// wakes it.
constexpr std::uint64_t kRecheckMs = 100;

}  // namespace

bool EventLoopHost::WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs) {
    BusyScope busy(busy_);
    const std::uint64_t start = platform::MonotonicMs();
    const std::uint64_t limit = platform::ScaledMs(limitMs);
    std::uint64_t lastStep = start;
    while (!done()) {
        const std::uint64_t now = platform::MonotonicMs();
        if (now - start >= limit) {
            return false;
        }
        if (now - lastStep >= kAnimationStepMs) {
            OnWaitTick();
            lastStep = now;
        }
        RunEvents(std::min(kRecheckMs, limit - (now - start)));
    }
    return true;
}

void EventLoopHost::Wake() {
    if (loop_ != nullptr) {
        loop_->quit();
    }
}

void EventLoopHost::Pause(std::uint64_t ms) {
    RunEvents(ms);
}

void EventLoopHost::RunEvents(std::uint64_t ms) {
    QEventLoop loop;
    QEventLoop* outer = loop_;
    loop_ = &loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    loop_ = outer;
}

}  // namespace oru
