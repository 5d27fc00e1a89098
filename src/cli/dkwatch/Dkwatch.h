// dkwatch: the drive tests running on an array and the results of finished
// ones, for one drive slot or all; and the cancel of the tests of a slot.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

class OruServerState;

namespace dkwatch {

inline constexpr int kWatchSet = 8;
inline constexpr int kHelpItems[] = {33, 34, 35, 36, 37, 39, 40};  // led by four blanks
inline constexpr int kUsageItems[] = {41};

inline constexpr std::int32_t kAllSlots = -1;

struct WatchOptions {
    std::int32_t slot = kAllSlots;  // -D slot
    bool cancel = false;            // -c
    std::string arrayId;
};

WatchOptions ParseWatchArguments(int argc, char** argv);

// The tests in progress and the results of one slot, or of every slot in
// turn, as the service's command lists hold them. True when a result shown
// is a test that failed: it could not start, or it recorded an error.
bool PrintSlotStatus(const OruServerState& server, std::int32_t slot, std::ostream& out);

// Bytes in hexadecimal, 16 to a line with their offset and their text.
void DumpBytes(std::span<const unsigned char> bytes, std::ostream& out);

int RunWatch(const WatchOptions& options);

void PrintWatchHelp();

}  // namespace dkwatch
