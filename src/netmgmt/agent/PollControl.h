// The poll thread's stop flag and its waits.
//
// Flag 0: run; 1: stop asked; 2: the poll thread ended. Every pause of the
// poll thread goes through Wait, which sleeps the given time on the suite's
// clock seam (so the test speed factor shortens it) and ends at once when a
// stop is asked. Thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace oruagent {

class PollControl {
  public:
    enum Flag : int { kRun = 0, kStopAsked = 1, kEnded = 2 };

    // Sleeps ms (scaled); false when a stop was asked before or during it.
    bool Wait(std::uint64_t ms);
    bool StopAsked();

    void AskStop();
    void MarkEnded();
    // Waits up to ms (scaled) for the poll thread's end; true when it ended.
    bool WaitEnded(std::uint64_t ms);
    int Flag();

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int flag_ = kRun;
};

}  // namespace oruagent
