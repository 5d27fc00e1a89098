// dkview: shows a Strovane array as its array-management service sees it.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkview/DkviewTexts.h"
#include "cli/dkview/OutDsp.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::Load(dkview::kUsageSet, dkview::kFirstUsageItem, dkview::kLastUsageItem);
    dkview::OutDsp display;
    display.ParseArguments(argc, argv);
    if (display.exitLevel >= 0) {
        ExitWithLevel(display.exitLevel, PROG_DKVIEW);
    }
    return display.Output();
}
