// A deadline on the system's 32-bit millisecond tick count. The log printer
// itself keeps none; it belongs to the program's support code.
//
// The tick count wraps every 49.7 days: a deadline is compared as a signed
// 32-bit difference, so a timer works across the wrap as long as its
// interval is below 2^31 ms.
#pragma once

#include <cstdint>

namespace trail {

class TickTimer {
  public:
    static constexpr std::uint32_t kDefaultInterval = 10000;

    TickTimer() = default;
    explicit TickTimer(std::uint32_t interval) : interval_(interval) {}

    // Deadline = now + interval (or + ms; the interval stays); armed.
    void Start();
    void Start(std::uint32_t ms);
    // True when not armed. Otherwise false while the deadline has not
    // passed (deadline - now >= 0); once it has, the timer disarms and the
    // answer is true.
    bool Expired();
    // Start(ms), then spins on Expired (no sleep) until it is true.
    bool Wait(std::uint32_t ms);

    std::uint32_t Interval() const { return interval_; }
    bool Armed() const { return armed_ != 0; }

    // The tick count (milliseconds, wrapping). Tests may put a count of
    // their own in its place (nullptr: the system's again).
    static std::uint32_t TickCount();
    static void SetTickSource(std::uint32_t (*source)());

  private:
    std::uint32_t interval_ = kDefaultInterval;
    std::uint32_t deadline_ = 0;
    std::uint32_t armed_ = 0;
};

}  // namespace trail
