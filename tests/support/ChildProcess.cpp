#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/Clock.h"

extern char** environ;

namespace testsupport {

std::string ProgramPath(const std::string& binDir, const std::string& name) {
    return binDir + "/" + name;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment, int limitMs) {
    ChildProcess process;
    if (!process.Start(program, arguments, environment)) {
        ProgramRun run;
        run.err = process.StartError();
        return run;
    }
    return FinishRun(process, limitMs);
}

ProgramRun FinishRun(ChildProcess& process, int limitMs) {
    ProgramRun run;
    run.exitCode = process.WaitExit(limitMs);
    if (run.exitCode == -1) {
        process.Signal(SIGKILL);
        process.WaitExit(limitMs);
    }
    run.out = process.Stdout();
    run.err = process.Stderr();
    return run;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        Reap(0);
    }
    if (outReader_.joinable()) {
        outReader_.join();
    }
    if (errReader_.joinable()) {
        errReader_.join();
    }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment) {
    if (access(program.c_str(), X_OK) != 0) {
        startError_ = program + ": " + std::strerror(errno);
        return false;
    }
    // The environment: ours, changed by the caller's entries.
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::size_t eq = entry.find('=');
        vars[entry.substr(0, eq)] = eq == std::string::npos ? "" : entry.substr(eq + 1);
    }
    for (const std::string& entry : environment) {
        std::size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            vars.erase(entry);
        } else {
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : vars) {
        envStrings.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& s : envStrings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : argStrings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        startError_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    pid_t pid = fork();
    if (pid < 0) {
        startError_ = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
        }
        // Signals the test ignores must reach the program with their default action.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    pid_ = pid;
    close(out[1]);
    close(err[1]);
    openStreams_ = 2;
    outReader_ = std::thread([this, fd = out[0]] { Pump(fd, &stdout_); });
    errReader_ = std::thread([this, fd = err[0]] { Pump(fd, &stderr_); });
    return true;
}

void ChildProcess::Pump(int fd, std::string* target) {
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        std::lock_guard<std::mutex> hold(mutex_);
        target->append(buffer, static_cast<std::size_t>(n));
        changed_.notify_all();
    }
    close(fd);
    std::lock_guard<std::mutex> hold(mutex_);
    --openStreams_;
    changed_.notify_all();
}

bool ChildProcess::WaitFor(const std::string* stream, const std::string& text, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return stream->find(text) != std::string::npos || openStreams_ == 0;
    }) && stream->find(text) != std::string::npos;
}

bool ChildProcess::WaitForStdout(const std::string& text, int timeoutMs) {
    return WaitFor(&stdout_, text, timeoutMs);
}

bool ChildProcess::WaitForStderr(const std::string& text, int timeoutMs) {
    return WaitFor(&stderr_, text, timeoutMs);
}

bool ChildProcess::Signal(int signalNumber) {
    return pid_ > 0 && !exited_ && kill(pid_, signalNumber) == 0;
}

void ChildProcess::Reap(int options) {
    if (pid_ <= 0 || exited_) {
        return;
    }
    int status = 0;
    pid_t done = waitpid(pid_, &status, options);
    if (done != pid_) {
        return;
    }
    exited_ = true;
    if (WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exitCode_ = 128 + WTERMSIG(status);
    }
}

bool ChildProcess::Running() {
    Reap(WNOHANG);
    return pid_ > 0 && !exited_;
}

int ChildProcess::WaitExit(int timeoutMs) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
        Reap(WNOHANG);
        if (exited_ || pid_ <= 0) {
            break;
        }
        if (platform::MonotonicMs() >= deadline) {
            return -1;
        }
        usleep(10000);
    }
    // The output is complete once both streams are closed.
    if (outReader_.joinable()) {
        outReader_.join();
    }
    if (errReader_.joinable()) {
        errReader_.join();
    }
    return exitCode_;
}

std::string ChildProcess::Stdout() {
    std::lock_guard<std::mutex> hold(mutex_);
    return stdout_;
}

std::string ChildProcess::Stderr() {
    std::lock_guard<std::mutex> hold(mutex_);
    return stderr_;
}

namespace {

bool EveryThreadStopped(pid_t pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    int threads = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream file(task.path() / "stat");
        std::string line;
        if (!std::getline(file, line)) {
            continue;  // a thread that ended meanwhile
        }
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'T') {
            return false;
        }
        ++threads;
    }
    return !error && threads > 0;
}

}  // namespace

bool AwaitEveryThreadStopped(pid_t pid, std::uint64_t limitMs) {
    const std::uint64_t end = platform::MonotonicMs() + limitMs;
    while (!EveryThreadStopped(pid)) {
        if (platform::MonotonicMs() >= end) {
            return false;
        }
        platform::SleepMs(1);
    }
    return true;
}

}  // namespace testsupport
