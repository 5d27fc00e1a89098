// Submit-and-wait of one request on a connected array: the poll loop with
// its time-out, the progress lines, the check of the final reply and the
// exit code of a failed request.
//
// The wait copies the final reply out of the connection before it polls
// again or anything disconnects, so the reply a caller gets stays valid for
// as long as the caller keeps it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>

#include "cli/common/CommandDescriptorTable.h"
#include "cli/common/CommandReply.h"
#include "coresys/common/CommandHandle.h"

class DiskArray;
class QEN;

// Polls the array for the final reply of the request `handle`: again at once
// after a poll that brought a message, else after a pause of at most 100 ms
// (CommandWait::kPollPauseMs) that ends as soon as the next reply starts to
// arrive. The time-out counts the time that passes. With verbose, every message of the request
// prints a progress line on `progress`. Returns a copy of the final reply,
// or nothing when the time-out ran out without a message of the request,
// the connection was lost, or the request was never sent.
std::optional<CommandReply> WaitForCommandResult(DiskArray& array, const CommandHandle& handle,
                                                 bool verbose, std::uint32_t code,
                                                 std::span<const CommandArgument> arguments,
                                                 std::ostream& progress);

// Sends the request (send returns its handle) and waits for its final reply;
// when that is an error of class 7 the request is sent once more and that
// reply is the answer. At most two sends.
std::optional<CommandReply> WaitResendingOnClass7(DiskArray& array,
                                                  const std::function<CommandHandle()>& send,
                                                  bool verbose, std::uint32_t code,
                                                  std::span<const CommandArgument> arguments,
                                                  std::ostream& progress);

// Ends the request: returns when the reply is of the kind the request must
// end with, and when it is a reply that nothing failed (IsNothingFailedReply),
// after its note on standard error. Otherwise the process ends: without a reply, program message 3
// and exit 3; with a reply of another kind, its error is printed, the array
// is disconnected (array becomes nullptr), program message 6 follows and
// the exit code is 4 for an error record of class 7, else 1.
void FinishCommand(const std::optional<CommandReply>& reply, QEN& qen, DiskArray*& array,
                   std::uint32_t code, int programIndex, std::span<const CommandArgument> arguments,
                   bool verbose);

// WaitForCommandResult (progress on standard output), then FinishCommand;
// returns the final reply, which the caller owns.
CommandReply SubmitAndCheck(QEN& qen, DiskArray*& array, const CommandHandle& handle,
                            std::uint32_t code, int programIndex,
                            std::span<const CommandArgument> arguments, bool verbose);
