// EventSemaphore's posted flag and the service-wide semaphore list.
#include <gtest/gtest.h>

#include <thread>

#include "coresys/server/task/EventSemaphore.h"
#include "coresys/server/task/ResourceSemaphore.h"

namespace {

TEST(EventSemaphore, APostBeforeTheWaitIsNotLost) {
    EventSemaphore event;
    event.Post();
    EXPECT_TRUE(event.IsPosted());
    EXPECT_EQ(event.Wait(0), 0);
    EXPECT_FALSE(event.IsPosted());
}

TEST(EventSemaphore, WaitWithoutPostTimesOut) {
    EventSemaphore event;
    EXPECT_EQ(event.Wait(20), 1);
}

TEST(EventSemaphore, ResetWithdrawsAPost) {
    EventSemaphore event;
    event.Post();
    event.Reset();
    EXPECT_EQ(event.Wait(20), 1);
}

TEST(EventSemaphore, PostFromAnotherThreadWakesAWaiterWithoutTimeout) {
    EventSemaphore event;
    std::thread poster([&] { event.Post(); });
    EXPECT_EQ(event.Wait(0), 0);
    poster.join();
}

TEST(EventSemaphore, OnePostWakesOneWait) {
    EventSemaphore event;
    event.Post();
    event.Post();
    EXPECT_EQ(event.Wait(0), 0);
    EXPECT_EQ(event.Wait(20), 1);
}

TEST(Semaphore, EverySemaphoreIsListedWhileItExists) {
    int before = Semaphore::Count();
    {
        EventSemaphore event;
        ResourceSemaphore mutex;
        EXPECT_EQ(Semaphore::Count(), before + 2);
        EXPECT_EQ(event.Type(), Semaphore::SEMAPHORE_EVENT);
        EXPECT_EQ(mutex.Type(), Semaphore::SEMAPHORE_MUTEX);
    }
    EXPECT_EQ(Semaphore::Count(), before);
}

TEST(Semaphore, CloseAllMarksClosedButLeavesThePrimitivesUsable) {
    EventSemaphore event;
    ResourceSemaphore mutex;
    Semaphore::CloseAll();
    EXPECT_EQ(Semaphore::Count(), 0);
    EXPECT_TRUE(event.IsClosed());
    EXPECT_TRUE(mutex.IsClosed());
    // A thread that outlives the stop sequence may still use them.
    event.Post();
    EXPECT_EQ(event.Wait(0), 0);
    mutex.Obtain();
    mutex.Release();
}

TEST(ResourceSemaphore, TheHolderMayObtainAgainAndReleasesPerObtain) {
    ResourceSemaphore mutex;
    mutex.Obtain();
    mutex.Obtain();
    mutex.Release();
    mutex.Release();
    bool taken = false;
    std::thread other([&] {
        mutex.Obtain();
        taken = true;
        mutex.Release();
    });
    other.join();
    EXPECT_TRUE(taken);
}

}  // namespace
