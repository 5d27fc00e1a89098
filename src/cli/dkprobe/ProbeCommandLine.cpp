#include <cstring>
#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkprobe/Dkprobe.h"

namespace dkprobe {

namespace {

constexpr std::int32_t kLowestPercent = 1;
constexpr std::int32_t kHighestPercent = 100;

}  // namespace

// dkprobe -D|-d slot (-s | -r n | -w n) array-id: the words stand in their
// places, each switch apart from its value.
ProbeOptions ParseProbeArguments(int argc, char** argv) {
    CommandLineFrame(argc, argv, 0, PrintProbeHelp);
    const int count = argc - 1;
    if (count != 4 && count != 5) {
        Usage::Exit();
    }
    ProbeOptions options;
    options.arrayId = argv[count];
    CheckArrayIdStart(argv[count]);
    if (std::strcmp(argv[1], "-D") != 0 && std::strcmp(argv[1], "-d") != 0) {
        ExitWithBadSwitch(argv[1], PROG_DKPROBE);
    }
    if (!ParseDriveIdText(argv[2], options.slot)) {
        Usage::Exit();
    }
    if (!IsDriveSlot(options.slot)) {
        ExitOutOfRange(PROG_DKPROBE);
    }
    const char* action = argv[3];
    if (count == 4) {
        if (std::strcmp(action, "-s") != 0) {
            ExitWithBadSwitch(action, PROG_DKPROBE);
        }
        options.action = PA_RESET;
        return options;
    }
    if (std::strcmp(action, "-r") == 0) {
        options.action = PA_VERIFY;
    } else if (std::strcmp(action, "-w") == 0) {
        options.action = PA_TEST;
    } else {
        ExitWithBadSwitch(action, PROG_DKPROBE);
    }
    options.percent = ParseDecimalArg(argv[4]);
    if (options.percent < kLowestPercent || options.percent > kHighestPercent) {
        ExitOutOfRange(PROG_DKPROBE);
    }
    return options;
}

void PrintProbeHelp() {
    PrintHelpItems(kProbeSet, kFirstHelpItem, kLastHelpItem);
}

}  // namespace dkprobe
