#include "gui/ModelHost.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <memory>

#include "client/DiskArray.h"
#include "platform/Clock.h"

namespace oru {
namespace {

constexpr std::uint64_t kAnimationStepMs = 500;
// A worker wait looks at its condition at least this often, also when no
// worker wakes it.
constexpr std::uint64_t kRecheckMs = 100;
// The property that marks a wait control.
constexpr const char* kWaitControl = "oruWaitControl";

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            return true;
        default:
            return false;
    }
}

}  // namespace

// Keeps user input away from the windows that were open when a wait's loop
// began, but for the ones the host lets take it and for wait controls.
class EventLoopHost::InputGate : public QObject {
  public:
    explicit InputGate(const EventLoopHost& host) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && !host.TakesInputWhileBusy(window)) {
                held_.emplace_back(window);
            }
        }
        qApp->installEventFilter(this);
    }
    ~InputGate() override { qApp->removeEventFilter(this); }
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (!IsUserInput(event->type()) || !target->isWidgetType()) {
            return false;
        }
        const auto* widget = static_cast<QWidget*>(target);
        if (widget->property(kWaitControl).toBool()) {
            return false;
        }
        const QWidget* window = widget->window();
        return std::any_of(held_.begin(), held_.end(), [window](const QPointer<QWidget>& held) {
            return held.data() == window;
        });
    }

  private:
    std::vector<QPointer<QWidget>> held_;
};

void EventLoopHost::MarkWaitControl(QObject* control) {
    control->setProperty(kWaitControl, true);
}

bool EventLoopHost::WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs,
                              BusyState::Kind kind) {
    const WaitOperation operation(*this);
    BusyScope busy(busy_, kind);
    const std::uint64_t start = platform::MonotonicMs();
    const std::uint64_t limit = platform::ScaledMs(limitMs);
    QTimer animation;
    animation.setInterval(static_cast<int>(kAnimationStepMs));
    QObject::connect(&animation, &QTimer::timeout, [this] { OnWaitTick(); });
    animation.start();
    for (;;) {
        // A Cancel counts before a condition that came to hold with it.
        if (operation.Cancelled()) {
            return false;
        }
        if (done()) {
            return true;
        }
        const std::uint64_t now = platform::MonotonicMs();
        if (now - start >= limit) {
            return false;
        }
        QEventLoop loop;
        RunLoop(loop, std::min(kRecheckMs, limit - (now - start)));
    }
}

void EventLoopHost::Wake() {
    for (QEventLoop* loop : loops_) {
        loop->quit();
    }
}

void EventLoopHost::CancelWaits() {
    ++cancels_;
    Wake();
}

bool EventLoopHost::Cancelled() const {
    return operations_ > 0 && cancels_ != operationMark_;
}

void EventLoopHost::BeginOperation() {
    if (operations_++ == 0) {
        operationMark_ = cancels_;
    }
}

void EventLoopHost::EndOperation() {
    --operations_;
}

bool EventLoopHost::AwaitReply(const DiskArray& array, std::uint64_t ms) {
    const WaitOperation operation(*this);
    if (operation.Cancelled()) {
        return false;
    }
    const int socket = array.ReplySocket();
    if (socket < 0 || ms == 0) {
        return true;  // nothing to wait on: the next poll tells
    }
    QEventLoop loop;
    QSocketNotifier readable(static_cast<qintptr>(socket), QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    RunLoop(loop, platform::ScaledMs(ms));
    return !operation.Cancelled();
}

void EventLoopHost::RunLoop(QEventLoop& loop, std::uint64_t ms) {
    std::unique_ptr<InputGate> gate;
    if (gate_ == nullptr) {
        gate = std::make_unique<InputGate>(*this);
        gate_ = gate.get();
    }
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(static_cast<int>(std::min<std::uint64_t>(ms, INT_MAX)));
    loops_.push_back(&loop);
    loop.exec();
    loops_.pop_back();
    if (gate != nullptr) {
        gate_ = nullptr;
    }
}

}  // namespace oru
