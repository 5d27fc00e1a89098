// The wait for the final reply of one request, as a countdown fed with poll
// results: the poll loop itself (poll, pause, poll) belongs to the caller,
// which owns the connection.
//
// The countdown starts at the request's time-out (CommandTimeoutSeconds) and
// every message of the awaited request that is not final starts it again,
// so a request that keeps reporting progress is never given up. A request
// whose send failed carries the handle (0, 0), which no reply can match, and
// a lost connection shows as a poll result of kind RMT_INVALID: both end the
// wait at once as "no reply" instead of after the whole time-out. A result
// of kind RMT_INVALID is never taken for the awaited reply.
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"

class PollMsg;

class CommandWait {
  public:
    // The pause between two polls.
    static constexpr std::uint32_t kPollPauseMs = 100;

    enum class Step {
        WAITING,   // poll again after a pause
        COMPLETE,  // the awaited request's final message came
        NO_REPLY,  // time-out, lost connection, or a request never sent
    };

    CommandWait(const CommandHandle& awaited, std::uint32_t code);
    // A countdown of its own instead of the request's time-out.
    struct Countdown {
        std::uint64_t ms;
    };
    CommandWait(const CommandHandle& awaited, Countdown countdown);

    // Takes one poll result (nullptr: nothing came) and says how to go on.
    Step Take(const PollMsg* message);

    // Counts the time since the last poll; NO_REPLY once the countdown has
    // run out.
    Step Paused(std::uint32_t elapsedMs = kPollPauseMs);

    // Whether the result is a message of the awaited request (the ones the
    // progress lines show).
    bool IsAwaited(const PollMsg& message) const;

    Step Current() const { return step; }
    std::uint64_t TimeoutMs() const { return timeoutMs; }
    std::uint64_t RemainingMs() const { return remainingMs; }

  private:
    CommandHandle awaited;
    std::uint64_t timeoutMs;
    std::uint64_t remainingMs;
    Step step = Step::WAITING;
};
