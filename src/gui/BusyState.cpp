#include "gui/BusyState.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>

namespace oru {

std::size_t BusyState::OnChange(std::function<void(bool busy)> listener) {
    const std::size_t id = nextListener_++;
    listeners_.push_back(Listener{id, std::move(listener)});
    return id;
}

void BusyState::RemoveListener(std::size_t id) {
    std::erase_if(listeners_, [id](const Listener& listener) { return listener.id == id; });
}

void BusyState::WhenIdle(QObject* context, std::function<void()> action) {
    Post(context, std::move(action), false);
}

void BusyState::WhenListFree(QObject* context, std::function<void()> action) {
    Post(context, std::move(action), true);
}

void BusyState::Post(QObject* context, std::function<void()> action, bool listOnly) {
    QMetaObject::invokeMethod(
        context,
        [this, context = QPointer<QObject>(context), action = std::move(action),
         listOnly]() mutable {
            if (listOnly ? ListHeld() : Busy()) {
                held_.push_back(Held{context, std::move(action), listOnly});
                return;
            }
            action();
        },
        Qt::QueuedConnection);
}

void BusyState::Enter(Kind kind) {
    if (kind == Kind::kList) {
        ++listDepth_;
    }
    if (depth_++ == 0) {
        // A listener may remove itself.
        const std::vector<Listener> listeners = listeners_;
        for (const Listener& listener : listeners) {
            listener.call(true);
        }
    }
}

void BusyState::Leave(Kind kind) {
    if (kind == Kind::kList && listDepth_ > 0 && --listDepth_ == 0 && depth_ > 1) {
        Release(false);
    }
    if (depth_ > 0 && --depth_ == 0) {
        const std::vector<Listener> listeners = listeners_;
        for (const Listener& listener : listeners) {
            listener.call(false);
        }
        Release(true);
    }
}

void BusyState::Release(bool all) {
    std::vector<Held> released;
    std::vector<Held> kept;
    for (Held& entry : held_) {
        (all || entry.listOnly ? released : kept).push_back(std::move(entry));
    }
    held_ = std::move(kept);
    for (Held& entry : released) {
        if (!entry.context.isNull()) {
            Post(entry.context.data(), std::move(entry.action), entry.listOnly);
        }
    }
}

}  // namespace oru
