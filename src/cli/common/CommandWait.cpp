#include "cli/common/CommandWait.h"

#include "cli/common/CommandDescriptorTable.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/PollMsg.h"

namespace {

constexpr std::uint32_t kFinalStatus = 1;
const CommandHandle kUnsentHandle(0, 0);

}  // namespace

CommandWait::CommandWait(const CommandHandle& awaitedHandle, std::uint32_t code)
    : CommandWait(awaitedHandle,
                  Countdown{static_cast<std::uint64_t>(CommandTimeoutSeconds(code)) * 1000}) {}

CommandWait::CommandWait(const CommandHandle& awaitedHandle, Countdown countdown)
    : awaited(awaitedHandle), timeoutMs(countdown.ms), remainingMs(timeoutMs) {
    if (awaited == kUnsentHandle || timeoutMs == 0) {
        step = Step::NO_REPLY;
    }
}

bool CommandWait::IsAwaited(const PollMsg& message) const {
    return message.kind != RMT_INVALID && message.handle == awaited;
}

CommandWait::Step CommandWait::Take(const PollMsg* message) {
    if (step != Step::WAITING || message == nullptr) {
        return step;
    }
    if (message->kind == RMT_INVALID) {
        step = Step::NO_REPLY;
    } else if (IsAwaited(*message)) {
        if (message->status == kFinalStatus) {
            step = Step::COMPLETE;
        } else {
            remainingMs = timeoutMs;
        }
    }
    return step;
}

CommandWait::Step CommandWait::Paused(std::uint32_t elapsedMs) {
    if (step != Step::WAITING) {
        return step;
    }
    remainingMs = remainingMs > elapsedMs ? remainingMs - elapsedMs : 0;
    if (remainingMs == 0) {
        step = Step::NO_REPLY;
    }
    return step;
}
