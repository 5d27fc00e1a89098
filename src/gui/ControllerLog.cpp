#include "gui/ControllerLog.h"

#include "catalog/StringCatalog.h"
#include "cli/common/ControllerLogLines.h"
#include "coresys/common/ControllerLogWalk.h"
#include "gui/GuiText.h"

namespace oru {
namespace {

// The texts of event codes, looked up in the firmware error catalog as the
// console programs look them up. The console catalog holds the entry labels
// of those programs; the window uses none of them. Interface thread only.
const cli::ControllerLogTexts& EntryTexts() {
    static StringCatalog console("orucl");
    static StringCatalog firmware(cli::kFirmwareCatalogPath, cli::kFirmwareCatalogLibrary,
                                  StringCatalog::Missing::QUIET);
    static const cli::ControllerLogTexts texts(console, firmware);
    return texts;
}

}  // namespace

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
    return GuiText(txt::kControllerLogEntry, static_cast<unsigned long>(entry.ticks),
                   EntryTexts().FirmwareText(entry.code).c_str(),
                   static_cast<unsigned long>(entry.code), static_cast<unsigned long>(entry.count));
}

}  // namespace oru
