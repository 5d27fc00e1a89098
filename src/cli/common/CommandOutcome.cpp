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

bool IsClass7Error(const ReplyView& reply) {
    return reply.error != nullptr && reply.error->errorClass == kClass7ErrorClass;
}

int FailedRequestExitCode(const ReplyView& reply) {
    return IsClass7Error(reply) ? CLI_EXIT_CLASS7 : CLI_EXIT_FAILED;
}
