// Clock and sleep seam of the whole suite.
//
// Every delay, interval and due time inside the service is a 64-bit count of
// milliseconds of a monotonic clock, so nothing wraps however long the
// service runs. Every fixed wait (restart polls, authorization wait,
// controller waits) sleeps through SleepMs, so a test may shorten all of them
// at once with a speed factor; the waits themselves keep their default values.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>

namespace platform {

// Milliseconds of the monotonic clock since an arbitrary origin. Thread-safe.
std::uint64_t MonotonicMs();

// Sleeps about ms milliseconds of real time divided by the speed factor.
// Not interrupted by signals. Thread-safe.
void SleepMs(std::uint64_t ms);

// Like SleepMs, but ends early when *stop is nonzero: at the start, or when
// a signal handler that set it interrupted the sleep. The milliseconds (as
// asked, before the speed factor) left unslept; 0 when it slept whole.
std::uint64_t SleepMsUnless(std::uint64_t ms, const volatile std::sig_atomic_t* stop);

// Scales a fixed wait by the speed factor (at least 1 ms unless ms is 0).
std::uint64_t ScaledMs(std::uint64_t ms);
// The other way: real milliseconds that passed, counted as the nominal
// milliseconds of the fixed waits (real times the speed factor).
std::uint64_t NominalMs(std::uint64_t realMs);

// Speed factor for fixed waits: 1 by default, or the value of the
// environment variable ORU_TIME_SCALE (a positive number, e.g. 100 makes a
// 500 ms wait last 5 ms). Tests only; read once.
double TimeScale();

// Overrides the speed factor in-process (tests). factor <= 0 restores 1.
void SetTimeScale(double factor);

// Test seam: a function told of every SleepMs, with the milliseconds asked
// for (before the speed factor), on the sleeping thread, before it sleeps.
// Tests watch fixed waits with it, or let a simulated world's clock move by
// exactly the time the code under test waits. An empty function removes it.
// Thread-safe; the function must not call SetSleepObserver.
void SetSleepObserver(std::function<void(std::uint64_t ms)> observer);

}  // namespace platform
