#include "gui/BusyState.h"

namespace oru {

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
    }
}

}  // namespace oru
