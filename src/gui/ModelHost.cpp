#include "gui/ModelHost.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

#include "client/DiskArray.h"
#include "platform/Clock.h"

namespace oru {
namespace {

constexpr std::uint64_t kAnimationStepMs = 500;
// A wait looks at its condition at least this often, also when no worker
// wakes it.
constexpr std::uint64_t kRecheckMs = 100;
// A reply wait runs the window's events at least this often (the suite's
// clock).
constexpr std::uint64_t kDrawSliceMs = 10;

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
    ++wakes_;
    if (loop_ != nullptr) {
        loop_->quit();
    }
}

void EventLoopHost::AwaitReply(const DiskArray& array, std::uint64_t ms) {
    // Only a wake that comes while this pause runs ends it.
    const std::uint64_t wakesBefore = wakes_;
    for (std::uint64_t waited = 0; waited < ms; waited += kDrawSliceMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (wakes_ != wakesBefore) {
            return;
        }
        if (array.WaitForReply(static_cast<unsigned long>(std::min(kDrawSliceMs, ms - waited)))) {
            return;
        }
    }
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
