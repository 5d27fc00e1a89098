#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace platform {

namespace {

struct Argv {
    std::vector<std::string> strings;
    std::vector<char*> pointers;

    Argv(const std::string& program, const std::vector<std::string>& arguments) {
        strings.push_back(program);
        strings.insert(strings.end(), arguments.begin(), arguments.end());
        for (std::string& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
};

// Forks and execs; the exec's errno comes back through a close-on-exec pipe,
// so a program that cannot be run is an error of Start, not an exit code.
// outFd >= 0 becomes the child's standard output. In the child only
// async-signal-safe calls are made.
int ForkExec(const Argv& argv, int outFd, bool detach, pid_t* child) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return error;
    }
    if (pid == 0) {
        if (detach) {
            ::setsid();
            // The grandchild runs the program; this child ends at once, so
            // the caller reaps it and the program is nobody's zombie.
            const pid_t again = ::fork();
            if (again < 0) {
                // Nothing was started: the caller hears why.
                const int error = errno;
                [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
                ::_exit(127);
            }
            if (again > 0)
                ::_exit(0);
        }
        if (outFd >= 0)
            ::dup2(outFd, STDOUT_FILENO);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(argv.pointers[0], argv.pointers.data());
        const int error = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    *child = pid;
    return n == sizeof error ? error : 0;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

Process::~Process() {
    // Reap it if it is done; a child that still runs is left to itself.
    if (Running()) {
        int code = 0;
        Reap(WNOHANG, &code);
    }
}

int Process::Start(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& stdoutPath, StartStep* failed) {
    StartStep ignored = StartStep::kNone;
    StartStep& step = failed != nullptr ? *failed : ignored;
    step = StartStep::kNone;
    if (Running()) {
        step = StartStep::kProgram;
        return EBUSY;
    }
    int outFd = -1;
    if (!stdoutPath.empty()) {
        outFd = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (outFd < 0) {
            step = StartStep::kOutputFile;
            return errno;
        }
    }
    const Argv argv(program, arguments);
    pid_t pid = -1;
    const int error = ForkExec(argv, outFd, false, &pid);
    if (outFd >= 0)
        ::close(outFd);
    if (error != 0)
        step = StartStep::kProgram;
    if (pid > 0 && error != 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return error;
    }
    if (error != 0)
        return error;
    pid_ = pid;
    ended_ = false;
    exitCode_ = -1;
    return 0;
}

bool Process::Reap(int options, int* exitCode) {
    if (pid_ <= 0)
        return false;
    if (ended_) {
        *exitCode = exitCode_;
        return true;
    }
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(pid_, &status, options);
    } while (got < 0 && errno == EINTR);
    if (got != pid_)
        return false;
    ended_ = true;
    exitCode_ = ExitCodeOf(status);
    *exitCode = exitCode_;
    return true;
}

bool Process::Poll(int* exitCode) {
    return Reap(WNOHANG, exitCode);
}

int Process::Wait() {
    int code = -1;
    if (!Reap(0, &code))
        return -1;
    return code;
}

int StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    const Argv argv(program, arguments);
    pid_t pid = -1;
    const int error = ForkExec(argv, -1, true, &pid);
    if (pid > 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return error;
}

std::string ProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "";
    std::string text(path, static_cast<std::size_t>(n));
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? "" : text.substr(0, slash);
}

}  // namespace platform
