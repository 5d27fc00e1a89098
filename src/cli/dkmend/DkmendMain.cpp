// dkmend: the rebuild of a Strovane array through its array-management
// service: its settings, start and stop, and its progress.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkmend/Dkmend.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dkmend::kMendSet, dkmend::kUsageItems);
    const dkmend::MendOptions options = dkmend::ParseMendArguments(argc, argv);
    if (options.exitLevel >= 0) {
        ExitWithLevel(options.exitLevel, PROG_DKMEND);
    }
    return dkmend::RunMend(options);
}
