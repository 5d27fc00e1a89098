#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Clock, MonotonicAndScaledSleeps) {
    platform::SetTimeScale(1.0);
    std::uint64_t before = platform::MonotonicMs();
    platform::SleepMs(20);
    std::uint64_t after = platform::MonotonicMs();
    EXPECT_GE(after - before, 20u);

    // A speed factor shortens every fixed wait but never to zero.
    platform::SetTimeScale(100.0);
    EXPECT_EQ(platform::ScaledMs(500), 5u);
    EXPECT_EQ(platform::ScaledMs(10), 1u);
    EXPECT_EQ(platform::ScaledMs(0), 0u);
    before = platform::MonotonicMs();
    platform::SleepMs(2000);
    EXPECT_LT(platform::MonotonicMs() - before, 1000u);

    platform::SetTimeScale(0.0);
    EXPECT_DOUBLE_EQ(platform::TimeScale(), 1.0);
}

TEST(Clock, TheSleepObserverSeesEveryWaitUnscaled) {
    platform::SetTimeScale(1000.0);
    std::vector<std::uint64_t> seen;
    platform::SetSleepObserver([&seen](std::uint64_t ms) { seen.push_back(ms); });
    platform::SleepMs(120000);
    platform::SleepMs(10);
    platform::SetSleepObserver(nullptr);
    platform::SleepMs(5);
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{120000, 10}));
    platform::SetTimeScale(0.0);
}

}  // namespace
