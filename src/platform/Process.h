// Child processes, in place of CreateProcess and GetExitCodeProcess.
//
// A program is always started with an argument vector, never through a
// shell, so no text of a file name or a device can become a command. The
// child inherits this process's environment, standard input and standard
// error; its standard output is this process's own or a file created anew.
// A Process object is used by one thread at a time.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

class Process {
  public:
    Process() = default;
    // A child still running is left to run (and is no longer waited for).
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // What of a start failed.
    enum class StartStep {
        kNone,
        kOutputFile,  // the file for the child's standard output
        kProgram,     // the fork, or the exec of the program
    };

    // Starts program (a path; it is not looked up in PATH) with arguments
    // (argv[0] is program itself). stdoutPath: "" keeps this process's
    // standard output, else that file is created anew (mode 0644) for it.
    // Returns 0, or the errno of what failed: the file, the fork, or the
    // exec (ENOENT, EACCES, ... when the program cannot be run); failed
    // (when given) says which of them it was.
    int Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& stdoutPath = "", StartStep* failed = nullptr);

    // Without waiting: true when the child has ended, with its exit code in
    // *exitCode (128 + n when signal n ended it). False while it runs or
    // when none was started.
    bool Poll(int* exitCode);

    // Waits for the child to end; its exit code as Poll gives it, -1 when
    // none was started.
    int Wait();

    bool Running() const { return pid_ > 0 && !ended_; }
    pid_t Pid() const { return pid_; }

  private:
    bool Reap(int options, int* exitCode);

    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};

// Starts program with arguments and lets it run on its own (it is never
// waited for and leaves no zombie). Returns 0 or an errno.
int StartDetached(const std::string& program, const std::vector<std::string>& arguments);

// The directory of the running program ("" when it cannot be told).
std::string ProgramDirectory();

}  // namespace platform
