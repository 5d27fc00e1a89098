#include "install/oru_install.h"

#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "platform/Root.h"
#include "platform/ServiceControl.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace platform;

constexpr std::uint64_t kStartPollMs = 10000;  // the designed 10-second wait, as a poll limit
constexpr std::uint64_t kStopRetryMs = 500;
constexpr int kMaxBrokenPipes = 3;
constexpr int kMaxStopAttempts = 30;

// Closes a handle when it goes out of scope.
class Handle {
  public:
    explicit Handle(ScHandle handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ScHandle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    ScHandle handle_;
};

// The services database and one service in it, both opened for full
// access. The service stays closed when the database could not be opened
// (ScGetLastError then tells why the one that failed did).
class OpenedService {
  public:
    explicit OpenedService(const std::string& name)
        : manager_(OpenSCManager(SC_MANAGER_ALL_ACCESS)),
          service_(manager_ ? OpenService(manager_.get(), name, SERVICE_ALL_ACCESS) : nullptr) {}

    ScHandle Manager() const { return manager_.get(); }
    ScHandle Service() const { return service_.get(); }

  private:
    Handle manager_;
    Handle service_;
};

bool IsRunning(const std::string& name) {
    OpenedService opened(name);
    ServiceStatus status;
    if (opened.Service() == nullptr || !QueryServiceStatus(opened.Service(), &status)) {
        return false;
    }
    return status.currentState != SERVICE_STOPPED;
}

// The stop procedure of one service; true when it ended because the service stopped.
bool StopOne(ScHandle service, const std::string& name) {
    int brokenPipes = 0;
    int attempts = 0;
    while (IsRunning(name)) {
        ServiceStatus status;
        // The error is read only when the call failed: a stale error of an
        // earlier call must not count as a broken pipe.
        std::uint32_t error = SC_OK;
        if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
            error = ScGetLastError();
        }
        if (error == SC_ERROR_BROKEN_PIPE) {
            if (brokenPipes >= kMaxBrokenPipes) {
                return false;
            }
            ++brokenPipes;
            SleepMs(kStopRetryMs);
            continue;
        }
        ++attempts;
        if (error == SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
            status.currentState == SERVICE_STOPPED) {
            return true;
        }
        if (attempts > kMaxStopAttempts) {
            return false;
        }
        SleepMs(kStopRetryMs);
    }
    return true;
}

bool StopByName(ScHandle manager, const std::string& name) {
    Handle service(OpenService(manager, name, SERVICE_ALL_ACCESS));
    if (!service) {
        return false;
    }
    return StopOne(service.get(), name);
}

// Polls until the service runs (true), stopped (false) or the limit passed (true).
bool AwaitStart(ScHandle service) {
    std::uint64_t deadline = MonotonicMs() + ScaledMs(kStartPollMs);
    for (;;) {
        ServiceStatus status;
        if (!QueryServiceStatus(service, &status)) {
            return false;
        }
        if (status.currentState == SERVICE_RUNNING) {
            return true;
        }
        if (status.currentState == SERVICE_STOPPED) {
            return false;
        }
        if (MonotonicMs() >= deadline) {
            return true;  // still starting: a blind 10-second wait would not have told either
        }
        SleepMs(50);
    }
}

std::string AbsolutePath(const char* path) {
    std::string text(path);
    if (!text.empty() && text[0] == '/') {
        return text;
    }
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) {
        return resolved;
    }
    return text;
}

bool ValidArgument(const char* text) {
    return text != nullptr && *text != '\0';
}

bool PostEnvChange() {
    std::string path = RootPath("etc/envchange");
    if (MakeDirs(RootPath("etc")) != 0) {
        return false;
    }
    FileLock lock;
    if (lock.Lock(path + ".lock", true) != 0) {
        return false;
    }
    std::string text;
    unsigned long count = 0;
    if (ReadWholeFile(path, &text) == 0) {
        count = std::strtoul(text.c_str(), nullptr, 10);
    }
    return WriteFileAtomic(path, std::to_string(count + 1) + "\n") == 0;
}

}  // namespace

extern "C" {

int InstallServerService(const char* serviceName, const char* binaryPath) {
    if (!ValidArgument(serviceName) || !ValidArgument(binaryPath)) {
        return 0;
    }
    Handle manager(OpenSCManager(SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return 0;
    }
    ServiceConfig config;
    config.serviceName = serviceName;
    config.displayName = serviceName;
    config.binaryPath = AbsolutePath(binaryPath);
    config.serviceType = SERVICE_WIN32_OWN_PROCESS;
    config.startType = SERVICE_AUTO_START;
    config.errorControl = SERVICE_ERROR_NORMAL;
    Handle service(CreateService(manager.get(), config, SERVICE_ALL_ACCESS));
    if (!service) {
        return 0;
    }
    return StartService(service.get()) ? 1 : 0;
}

int StartServerService(const char* serviceName) {
    if (!ValidArgument(serviceName)) {
        return 0;
    }
    OpenedService opened(serviceName);
    ScHandle service = opened.Service();
    ServiceStatus status;
    if (service == nullptr || !QueryServiceStatus(service, &status)) {
        return 0;
    }
    if (status.currentState == SERVICE_STOPPED) {
        if (!StartService(service) || !AwaitStart(service)) {
            return 0;
        }
    }
    std::vector<EnumServiceStatus> dependents;
    if (!EnumDependentServices(service, SERVICE_INACTIVE, &dependents)) {
        return 0;
    }
    for (const EnumServiceStatus& dependent : dependents) {
        Handle other(OpenService(opened.Manager(), dependent.serviceName, SERVICE_ALL_ACCESS));
        if (!other || !StartService(other.get())) {
            return 0;
        }
    }
    return 1;
}

int StopServerService(const char* serviceName) {
    if (!ValidArgument(serviceName)) {
        return 0;
    }
    OpenedService opened(serviceName);
    ScHandle service = opened.Service();
    if (service == nullptr) {
        return 0;
    }
    std::vector<EnumServiceStatus> dependents;
    if (!EnumDependentServices(service, SERVICE_ACTIVE, &dependents)) {
        return 0;
    }
    for (const EnumServiceStatus& dependent : dependents) {
        if (!StopByName(opened.Manager(), dependent.serviceName)) {
            return 0;
        }
    }
    ServiceStatus status;
    if (!QueryServiceStatus(service, &status)) {
        return 0;
    }
    if (status.currentState == SERVICE_STOPPED) {
        return 1;
    }
    return StopOne(service, serviceName) ? 1 : 0;
}

int RemoveServerService(const char* serviceName) {
    if (!ValidArgument(serviceName)) {
        return 0;
    }
    OpenedService opened(serviceName);
    if (opened.Manager() == nullptr) {
        return 0;
    }
    if (opened.Service() == nullptr) {
        return ScGetLastError() == SC_ERROR_SERVICE_DOES_NOT_EXIST ? 1 : 0;
    }
    StopServerService(serviceName);  // the delete is attempted whatever the stop gave
    return DeleteService(opened.Service()) ? 1 : 0;
}

int ServiceIsRunning(const char* serviceName) {
    if (!ValidArgument(serviceName)) {
        return 0;
    }
    return IsRunning(serviceName) ? 1 : 0;
}

int SendEnvChangeMsg(void) {
    PostEnvChange();
    return PostEnvChange() ? 1 : 0;
}

}  // extern "C"
