#include "coresys/server/device/SubsystemEntry.h"

#include <cstring>

#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/storsys/StorSys.h"

void SubsystemEntry::Alias() {
    alias[0] = '\0';
    const std::string text = ReadAlias();
    if (text.size() < sizeof alias) {
        std::memcpy(alias, text.data(), text.size());
        alias[text.size()] = '\0';
    }
}

std::string SubsystemEntry::ReadAlias() const {
    // The controller the monitor uses now: after a failover it is no longer
    // the one the table was built with.
    int slot = activeController == 1 ? 1 : 0;
    std::uint32_t level = formatLevel;
    const int now = monitor != nullptr ? monitor->ActiveController() : -1;
    if (now == OruLite::kSlotX || now == OruLite::kSlotY) {
        slot = now == OruLite::kSlotY ? 1 : 0;
        level = monitor->ActiveFormatLevel();
    }
    const DeviceRecord* record = controllerDevice[slot];
    if (record == nullptr) {
        return {};
    }
    // A StorSys of our own: the monitor's objects belong to its task.
    StorSys storSys(record);
    storSys.SetFormatLevel(level);
    char text[17] = {};
    std::uint32_t length = 0;
    ScsiResult result;
    if (storSys.ReadAlias(text, length, result) == 0) {
        return {};
    }
    // The field is 16 bytes and need not hold a NUL.
    return std::string(text, strnlen(text, 16));
}
