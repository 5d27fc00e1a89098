// Base of the service's synchronisation objects.
//
// Every semaphore enrols itself in one service-wide list while it exists, so
// the end of the stop sequence can close all that remain (CloseAll). Closing
// only marks the object closed: the primitives stay valid for as long as the
// object lives, because a thread that outlives the stop sequence may still be
// waiting on them. Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>

class Semaphore {
  public:
    enum SEMAPHORE_TYPE : std::int32_t { SEMAPHORE_EVENT = 0, SEMAPHORE_MUTEX = 1 };

    explicit Semaphore(SEMAPHORE_TYPE type);
    virtual ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Marks the semaphore closed (once); waiting and posting still work.
    virtual void Close();

    SEMAPHORE_TYPE Type() const { return type_; }
    bool IsClosed() const { return closed_.load(); }

    // Closes every semaphore that still exists and takes it off the list.
    static void CloseAll();
    // Number of semaphores on the list (tests and diagnostics).
    static int Count();

  private:
    SEMAPHORE_TYPE type_;
    std::atomic<bool> closed_{false};
    bool listed_ = false;  // guarded by the list lock
    Semaphore* prev_ = nullptr;
    Semaphore* next_ = nullptr;
};
