// dklayout: creates, deletes and renumbers logical units, adds drives to an
// array and takes them down.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/common/CommandDescriptorTable.h"

namespace dklayout {

inline constexpr int kLayoutSet = 1;
// Usage lines (item 58 stands twice) and the help after them.
inline constexpr int kUsageItems[] = {57, 58, 59, 58};
inline constexpr int kFirstHelpItem = 60;
inline constexpr int kLastHelpItem = 79;

// Program messages of dklayout beside the library's.
inline constexpr int kPmZeroCapacity = 8;
inline constexpr int kPmCapacityUnit = 9;

enum LAYOUT_TARGET : std::int32_t {
    LT_NONE = 0,
    LT_UNIT = 13,   // -L n
    LT_DRIVE = 14,  // -D slot
};

enum LAYOUT_ACTION : std::uint32_t {
    LA_ADD = 0x2,       // -a: create the unit / add the drive
    LA_DELETE = 0x4,    // -d: delete the unit / take the drive down
    LA_RENUMBER = 0x8,  // -r n
};

struct LayoutOptions {
    LAYOUT_TARGET target = LT_NONE;
    std::int32_t unit = 0;
    std::int32_t slot = 0;
    std::uint32_t actions = 0;
    std::int32_t capacity = 0;  // in half megabytes
    std::int32_t newUnit = 0;
    std::int32_t allowance = 0;  // 0 none, 1 -R, 2 -Z
    std::int32_t validate = 1;   // 0 with -v
    bool raw = false;
    bool verbose = false;
    std::int32_t exitLevel = -1;
    std::string arrayId;
};

// Reads the command line; "-?" prints the help and ends with 0, anything
// malformed ends in the usage exit (2) after its message.
LayoutOptions ParseLayoutArguments(int argc, char** argv);

// Why a capacity text was refused.
enum class CapacityError {
    NONE,
    NOT_A_NUMBER,  // program message 1
    UNIT_LETTER,   // program message 9 with the letter
    TOO_LARGE,     // program message 0
    ZERO,          // program message 8
};

// A capacity text: a real number of megabytes, or with "G" gigabytes, or
// with "K" kilobytes. The result is in units of half a megabyte, cut toward
// zero, and must be above 0 and fit a signed 32-bit number.
CapacityError ParseCapacity(std::string_view text, std::int32_t& halfMegabytes);

// The request the options stand for: its code and its arguments as the
// progress lines print them.
struct LayoutRequest {
    std::uint32_t code = 0;
    CommandArgument arguments[3];
    std::size_t count = 0;
    std::span<const CommandArgument> Arguments() const { return {arguments, count}; }
};
LayoutRequest RequestOf(const LayoutOptions& options);

// The result line of a request that succeeded.
void PrintLayoutResult(const LayoutRequest& request, std::ostream& out);

int RunLayout(const LayoutOptions& options);

void PrintLayoutHelp();

}  // namespace dklayout
