// The frame's own tasks: the service task's two codes, and the bound
// controller task of the main thread.
#include <gtest/gtest.h>

#include "coresys/server/winnt/Service/ControllerTask.h"
#include "coresys/server/winnt/Service/ServiceTask.h"
#include "platform/Clock.h"

namespace {

TEST(ServiceTask, AnswersZeroAndEndsOnItsStopCode) {
    ControllerTask controller;
    ASSERT_EQ(OruTask::CurrentTask(), &controller);
    ServiceTask service;
    EXPECT_STREQ(service.Name(), "Service Task");

    TaskRequest answer;
    answer.code = SERVICE_TASK_ANSWER;
    answer.args[0] = 77;
    TaskResponse response = service.Request(answer);
    EXPECT_EQ(response.ended, 0);
    EXPECT_EQ(response.result, 0);

    TaskRequest stop;
    stop.code = SERVICE_TASK_STOP;
    response = service.Request(stop);
    EXPECT_EQ(response.ended, 0);
    // The answer to the stop code is posted before the task marks itself
    // ending, so give its thread a moment.
    for (int i = 0; i < 2000 && !service.IsTerminating(); ++i) {
        platform::SleepMs(1);
    }
    EXPECT_TRUE(service.IsTerminating());
    // Ended: later requests come back at once with ended = 1.
    EXPECT_EQ(service.Request(answer).ended, 1);
}

TEST(ServiceTaskDeathTest, AnyOtherCodeIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ControllerTask controller;
            ServiceTask service;
            TaskRequest bad;
            bad.code = 2;
            service.Request(bad);
        },
        ::testing::ExitedWithCode(3), "ServiceTask::Dispatch Invalid ServiceTask request code");
}

}  // namespace
