// dkwipe: formats a Strovane array through its array-management service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkwipe/Dkwipe.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dkwipe::kWipeSet, dkwipe::kUsageItems);
    const dkwipe::WipeOptions options = dkwipe::ParseWipeArguments(argc, argv);
    if (options.exitLevel >= 0) {
        ExitWithLevel(options.exitLevel, PROG_DKWIPE);
    }
    return dkwipe::RunWipe(options);
}
