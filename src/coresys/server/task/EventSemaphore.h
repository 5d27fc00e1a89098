// A posted flag plus an auto-reset event.
//
// Post sets the flag and wakes one waiter; Wait consumes the flag. The
// operations are safe from any thread (not from a signal handler).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "coresys/server/task/Semaphore.h"

class EventSemaphore : public Semaphore {
  public:
    EventSemaphore();

    // posted = 1, then signal the event.
    void Post();
    // posted = 0, then reset the event.
    void Reset();
    // Returns 0 when the flag was (or became) posted, clearing it; 1 after
    // timeoutMs without a post. timeoutMs 0 waits forever.
    int Wait(std::uint64_t timeoutMs = 0);
    bool IsPosted();

  private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool posted_ = false;
    bool signalled_ = false;
};
