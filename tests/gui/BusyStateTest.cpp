// The busy rule's queue of work that waits for the interface to be idle:
// run from the event loop, held while a wait runs and released in order
// when the last wait ends (work for the list when the list wait ends), and
// dropped with the object it belongs to.
#include "gui/BusyState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <memory>
#include <vector>

namespace {

using oru::BusyScope;
using oru::BusyState;

void RunPostedEvents() {
    QCoreApplication::processEvents();
}

TEST(BusyStateTest, WorkForAnIdleInterfaceRunsFromTheEventLoop) {
    BusyState state;
    QObject context;
    int runs = 0;
    state.WhenIdle(&context, [&] { ++runs; });
    EXPECT_EQ(runs, 0);  // not in the caller's own handler
    RunPostedEvents();
    EXPECT_EQ(runs, 1);
    RunPostedEvents();
    EXPECT_EQ(runs, 1);
}

TEST(BusyStateTest, WorkIsHeldWhileAWaitRunsAndRunsInOrderOnceTheLastWaitEnds) {
    BusyState state;
    QObject context;
    std::vector<int> ran;
    {
        BusyScope outer(state);
        state.WhenIdle(&context, [&] { ran.push_back(1); });
        {
            BusyScope inner(state);
            state.WhenIdle(&context, [&] { ran.push_back(2); });
            RunPostedEvents();
            EXPECT_TRUE(ran.empty());
        }
        // The outer wait still runs.
        RunPostedEvents();
        state.WhenIdle(&context, [&] { ran.push_back(3); });
        RunPostedEvents();
        EXPECT_TRUE(ran.empty());
    }
    RunPostedEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    // Each runs once.
    RunPostedEvents();
    EXPECT_EQ(ran.size(), 3u);
}

TEST(BusyStateTest, WorkPostedBeforeAWaitBeganIsHeldByIt) {
    BusyState state;
    QObject context;
    int runs = 0;
    state.WhenIdle(&context, [&] { ++runs; });
    {
        BusyScope busy(state);
        RunPostedEvents();
        EXPECT_EQ(runs, 0);
    }
    RunPostedEvents();
    EXPECT_EQ(runs, 1);
}

TEST(BusyStateTest, WorkHeldForTheListRunsWhenTheListWaitEndsAlsoInsideAnArrayWait) {
    BusyState state;
    QObject context;
    std::vector<int> ran;
    {
        BusyScope array(state, BusyState::Kind::kArray);
        {
            BusyScope list(state);
            state.WhenListFree(&context, [&] { ran.push_back(1); });
            state.WhenIdle(&context, [&] { ran.push_back(2); });
            RunPostedEvents();
            EXPECT_TRUE(ran.empty());
        }
        // The array wait still runs: only the work for the list is free.
        RunPostedEvents();
        EXPECT_EQ(ran, (std::vector<int>{1}));
        EXPECT_TRUE(state.Busy());
    }
    RunPostedEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(BusyStateTest, WorkWhoseObjectIsGoneIsDropped) {
    BusyState state;
    QObject stays;
    auto held = std::make_unique<QObject>();
    auto posted = std::make_unique<QObject>();
    std::vector<int> ran;
    {
        BusyScope busy(state);
        state.WhenIdle(held.get(), [&] { ran.push_back(1); });
        state.WhenIdle(&stays, [&] { ran.push_back(2); });
        RunPostedEvents();
        held.reset();  // while its work is held
    }
    state.WhenIdle(posted.get(), [&] { ran.push_back(3); });
    posted.reset();  // before the event loop came to its work
    RunPostedEvents();
    EXPECT_EQ(ran, (std::vector<int>{2}));
}

}  // namespace
