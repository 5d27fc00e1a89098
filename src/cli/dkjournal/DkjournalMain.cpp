// dkjournal: reads and clears the controller and drive logs of a Strovane
// array through its array-management service.
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkjournal/Dkjournal.h"
#include "cli/dkjournal/JournalLogs.h"

int main(int argc, char** argv) {
    InitCliConfig(argc, argv);
    Usage::LoadItems(dkjournal::kMessageSet, dkjournal::kUsageItems);
    const dkjournal::JournalOptions options = dkjournal::ParseJournalArguments(argc, argv);
    if (options.exitLevel >= 0) {
        ExitWithLevel(options.exitLevel, PROG_DKJOURNAL);
    }
    return dkjournal::RunJournal(options);
}
