#include <cstring>
#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkwatch/Dkwatch.h"

namespace dkwatch {

namespace {

constexpr int kUnknownArgumentItem = 43;

[[noreturn]] void UnknownArgument(const char* argument) {
    std::cerr << CliText(kWatchSet, kUnknownArgumentItem) << ' ' << argument << '\n';
    Usage::Exit();
}

}  // namespace

WatchOptions ParseWatchArguments(int argc, char** argv) {
    CommandLineFrame(argc, argv, 0, PrintWatchHelp);
    const int count = argc - 1;
    if (count != 1 && count != 3 && count != 4) {
        Usage::Exit();
    }
    WatchOptions options;
    const int last = argc - 1;
    options.arrayId = argv[last];
    CheckArrayIdStart(argv[last]);
    bool slotGiven = false;
    for (int i = 1; i < last; ++i) {
        const char* argument = argv[i];
        if (argument[0] == '-' && argument[1] == 'D' && !slotGiven) {
            slotGiven = true;
            options.slot = ParseSlotSwitchArg(argv, i, last, PROG_DKWATCH);
        } else if (std::strcmp(argument, "-c") == 0 && !options.cancel) {
            // Only after the slot it cancels the tests of.
            if (std::strncmp(argv[1], "-D", 2) != 0) {
                Usage::Exit();
            }
            options.cancel = true;
        } else {
            UnknownArgument(argument);
        }
    }
    return options;
}

void PrintWatchHelp() {
    PrintHelpItems(kWatchSet, kHelpItems, "    ");
}

}  // namespace dkwatch
