// Misuse of the task framework ends the process through ServerFatalError.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ProbeTask.h"
#include "coresys/server/task/ServerFatal.h"

namespace {

class TaskDeathTest : public ::testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// A task that does not implement its Dispatch.
class BareTask : public OruTask {
  public:
    BareTask() : OruTask("Bare") {}
    ~BareTask() override { EndThread(); }
};

TEST_F(TaskDeathTest, RequestFromAThreadWithoutATaskIsFatal) {
    EXPECT_EXIT(
        {
            ProbeTask target("Probe One");
            TaskRequest request = MakeRequest(PROBE_ECHO, 1);
            target.Request(request);
        },
        ::testing::ExitedWithCode(3), "OruTask::CurrentTask Task not found");
}

TEST_F(TaskDeathTest, PostingForAResponseFromAThreadWithoutATaskIsFatal) {
    EXPECT_EXIT(
        {
            ProbeTask target("Probe One");
            TaskRequest request = MakeRequest(PROBE_ECHO, 1);
            target.PostRequest(request);
        },
        ::testing::ExitedWithCode(3), "OruTask::CurrentTask Task not found");
}

TEST_F(TaskDeathTest, ATaskWithoutDispatchIsFatalWhenItGetsWork) {
    EXPECT_EXIT(
        {
            BareTask bare;
            TaskRequest request = MakeRequest(0);
            bare.SendRequest(request);
            // Long enough for any machine; a task that never reports the
            // fault fails the test instead of hanging it.
            platform::SleepMs(20000);
            std::exit(99);
        },
        ::testing::ExitedWithCode(3), "OruTask::Dispatch Task must implement a Dispatch method");
}

TEST_F(TaskDeathTest, ATaskWaitingForItselfIsFatalInsteadOfHanging) {
    EXPECT_EXIT(
        {
            OruTask self(OruTask::BindToCurrentThread{}, "Self");
            TaskRequest request = MakeRequest(0);
            self.Request(request);
        },
        ::testing::ExitedWithCode(3), "OruTask::Request");
}

// A task whose Dispatch destroys the task itself, from the task's own
// thread: the thread would return into freed memory.
class SelfEndingTask : public OruTask {
  public:
    SelfEndingTask() : OruTask("Self Ending") {}
    ~SelfEndingTask() override { EndThread(); }
    std::int32_t Dispatch(TaskRequest&, TaskResponse*) override {
        delete this;
        return 0;
    }
};

TEST_F(TaskDeathTest, ATaskEndedFromItsOwnThreadIsFatal) {
    EXPECT_EXIT(
        {
            auto* task = new SelfEndingTask;
            TaskRequest request = MakeRequest(0);
            task->SendRequest(request);
            // The fatal error ends the process; a run that comes back from
            // the task's thread instead fails here rather than hanging.
            platform::SleepMs(20000);
            std::exit(99);
        },
        ::testing::ExitedWithCode(3),
        "OruTask::EndThread A task cannot be ended from its own thread");
}

void CustomFatal(const char* where, const char* what) {
    std::fprintf(stderr, "custom fatal [%s] [%s]\n", where, what);
    std::fflush(stderr);
    _exit(7);
}

TEST_F(TaskDeathTest, TheInstalledFatalRoutineIsUsed) {
    EXPECT_EXIT(
        {
            SetServerFatalHandler(&CustomFatal);
            OruTask::CurrentTask();
        },
        ::testing::ExitedWithCode(7),
        "custom fatal \\[OruTask::CurrentTask\\] \\[Task not found\\]");
}

TEST_F(TaskDeathTest, AFatalHandlerThatReturnsStillEndsTheProcess) {
    EXPECT_EXIT(
        {
            SetServerFatalHandler([](const char*, const char*) {});
            ServerFatalError("Here", "Something");
        },
        ::testing::ExitedWithCode(3), "OruServr: Here Something");
}

}  // namespace
