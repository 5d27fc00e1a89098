// What a request's final reply means for the program: success, or the
// printed error and the exit code it ends with. The caller reads both
// before it disconnects, as the reply belongs to the connection.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

#include "cli/common/CommandDescriptorTable.h"
#include "cli/common/ErrorPrinter.h"

// 0 when the reply is of the kind the request must end with; otherwise
// prints the error (PrintCommandError) and returns 1.
int CheckReplyKind(const ReplyView& reply, bool verbose, std::uint32_t code,
                   std::span<const CommandArgument> arguments, std::ostream& out);

// Whether the reply is an error reply whose record is of class 7: the array's
// set of logical units changed under the request, which the service has
// asked its device manager to rescan for.
bool IsClass7Error(const ReplyView& reply);

// The exit code of a failed request: 4 for an error reply whose record is of
// class 7, else 1.
int FailedRequestExitCode(const ReplyView& reply);
