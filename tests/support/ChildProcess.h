// A program started by a test, with its standard output and error captured.
//
// Start runs the program with an argument vector (never through a shell) and
// the test's environment changed by `environment` ("NAME=value" sets,
// "NAME" alone removes). Two reader threads collect the output, so a test
// may wait for a line with a time limit, send a signal and collect the exit
// code. A child still running when the object dies is killed (SIGKILL) and
// reaped. Not thread-safe across calls except the output accessors.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False (with the reason in StartError) when the program cannot be run.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment);
    const std::string& StartError() const { return startError_; }
    pid_t Pid() const { return pid_; }

    // Waits until `text` appears in standard output (or error, for
    // WaitForStderr) or the program ends or timeoutMs pass; true when seen.
    bool WaitForStdout(const std::string& text, int timeoutMs);
    bool WaitForStderr(const std::string& text, int timeoutMs);

    bool Signal(int signalNumber);

    // Waits up to timeoutMs for the program to end. Returns its exit code,
    // 128 + n when signal n ended it, -1 when it was still running (it is
    // then left running). The output is complete on return; a program that
    // leaves children of its own holding its output makes this wait for them.
    int WaitExit(int timeoutMs);
    bool Running();

    // Everything captured so far.
    std::string Stdout();
    std::string Stderr();

  private:
    bool WaitFor(const std::string* stream, const std::string& text, int timeoutMs);
    void Reap(int options);
    void Pump(int fd, std::string* target);

    pid_t pid_ = -1;
    bool exited_ = false;
    int exitCode_ = -1;
    std::string startError_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string stdout_;
    std::string stderr_;
    int openStreams_ = 0;
    std::thread outReader_;
    std::thread errReader_;
};

// ORU_BIN_DIR + "/" + name, for the tests' own build tree.
std::string ProgramPath(const std::string& binDir, const std::string& name);

// What a program run to its end left.
struct ProgramRun {
    // As WaitExit gives it; -1 when the program could not be started (the
    // reason is in err) or was still running after the limit (then killed).
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program as Start does and waits up to limitMs for its end.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment, int limitMs);

// Waits up to limitMs for a started program to end (then kills it) and
// collects its exit code and output.
ProgramRun FinishRun(ChildProcess& process, int limitMs);

// Waits until the kernel shows every thread of process pid stopped (after a
// SIGSTOP, which kill only queues: a thread running on another processor
// goes on until it next enters the kernel), at most limitMs. Whether it did.
bool AwaitEveryThreadStopped(pid_t pid, std::uint64_t limitMs);

}  // namespace testsupport
