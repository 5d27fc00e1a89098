#include "cli/common/CommandSubmit.h"

#include <cstdlib>
#include <iostream>

#include "cli/common/CommandOutcome.h"
#include "cli/common/CommandWait.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ReplyPoll.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"

std::optional<CommandReply> WaitForCommandResult(DiskArray& array, const CommandHandle& handle,
                                                 bool verbose, std::uint32_t code,
                                                 std::span<const CommandArgument> arguments,
                                                 std::ostream& progress) {
    CommandWait wait(handle, code);
    const PollMsg* last = PollForFinalMessage(array, wait, [&](const PollMsg& message) {
        if (verbose) {
            PrintCommandProgress(code, message.status, arguments, progress);
            progress.flush();
        }
    });
    // The final message belongs to the array until its next poll: the reply
    // is copied out of it at once.
    if (last == nullptr) {
        return std::nullopt;
    }
    return CommandReply::CopyOf(*last);
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
        if (!reply || !IsClass7Error(reply->View())) {
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
    // Carried out, with a word from the service on what the array could not
    // add: a note, and the program goes on.
    if (IsNothingFailedReply(view, code)) {
        PrintNothingFailedNote(verbose, view, code, arguments, programIndex, std::cerr);
        std::cerr.flush();
        return;
    }
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
