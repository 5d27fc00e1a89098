// oru_install over our service control manager, driven as an outside caller
// would: the test installs, starts, queries, stops and removes the tiny test
// service (oru_test_service), whose behaviour is chosen by its name.
#include "install/oru_install.h"
#include "platform/ServiceControl.h"

#include "../platform/PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace platform;

const std::string kServiceProgram = std::string(ORU_BIN_DIR) + "/oru_test_service";

// A fresh machine for each test; every service process still running at the
// end is killed so nothing outlives the test.
class InstallTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ScHandle manager = OpenSCManager();
        std::vector<EnumServiceStatus> services;
        if (manager != nullptr && EnumServicesStatus(manager, SERVICE_STATE_ALL, &services)) {
            for (const EnumServiceStatus& service : services) {
                if (service.status.processId != 0) {
                    ::kill(static_cast<pid_t>(service.status.processId), SIGKILL);
                    // Let its monitor record the exit before the root goes.
                    WaitFor(service.serviceName, [](const ServiceStatus& s) {
                        return s.processId == 0 && s.processExitCode != -1;
                    });
                }
            }
        }
        CloseServiceHandle(manager);
    }

    ServiceStatus Query(const std::string& name) {
        ServiceStatus status;
        ScHandle manager = OpenSCManager();
        ScHandle service = OpenService(manager, name);
        if (service == nullptr || !QueryServiceStatus(service, &status)) {
            ADD_FAILURE() << "cannot query " << name << ": " << ScErrorName(ScGetLastError());
        }
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return status;
    }

    // Polls until pred(status) holds (up to 10 s); returns the last status.
    template <typename Pred>
    ServiceStatus WaitFor(const std::string& name, Pred pred) {
        ServiceStatus status;
        for (int i = 0; i < 1000; ++i) {
            status = Query(name);
            if (pred(status)) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status;
    }

    ServiceStatus WaitForState(const std::string& name, std::uint32_t state) {
        return WaitFor(name, [state](const ServiceStatus& s) { return s.currentState == state; });
    }

    // Waits until the service process has ended and its exit code is known.
    ServiceStatus WaitForExit(const std::string& name) {
        return WaitFor(name, [](const ServiceStatus& s) {
            return s.currentState == SERVICE_STOPPED && s.processId == 0 && s.processExitCode != -1;
        });
    }

    bool CreateTestService(const std::string& name, std::vector<std::string> dependencies = {}) {
        ScHandle manager = OpenSCManager();
        ServiceConfig config;
        config.serviceName = name;
        config.binaryPath = kServiceProgram;
        config.dependencies = std::move(dependencies);
        ScHandle service = CreateService(manager, config);
        bool made = service != nullptr;
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return made;
    }

    int CountLines(const std::string& name, const std::string& line) {
        std::string text = root_.Read("testsvc/" + name + ".log");
        int count = 0;
        size_t pos = 0;
        while ((pos = text.find(line + "\n", pos)) != std::string::npos) {
            if (pos == 0 || text[pos - 1] == '\n') {
                ++count;
            }
            pos += line.size();
        }
        return count;
    }

    platformtest::TestRoot root_;
};

TEST_F(InstallTest, InstallStartInterrogateStopAndRemove) {
    const std::string name = "Strovane Test-normal";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ServiceStatus status = WaitForState(name, SERVICE_RUNNING);
    ASSERT_EQ(status.currentState, SERVICE_RUNNING);
    EXPECT_NE(status.processId, 0u);
    EXPECT_EQ(ServiceIsRunning(name.c_str()), 1);

    // Installed as designed: automatic start, own process, display name = name.
    ScHandle manager = OpenSCManager();
    ScHandle service = OpenService(manager, name);
    ServiceConfig config;
    ASSERT_TRUE(QueryServiceConfig(service, &config));
    EXPECT_EQ(config.displayName, name);
    EXPECT_EQ(config.startType, SERVICE_AUTO_START);
    EXPECT_EQ(config.serviceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_TRUE(config.dependencies.empty());

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.currentState, SERVICE_RUNNING);
    EXPECT_EQ(CountLines(name, "control 4"), 1);

    ASSERT_EQ(StopServerService(name.c_str()), 1);
    status = WaitForExit(name);
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, 0u);
    EXPECT_EQ(status.processExitCode, 0);
    EXPECT_EQ(ServiceIsRunning(name.c_str()), 0);
    EXPECT_EQ(CountLines(name, "control 1"), 1);

    ASSERT_EQ(RemoveServerService(name.c_str()), 1);
    EXPECT_EQ(OpenService(manager, name), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);  // gone already: counts as removed
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, ASecondStartOfARunningServiceIsRefused) {
    const std::string name = "Twice-normal";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    ScHandle manager = OpenSCManager();
    ScHandle service = OpenService(manager, name);
    EXPECT_FALSE(StartService(service));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_ALREADY_RUNNING);
    // StartServerService of a running service returns 1 at once.
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(StartServerService(name.c_str()), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ(CountLines(name, "main " + name), 1);  // still the one process
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, ConcurrentStartsFromSeveralProcessesStartOnce) {
    const std::string name = "Race-normal";
    ASSERT_TRUE(CreateTestService(name));
    constexpr int kStarters = 4;
    std::vector<pid_t> children;
    for (int i = 0; i < kStarters; ++i) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ScHandle manager = OpenSCManager();
            ScHandle service = OpenService(manager, name);
            if (StartService(service)) {
                ::_exit(0);
            }
            ::_exit(ScGetLastError() == SC_ERROR_SERVICE_ALREADY_RUNNING ? 1 : 2);
        }
        children.push_back(pid);
    }
    int started = 0;
    int refused = 0;
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        started += WEXITSTATUS(status) == 0;
        refused += WEXITSTATUS(status) == 1;
    }
    EXPECT_EQ(started, 1);
    EXPECT_EQ(refused, kStarters - 1);
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    EXPECT_EQ(CountLines(name, "main " + name), 1);
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
}

TEST_F(InstallTest, AServiceThatDiesWhileStartingIsNotReportedStarted) {
    const std::string name = "Fragile-diestart";
    // InstallServerService does not wait for RUNNING: the start itself worked.
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ServiceStatus status = WaitForExit(name);
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, SC_ERROR_PROCESS_ABORTED);
    EXPECT_EQ(status.processExitCode, 2);
    // StartServerService polls and sees it stop.
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(StartServerService(name.c_str()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
}

TEST_F(InstallTest, AProgramThatNeverConnectsOrCannotRunFailsToStart) {
    const std::string name = "Mute-noconnect";
    EXPECT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 0);
    ScHandle manager = OpenSCManager();
    ScHandle service = OpenService(manager, name);
    ASSERT_NE(service, nullptr);  // created, just not started
    EXPECT_FALSE(StartService(service));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_PROCESS_ABORTED);
    EXPECT_EQ(WaitForExit(name).processExitCode, 4);
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);

    EXPECT_EQ(InstallServerService("Missing", "/nonexistent/program"), 0);
    ScHandle missing = OpenService(manager, "Missing");
    EXPECT_FALSE(StartService(missing));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RemoveServerService("Missing"), 1);
    CloseServiceHandle(missing);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, AServiceThatNeverStopsGivesUpAfterThirtyOneAttempts) {
    const std::string name = "Stubborn-neverstop";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    // The library keeps its own clock seam, read from ORU_TIME_SCALE once:
    // stop from a child process that sets it, so the 500 ms pauses take 5 ms
    // there (at worst, when the seam was read before, the test takes 15 s).
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("ORU_TIME_SCALE", "100", 1);
        ::_exit(StopServerService(name.c_str()) == 0 ? 0 : 1);
    }
    int exitStatus = 0;
    ASSERT_EQ(::waitpid(pid, &exitStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0)
        << "StopServerService gave 1";
    EXPECT_EQ(CountLines(name, "control 1"), 31);
    EXPECT_EQ(ServiceIsRunning(name.c_str()), 1);
}

TEST_F(InstallTest, ASlowStopIsWaitedFor) {
    const std::string name = "Slow-slowstop";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    EXPECT_EQ(StopServerService(name.c_str()), 1);
    EXPECT_EQ(Query(name).currentState, SERVICE_STOPPED);
    EXPECT_EQ(CountLines(name, "control 1"), 1);  // later attempts met STOP_PENDING
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
}

TEST_F(InstallTest, AKilledServiceLeavesAStaleRecordThatReadsStopped) {
    const std::string name = "Victim-normal";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ServiceStatus status = WaitForState(name, SERVICE_RUNNING);
    ASSERT_NE(status.processId, 0u);
    ::kill(static_cast<pid_t>(status.processId), SIGKILL);
    status = WaitForExit(name);
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
    EXPECT_EQ(status.win32ExitCode, SC_ERROR_PROCESS_ABORTED);
    EXPECT_EQ(status.processExitCode, 128 + SIGKILL);
    EXPECT_EQ(ServiceIsRunning(name.c_str()), 0);
    // It starts again as usual.
    EXPECT_EQ(StartServerService(name.c_str()), 1);
    EXPECT_EQ(Query(name).currentState, SERVICE_RUNNING);
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
}

TEST_F(InstallTest, DependenciesStartFirstAndDependentsStopFirst) {
    ASSERT_TRUE(CreateTestService("Base-normal"));
    ASSERT_TRUE(CreateTestService("Top-normal", {"Base-normal"}));
    // Starting the dependent starts what it depends on.
    ASSERT_EQ(StartServerService("Top-normal"), 1);
    EXPECT_EQ(WaitForState("Base-normal", SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    EXPECT_EQ(WaitForState("Top-normal", SERVICE_RUNNING).currentState, SERVICE_RUNNING);

    // The base cannot stop while its dependent runs ...
    ScHandle manager = OpenSCManager();
    ScHandle base = OpenService(manager, "Base-normal");
    ServiceStatus status;
    EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_DEPENDENT_SERVICES_RUNNING);
    // ... so StopServerService stops the dependent first.
    ASSERT_EQ(StopServerService("Base-normal"), 1);
    EXPECT_EQ(Query("Top-normal").currentState, SERVICE_STOPPED);
    EXPECT_EQ(Query("Base-normal").currentState, SERVICE_STOPPED);

    // StartServerService starts the inactive dependents after the service.
    ASSERT_EQ(StartServerService("Base-normal"), 1);
    EXPECT_EQ(WaitForState("Top-normal", SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    EXPECT_EQ(StopServerService("Base-normal"), 1);
    EXPECT_EQ(RemoveServerService("Top-normal"), 1);
    EXPECT_EQ(RemoveServerService("Base-normal"), 1);
    CloseServiceHandle(base);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, ARunningServiceMarkedForDeleteGoesWhenItStops) {
    const std::string name = "Doomed-normal";
    ASSERT_EQ(InstallServerService(name.c_str(), kServiceProgram.c_str()), 1);
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    ScHandle manager = OpenSCManager();
    ScHandle service = OpenService(manager, name);
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    ServiceConfig config;
    config.serviceName = name;
    config.binaryPath = kServiceProgram;
    EXPECT_EQ(CreateService(manager, config), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    ASSERT_EQ(StopServerService(name.c_str()), 1);
    EXPECT_EQ(OpenService(manager, name), nullptr);
    EXPECT_EQ(ScGetLastError(), SC_ERROR_SERVICE_DOES_NOT_EXIST);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, StartArgumentsReachTheServiceMain) {
    const std::string name = "Args-normal";
    ASSERT_TRUE(CreateTestService(name));
    ScHandle manager = OpenSCManager();
    ScHandle service = OpenService(manager, name);
    ASSERT_TRUE(StartService(service, {"alpha", "beta gamma"}));
    ASSERT_EQ(WaitForState(name, SERVICE_RUNNING).currentState, SERVICE_RUNNING);
    EXPECT_EQ(CountLines(name, "main " + name + " alpha beta gamma"), 1);
    EXPECT_EQ(RemoveServerService(name.c_str()), 1);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(InstallTest, FromAConsoleTheServiceProgramRefusesToDispatch) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::unsetenv(ServiceManagerMarker());
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execl(kServiceProgram.c_str(), kServiceProgram.c_str(), static_cast<char*>(nullptr));
        ::_exit(99);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
}

TEST_F(InstallTest, UnknownServicesAndEnvironmentChanges) {
    EXPECT_EQ(RemoveServerService("Never Installed"), 1);
    EXPECT_EQ(ServiceIsRunning("Never Installed"), 0);
    EXPECT_EQ(StartServerService("Never Installed"), 0);
    EXPECT_EQ(StopServerService("Never Installed"), 0);
    EXPECT_EQ(InstallServerService(nullptr, "/bin/true"), 0);
    EXPECT_EQ(SendEnvChangeMsg(), 1);
    EXPECT_EQ(root_.Read("etc/envchange"), "2\n");
}

TEST_F(InstallTest, TheLibraryExportsItsSixPlainNames) {
    void* library = ::dlopen((std::string(ORU_LIB_DIR) + "/liboru_install.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << ::dlerror();
    for (const char* name : {"InstallServerService", "StartServerService", "StopServerService",
                             "RemoveServerService", "ServiceIsRunning", "SendEnvChangeMsg"}) {
        EXPECT_NE(::dlsym(library, name), nullptr) << name;
    }
    // Nothing of the platform layer leaks out of the library.
    EXPECT_EQ(::dlsym(library, "_ZN8platform13OpenSCManagerEj"), nullptr);
    using RunningFn = int (*)(const char*);
    auto running = reinterpret_cast<RunningFn>(::dlsym(library, "ServiceIsRunning"));
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running("Never Installed"), 0);
    ::dlclose(library);
}

}  // namespace
