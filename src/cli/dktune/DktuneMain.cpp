// dktune: changes the settings of a Strovane array and runs its array-wide
// operations through its array-management service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dktune/Dktune.h"
#include "cli/dktune/DktuneTexts.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::Load(dktune::kTuneSet, dktune::kFirstUsageItem, dktune::kLastUsageItem);
    const dktune::TuneOptions options = dktune::ParseTuneArguments(argc, argv);
    if (options.exitLevel >= 0) {
        ExitWithLevel(options.exitLevel, PROG_DKTUNE);
    }
    return dktune::RunTune(options);
}
