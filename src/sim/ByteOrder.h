// Big-endian helpers for command blocks and replies: every multi-byte value
// the controller sends or receives is big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline std::uint16_t GetBe16(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 2 > b.size())
        return 0;
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

inline std::uint32_t GetBe24(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 3 > b.size())
        return 0;
    return (std::uint32_t{b[at]} << 16) | (std::uint32_t{b[at + 1]} << 8) | b[at + 2];
}

inline std::uint32_t GetBe32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size())
        return 0;
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

inline void PutBe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (at + 2 > b.size())
        return;
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

inline void PutBe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (at + 4 > b.size())
        return;
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

// Copies text into b[at..at+width), padded with `pad`, cut at width.
inline void PutText(std::vector<std::uint8_t>& b, std::size_t at, std::size_t width,
                    const std::string& text, std::uint8_t pad = ' ') {
    for (std::size_t i = 0; i < width && at + i < b.size(); ++i) {
        b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad;
    }
}

}  // namespace sim
