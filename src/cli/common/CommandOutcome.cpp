#include "cli/common/CommandOutcome.h"

#include "cli/common/ExitCodes.h"
#include "coresys/common/ORU_ReturnMsg.h"

int CheckReplyKind(const ReplyView& reply, bool verbose, std::uint32_t code,
                   std::span<const CommandArgument> arguments, std::ostream& out) {
    if (IsExpectedReplyKind(code, reply.kind)) {
        return 0;
    }
    PrintCommandError(verbose, reply, code, arguments, out);
    return 1;
}

int FailedRequestExitCode(const ReplyView& reply) {
    if (reply.error != nullptr && reply.error->errorClass == kClass7ErrorClass) {
        return CLI_EXIT_CLASS7;
    }
    return CLI_EXIT_FAILED;
}
