#include "netmgmt/agent/TrapSlot.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace oruagent {

TrapSlot::~TrapSlot() {
    Close();
}

bool TrapSlot::Create() {
    if (fd_ < 0) {
        fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    return fd_ >= 0;
}

void TrapSlot::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

TrapSlot::PostResult TrapSlot::Post(PendingTrap trap) {
    std::unique_lock<std::mutex> hold(lock_);
    if (fd_ < 0) {
        return PostResult::kNoEvent;
    }
    changed_.wait(hold, [this] { return stopping_ || (!pending_ && !held_); });
    if (stopping_) {
        return PostResult::kStopped;
    }
    trap_ = std::move(trap);
    pending_ = true;
    const std::uint64_t one = 1;
    ssize_t written;
    do {
        written = ::write(fd_, &one, sizeof one);
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(sizeof one)) {
        // Nobody would ever be told of it: withdraw it rather than block the
        // next post behind it.
        pending_ = false;
        return PostResult::kSignalFailed;
    }
    return PostResult::kPosted;
}

bool TrapSlot::Take(PendingTrap* trap) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!pending_) {
        return false;
    }
    *trap = trap_;
    pending_ = false;
    held_ = true;
    return true;
}

bool TrapSlot::Release() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!held_) {
            return false;
        }
        held_ = false;
    }
    changed_.notify_all();
    return true;
}

void TrapSlot::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
}

}  // namespace oruagent
