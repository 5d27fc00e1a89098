#include "coresys/server/events/EventText.h"

void EventText::Append(std::string_view piece) {
    // Trailing line ends of a catalog text would split the log entry.
    while (!piece.empty() && (piece.back() == '\n' || piece.back() == ' ')) {
        piece.remove_suffix(1);
    }
    if (piece.empty()) {
        return;
    }
    if (!text_.empty()) {
        text_ += ' ';
    }
    text_ += piece;
    if (text_.size() > kBufferSize - 1) {
        text_.resize(kBufferSize - 1);
    }
}
