#include "coresys/server/task/EventSemaphore.h"

#include <chrono>

EventSemaphore::EventSemaphore() : Semaphore(SEMAPHORE_EVENT) {}

void EventSemaphore::Post() {
    std::lock_guard<std::mutex> guard(mutex_);
    posted_ = true;
    signalled_ = true;
    cond_.notify_one();
}

void EventSemaphore::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    posted_ = false;
    signalled_ = false;
}

bool EventSemaphore::IsPosted() {
    std::lock_guard<std::mutex> guard(mutex_);
    return posted_;
}

int EventSemaphore::Wait(std::uint64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (posted_) {
            posted_ = false;
            signalled_ = false;
            return 0;
        }
        // The event auto-resets: a wake-up consumes the signal. A wake-up
        // without the flag (it was reset meanwhile) waits the full time again.
        if (timeoutMs == 0) {
            cond_.wait(lock, [this] { return signalled_; });
        } else if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return signalled_; })) {
            posted_ = false;
            return 1;
        }
        signalled_ = false;
    }
}
