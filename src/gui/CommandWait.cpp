#include "gui/CommandWait.h"

#include <optional>

#include "client/DiskArray.h"
#include "coresys/common/PollMsg.h"
#include "gui/BusyState.h"
#include "platform/Clock.h"

namespace oru {
namespace {

constexpr std::uint32_t kStatusFinished = 1;

bool ConnectionGone(SESSION_STATUS status) {
    return status == SESS_CONNECTION_FAILED || status == SESS_CONNECTION_DOWN ||
           status == SESS_CONNECTION_UNINITIALIZED;
}

}  // namespace

void WorkerWaitHost::AwaitReply(const DiskArray& array, std::uint64_t ms) {
    array.WaitForReply(static_cast<unsigned long>(ms));
}

CommandReply WaitForCommand(const CommandHandle& handle, DiskArray& array, CommandWaitHost& host) {
    const CommandReply gaveUp{kGaveUp, nullptr};
    std::optional<BusyScope> busy;
    if (host.Busy() != nullptr) {
        busy.emplace(*host.Busy());
    }
    // A request that could not be sent has a handle no reply carries.
    if (handle.sessionID == 0 || ConnectionGone(array.GetMessageStatus())) {
        return gaveUp;
    }
    std::uint64_t start = platform::MonotonicMs();
    for (;;) {
        if (platform::MonotonicMs() - start > platform::ScaledMs(kReplyBudgetMs)) {
            if (!host.AskKeepWaiting()) {
                return gaveUp;
            }
            start = platform::MonotonicMs();
        }
        const PollMsg* result = array.PollQEN();
        if (result != nullptr) {
            if (result->kind == RMT_INVALID) {
                return gaveUp;  // the connection is gone
            }
            if (DiskArray::Answers(result, handle) && result->status == kStatusFinished) {
                return CommandReply{result->kind, result};
            }
            continue;  // another request's reply, or an earlier stage of ours
        }
        if (ConnectionGone(array.GetMessageStatus())) {
            return gaveUp;
        }
        host.AwaitReply(array, kReplyPauseMs);
    }
}

}  // namespace oru
