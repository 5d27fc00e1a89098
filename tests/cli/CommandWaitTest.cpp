// The wait for a request's final reply, fed with poll results as a poll
// loop would feed it.
#include <gtest/gtest.h>

#include "cli/common/CommandWait.h"
#include "coresys/common/PollMsg.h"

namespace {

using Step = CommandWait::Step;

PollMsg Message(std::uint32_t kind, std::uint32_t status, CommandHandle handle) {
    PollMsg message;
    message.kind = kind;
    message.status = status;
    message.handle = handle;
    return message;
}

// Polls with nothing arriving until the wait gives up; returns the pauses.
unsigned PausesUntilGivenUp(CommandWait& wait) {
    unsigned pauses = 0;
    while (wait.Take(nullptr) == Step::WAITING && wait.Paused() == Step::WAITING) {
        ++pauses;
    }
    return pauses + 1;
}

const CommandHandle kAwaited(7, 3);

TEST(CommandWait, FinalMessageOfTheAwaitedRequestCompletes) {
    CommandWait wait(kAwaited, 12);
    const PollMsg other = Message(1, 1, CommandHandle(8, 3));
    EXPECT_EQ(wait.Take(&other), Step::WAITING);
    EXPECT_FALSE(wait.IsAwaited(other));
    const PollMsg started = Message(1, 2, kAwaited);
    EXPECT_EQ(wait.Take(&started), Step::WAITING);
    EXPECT_TRUE(wait.IsAwaited(started));
    const PollMsg state = Message(5, 1, kAwaited);
    EXPECT_EQ(wait.Take(&state), Step::COMPLETE);
    EXPECT_EQ(wait.Paused(), Step::COMPLETE);
}

TEST(CommandWait, SilenceEndsAfterTheTimeoutOfTheRequest) {
    CommandWait plain(kAwaited, 12);
    EXPECT_EQ(plain.TimeoutMs(), 300000u);
    EXPECT_EQ(PausesUntilGivenUp(plain), 3000u);
    EXPECT_EQ(plain.Current(), Step::NO_REPLY);

    CommandWait rescan(kAwaited, 18);
    EXPECT_EQ(PausesUntilGivenUp(rescan), 3600u);
    CommandWait format(kAwaited, 9);
    EXPECT_EQ(PausesUntilGivenUp(format), 75000u);
}

TEST(CommandWait, ProgressOfTheAwaitedRequestRestartsTheCountdown) {
    CommandWait wait(kAwaited, 21);
    const PollMsg progress = Message(1, 2, kAwaited);
    const PollMsg unrelated = Message(1, 2, CommandHandle(9, 3));
    // A message every 200 s for over three hours: never given up.
    for (int minute = 0; minute < 60; ++minute) {
        for (int i = 0; i < 2000; ++i) {
            ASSERT_EQ(wait.Take(i == 0 ? &progress : &unrelated), Step::WAITING);
            ASSERT_EQ(wait.Paused(), Step::WAITING);
        }
    }
    // Messages of other requests do not keep it alive.
    EXPECT_EQ(wait.Take(&progress), Step::WAITING);
    unsigned pauses = 0;
    while (wait.Take(&unrelated) == Step::WAITING && wait.Paused() == Step::WAITING) {
        ++pauses;
    }
    EXPECT_EQ(pauses + 1, 3000u);
}

TEST(CommandWait, LostConnectionEndsAtOnceAndNeverMatches) {
    // The lost-connection result may carry any handle, even the awaited one.
    for (const CommandHandle& handle : {CommandHandle(0, 0), kAwaited}) {
        CommandWait wait(kAwaited, 12);
        const PollMsg lost = Message(0, 0, handle);
        EXPECT_FALSE(wait.IsAwaited(lost));
        EXPECT_EQ(wait.Take(&lost), Step::NO_REPLY);
        EXPECT_EQ(wait.Paused(), Step::NO_REPLY);
    }
    CommandWait wait(kAwaited, 12);
    const PollMsg lostStatus6 = Message(0, 6, CommandHandle(0, 0));
    EXPECT_EQ(wait.Take(&lostStatus6), Step::NO_REPLY);
}

TEST(CommandWait, RequestThatWasNeverSentHasNoReply) {
    CommandWait wait(CommandHandle(0, 0), 12);
    EXPECT_EQ(wait.Current(), Step::NO_REPLY);
    const PollMsg lost = Message(0, 0, CommandHandle(0, 0));
    EXPECT_EQ(wait.Take(&lost), Step::NO_REPLY);
    const PollMsg reply = Message(1, 1, CommandHandle(0, 0));
    EXPECT_EQ(wait.Take(&reply), Step::NO_REPLY);
}

TEST(CommandWait, ElapsedTimeOfSlowPollsCounts) {
    CommandWait wait(kAwaited, 12);
    EXPECT_EQ(wait.Paused(299999), Step::WAITING);
    EXPECT_EQ(wait.RemainingMs(), 1u);
    EXPECT_EQ(wait.Paused(5000), Step::NO_REPLY);
}

}  // namespace
