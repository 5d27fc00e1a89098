#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkwipe/Dkwipe.h"

namespace dkwipe {

WipeOptions ParseWipeArguments(int argc, char** argv) {
    WipeOptions options;
    options.arrayId = CommandLineFrame(argc, argv, 2, PrintWipeHelp);
    const int last = argc - 1;
    for (int i = 1; i < last; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            ExitWithBadSwitch(argument, PROG_DKWIPE);
        }
        switch (argument[1]) {
            case 'F':
                CheckSwitchLength(argument, PROG_DKWIPE);
                if (options.format) {
                    Usage::Exit();
                }
                options.format = true;
                break;
            case 'h':
                CheckSwitchLength(argument, PROG_DKWIPE);
                options.pattern = true;
                break;
            case 'S':
                CheckSwitchLength(argument, PROG_DKWIPE);
                options.raw = true;
                break;
            case 'V':
                CheckSwitchLength(argument, PROG_DKWIPE);
                options.verbose = true;
                break;
            case 'E':
                options.exitLevel = GetExitLevelSwitchArg(argv, i, last, PROG_DKWIPE);
                break;
            case 'L':
                // The format of one logical unit is not this program's.
                Usage::Exit();
            default:
                ExitWithBadSwitch(argument, PROG_DKWIPE);
        }
    }
    if (!options.format) {
        Usage::Exit();
    }
    return options;
}

void PrintWipeHelp() {
    PrintHelpItems(kWipeSet, kHelpItems);
}

}  // namespace dkwipe
