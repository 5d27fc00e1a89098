// Misuse of the task framework ends the process through ServerFatalError.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
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
            for (;;) {
                platform::SleepMs(10);
            }
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
