// The controller's event log as the Diagnostics page's Logs group shows it:
// the entries of the log page a ReadControllerLog request returns (page
// code, 16-bit length, then entries of 18, 14 or 28 bytes by their kind;
// see docs/controller-interface.md). Nothing past the bytes received or the
// page's own length is read; an entry of another kind ends the walk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oru {

// The buffer a request asks for: the page's head and the 4096 bytes of
// entries the controller keeps at most.
inline constexpr std::uint32_t kControllerLogBytes = 3 + 4096;

struct ControllerLogEntry {
    std::uint32_t kind = 0;
    std::uint32_t ticks = 0;
    std::uint32_t code = 0;
    std::uint32_t count = 0;
    std::vector<unsigned char> bytes;  // the whole entry
};

std::vector<ControllerLogEntry> ParseControllerLog(const std::vector<unsigned char>& page);

// One line of the log's window: the entry's tick, the firmware's text of its
// event code (the code itself when the firmware catalog has none), the code
// and the count: "At tick 2701: Drive removed. (event 104, count 1)".
std::string ControllerLogLine(const ControllerLogEntry& entry);

}  // namespace oru
