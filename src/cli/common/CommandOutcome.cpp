#include "cli/common/CommandOutcome.h"

#include <sstream>
#include <string>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/NameTables.h"
#include "cli/common/ProgramMessages.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/OruErrors.h"

int CheckReplyKind(const ReplyView& reply, bool verbose, std::uint32_t code,
                   std::span<const CommandArgument> arguments, std::ostream& out) {
    if (IsExpectedReplyKind(code, reply.kind)) {
        return 0;
    }
    PrintCommandError(verbose, reply, code, arguments, out);
    return 1;
}

namespace {

// Set 9 item of the note: "Note: %s".
constexpr int kNoteItem = 256;

}  // namespace

bool IsNothingFailedReply(const ReplyView& reply, std::uint32_t code) {
    return reply.kind == RMT_ORUERRORSTATUS_MSG && reply.error != nullptr &&
           reply.error->errorCode == ERR_NO_FAIL && IsExpectedReplyKind(code, RMT_OKSTATUS_MSG);
}

void PrintNothingFailedNote(bool verbose, const ReplyView& reply, std::uint32_t code,
                            std::span<const CommandArgument> arguments, int programIndex,
                            std::ostream& out) {
    if (reply.error == nullptr) {
        return;
    }
    // The words a failure would print for this request and qualifier, made
    // one line; a qualifier without words of its own is named.
    std::ostringstream words;
    PrintQualifiedError(false, reply, code, arguments, words);
    std::string text;
    for (char c : words.str()) {
        if (c == '\n') {
            if (!text.empty() && text.back() != ' ') {
                text += ' ';
            }
        } else {
            text += c;
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    if (text.empty()) {
        text = QualifierText(reply.error->qualifier);
    }
    const std::string name = ProgramName(programIndex);
    if (!name.empty()) {
        out << name << ":  ";
    }
    out << CliText(kCliTextSet, kNoteItem, text.c_str()) << '\n';
    if (verbose) {
        PrintErrorDetail(reply.error, out);
    }
}

bool IsClass7Error(const ReplyView& reply) {
    return reply.error != nullptr && reply.error->errorClass == kClass7ErrorClass;
}

int FailedRequestExitCode(const ReplyView& reply) {
    return IsClass7Error(reply) ? CLI_EXIT_CLASS7 : CLI_EXIT_FAILED;
}
