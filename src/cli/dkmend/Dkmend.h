// dkmend: the rebuild of an array: its automatic-rebuild setting and
// priority, start and stop of a rebuild, and the rebuild's progress.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class DiskArrayState;

namespace dkmend {

inline constexpr int kMendSet = 7;
inline constexpr int kFirstHelpItem = 25;  // the long help, led by three blanks
inline constexpr int kLastHelpItem = 35;
inline constexpr int kUsageItems[] = {36, 37};

enum MEND_OPERATION : std::int32_t {
    MO_NONE = 0,
    MO_SETTINGS = 1,
    MO_START = 22,     // -r
    MO_STOP = 23,      // -c
    MO_PROGRESS = 24,  // -p
};

enum MEND_SETTING : std::uint32_t {
    MS_AUTO_REBUILD = 0x1,  // -a on|off
    MS_PRIORITY = 0x2,      // -P low|high
};

struct MendOptions {
    MEND_OPERATION operation = MO_NONE;
    std::uint32_t settings = 0;
    std::int32_t autoRebuild = 0;  // 1 on
    std::int32_t priority = 0;     // 1 low
    bool raw = false;
    bool verbose = false;
    std::int32_t exitLevel = -1;
    std::string arrayId;
};

MendOptions ParseMendArguments(int argc, char** argv);

// The result of a request that succeeded: a readable line (or, for the
// progress, the rebuild's lines), or with raw one line of fields joined by
// ":". value is the on/off or low/high value of a setting; state the
// array's state for the progress.
void MendPrintReply(std::uint32_t code, std::int32_t value, const DiskArrayState* state, bool raw,
                    std::ostream& out);

int RunMend(const MendOptions& options);

void PrintMendHelp();

}  // namespace dkmend
