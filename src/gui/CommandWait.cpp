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

bool WorkerWaitHost::AwaitReply(const DiskArray& array, std::uint64_t ms) {
    array.WaitForReply(static_cast<unsigned long>(ms));
    return true;
}

CommandReply WaitForCommand(const CommandHandle& handle, DiskArray& array, CommandWaitHost& host) {
    const CommandReply gaveUp{kGaveUp, nullptr};
    const WaitOperation operation(host);
    std::optional<BusyScope> busy;
    if (host.Busy() != nullptr) {
        busy.emplace(*host.Busy(), BusyState::Kind::kArray);
    }
    // A request that could not be sent has a handle no reply carries.
    if (handle.sessionID == 0 || ConnectionGone(array.GetMessageStatus())) {
        return gaveUp;
    }
    const std::uint64_t budget = platform::ScaledMs(kReplyBudgetMs);
    std::uint64_t start = platform::MonotonicMs();
    for (;;) {
        // A Cancel counts before anything that came with it.
        if (operation.Cancelled()) {
            return gaveUp;
        }
        if (platform::MonotonicMs() - start >= budget) {
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
        // Until the reply starts to arrive or the budget ends (in the
        // suite's clock, as the pause counts it).
        const std::uint64_t waited = platform::MonotonicMs() - start;
        const std::uint64_t left = waited < budget ? budget - waited : 0;
        if (!host.AwaitReply(array, platform::NominalMs(left))) {
            return gaveUp;  // cancelled
        }
    }
}

}  // namespace oru
