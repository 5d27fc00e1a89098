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

// Whether the reply is an error reply whose error code says that nothing
// failed (ERR_NO_FAIL), to a request that ends with the plain ok reply: the
// request was carried out, and the qualifier says what the array could not
// add to it (no spare to provide, a drive that was down already). Such a
// reply counts as done. A request that must bring data back (a state, a
// buffer, performance data) gets none from it and stays failed.
bool IsNothingFailedReply(const ReplyView& reply, std::uint32_t code);

// The note for such a reply, on `out`: the program's prefix, then the text
// the qualifier has for the request (as a failure would print it) or else
// the qualifier's name. With verbose the record's detail follows.
void PrintNothingFailedNote(bool verbose, const ReplyView& reply, std::uint32_t code,
                            std::span<const CommandArgument> arguments, int programIndex,
                            std::ostream& out);

// Whether the reply is an error reply whose record is of class 7: the array's
// set of logical units changed under the request, which the service has
// asked its device manager to rescan for.
bool IsClass7Error(const ReplyView& reply);

// The exit code of a failed request: 4 for an error reply whose record is of
// class 7, else 1.
int FailedRequestExitCode(const ReplyView& reply);
