// Service side of the service control manager: the dispatcher that a service
// program runs (StartServiceCtrlDispatcher), its control thread, the control
// handler and status reporting.
#include "platform/FileUtil.h"
#include "platform/ServiceControl.h"
#include "platform/ServiceRecord.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace platform {

using namespace scm;

// The one dispatcher of this process. Allocated on the heap and deliberately
// left alone when the service ends the process from inside its service main
// (exit while the control thread still runs must not destroy it).
struct ServiceStatusRecord {
    std::string name;  // as stored in the record
    std::string dir;
    std::string control;  // abstract socket name
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::thread controlThread;

    std::mutex mutex;  // guards the members below
    ServiceHandlerFunction handler;
    bool handlerRegistered = false;
    ServiceStatus current;
    bool reportedStopped = false;
};

namespace {

std::atomic<ServiceStatusRecord*> activeDispatcher{nullptr};
std::mutex dispatcherStartMutex;
std::atomic<unsigned> socketCounter{0};

bool Fail(std::uint32_t error) {
    ScSetLastError(error);
    return false;
}

bool NamesEqual(const std::string& a, const std::string& b) {
    return LowerCase(a) == LowerCase(b);
}

// Publishes `status` into the record's status file under its lock, keeping
// the manager's fields and marking the dispatcher connected.
bool PublishStatus(ServiceStatusRecord* record, const ServiceStatus& status) {
    FileLock lock;
    if (lock.Lock(LockPath(record->dir), true) != 0) {
        return false;
    }
    StatusFile file;
    ReadStatusFile(record->dir, &file);
    std::uint32_t self = static_cast<std::uint32_t>(::getpid());
    if (file.pid != self) {
        file.pidStart = ProcessStartTime(::getpid());
    }
    file.pid = self;
    file.lastPid = self;
    file.dispatcher = true;
    file.control = record->control;
    file.status = status;
    file.status.processId = 0;
    file.status.processExitCode = -1;
    return WriteStatusFile(record->dir, file) == 0;
}

ControlReply MakeReply(std::uint32_t error, const ServiceStatus& status) {
    ControlReply reply{};
    reply.magic = kControlMagic;
    reply.error = error;
    reply.serviceType = status.serviceType;
    reply.currentState = status.currentState;
    reply.controlsAccepted = status.controlsAccepted;
    reply.win32ExitCode = status.win32ExitCode;
    reply.serviceSpecificExitCode = status.serviceSpecificExitCode;
    reply.checkPoint = status.checkPoint;
    reply.waitHint = status.waitHint;
    return reply;
}

// Decides whether a control may go to the handler now; returns SC_OK or the error.
std::uint32_t ControlVerdict(const ServiceStatus& status, bool handlerRegistered,
                             std::uint32_t control) {
    if (status.currentState == SERVICE_STOPPED) {
        return SC_ERROR_SERVICE_NOT_ACTIVE;
    }
    if (control == SERVICE_CONTROL_INTERROGATE) {
        return SC_OK;
    }
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        if (!handlerRegistered || status.currentState == SERVICE_START_PENDING ||
            status.currentState == SERVICE_STOP_PENDING) {
            return SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        }
        std::uint32_t bit =
            control == SERVICE_CONTROL_STOP ? SERVICE_ACCEPT_STOP : SERVICE_ACCEPT_SHUTDOWN;
        return (status.controlsAccepted & bit) != 0 ? SC_OK : SC_ERROR_INVALID_SERVICE_CONTROL;
    }
    if (control >= 128 && control <= 255) {
        return handlerRegistered ? SC_OK : SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
    return SC_ERROR_INVALID_SERVICE_CONTROL;
}

// Only our own user (or root) may send controls.
bool PeerAllowed(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
        return false;
    }
    return peer.uid == 0 || peer.uid == ::geteuid();
}

void ServeOneControl(ServiceStatusRecord* record, int fd) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ControlRequest request{};
    size_t got = 0;
    while (got < sizeof request) {
        ssize_t n = ::recv(fd, reinterpret_cast<char*>(&request) + got, sizeof request - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        got += static_cast<size_t>(n);
    }
    if (request.magic != kControlMagic || !PeerAllowed(fd)) {
        return;
    }
    ServiceHandlerFunction handler;
    std::uint32_t verdict;
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        verdict = ControlVerdict(record->current, record->handlerRegistered, request.control);
        handler = record->handler;
    }
    if (verdict == SC_OK && handler) {
        handler(request.control);  // reports through SetServiceStatus
    }
    ServiceStatus after;
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        after = record->current;
    }
    ControlReply reply = MakeReply(verdict, after);
    ::send(fd, &reply, sizeof reply, MSG_NOSIGNAL);
}

void ControlLoop(ServiceStatusRecord* record) {
    for (;;) {
        pollfd waiters[2] = {{record->listenFd, POLLIN, 0}, {record->wakeFds[0], POLLIN, 0}};
        int ready = ::poll(waiters, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (waiters[1].revents != 0) {
            return;
        }
        if ((waiters[0].revents & POLLIN) == 0) {
            continue;
        }
        int fd = ::accept4(record->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ServeOneControl(record, fd);
        ::close(fd);
    }
}

// Binds the control socket in the abstract namespace: nothing to clean up on
// disk, no path length limit from ORU_ROOT, gone when the process ends.
bool OpenControlSocket(ServiceStatusRecord* record) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "strovane-scm." + std::to_string(::getpid()) + "." +
                           std::to_string(socketCounter.fetch_add(1));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        socklen_t length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) {
            if (::listen(fd, 8) != 0) {
                break;
            }
            record->listenFd = fd;
            record->control = name;
            return true;
        }
        if (errno != EADDRINUSE) {
            break;
        }
    }
    ::close(fd);
    return false;
}

void CloseRecord(ServiceStatusRecord* record) {
    if (record->listenFd >= 0) {
        ::close(record->listenFd);
    }
    if (record->wakeFds[0] >= 0) {
        ::close(record->wakeFds[0]);
        ::close(record->wakeFds[1]);
    }
}

bool RunDispatcher(const std::string& serviceName, const ServiceTableEntry* table,
                   std::vector<std::string> arguments) {
    if (table == nullptr) {
        return Fail(SC_ERROR_INVALID_PARAMETER);
    }
    const ServiceTableEntry* entry = nullptr;
    for (const ServiceTableEntry* e = table; e->serviceName != nullptr; ++e) {
        if (NamesEqual(e->serviceName, serviceName) && e->serviceMain != nullptr) {
            entry = e;
            break;
        }
    }
    std::string dir;
    if (entry == nullptr || !FindRecordDir(serviceName, &dir)) {
        return Fail(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }
    ServiceConfig config;
    if (!ReadConfigFile(dir, &config)) {
        return Fail(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }

    std::lock_guard<std::mutex> once(dispatcherStartMutex);
    if (activeDispatcher.load() != nullptr) {
        return Fail(SC_ERROR_SERVICE_ALREADY_RUNNING);
    }
    auto* record = new ServiceStatusRecord;
    record->name = config.serviceName;
    record->dir = dir;
    record->current.currentState = SERVICE_START_PENDING;
    record->current.waitHint = 2000;
    if (!OpenControlSocket(record) || ::pipe2(record->wakeFds, O_CLOEXEC) != 0) {
        CloseRecord(record);
        delete record;
        return Fail(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }
    if (!PublishStatus(record, record->current)) {
        CloseRecord(record);
        delete record;
        return Fail(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }
    activeDispatcher.store(record);
    record->controlThread = std::thread(ControlLoop, record);

    // The service main runs here, on the calling thread.
    arguments.insert(arguments.begin(), record->name);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    entry->serviceMain(static_cast<std::uint32_t>(arguments.size()), argv.data());

    bool stopped;
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        stopped = record->reportedStopped;
        if (!stopped) {
            record->current.currentState = SERVICE_STOPPED;
            record->current.controlsAccepted = 0;
            record->current.win32ExitCode = SC_ERROR_PROCESS_ABORTED;
            record->current.checkPoint = 0;
            record->current.waitHint = 0;
            record->reportedStopped = true;
            PublishStatus(record, record->current);
        }
    }
    char wake = 1;
    while (::write(record->wakeFds[1], &wake, 1) < 0 && errno == EINTR) {
    }
    record->controlThread.join();
    activeDispatcher.store(nullptr);
    CloseRecord(record);
    delete record;
    ScSetLastError(SC_OK);
    return true;
}

}  // namespace

const char* ServiceManagerMarker() {
    return "ORU_SCM_SERVICE";
}

bool RunningUnderServiceManager() {
    const char* marker = std::getenv(ServiceManagerMarker());
    return marker != nullptr && *marker != '\0';
}

bool StartServiceCtrlDispatcher(const ServiceTableEntry* table) {
    const char* marker = std::getenv(ServiceManagerMarker());
    if (marker == nullptr || *marker == '\0') {
        return Fail(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }
    std::vector<std::string> arguments;
    const char* countText = std::getenv("ORU_SCM_ARGC");
    long count = countText != nullptr ? std::strtol(countText, nullptr, 10) : 0;
    for (long i = 1; i <= count && i <= 4096; ++i) {
        const char* value = std::getenv(("ORU_SCM_ARG" + std::to_string(i)).c_str());
        arguments.push_back(value != nullptr ? value : "");
    }
    return RunDispatcher(marker, table, std::move(arguments));
}

bool StartServiceCtrlDispatcherAs(const std::string& serviceName, const ServiceTableEntry* table) {
    return RunDispatcher(serviceName, table, {});
}

ServiceStatusHandle RegisterServiceCtrlHandler(const std::string& serviceName,
                                               ServiceHandlerFunction handler) {
    ServiceStatusRecord* record = activeDispatcher.load();
    if (record == nullptr) {
        ScSetLastError(SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return nullptr;
    }
    if (!NamesEqual(serviceName, record->name)) {
        ScSetLastError(SC_ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    if (!handler) {
        ScSetLastError(SC_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(record->mutex);
    record->handler = std::move(handler);
    record->handlerRegistered = true;
    ScSetLastError(SC_OK);
    return record;
}

bool SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status) {
    if (handle == nullptr || handle != activeDispatcher.load()) {
        return Fail(SC_ERROR_INVALID_HANDLE);
    }
    if (status.currentState < SERVICE_STOPPED || status.currentState > SERVICE_RUNNING ||
        status.serviceType != SERVICE_WIN32_OWN_PROCESS) {
        return Fail(SC_ERROR_INVALID_PARAMETER);
    }
    std::lock_guard<std::mutex> lock(handle->mutex);
    ServiceStatus published = status;
    if (published.currentState == SERVICE_STOPPED) {
        published.controlsAccepted = 0;
    }
    if (!PublishStatus(handle, published)) {
        return Fail(SC_ERROR_ACCESS_DENIED);
    }
    handle->current = published;
    handle->reportedStopped = published.currentState == SERVICE_STOPPED;
    ScSetLastError(SC_OK);
    return true;
}

}  // namespace platform
