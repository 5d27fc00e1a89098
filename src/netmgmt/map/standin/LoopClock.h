// Clock seam of the map application's loop: the time every wait, time-out
// and timer of the loop, the map application and the SNMP library reads, and
// the one place where the loop waits for its descriptors.
//
// The loop never sleeps: it waits until one of its descriptors is readable
// or a deadline passes, whichever comes first. The real clock runs faster by
// the suite's test speed factor (ORU_TIME_SCALE), so every wait of the loop
// (probe back-off, request time-outs, the daily refresh) shrinks with it; a
// test clock may move virtual time instead and answer its own scripted peers
// before it looks at the descriptors.
#pragma once

#include <cstdint>
#include <vector>

namespace qxapp {

inline constexpr std::uint64_t kNoDeadline = UINT64_MAX;

class LoopClock {
  public:
    virtual ~LoopClock() = default;

    // Milliseconds since an arbitrary origin; never goes back.
    virtual std::uint64_t NowMs() = 0;
    // The 32-bit millisecond tick count of the system (wraps after 49.7
    // days of its time).
    virtual std::uint32_t Ticks() = 0;
    // Waits until one of fds is readable or NowMs() reaches deadlineMs
    // (kNoDeadline: no limit; a deadline already passed: a look without
    // waiting). The readable descriptors go to *ready (cleared first).
    virtual void Wait(const std::vector<int>& fds, std::uint64_t deadlineMs,
                      std::vector<int>* ready) = 0;
};

// The machine's monotonic clock, ORU_TIME_SCALE times faster.
class ScaledClock : public LoopClock {
  public:
    ScaledClock();
    std::uint64_t NowMs() override;
    std::uint32_t Ticks() override;
    void Wait(const std::vector<int>& fds, std::uint64_t deadlineMs,
              std::vector<int>* ready) override;

  private:
    double scale_;
};

// poll(2) of fds for reading for at most timeoutMs (-1: no limit); the
// readable (or failed) ones go to *ready. Shared by every clock.
void PollReadable(const std::vector<int>& fds, int timeoutMs, std::vector<int>* ready);

}  // namespace qxapp
