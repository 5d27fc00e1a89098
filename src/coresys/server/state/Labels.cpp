#include "coresys/server/state/Labels.h"

const char* Label::One(std::uint32_t index, const char* table) {
    text_[0] = index < limit_ ? table[index] : '?';
    text_[1] = '\0';
    return text_;
}

const char* Label::ControllerLabel(std::uint32_t index) {
    return One(index, "XY");
}

const char* Label::UnitLabel(std::uint32_t index) {
    return One(index, "1234");
}

const char* Label::SlotLabel(std::uint32_t index) {
    if (index >= limit_) {
        text_[0] = text_[1] = '?';
    } else {
        text_[0] = "AB"[index % 2];
        text_[1] = "12345678"[index / 2];
    }
    text_[2] = '\0';
    return text_;
}
