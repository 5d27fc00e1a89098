// dkprobe: starts a verify or a write/read test of a drive of a Strovane
// array, or resets the drive, through its array-management service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/dkprobe/Dkprobe.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dkprobe::kProbeSet, dkprobe::kUsageItems);
    return dkprobe::RunProbe(dkprobe::ParseProbeArguments(argc, argv));
}
