// Tasks exchanging requests and responses across their threads.
#include <gtest/gtest.h>

#include <condition_variable>
#include <set>
#include <string>

#include "ProbeTask.h"
#include "support/ThreadNames.h"

namespace {

// The test's own thread acts as the service's main thread: bound to a task
// so that it can send requests and wait for their answers.
class TaskTest : public ::testing::Test {
  protected:
    OruTask control_{OruTask::BindToCurrentThread{}, "Test Control"};
};

TEST_F(TaskTest, SynchronousRequestRunsOnTheTargetsThreadAndReturnsItsAnswer) {
    ProbeTask target("Probe One");
    TaskRequest request = MakeRequest(PROBE_ECHO, 1234);
    TaskResponse response = target.Request(request);
    EXPECT_EQ(response.result, 1234);
    EXPECT_EQ(response.value9, 1235);
    EXPECT_EQ(response.ended, 0);
    EXPECT_EQ(response.responseId, request.responseId);
    ASSERT_EQ(target.Threads().size(), 1u);
    EXPECT_NE(target.Threads()[0], std::this_thread::get_id());
    EXPECT_EQ(target.Sequence(), request.responseId);
    EXPECT_EQ(OruTask::CurrentTask(), &control_);
}

TEST_F(TaskTest, AsynchronousResponsesWaitInTheRequestersList) {
    ProbeTask target("Probe One");
    TaskRequest a = MakeRequest(PROBE_ECHO, 1);
    TaskRequest b = MakeRequest(PROBE_ECHO, 2);
    std::int32_t idA = target.PostRequest(a);
    std::int32_t idB = target.PostRequest(b);
    ASSERT_GT(idA, 0);
    ASSERT_GT(idB, 0);
    EXPECT_EQ(a.responseId, idA);
    EXPECT_EQ(a.requester, &control_);
    // Taken out of order: each response is found by its id.
    EXPECT_EQ(control_.GetResponse(idB).result, 2);
    EXPECT_EQ(control_.GetResponse(idA).result, 1);
    EXPECT_FALSE(control_.HasResponses());
    EXPECT_EQ(control_.NextResponse().responseId, 0);
}

TEST_F(TaskTest, ResponseIdsAreUniqueAcrossTargets) {
    // One requester with answers outstanding from two tasks at once: every
    // answer must come back under its own id and carry its own value.
    ProbeTask first("Probe One");
    ProbeTask second("Probe Two");
    std::vector<std::pair<std::int32_t, int>> expected;
    std::set<std::int32_t> ids;
    for (int i = 0; i < 50; ++i) {
        TaskRequest a = MakeRequest(PROBE_ECHO, 1000 + i);
        TaskRequest b = MakeRequest(PROBE_ECHO, 2000 + i);
        std::int32_t idA = first.PostRequest(a);
        std::int32_t idB = second.PostRequest(b);
        expected.emplace_back(idA, 1000 + i);
        expected.emplace_back(idB, 2000 + i);
        ids.insert(idA);
        ids.insert(idB);
    }
    EXPECT_EQ(ids.size(), expected.size());
    EXPECT_EQ(ids.count(0), 0u);
    EXPECT_EQ(ids.count(-1), 0u);
    for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
        TaskResponse response = control_.GetResponse(it->first);
        EXPECT_EQ(response.result, it->second) << "id " << it->first;
    }
    EXPECT_FALSE(control_.HasResponses());
}

TEST_F(TaskTest, DelayedRequestRunsAfterItsDueTimeAndLaterImmediateOnesRunFirst) {
    ProbeTask target("Probe One");
    TaskRequest late = MakeRequest(PROBE_DUE_CHECK, 1);
    std::int32_t lateId = target.PostRequest(late, 300);
    TaskRequest now = MakeRequest(PROBE_ECHO, 2);
    TaskResponse first = target.Request(now);
    EXPECT_EQ(first.result, 2);
    TaskResponse delayed = control_.GetResponse(lateId);
    EXPECT_EQ(delayed.result, 1) << "ran before its due time";
    EXPECT_EQ(target.Logged(), (std::vector<int>{2, 1}));
}

TEST_F(TaskTest, DelayedSelfRequestsMakeATimer) {
    ProbeTask target("Probe Timer");
    TaskRequest tick = MakeRequest(PROBE_TICK, 4, 20);
    ASSERT_EQ(target.SendRequest(tick), 0);
    // The task re-posts itself three times; a synchronous request after the
    // last tick's due time shows that each ran in turn.
    const std::uint64_t deadline = platform::MonotonicMs() + 20000;
    while (target.Logged().size() < 4u && platform::MonotonicMs() < deadline) {
        platform::SleepMs(5);
    }
    EXPECT_EQ(target.Logged(), (std::vector<int>{4, 3, 2, 1}));
}

TEST_F(TaskTest, FrontOfQueueRequestRunsBeforeThoseAlreadyQueued) {
    ProbeTask target("Probe One");
    EventSemaphore gate;
    TaskRequest hold = MakeRequest(PROBE_GATE, reinterpret_cast<std::intptr_t>(&gate));
    target.SendRequest(hold);
    TaskRequest one = MakeRequest(PROBE_ECHO, 1);
    TaskRequest two = MakeRequest(PROBE_ECHO, 2);
    TaskRequest urgent = MakeRequest(PROBE_ECHO, 3);
    target.SendRequest(one);
    target.SendRequest(two);
    target.SendRequest(urgent, 0, true);
    gate.Post();
    TaskRequest last = MakeRequest(PROBE_ECHO, 4);
    target.Request(last);
    EXPECT_EQ(target.Logged(), (std::vector<int>{3, 1, 2, 4}));
}

TEST_F(TaskTest, StoppingATaskAnswersTheStopAndEndsEveryQueuedRequest) {
    auto target = std::make_unique<ProbeTask>("Probe One");
    EventSemaphore gate;
    // One request waits in the timed queue, the task is then held busy while
    // the stop and two more requests queue up behind it.
    TaskRequest timed = MakeRequest(PROBE_ECHO, 9);
    std::int32_t timedId = target->PostRequest(timed, 60000);
    TaskRequest hold = MakeRequest(PROBE_GATE, reinterpret_cast<std::intptr_t>(&gate));
    TaskRequest first = MakeRequest(PROBE_ECHO, 0);
    target->Request(first);
    target->SendRequest(hold);
    TaskRequest stop = MakeRequest(PROBE_STOP);
    std::int32_t stopId = target->PostRequest(stop);
    TaskRequest after1 = MakeRequest(PROBE_ECHO, 1);
    TaskRequest after2 = MakeRequest(PROBE_ECHO, 2);
    std::int32_t id1 = target->PostRequest(after1);
    std::int32_t id2 = target->PostRequest(after2);
    gate.Post();

    TaskResponse stopped = control_.GetResponse(stopId);
    EXPECT_EQ(stopped.ended, 0);
    EXPECT_EQ(stopped.result, 42);
    for (std::int32_t id : {id1, id2, timedId}) {
        TaskResponse response = control_.GetResponse(id);
        EXPECT_EQ(response.ended, 1) << "id " << id;
        EXPECT_EQ(response.result, 0);
    }
    EXPECT_EQ(target->Logged(), (std::vector<int>{0}));

    // From now on nothing is queued.
    EXPECT_TRUE(target->IsTerminating());
    TaskRequest more = MakeRequest(PROBE_ECHO, 5);
    EXPECT_EQ(target->Request(more).ended, 1);
    EXPECT_EQ(target->PostRequest(more), -1);
    EXPECT_EQ(more.responseId, -1);
    EXPECT_EQ(target->SendRequest(more), -1);
    target.reset();
    EXPECT_FALSE(control_.HasResponses());
}

TEST_F(TaskTest, SynchronousStopReturnsItsOwnAnswer) {
    ProbeTask target("Probe One");
    TaskRequest stop = MakeRequest(PROBE_STOP);
    TaskResponse response = target.Request(stop);
    EXPECT_EQ(response.ended, 0);
    EXPECT_EQ(response.result, 42);
}

TEST_F(TaskTest, DestroyingARunningTaskEndsItsPendingRequests) {
    auto target = std::make_unique<ProbeTask>("Probe One");
    TaskRequest timed = MakeRequest(PROBE_ECHO, 1);
    std::int32_t id = target->PostRequest(timed, 60000);
    TaskRequest sync = MakeRequest(PROBE_ECHO, 2);
    target->Request(sync);  // the timed one has reached the timed queue
    target.reset();         // no stop request: the destructor wakes and joins
    ASSERT_TRUE(control_.HasResponse(id));
    EXPECT_EQ(control_.GetResponse(id).ended, 1);
}

TEST_F(TaskTest, ATaskMayBeDestroyedRightAfterItsStopWasAnswered) {
    // The owner frees the task as soon as the stop is answered, while the
    // task's thread may still be on its way out of its loop.
    for (int i = 0; i < 200; ++i) {
        auto target = std::make_unique<ProbeTask>("Probe Churn");
        TaskRequest stop = MakeRequest(PROBE_STOP);
        EXPECT_EQ(target->Request(stop).result, 42);
        target.reset();
    }
}

TEST_F(TaskTest, ResponsesForAFinishedRequesterAreDropped) {
    auto target = std::make_unique<ProbeTask>("Probe Target");
    EventSemaphore gate;
    TaskRequest hold = MakeRequest(PROBE_GATE, reinterpret_cast<std::intptr_t>(&gate));
    target->SendRequest(hold);
    std::int32_t id = 0;
    {
        // A short-lived requester on a thread of its own.
        std::thread requester([&] {
            OruTask self(OruTask::BindToCurrentThread{}, "Short Lived");
            TaskRequest echo = MakeRequest(PROBE_ECHO, 7);
            id = target->PostRequest(echo);
        });
        requester.join();
    }
    gate.Post();
    TaskRequest sync = MakeRequest(PROBE_ECHO, 8);
    EXPECT_EQ(target->Request(sync).result, 8);
    EXPECT_GT(id, 0);
    EXPECT_FALSE(control_.HasResponse(id));
    EXPECT_EQ(target->Logged(), (std::vector<int>{7, 8}));
}

// Sends batches of asynchronous requests and takes their answers in its
// response handler, one per call.
class CollectorTask : public OruTask {
  public:
    explicit CollectorTask(OruTask* target) : OruTask("Collector"), target_(target) {}
    ~CollectorTask() override { EndThread(); }

    std::int32_t Dispatch(TaskRequest& request, TaskResponse*) override {
        for (int i = 0; i < request.args[0]; ++i) {
            TaskRequest echo = MakeRequest(PROBE_ECHO, 100 + i);
            target_->PostRequest(echo);
        }
        return 0;
    }

    void ResponseHandler() override {
        TaskResponse response = NextResponse();
        std::lock_guard<std::mutex> guard(mutex_);
        if (response.responseId != 0) {
            results_.insert(static_cast<int>(response.result));
        }
        cond_.notify_all();
    }

    std::set<int> WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [&] { return results_.size() >= count; });
        return results_;
    }

  private:
    OruTask* target_;
    std::mutex mutex_;
    std::condition_variable cond_;
    std::set<int> results_;
};

TEST_F(TaskTest, ResponseHandlerIsCalledUntilEveryResponseIsTaken) {
    ProbeTask target("Probe One");
    CollectorTask collector(&target);
    TaskRequest batch = MakeRequest(0, 20);
    collector.SendRequest(batch);
    std::set<int> results = collector.WaitFor(20);
    EXPECT_EQ(results.size(), 20u);
    EXPECT_EQ(*results.begin(), 100);
    EXPECT_EQ(*results.rbegin(), 119);
    EXPECT_FALSE(collector.HasResponses());
}

TEST_F(TaskTest, ThreadsCarryTheTaskNameOfAtMostFifteenCharacters) {
    ProbeTask target("Probe Name Is Too Long");
    TaskRequest sync = MakeRequest(PROBE_ECHO, 1);
    target.Request(sync);  // the thread has named itself by now
    EXPECT_STREQ(target.Name(), "Probe Name Is T");
    EXPECT_EQ(testsupport::ThreadNames().count("Probe Name Is T"), 1u);
}

}  // namespace
