// dkwatch: the drive tests of a Strovane array, running and finished, and
// the cancel of the tests of a drive, through its array-management service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/dkwatch/Dkwatch.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dkwatch::kWatchSet, dkwatch::kUsageItems);
    return dkwatch::RunWatch(dkwatch::ParseWatchArguments(argc, argv));
}
