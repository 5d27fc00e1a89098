// OruServr as a service of our service control manager, driven through the
// manager's calls as any outside caller would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/ServiceControl.h"
#include "support/ServerProcess.h"

namespace {

using namespace platform;

constexpr std::uint64_t kLimitMs = 60000;

class ManagedServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The manager passes its own environment on to the service.
        setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
        unsetenv("ORU_DEBUG");
        unsetenv("ORU_TEST_FATAL");
        // English texts in the event log.
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", "C", 1);
        manager_ = OpenSCManager();
        ASSERT_NE(manager_, nullptr) << ScErrorText(ScGetLastError());
        ServiceConfig config;
        config.serviceName = "OruServer Service";
        config.displayName = "OruServer Service";
        config.binaryPath = std::string(ORU_BIN_DIR) + "/OruServr";
        service_ = CreateService(manager_, config);
        ASSERT_NE(service_, nullptr) << ScErrorText(ScGetLastError());
    }

    void TearDown() override {
        unsetenv("ORU_TEST_FATAL");
        if (service_ != nullptr) {
            ServiceStatus status;
            if (QueryServiceStatus(service_, &status) && status.currentState != SERVICE_STOPPED) {
                ControlService(service_, SERVICE_CONTROL_STOP, &status);
                WaitForState(SERVICE_STOPPED, &status);
            }
            CloseServiceHandle(service_);
        }
        if (manager_ != nullptr) {
            CloseServiceHandle(manager_);
        }
    }

    // Polls the status until it reaches state or the time limit passes.
    bool WaitForState(std::uint32_t state, ServiceStatus* status) {
        std::uint64_t deadline = MonotonicMs() + kLimitMs;
        while (MonotonicMs() < deadline) {
            if (QueryServiceStatus(service_, status) && status->currentState == state) {
                return true;
            }
            SleepMs(20);
        }
        return false;
    }

    testsupport::FreshRoot root_;
    ScHandle manager_ = nullptr;
    ScHandle service_ = nullptr;
};

TEST_F(ManagedServiceTest, RunsAnswersInterrogateAndStopsOnStopWithExitZero) {
    ASSERT_TRUE(StartService(service_)) << ScErrorText(ScGetLastError());
    ServiceStatus status;
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, &status))
        << root_.Read("scm/OruServer Service/output.log");
    EXPECT_EQ(status.controlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
    EXPECT_EQ(status.checkPoint, 0u);
    EXPECT_NE(status.processId, 0u);

    // A second start of a running service is refused.
    EXPECT_FALSE(StartService(service_));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_ALREADY_RUNNING);

    ServiceStatus answer;
    ASSERT_TRUE(ControlService(service_, SERVICE_CONTROL_INTERROGATE, &answer))
        << ScErrorText(ScGetLastError());
    EXPECT_EQ(answer.currentState, SERVICE_RUNNING);

    ASSERT_TRUE(ControlService(service_, SERVICE_CONTROL_STOP, &answer))
        << ScErrorText(ScGetLastError());
    // The answer carries the status the service reported last: stopping, or
    // already stopped when its whole stop ran before the answer was taken.
    EXPECT_TRUE(answer.currentState == SERVICE_STOP_PENDING ||
                answer.currentState == SERVICE_STOPPED)
        << answer.currentState;
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, &status));
    EXPECT_EQ(status.win32ExitCode, 0u);

    // The process has ended with 0 once the manager knows its exit code.
    std::uint64_t deadline = MonotonicMs() + kLimitMs;
    while (status.processExitCode == -1 && MonotonicMs() < deadline) {
        SleepMs(20);
        QueryServiceStatus(service_, &status);
    }
    EXPECT_EQ(status.processExitCode, 0);

    std::vector<std::string> texts = testsupport::EventLogTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "OruServr Started\n"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "OruServr Exited\n"), texts.end());
}

TEST_F(ManagedServiceTest, ShutdownStopsTheServiceLikeStop) {
    ASSERT_TRUE(StartService(service_)) << ScErrorText(ScGetLastError());
    ServiceStatus status;
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, &status));
    ASSERT_TRUE(ControlService(service_, SERVICE_CONTROL_SHUTDOWN, &status))
        << ScErrorText(ScGetLastError());
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, &status));
    EXPECT_EQ(status.win32ExitCode, 0u);
}

TEST_F(ManagedServiceTest, AFatalErrorWhileRunningEndsTheProcessWithThree) {
    setenv("ORU_TEST_FATAL", "running", 1);
    ASSERT_TRUE(StartService(service_)) << ScErrorText(ScGetLastError());
    ServiceStatus status;
    // No final status report: the manager finds the process gone.
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, &status));
    std::uint64_t deadline = MonotonicMs() + kLimitMs;
    while (status.processExitCode == -1 && MonotonicMs() < deadline) {
        SleepMs(20);
        QueryServiceStatus(service_, &status);
    }
    EXPECT_EQ(status.processExitCode, 3);
    EXPECT_EQ(status.win32ExitCode, SC_ERROR_PROCESS_ABORTED);
    EXPECT_TRUE(testsupport::WaitForEventLogText("Invalid ServiceTask request code", 1000));
}

}  // namespace
