// dkprobe: starts a drive verify or a drive write/read test, or resets a
// drive.
#pragma once

#include <cstdint>
#include <string>

namespace dkprobe {

inline constexpr int kProbeSet = 3;
inline constexpr int kFirstHelpItem = 7;
inline constexpr int kLastHelpItem = 18;
inline constexpr int kUsageItems[] = {20};

// Program messages of dkprobe beside the library's.
inline constexpr int kPmDriveInUse = 13;  // the write/read test would destroy its data
inline constexpr int kPmNoDrive = 14;

enum PROBE_ACTION : std::int32_t {
    PA_RESET,   // -s
    PA_VERIFY,  // -r n
    PA_TEST,    // -w n
};

struct ProbeOptions {
    std::int32_t slot = 0;
    PROBE_ACTION action = PA_RESET;
    std::int32_t percent = 0;
    std::string arrayId;
};

ProbeOptions ParseProbeArguments(int argc, char** argv);

int RunProbe(const ProbeOptions& options);

void PrintProbeHelp();

}  // namespace dkprobe
