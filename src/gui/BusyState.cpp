#include "gui/BusyState.h"

#include <QMetaObject>
#include <QObject>

namespace oru {

void BusyState::WhenIdle(QObject* context, std::function<void()> action) {
    QMetaObject::invokeMethod(
        context,
        [this, context = QPointer<QObject>(context), action = std::move(action)]() mutable {
            if (Busy()) {
                held_.push_back(Held{context, std::move(action)});
                return;
            }
            action();
        },
        Qt::QueuedConnection);
}

void BusyState::Enter() {
    if (depth_++ == 0) {
        for (const auto& listener : listeners_) {
            listener(true);
        }
    }
}

void BusyState::Leave() {
    if (depth_ > 0 && --depth_ == 0) {
        for (const auto& listener : listeners_) {
            listener(false);
        }
        std::vector<Held> held = std::move(held_);
        held_.clear();
        for (Held& entry : held) {
            if (!entry.context.isNull()) {
                WhenIdle(entry.context.data(), std::move(entry.action));
            }
        }
    }
}

}  // namespace oru
