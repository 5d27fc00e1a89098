#include <iostream>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/dkwipe/Dkwipe.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dkwipe {

namespace {

// Set 4 items of the line the format runs under.
constexpr int kFormatWithPatternItem = 4;
constexpr int kFormatItem = 5;

}  // namespace

int RunWipe(const WipeOptions& options) {
    QEN qen(1);
    DiskArray* array = OpenArray(qen, options.arrayId, PROG_DKWIPE);
    const int pattern = options.pattern ? 1 : 0;
    const CommandArgument arguments[] = {{ARG_BOOLEAN, pattern}};
    bool started = false;
    auto send = [&] {
        const CommandHandle handle = array->FormatSubsystem(pattern);
        if (!started && !options.raw) {
            std::cout << CliText(kWipeSet, options.pattern ? kFormatWithPatternItem : kFormatItem);
            std::cout.flush();
        }
        started = true;
        return handle;
    };
    // A format that met a change of the array's units is sent once more.
    const std::optional<CommandReply> reply = WaitResendingOnClass7(
        *array, send, options.verbose, MC_FormatSubsystem, arguments, std::cout);
    FinishCommand(reply, qen, array, MC_FormatSubsystem, PROG_DKWIPE, arguments, options.verbose);
    if (!options.raw) {
        std::cout << '\n';
    }
    std::cout.flush();
    qen.DisConnect(array);
    return CLI_EXIT_SUCCESS;
}

}  // namespace dkwipe
