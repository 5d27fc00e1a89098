// The service control manager with a service run in-process: the manager
// calls on the test thread, the service's dispatcher on a thread of its own.
// Services in processes of their own are tested with oru_install
// (tests/install).
#include "platform/ServiceControl.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace platform;

// An in-process service: reports RUNNING, counts interrogations, stops on STOP.
struct InProcessService {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool stopRequested = false;
    static inline int interrogations = 0;
    static inline ServiceStatusHandle handle = nullptr;
    static inline ServiceStatus status;
    static inline std::vector<std::string> arguments;

    static void Report(std::uint32_t state, std::uint32_t accepted) {
        status.currentState = state;
        status.controlsAccepted = accepted;
        SetServiceStatus(handle, status);
    }

    static void Handler(std::uint32_t control) {
        std::lock_guard<std::mutex> lock(mutex);
        if (control == SERVICE_CONTROL_STOP) {
            Report(SERVICE_STOP_PENDING, 0);
            stopRequested = true;
            changed.notify_all();
        } else if (control == SERVICE_CONTROL_INTERROGATE) {
            ++interrogations;
            SetServiceStatus(handle, status);
        }
    }

    static void Main(std::uint32_t argc, char** argv) {
        arguments.assign(argv, argv + argc);
        handle = RegisterServiceCtrlHandler("Test Service", Handler);
        if (handle == nullptr) {
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        Report(SERVICE_START_PENDING, 0);
        Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
        changed.wait(lock, [] { return stopRequested; });
        Report(SERVICE_STOPPED, 0);
    }

    static void Reset() {
        stopRequested = false;
        interrogations = 0;
        handle = nullptr;
        status = ServiceStatus{};
        arguments.clear();
    }
};

ServiceConfig TestConfig(const std::string& name) {
    ServiceConfig config;
    config.serviceName = name;
    config.binaryPath = "/bin/true";
    return config;
}

ServiceStatus WaitForState(ScHandle service, std::uint32_t state) {
    ServiceStatus status;
    for (int i = 0; i < 500; ++i) {
        EXPECT_TRUE(QueryServiceStatus(service, &status));
        if (status.currentState == state) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

TEST(ServiceControl, RecordsAreCreatedOpenedAndDeleted) {
    platformtest::TestRoot root;
    ScHandle manager = OpenSCManager();
    ASSERT_NE(manager, nullptr);
    ServiceConfig config = TestConfig("OruServer Service");
    config.arguments = {"-x"};
    config.dependencies = {"Base"};
    config.startType = SERVICE_AUTO_START;
    ScHandle service = CreateService(manager, config);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(ScGetLastError(), SC_OK);

    EXPECT_EQ(CreateService(manager, TestConfig("oruserver service")), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_EXISTS);
    EXPECT_EQ(CreateService(manager, TestConfig("a/b")), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_INVALID_NAME);
    ServiceConfig relative = TestConfig("Relative");
    relative.binaryPath = "bin/x";
    EXPECT_EQ(CreateService(manager, relative), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_INVALID_PARAMETER);

    ScHandle opened = OpenService(manager, "ORUSERVER SERVICE");
    ASSERT_NE(opened, nullptr);
    ServiceConfig stored;
    ASSERT_TRUE(QueryServiceConfig(opened, &stored));
    EXPECT_EQ(stored.serviceName, "OruServer Service");
    EXPECT_EQ(stored.displayName, "OruServer Service");
    EXPECT_EQ(stored.binaryPath, "/bin/true");
    EXPECT_EQ(stored.arguments, std::vector<std::string>{"-x"});
    EXPECT_EQ(stored.dependencies, std::vector<std::string>{"Base"});
    EXPECT_EQ(stored.startType, SERVICE_AUTO_START);
    ServiceStatus status;
    ASSERT_TRUE(QueryServiceStatus(opened, &status));
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.processId, 0u);

    EXPECT_FALSE(ControlService(opened, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_NOT_ACTIVE);

    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(opened));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    ASSERT_TRUE(QueryServiceStatus(opened, &status));  // handles stay valid
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(OpenService(manager, "OruServer Service"), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_DOES_NOT_EXIST);

    EXPECT_TRUE(CloseServiceHandle(opened));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(CloseServiceHandle(manager));
    EXPECT_FALSE(CloseServiceHandle(nullptr));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_INVALID_HANDLE);
}

TEST(ServiceControl, AnInProcessServiceRunsAnswersAndStops) {
    platformtest::TestRoot root;
    InProcessService::Reset();
    ScHandle manager = OpenSCManager();
    ScHandle service = CreateService(manager, TestConfig("Test Service"));
    ASSERT_NE(service, nullptr);

    static const ServiceTableEntry table[] = {{"Test Service", InProcessService::Main},
                                              {nullptr, nullptr}};
    std::atomic<bool> dispatched{false};
    std::thread serviceThread(
        [&] { dispatched = StartServiceCtrlDispatcherAs("test service", table); });

    ServiceStatus status = WaitForState(service, SERVICE_RUNNING);
    ASSERT_EQ(status.currentState, SERVICE_RUNNING);
    EXPECT_EQ(status.processId, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(status.controlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.currentState, SERVICE_RUNNING);
    {
        std::lock_guard<std::mutex> lock(InProcessService::mutex);
        EXPECT_EQ(InProcessService::interrogations, 1);
    }
    EXPECT_FALSE(ControlService(service, 2 /* PAUSE: not accepted */, &status));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_INVALID_SERVICE_CONTROL);

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(status.currentState == SERVICE_STOP_PENDING ||
                status.currentState == SERVICE_STOPPED);
    serviceThread.join();
    EXPECT_TRUE(dispatched);
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, 0u);
    EXPECT_EQ(InProcessService::arguments, std::vector<std::string>{"Test Service"});

    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_NOT_ACTIVE);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

void ReturnsAtOnce(std::uint32_t, char**) {}

TEST(ServiceControl, AServiceMainThatReturnsWithoutStoppingReadsAborted) {
    platformtest::TestRoot root;
    ScHandle manager = OpenSCManager();
    ScHandle service = CreateService(manager, TestConfig("Quick"));
    static const ServiceTableEntry table[] = {{"Quick", ReturnsAtOnce}, {nullptr, nullptr}};
    ASSERT_TRUE(StartServiceCtrlDispatcherAs("Quick", table));
    ServiceStatus status;
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, SC_ERROR_PROCESS_ABORTED);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(ServiceControl, TheDispatcherNeedsTheManager) {
    platformtest::TestRoot root;
    ::unsetenv(ServiceManagerMarker());
    EXPECT_FALSE(RunningUnderServiceManager());
    static const ServiceTableEntry table[] = {{"Quick", ReturnsAtOnce}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcher(table));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    // A name the table does not hold, or a record that does not exist.
    EXPECT_FALSE(StartServiceCtrlDispatcherAs("Other", table));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    EXPECT_FALSE(StartServiceCtrlDispatcherAs("Quick", table));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    EXPECT_EQ(RegisterServiceCtrlHandler("Quick", [](std::uint32_t) {}), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ::setenv(ServiceManagerMarker(), "Quick", 1);
    EXPECT_TRUE(RunningUnderServiceManager());
    ::unsetenv(ServiceManagerMarker());
}

TEST(ServiceControl, AStaleRecordReadsAsStopped) {
    platformtest::TestRoot root;
    ScHandle manager = OpenSCManager();
    ScHandle service = CreateService(manager, TestConfig("Stale"));
    ASSERT_NE(service, nullptr);
    // A process that has ended: its pid is in the record, which says RUNNING.
    pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ::waitpid(dead, nullptr, 0);
    root.Write("scm/Stale/status", "state=4\naccepted=5\nwin32exit=0\npid=" + std::to_string(dead) +
                                       "\ndispatcher=1\ncontrol=nowhere\n");
    ServiceStatus status;
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, SC_ERROR_PROCESS_ABORTED);
    EXPECT_EQ(status.processId, 0u);
    // The record was mended on disk.
    EXPECT_NE(root.Read("scm/Stale/status").find("state=1\n"), std::string::npos);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_NOT_ACTIVE);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(ServiceControl, ErrorNamesAndTexts) {
    EXPECT_STREQ(ScErrorName(SC_ERROR_BROKEN_PIPE), "SC_ERROR_BROKEN_PIPE");
    EXPECT_EQ(static_cast<std::uint32_t>(SC_ERROR_BROKEN_PIPE), 109u);
    EXPECT_EQ(static_cast<std::uint32_t>(SC_ERROR_SERVICE_DOES_NOT_EXIST), 1060u);
    EXPECT_STREQ(ScErrorText(SC_ERROR_SERVICE_ALREADY_RUNNING), "the service is already running");
    EXPECT_STREQ(ScErrorName(4242), "?");
}

}  // namespace
