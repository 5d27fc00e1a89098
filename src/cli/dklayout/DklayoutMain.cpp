// dklayout: creates, deletes and renumbers the logical units of a Strovane
// array and adds or takes down its drives, through its array-management
// service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dklayout/Dklayout.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dklayout::kLayoutSet, dklayout::kUsageItems);
    const dklayout::LayoutOptions options = dklayout::ParseLayoutArguments(argc, argv);
    if (options.exitLevel >= 0) {
        ExitWithLevel(options.exitLevel, PROG_DKLAYOUT);
    }
    return dklayout::RunLayout(options);
}
