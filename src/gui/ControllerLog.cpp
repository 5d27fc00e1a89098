#include "gui/ControllerLog.h"

#include <algorithm>
#include <cstdio>

#include "gui/GuiText.h"

namespace oru {
namespace {

constexpr std::size_t kHead = 3;

std::size_t EntrySize(unsigned char kind) {
    switch (kind) {
        case 0:
            return 18;
        case 1:
            return 14;
        case 2:
            return 28;
        default:
            return 0;
    }
}

std::uint32_t Be(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 8 | p[i];
    }
    return value;
}

}  // namespace

std::vector<ControllerLogEntry> ParseControllerLog(const std::vector<unsigned char>& page) {
    std::vector<ControllerLogEntry> entries;
    if (page.size() < kHead) {
        return entries;
    }
    const std::size_t end = std::min(page.size(), kHead + Be(&page[1], 2));
    std::size_t at = kHead;
    while (at < end) {
        const std::size_t size = EntrySize(page[at]);
        if (size == 0 || at + size > end) {
            break;
        }
        const unsigned char* p = &page[at];
        ControllerLogEntry entry;
        entry.kind = p[0];
        entry.ticks = Be(p + 2, 4);
        entry.code = Be(p + 7, 2);
        entry.count = p[9];
        entry.bytes.assign(p, p + size);
        entries.push_back(std::move(entry));
        at += size;
    }
    return entries;
}

std::string ControllerLogLine(const ControllerLogEntry& entry) {
    std::string hex;
    for (unsigned char byte : entry.bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", byte);
        hex += two;
    }
    if (!hex.empty()) {
        hex.pop_back();
    }
    return GuiText(txt::kControllerLogEntry, static_cast<unsigned long>(entry.code),
                   static_cast<unsigned long>(entry.count), static_cast<unsigned long>(entry.ticks),
                   hex.c_str());
}

}  // namespace oru
