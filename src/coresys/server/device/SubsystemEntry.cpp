#include "coresys/server/device/SubsystemEntry.h"

#include <cstring>

#include "coresys/server/storsys/StorSys.h"

void SubsystemEntry::Alias() {
    alias[0] = '\0';
    const DeviceRecord* record = controllerDevice[activeController == 1 ? 1 : 0];
    if (record == nullptr) {
        return;
    }
    // A StorSys of our own: the monitor's objects belong to its task.
    StorSys storSys(record);
    storSys.SetFormatLevel(formatLevel);
    char text[17] = {};
    std::uint32_t length = 0;
    ScsiResult result;
    if (storSys.ReadAlias(text, length, result) == 0) {
        return;
    }
    // The field is 16 bytes and need not hold a NUL.
    const std::size_t size = strnlen(text, 16);
    if (size < sizeof alias) {
        std::memcpy(alias, text, size);
        alias[size] = '\0';
    }
}
