// Manager side of the service control manager. The service side
// (StartServiceCtrlDispatcher and friends) is in ServiceDispatcher.cpp.
#include "platform/ServiceControl.h"

#include "platform/FileUtil.h"
#include "platform/Root.h"
#include "platform/ServiceRecord.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>

extern char** environ;

namespace platform {

using namespace scm;

struct ScHandleRecord {
    std::uint32_t magic;
    bool manager;
    std::string name;  // service: the name as stored
    std::string dir;   // service: its record directory
};

namespace {

constexpr std::uint32_t kHandleMagic = 0x53434848;  // "SCHH"
constexpr int kMaxDependencyDepth = 16;
constexpr std::uint64_t kStartTimeoutMs = 30000;

thread_local std::uint32_t lastError = SC_OK;

bool Fail(std::uint32_t error) {
    lastError = error;
    return false;
}

ScHandle FailHandle(std::uint32_t error) {
    lastError = error;
    return nullptr;
}

bool Succeed() {
    lastError = SC_OK;
    return true;
}

bool IsManager(ScHandle handle) {
    return handle != nullptr && handle->magic == kHandleMagic && handle->manager;
}

bool IsService(ScHandle handle) {
    return handle != nullptr && handle->magic == kHandleMagic && !handle->manager;
}

bool DirectoryExists(const std::string& dir) {
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void SleepRealMs(int ms) {
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// Removes a record directory and everything in it.
void RemoveRecordDir(const std::string& dir) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing != nullptr) {
        while (dirent* entry = ::readdir(listing)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                ::unlink((dir + "/" + name).c_str());
            }
        }
        ::closedir(listing);
    }
    ::rmdir(dir.c_str());
}

// Reads the status as callers see it: a record whose process died while it
// did not say STOPPED reads (and is rewritten) as STOPPED with
// SC_ERROR_PROCESS_ABORTED. Fills processId and processExitCode.
ServiceStatus CurrentStatus(const std::string& dir, StatusFile* stored = nullptr) {
    StatusFile file;
    ReadStatusFile(dir, &file);
    bool alive = ProcessAlive(file.pid, file.pidStart);
    if (!alive && file.pid != 0 && file.status.currentState != SERVICE_STOPPED) {
        // Stale: fix the record under its lock, unless it changed meanwhile.
        FileLock lock;
        if (lock.Lock(LockPath(dir), true) == 0) {
            StatusFile again;
            ReadStatusFile(dir, &again);
            if (again.pid == file.pid && again.status.currentState != SERVICE_STOPPED &&
                !ProcessAlive(again.pid, again.pidStart)) {
                again.status.currentState = SERVICE_STOPPED;
                again.status.controlsAccepted = 0;
                again.status.win32ExitCode = SC_ERROR_PROCESS_ABORTED;
                again.status.checkPoint = 0;
                again.status.waitHint = 0;
                again.lastPid = again.pid;
                again.pid = 0;
                again.pidStart = 0;
                again.dispatcher = false;
                again.control.clear();
                if (DirectoryExists(dir)) {
                    WriteStatusFile(dir, again);
                }
            }
            file = again;
            alive = ProcessAlive(file.pid, file.pidStart);
        }
    }
    ServiceStatus status = file.status;
    status.processId = alive ? file.pid : 0;
    status.processExitCode = -1;
    std::uint32_t exitPid = 0;
    std::int32_t exitCode = -1;
    std::uint32_t runPid = file.pid != 0 ? file.pid : file.lastPid;
    if (!alive && runPid != 0 && ReadExitFile(dir, &exitPid, &exitCode) && exitPid == runPid) {
        status.processExitCode = exitCode;
    }
    if (stored != nullptr) {
        *stored = file;
    }
    return status;
}

// Removes a record marked for deletion once its service is stopped.
// Returns true when the record is gone.
bool CollectIfDeleted(const std::string& dir) {
    if (!FileExists(dir + "/deleted")) {
        return !DirectoryExists(dir);
    }
    if (CurrentStatus(dir).currentState != SERVICE_STOPPED) {
        return false;
    }
    FileLock dbLock;
    if (dbLock.Lock(DatabaseDir() + "/.lock", true) != 0) {
        return false;
    }
    if (FileExists(dir + "/deleted") && CurrentStatus(dir).currentState == SERVICE_STOPPED) {
        RemoveRecordDir(dir);
    }
    return !DirectoryExists(dir);
}

ServiceStatus StoppedStatus() {
    ServiceStatus status;
    status.currentState = SERVICE_STOPPED;
    return status;
}

// Status through a handle; a record removed after deletion reads as STOPPED.
ServiceStatus HandleStatus(ScHandle service) {
    if (!DirectoryExists(service->dir) || CollectIfDeleted(service->dir)) {
        return StoppedStatus();
    }
    return CurrentStatus(service->dir);
}

// Every record directory of the database.
std::vector<std::string> RecordDirs() {
    std::vector<std::string> dirs;
    std::string base = DatabaseDir();
    DIR* listing = ::opendir(base.c_str());
    if (listing == nullptr) {
        return dirs;
    }
    while (dirent* entry = ::readdir(listing)) {
        std::string name = entry->d_name;
        if (name[0] != '.' && FileExists(base + "/" + name + "/config")) {
            dirs.push_back(base + "/" + name);
        }
    }
    ::closedir(listing);
    std::sort(dirs.begin(), dirs.end());
    return dirs;
}

bool MatchesFilter(std::uint32_t state, std::uint32_t filter) {
    bool stopped = state == SERVICE_STOPPED;
    return (stopped && (filter & SERVICE_INACTIVE) != 0) ||
           (!stopped && (filter & SERVICE_ACTIVE) != 0);
}

// Services whose dependencies name `name`.
std::vector<EnumServiceStatus> Dependents(const std::string& name, std::uint32_t filter) {
    std::vector<EnumServiceStatus> found;
    std::string wanted = LowerCase(name);
    for (const std::string& dir : RecordDirs()) {
        ServiceConfig config;
        if (!ReadConfigFile(dir, &config)) {
            continue;
        }
        bool depends = false;
        for (const std::string& dependency : config.dependencies) {
            depends = depends || LowerCase(dependency) == wanted;
        }
        if (!depends || CollectIfDeleted(dir)) {
            continue;
        }
        ServiceStatus status = CurrentStatus(dir);
        if (MatchesFilter(status.currentState, filter)) {
            found.push_back({config.serviceName,
                             config.displayName.empty() ? config.serviceName : config.displayName,
                             status});
        }
    }
    return found;
}

// ---- spawning ----

// Writes a decimal number into buf (async-signal-safe); returns its length.
size_t FormatNumber(char* buf, long value) {
    char digits[24];
    size_t n = 0;
    bool negative = value < 0;
    unsigned long magnitude =
        negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t length = 0;
    if (negative) {
        buf[length++] = '-';
    }
    while (n > 0) {
        buf[length++] = digits[--n];
    }
    return length;
}

void WriteFull(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

// Reads exactly size bytes; returns the number read (less at EOF).
size_t ReadFull(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

struct SpawnPlan {
    std::vector<std::string> argvText;
    std::vector<std::string> envText;
    std::vector<char*> argv;
    std::vector<char*> envp;
    std::string output;    // dir/output.log
    std::string exitTemp;  // dir/exit.tmp
    std::string exitFile;  // dir/exit
};

bool EnvNameIs(const char* entry, const char* name) {
    size_t length = std::strlen(name);
    return std::strncmp(entry, name, length) == 0 && entry[length] == '=';
}

void BuildPlan(const std::string& dir, const ServiceConfig& config,
               const std::vector<std::string>& arguments, SpawnPlan* plan) {
    plan->argvText.push_back(config.binaryPath);
    for (const std::string& argument : config.arguments) {
        plan->argvText.push_back(argument);
    }
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (EnvNameIs(*entry, "ORU_DEBUG") || EnvNameIs(*entry, "ORU_ROOT") ||
            std::strncmp(*entry, "ORU_SCM_", 8) == 0) {
            continue;
        }
        plan->envText.push_back(*entry);
    }
    plan->envText.push_back("ORU_ROOT=" + RootDir());
    plan->envText.push_back(std::string(ServiceManagerMarker()) + "=" + config.serviceName);
    plan->envText.push_back("ORU_SCM_ARGC=" + std::to_string(arguments.size()));
    for (size_t i = 0; i < arguments.size(); ++i) {
        plan->envText.push_back("ORU_SCM_ARG" + std::to_string(i + 1) + "=" + arguments[i]);
    }
    for (std::string& text : plan->argvText) {
        plan->argv.push_back(text.data());
    }
    plan->argv.push_back(nullptr);
    for (std::string& text : plan->envText) {
        plan->envp.push_back(text.data());
    }
    plan->envp.push_back(nullptr);
    plan->output = dir + "/output.log";
    plan->exitTemp = dir + "/exit.tmp";
    plan->exitFile = dir + "/exit";
}

// Moves fd to 3 and closes every descriptor above it (child side, async-signal-safe).
int KeepOnlyDescriptor(int fd) {
    if (fd != 3) {
        if (::dup2(fd, 3) < 0) {
            return -1;
        }
    }
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    ::close_range(4, ~0u, 0);
    return 3;
}

[[noreturn]] void RunServiceChild(const SpawnPlan& plan, int report) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        ::sigaction(sig, &deflt, nullptr);
    }
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(plan.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out < 0) {
        out = ::open("/dev/null", O_WRONLY);
    }
    if (in >= 0) {
        ::dup2(in, 0);
    }
    if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
    }
    if (in > 2) {
        ::close(in);
    }
    if (out > 2) {
        ::close(out);
    }
    ::execve(plan.argv[0], plan.argv.data(), plan.envp.data());
    std::int32_t error = errno;
    WriteFull(report, &error, sizeof error);
    ::_exit(127);
}

// The process monitor: waits for the service process and records its exit.
[[noreturn]] void RunMonitor(const SpawnPlan& plan, int report) {
    pid_t child = ::fork();
    if (child < 0) {
        ::_exit(1);  // the starter reads EOF instead of a pid
    }
    if (child == 0) {
        RunServiceChild(plan, report);
    }
    std::int32_t pid = child;
    WriteFull(report, &pid, sizeof pid);
    ::close(report);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    long code = WIFEXITED(status)     ? WEXITSTATUS(status)
                : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                      : -1;
    char text[64];
    size_t length = 0;
    std::memcpy(text, "pid=", 4);
    length = 4;
    length += FormatNumber(text + length, child);
    std::memcpy(text + length, "\ncode=", 6);
    length += 6;
    length += FormatNumber(text + length, code);
    text[length++] = '\n';
    int fd = ::open(plan.exitTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        WriteFull(fd, text, length);
        ::close(fd);
        ::rename(plan.exitTemp.c_str(), plan.exitFile.c_str());
    }
    ::_exit(0);
}

enum class SpawnOutcome { STARTED, NO_PROCESS, EXEC_FAILED };

// Starts the program detached: the caller's child forks the monitor and
// ends at once, so the monitor and the service belong to init, in a session
// of their own. *pid receives the service process.
SpawnOutcome Spawn(const SpawnPlan& plan, pid_t* pid, int* execError) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return SpawnOutcome::NO_PROCESS;
    }
    pid_t first = ::fork();
    if (first < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return SpawnOutcome::NO_PROCESS;
    }
    if (first == 0) {
        int report = KeepOnlyDescriptor(pipeFds[1]);
        ::setsid();
        pid_t monitor = ::fork();
        if (monitor != 0) {
            ::_exit(monitor < 0 ? 1 : 0);
        }
        RunMonitor(plan, report);
    }
    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    std::int32_t child = 0;
    if (ReadFull(pipeFds[0], &child, sizeof child) != sizeof child || child <= 0) {
        ::close(pipeFds[0]);
        return SpawnOutcome::NO_PROCESS;
    }
    *pid = child;
    std::int32_t error = 0;
    size_t got = ReadFull(pipeFds[0], &error, sizeof error);
    ::close(pipeFds[0]);
    if (got == sizeof error) {
        *execError = error;
        return SpawnOutcome::EXEC_FAILED;
    }
    return SpawnOutcome::STARTED;
}

bool StartRecord(const std::string& dir, const std::vector<std::string>& arguments, int depth);

bool StartDependencies(const ServiceConfig& config, int depth) {
    for (const std::string& dependency : config.dependencies) {
        std::string dependencyDir;
        if (!FindRecordDir(dependency, &dependencyDir) || CollectIfDeleted(dependencyDir)) {
            return Fail(SC_ERROR_SERVICE_DEPENDENCY_FAIL);
        }
        if (CurrentStatus(dependencyDir).currentState != SERVICE_STOPPED) {
            continue;
        }
        if (!StartRecord(dependencyDir, {}, depth + 1)) {
            std::uint32_t error = lastError;
            return Fail(error == SC_ERROR_CIRCULAR_DEPENDENCY ? error
                                                              : SC_ERROR_SERVICE_DEPENDENCY_FAIL);
        }
    }
    return true;
}

bool StartRecord(const std::string& dir, const std::vector<std::string>& arguments, int depth) {
    if (depth > kMaxDependencyDepth) {
        return Fail(SC_ERROR_CIRCULAR_DEPENDENCY);
    }
    ServiceConfig config;
    if (!ReadConfigFile(dir, &config)) {
        return Fail(DirectoryExists(dir) ? SC_ERROR_DATABASE_DAMAGED
                                         : SC_ERROR_SERVICE_DOES_NOT_EXIST);
    }
    for (const std::string& argument : arguments) {
        if (!ValidRecordText(argument)) {
            return Fail(SC_ERROR_INVALID_PARAMETER);
        }
    }
    if (config.startType == SERVICE_DISABLED) {
        return Fail(SC_ERROR_SERVICE_DISABLED);
    }
    if (FileExists(dir + "/deleted")) {
        return Fail(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (CurrentStatus(dir).currentState != SERVICE_STOPPED) {
        return Fail(SC_ERROR_SERVICE_ALREADY_RUNNING);
    }
    if (!StartDependencies(config, depth)) {
        return false;
    }

    // One start at a time per service, across processes.
    FileLock startLock;
    if (startLock.Lock(StartLockPath(dir), true) != 0) {
        return Fail(SC_ERROR_ACCESS_DENIED);
    }
    if (FileExists(dir + "/deleted")) {
        return Fail(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (CurrentStatus(dir).currentState != SERVICE_STOPPED) {
        return Fail(SC_ERROR_SERVICE_ALREADY_RUNNING);
    }
    if (::access(config.binaryPath.c_str(), X_OK) != 0) {
        return Fail(SC_ERROR_FILE_NOT_FOUND);
    }

    SpawnPlan plan;
    BuildPlan(dir, config, arguments, &plan);
    pid_t pid = 0;
    int execError = 0;
    SpawnOutcome outcome = Spawn(plan, &pid, &execError);
    if (outcome == SpawnOutcome::NO_PROCESS) {
        return Fail(SC_ERROR_SERVICE_NO_THREAD);
    }
    if (outcome == SpawnOutcome::EXEC_FAILED) {
        return Fail(SC_ERROR_FILE_NOT_FOUND);
    }

    // Record the new process unless its dispatcher has already done so.
    std::uint64_t start = ProcessStartTime(pid);
    {
        FileLock lock;
        if (lock.Lock(LockPath(dir), true) == 0) {
            StatusFile file;
            ReadStatusFile(dir, &file);
            if (file.pid != static_cast<std::uint32_t>(pid)) {
                StatusFile fresh;
                fresh.status.currentState = SERVICE_START_PENDING;
                fresh.status.waitHint = 2000;
                fresh.pid = static_cast<std::uint32_t>(pid);
                fresh.pidStart = start;
                fresh.lastPid = static_cast<std::uint32_t>(pid);
                WriteStatusFile(dir, fresh);
            }
        }
    }

    // Wait for the dispatcher to connect.
    std::uint64_t deadline = NowMs() + kStartTimeoutMs;
    for (;;) {
        StatusFile file;
        ReadStatusFile(dir, &file);
        if (file.pid == static_cast<std::uint32_t>(pid) && file.dispatcher) {
            return Succeed();
        }
        if (!ProcessAlive(static_cast<std::uint32_t>(pid), start)) {
            CurrentStatus(dir);  // turns the record STOPPED (process aborted)
            return Fail(SC_ERROR_PROCESS_ABORTED);
        }
        if (NowMs() >= deadline) {
            ::kill(pid, SIGKILL);
            for (int i = 0; i < 200 && ProcessAlive(static_cast<std::uint32_t>(pid), start); ++i) {
                SleepRealMs(10);
            }
            CurrentStatus(dir);
            return Fail(SC_ERROR_SERVICE_REQUEST_TIMEOUT);
        }
        SleepRealMs(10);
    }
}

// Connects to the abstract socket named in the status file.
int ConnectControl(const std::string& name) {
    if (name.empty() || name.size() + 1 > sizeof(sockaddr_un::sun_path)) {
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads exactly size bytes within the time limit; false on EOF, error or time-out
// (*timedOut tells which).
bool ReadWithin(int fd, void* data, size_t size, int timeoutMs, bool* timedOut) {
    char* p = static_cast<char*>(data);
    size_t done = 0;
    std::uint64_t deadline = NowMs() + static_cast<std::uint64_t>(timeoutMs);
    *timedOut = false;
    while (done < size) {
        std::uint64_t now = NowMs();
        if (now >= deadline) {
            *timedOut = true;
            return false;
        }
        pollfd waiter{fd, POLLIN, 0};
        int ready = ::poll(&waiter, 1, static_cast<int>(deadline - now));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (ready == 0) {
            continue;
        }
        ssize_t n = ::read(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// ---- errors ----

std::uint32_t ScGetLastError() {
    return lastError;
}
void ScSetLastError(std::uint32_t error) {
    lastError = error;
}

const char* ScErrorName(std::uint32_t error) {
    switch (error) {
        case SC_OK:
            return "SC_OK";
        case SC_ERROR_FILE_NOT_FOUND:
            return "SC_ERROR_FILE_NOT_FOUND";
        case SC_ERROR_ACCESS_DENIED:
            return "SC_ERROR_ACCESS_DENIED";
        case SC_ERROR_INVALID_HANDLE:
            return "SC_ERROR_INVALID_HANDLE";
        case SC_ERROR_INVALID_PARAMETER:
            return "SC_ERROR_INVALID_PARAMETER";
        case SC_ERROR_BROKEN_PIPE:
            return "SC_ERROR_BROKEN_PIPE";
        case SC_ERROR_INVALID_NAME:
            return "SC_ERROR_INVALID_NAME";
        case SC_ERROR_DEPENDENT_SERVICES_RUNNING:
            return "SC_ERROR_DEPENDENT_SERVICES_RUNNING";
        case SC_ERROR_INVALID_SERVICE_CONTROL:
            return "SC_ERROR_INVALID_SERVICE_CONTROL";
        case SC_ERROR_SERVICE_REQUEST_TIMEOUT:
            return "SC_ERROR_SERVICE_REQUEST_TIMEOUT";
        case SC_ERROR_SERVICE_NO_THREAD:
            return "SC_ERROR_SERVICE_NO_THREAD";
        case SC_ERROR_SERVICE_DATABASE_LOCKED:
            return "SC_ERROR_SERVICE_DATABASE_LOCKED";
        case SC_ERROR_SERVICE_ALREADY_RUNNING:
            return "SC_ERROR_SERVICE_ALREADY_RUNNING";
        case SC_ERROR_SERVICE_DISABLED:
            return "SC_ERROR_SERVICE_DISABLED";
        case SC_ERROR_CIRCULAR_DEPENDENCY:
            return "SC_ERROR_CIRCULAR_DEPENDENCY";
        case SC_ERROR_SERVICE_DOES_NOT_EXIST:
            return "SC_ERROR_SERVICE_DOES_NOT_EXIST";
        case SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
            return "SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL";
        case SC_ERROR_SERVICE_NOT_ACTIVE:
            return "SC_ERROR_SERVICE_NOT_ACTIVE";
        case SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT:
            return "SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT";
        case SC_ERROR_PROCESS_ABORTED:
            return "SC_ERROR_PROCESS_ABORTED";
        case SC_ERROR_SERVICE_DEPENDENCY_FAIL:
            return "SC_ERROR_SERVICE_DEPENDENCY_FAIL";
        case SC_ERROR_SERVICE_MARKED_FOR_DELETE:
            return "SC_ERROR_SERVICE_MARKED_FOR_DELETE";
        case SC_ERROR_SERVICE_EXISTS:
            return "SC_ERROR_SERVICE_EXISTS";
        case SC_ERROR_SERVICE_NOT_IN_EXE:
            return "SC_ERROR_SERVICE_NOT_IN_EXE";
        case SC_ERROR_DATABASE_DAMAGED:
            return "SC_ERROR_DATABASE_DAMAGED";
    }
    return "?";
}

const char* ScErrorText(std::uint32_t error) {
    switch (error) {
        case SC_OK:
            return "success";
        case SC_ERROR_FILE_NOT_FOUND:
            return "the service program cannot be executed";
        case SC_ERROR_ACCESS_DENIED:
            return "the services database cannot be written";
        case SC_ERROR_INVALID_HANDLE:
            return "invalid service handle";
        case SC_ERROR_INVALID_PARAMETER:
            return "invalid parameter";
        case SC_ERROR_BROKEN_PIPE:
            return "the control channel to the service broke";
        case SC_ERROR_INVALID_NAME:
            return "invalid service name";
        case SC_ERROR_DEPENDENT_SERVICES_RUNNING:
            return "active services depend on this service";
        case SC_ERROR_INVALID_SERVICE_CONTROL:
            return "the service does not accept this control";
        case SC_ERROR_SERVICE_REQUEST_TIMEOUT:
            return "the service did not answer in time";
        case SC_ERROR_SERVICE_NO_THREAD:
            return "the service process could not be created";
        case SC_ERROR_SERVICE_DATABASE_LOCKED:
            return "the services database is locked";
        case SC_ERROR_SERVICE_ALREADY_RUNNING:
            return "the service is already running";
        case SC_ERROR_SERVICE_DISABLED:
            return "the service is disabled";
        case SC_ERROR_CIRCULAR_DEPENDENCY:
            return "circular service dependency";
        case SC_ERROR_SERVICE_DOES_NOT_EXIST:
            return "the service does not exist";
        case SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
            return "the service cannot accept controls in its current state";
        case SC_ERROR_SERVICE_NOT_ACTIVE:
            return "the service is not running";
        case SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT:
            return "not started by the service control manager";
        case SC_ERROR_PROCESS_ABORTED:
            return "the service process ended unexpectedly";
        case SC_ERROR_SERVICE_DEPENDENCY_FAIL:
            return "a dependency of the service failed to start";
        case SC_ERROR_SERVICE_MARKED_FOR_DELETE:
            return "the service is marked for deletion";
        case SC_ERROR_SERVICE_EXISTS:
            return "the service exists already";
        case SC_ERROR_SERVICE_NOT_IN_EXE:
            return "the service is not the one this program runs";
        case SC_ERROR_DATABASE_DAMAGED:
            return "the service record is damaged";
    }
    return "unknown service error";
}

// ---- manager side ----

ScHandle OpenSCManager(std::uint32_t /*access*/) {
    std::string dir = DatabaseDir();
    if (MakeDirs(dir) != 0 || ::access(dir.c_str(), W_OK | X_OK) != 0) {
        return FailHandle(SC_ERROR_ACCESS_DENIED);
    }
    lastError = SC_OK;
    return new ScHandleRecord{kHandleMagic, true, std::string(), dir};
}

ScHandle CreateService(ScHandle manager, const ServiceConfig& config, std::uint32_t /*access*/) {
    if (!IsManager(manager)) {
        return FailHandle(SC_ERROR_INVALID_HANDLE);
    }
    if (!ValidServiceName(config.serviceName)) {
        return FailHandle(SC_ERROR_INVALID_NAME);
    }
    bool textsValid = ValidRecordText(config.displayName) && ValidRecordText(config.binaryPath);
    for (const std::string& argument : config.arguments) {
        textsValid = textsValid && ValidRecordText(argument);
    }
    for (const std::string& dependency : config.dependencies) {
        textsValid = textsValid && ValidServiceName(dependency);
    }
    if (!textsValid || config.binaryPath.empty() || config.binaryPath[0] != '/' ||
        config.serviceType != SERVICE_WIN32_OWN_PROCESS ||
        (config.startType != SERVICE_AUTO_START && config.startType != SERVICE_DEMAND_START &&
         config.startType != SERVICE_DISABLED)) {
        return FailHandle(SC_ERROR_INVALID_PARAMETER);
    }
    std::string base = manager->dir;
    FileLock dbLock;
    if (dbLock.Lock(base + "/.lock", true) != 0) {
        return FailHandle(SC_ERROR_ACCESS_DENIED);
    }
    std::string existing;
    if (FindRecordDir(config.serviceName, &existing)) {
        if (FileExists(existing + "/deleted")) {
            if (CurrentStatus(existing).currentState != SERVICE_STOPPED) {
                return FailHandle(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
            }
            RemoveRecordDir(existing);  // collected now: the name is free again
        } else {
            return FailHandle(SC_ERROR_SERVICE_EXISTS);
        }
    }
    std::string dir = base + "/" + config.serviceName;
    RemoveRecordDir(dir);  // leftovers of a half-made record (no config file)
    if (::mkdir(dir.c_str(), 0755) != 0) {
        return FailHandle(SC_ERROR_ACCESS_DENIED);
    }
    ServiceConfig stored = config;
    if (stored.displayName.empty()) {
        stored.displayName = stored.serviceName;
    }
    StatusFile status;
    if (WriteStatusFile(dir, status) != 0 ||
        WriteFileAtomic(dir + "/config", FormatConfig(stored)) != 0) {
        RemoveRecordDir(dir);
        return FailHandle(SC_ERROR_ACCESS_DENIED);
    }
    lastError = SC_OK;
    return new ScHandleRecord{kHandleMagic, false, config.serviceName, dir};
}

ScHandle OpenService(ScHandle manager, const std::string& serviceName, std::uint32_t /*access*/) {
    if (!IsManager(manager)) {
        return FailHandle(SC_ERROR_INVALID_HANDLE);
    }
    if (!ValidServiceName(serviceName)) {
        return FailHandle(SC_ERROR_INVALID_NAME);
    }
    std::string dir;
    if (!FindRecordDir(serviceName, &dir) || CollectIfDeleted(dir)) {
        return FailHandle(SC_ERROR_SERVICE_DOES_NOT_EXIST);
    }
    ServiceConfig config;
    if (!ReadConfigFile(dir, &config)) {
        return FailHandle(SC_ERROR_DATABASE_DAMAGED);
    }
    lastError = SC_OK;
    return new ScHandleRecord{kHandleMagic, false, config.serviceName, dir};
}

bool CloseServiceHandle(ScHandle handle) {
    if (handle == nullptr || handle->magic != kHandleMagic) {
        return Fail(SC_ERROR_INVALID_HANDLE);
    }
    handle->magic = 0;
    delete handle;
    return Succeed();
}

bool StartService(ScHandle service, const std::vector<std::string>& arguments) {
    if (!IsService(service)) {
        return Fail(SC_ERROR_INVALID_HANDLE);
    }
    if (!DirectoryExists(service->dir)) {
        return Fail(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (!StartRecord(service->dir, arguments, 0)) {
        return false;
    }
    return Succeed();
}

bool ControlService(ScHandle service, std::uint32_t control, ServiceStatus* status) {
    ServiceStatus ignored;
    if (status == nullptr) {
        status = &ignored;
    }
    if (!IsService(service)) {
        return Fail(SC_ERROR_INVALID_HANDLE);
    }
    StatusFile file;
    *status = HandleStatus(service);
    if (DirectoryExists(service->dir)) {
        *status = CurrentStatus(service->dir, &file);
    }
    if (status->currentState == SERVICE_STOPPED) {
        return Fail(SC_ERROR_SERVICE_NOT_ACTIVE);
    }
    bool stopLike = control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN;
    if (stopLike && !Dependents(service->name, SERVICE_ACTIVE).empty()) {
        return Fail(SC_ERROR_DEPENDENT_SERVICES_RUNNING);
    }
    if (!file.dispatcher || file.control.empty()) {
        // The process runs but its dispatcher has not connected yet.
        return Fail(stopLike ? SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL
                             : SC_ERROR_SERVICE_REQUEST_TIMEOUT);
    }
    int fd = ConnectControl(file.control);
    if (fd < 0) {
        *status = CurrentStatus(service->dir);
        return Fail(status->currentState == SERVICE_STOPPED ? SC_ERROR_SERVICE_NOT_ACTIVE
                                                            : SC_ERROR_BROKEN_PIPE);
    }
    ControlRequest request{kControlMagic, control};
    ssize_t sent = ::send(fd, &request, sizeof request, MSG_NOSIGNAL);
    ControlReply reply{};
    bool timedOut = false;
    bool answered = sent == static_cast<ssize_t>(sizeof request) &&
                    ReadWithin(fd, &reply, sizeof reply, kControlTimeoutMs, &timedOut) &&
                    reply.magic == kControlMagic;
    ::close(fd);
    if (!answered) {
        *status = CurrentStatus(service->dir);
        return Fail(timedOut ? SC_ERROR_SERVICE_REQUEST_TIMEOUT : SC_ERROR_BROKEN_PIPE);
    }
    ServiceStatus fresh = CurrentStatus(service->dir);
    fresh.serviceType = reply.serviceType;
    fresh.currentState = reply.currentState;
    fresh.controlsAccepted = reply.controlsAccepted;
    fresh.win32ExitCode = reply.win32ExitCode;
    fresh.serviceSpecificExitCode = reply.serviceSpecificExitCode;
    fresh.checkPoint = reply.checkPoint;
    fresh.waitHint = reply.waitHint;
    *status = fresh;
    if (reply.error != SC_OK) {
        return Fail(reply.error);
    }
    return Succeed();
}

bool QueryServiceStatus(ScHandle service, ServiceStatus* status) {
    if (!IsService(service) || status == nullptr) {
        return Fail(status == nullptr ? SC_ERROR_INVALID_PARAMETER : SC_ERROR_INVALID_HANDLE);
    }
    *status = HandleStatus(service);
    return Succeed();
}

bool QueryServiceConfig(ScHandle service, ServiceConfig* config) {
    if (!IsService(service) || config == nullptr) {
        return Fail(config == nullptr ? SC_ERROR_INVALID_PARAMETER : SC_ERROR_INVALID_HANDLE);
    }
    if (!ReadConfigFile(service->dir, config)) {
        return Fail(DirectoryExists(service->dir) ? SC_ERROR_DATABASE_DAMAGED
                                                  : SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    return Succeed();
}

bool DeleteService(ScHandle service) {
    if (!IsService(service)) {
        return Fail(SC_ERROR_INVALID_HANDLE);
    }
    if (!DirectoryExists(service->dir)) {
        return Fail(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    FileLock startLock;
    if (startLock.Lock(StartLockPath(service->dir), true) != 0) {
        return Fail(SC_ERROR_ACCESS_DENIED);
    }
    FileLock dbLock;
    if (dbLock.Lock(DatabaseDir() + "/.lock", true) != 0) {
        return Fail(SC_ERROR_ACCESS_DENIED);
    }
    if (!DirectoryExists(service->dir) || FileExists(service->dir + "/deleted")) {
        return Fail(SC_ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (CurrentStatus(service->dir).currentState == SERVICE_STOPPED) {
        RemoveRecordDir(service->dir);
        return Succeed();
    }
    if (WriteFileAtomic(service->dir + "/deleted", "") != 0) {
        return Fail(SC_ERROR_ACCESS_DENIED);
    }
    return Succeed();
}

bool EnumDependentServices(ScHandle service, std::uint32_t stateFilter,
                           std::vector<EnumServiceStatus>* services) {
    if (!IsService(service) || services == nullptr) {
        return Fail(services == nullptr ? SC_ERROR_INVALID_PARAMETER : SC_ERROR_INVALID_HANDLE);
    }
    *services = Dependents(service->name, stateFilter);
    return Succeed();
}

bool EnumServicesStatus(ScHandle manager, std::uint32_t stateFilter,
                        std::vector<EnumServiceStatus>* services) {
    if (!IsManager(manager) || services == nullptr) {
        return Fail(services == nullptr ? SC_ERROR_INVALID_PARAMETER : SC_ERROR_INVALID_HANDLE);
    }
    services->clear();
    for (const std::string& dir : RecordDirs()) {
        ServiceConfig config;
        if (CollectIfDeleted(dir) || !ReadConfigFile(dir, &config)) {
            continue;
        }
        ServiceStatus status = CurrentStatus(dir);
        if (MatchesFilter(status.currentState, stateFilter)) {
            services->push_back({config.serviceName, config.displayName, status});
        }
    }
    return Succeed();
}

}  // namespace platform
