#include "cli/common/CommandSubmit.h"

#include <cstdlib>
#include <iostream>

#include "cli/common/CommandOutcome.h"
#include "cli/common/CommandWait.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

std::optional<CommandReply> WaitForCommandResult(DiskArray& array, const CommandHandle& handle,
                                                 bool verbose, std::uint32_t code,
                                                 std::span<const CommandArgument> arguments,
                                                 std::ostream& progress) {
    CommandWait wait(handle, code);
    // The countdown runs on the time that passes, whether replies come or
    // not: a flood of messages for other requests cannot stop it.
    std::uint64_t counted = platform::MonotonicMs();
    while (wait.Current() == CommandWait::Step::WAITING) {
        // The result belongs to the array until the next poll: everything
        // needed from it is taken before the loop goes round.
        const PollMsg* message = array.PollQEN();
        if (message != nullptr) {
            if (verbose && wait.IsAwaited(*message)) {
                PrintCommandProgress(code, message->status, arguments, progress);
                progress.flush();
            }
            switch (wait.Take(message)) {
                case CommandWait::Step::COMPLETE:
                    return CommandReply::CopyOf(*message);
                case CommandWait::Step::NO_REPLY:
                    return std::nullopt;
                case CommandWait::Step::WAITING:
                    break;
            }
        } else {
            // Nothing came: pause until the next reply starts to arrive, at
            // most the poll pause.
            array.WaitForReply(CommandWait::kPollPauseMs);
        }
        const std::uint64_t now = platform::MonotonicMs();
        if (now > counted) {
            wait.Paused(static_cast<std::uint32_t>(platform::NominalMs(now - counted)));
            counted = now;
        }
    }
    return std::nullopt;
}

bool IsClass7Error(const CommandReply& reply) {
    return reply.error.has_value() && reply.error->errorClass == kClass7ErrorClass;
}

std::optional<CommandReply> WaitResendingOnClass7(DiskArray& array,
                                                  const std::function<CommandHandle()>& send,
                                                  bool verbose, std::uint32_t code,
                                                  std::span<const CommandArgument> arguments,
                                                  std::ostream& progress) {
    constexpr int kSends = 2;
    std::optional<CommandReply> reply;
    for (int sent = 0; sent < kSends; ++sent) {
        reply = WaitForCommandResult(array, send(), verbose, code, arguments, progress);
        if (!reply || !IsClass7Error(*reply)) {
            break;
        }
    }
    return reply;
}

void FinishCommand(const std::optional<CommandReply>& reply, QEN& qen, DiskArray*& array,
                   std::uint32_t code, int programIndex, std::span<const CommandArgument> arguments,
                   bool verbose) {
    if (!reply) {
        // Nothing to say goodbye to in time: the process end closes the
        // connection.
        ExitWithProgramMessage(PM_NO_REPLY, programIndex, CLI_EXIT_NO_REPLY);
    }
    const ReplyView view = reply->View();
    std::cout.flush();
    if (CheckReplyKind(view, verbose, code, arguments, std::cerr) == 0) {
        return;
    }
    // The exit code comes from our own copy; the connection may go now.
    const int exitCode = FailedRequestExitCode(view);
    qen.DisConnect(array);
    array = nullptr;
    ExitWithProgramMessage(PM_REQUEST_FAILED, programIndex, exitCode);
}

CommandReply SubmitAndCheck(QEN& qen, DiskArray*& array, const CommandHandle& handle,
                            std::uint32_t code, int programIndex,
                            std::span<const CommandArgument> arguments, bool verbose) {
    std::optional<CommandReply> reply =
        WaitForCommandResult(*array, handle, verbose, code, arguments, std::cout);
    FinishCommand(reply, qen, array, code, programIndex, arguments, verbose);
    return std::move(*reply);
}
