// The poll loop of one request's wait on a connected array, shared by the
// console programs and the log printer's refresh. It is a template on the
// array so that a program that builds the client side in (rather than loading
// libqen.so) uses it as well.
#pragma once

#include <cstdint>

#include "cli/common/CommandWait.h"
#include "platform/Clock.h"

class PollMsg;

// Polls `array` until `wait` ends: again at once after a poll that brought a
// message, else after a pause of at most CommandWait::kPollPauseMs that ends
// as soon as the next reply starts to arrive. The countdown counts the time
// that passes, whether replies come or not, so a flood of messages for other
// requests cannot stop it. Every message of the awaited request is shown to
// `onAwaited` before the wait takes it. Returns the final message of the
// request, which belongs to the array until its next poll, or null when the
// wait ended without it.
template <typename Array, typename OnAwaited>
const PollMsg* PollForFinalMessage(Array& array, CommandWait& wait, OnAwaited&& onAwaited) {
    std::uint64_t counted = platform::MonotonicMs();
    while (wait.Current() == CommandWait::Step::WAITING) {
        const PollMsg* message = array.PollQEN();
        if (message != nullptr) {
            if (wait.IsAwaited(*message)) {
                onAwaited(*message);
            }
            switch (wait.Take(message)) {
                case CommandWait::Step::COMPLETE:
                    return message;
                case CommandWait::Step::NO_REPLY:
                    return nullptr;
                case CommandWait::Step::WAITING:
                    break;
            }
        } else {
            array.WaitForReply(CommandWait::kPollPauseMs);
        }
        // Time is counted only once it makes a whole nominal millisecond, so
        // that replies coming faster than that cannot hold the countdown.
        const std::uint64_t now = platform::MonotonicMs();
        const std::uint64_t nominal = now > counted ? platform::NominalMs(now - counted) : 0;
        if (nominal > 0) {
            wait.Paused(static_cast<std::uint32_t>(nominal));
            counted = now;
        }
    }
    return nullptr;
}
