#include "netmgmt/agent/PollControl.h"

#include <chrono>

#include "platform/Clock.h"

namespace oruagent {

bool PollControl::Wait(std::uint64_t ms) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, std::chrono::milliseconds(platform::ScaledMs(ms)),
                      [this] { return flag_ != kRun; });
    return flag_ == kRun;
}

bool PollControl::StopAsked() {
    std::lock_guard<std::mutex> hold(lock_);
    return flag_ != kRun;
}

void PollControl::AskStop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (flag_ == kRun) {
            flag_ = kStopAsked;
        }
    }
    changed_.notify_all();
}

void PollControl::MarkEnded() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        flag_ = kEnded;
    }
    changed_.notify_all();
}

bool PollControl::WaitEnded(std::uint64_t ms) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::milliseconds(platform::ScaledMs(ms)),
                             [this] { return flag_ == kEnded; });
}

int PollControl::Flag() {
    std::lock_guard<std::mutex> hold(lock_);
    return flag_;
}

}  // namespace oruagent
