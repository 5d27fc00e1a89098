// Fixed-width text fields of the coded records.
//
// A text field travels as its whole width, byte for byte, so a round trip
// keeps every byte. A peer may still send a field without a terminator; the
// readers below never look past the field's width.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// The text of a field: its bytes up to the first zero, or the whole field
// when it holds none.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

// Stores text into a field, cut to N - 1 bytes and zero-filled behind it.
template <std::size_t N>
void SetFieldText(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memset(field, 0, N);
    if (n != 0) {
        std::memcpy(field, text.data(), n);
    }
}

// The text without its trailing blanks (the service keeps aliases and serial
// numbers blank-padded).
inline std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}
