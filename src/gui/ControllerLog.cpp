#include "gui/ControllerLog.h"

#include <cstdio>

#include "coresys/common/ControllerLogWalk.h"
#include "gui/GuiText.h"

namespace oru {

std::vector<ControllerLogEntry> ParseControllerLog(const std::vector<unsigned char>& page) {
    std::vector<ControllerLogEntry> entries;
    ControllerLogWalk walk(page.data(), static_cast<std::uint32_t>(page.size()));
    ControllerLogWalk::Entry found;
    while (walk.Next(found)) {
        const ControllerLogWalk::EntryHeader header = found.Header();
        ControllerLogEntry entry;
        entry.kind = found.kind;
        entry.ticks = header.ticks;
        entry.code = header.eventCode;
        entry.count = header.count;
        entry.bytes.assign(found.bytes, found.bytes + found.length);
        entries.push_back(std::move(entry));
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
