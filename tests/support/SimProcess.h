// strovsim run by a test: the simulated cabinets served under a fresh
// machine root, and its control subcommands.
//
// Start runs "<binDir>/strovsim serve" (in the foreground, as a child) with
// ORU_ROOT=<root> plus the caller's environment changes, and waits until
// the control interface answers. Unless the arguments name a time scale the
// simulator runs on a virtual clock ("--time-scale 0"): simulated time
// passes only by "strovsim advance MS", so no test depends on the speed of
// the machine. Control runs one "strovsim <args...>" and
// returns its exit code (0 done), with its standard output in *output.
// Stop (and the destructor) end the server with SIGTERM.
//
// RunStrovsim runs one subcommand against a root whose simulator was started
// either way (by SimProcess or by "strovsim serve --daemon").
#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"

namespace testsupport {

class SimProcess {
  public:
    SimProcess(const FreshRoot& root, std::string binDir)
        : root_(root), binDir_(std::move(binDir)) {}
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Start(const std::vector<std::string>& arguments = {},
               const std::vector<std::string>& environment = {}, int timeoutMs = 10000);
    int Control(const std::vector<std::string>& arguments, std::string* output = nullptr);
    // The command trace of one path ("" when it cannot be had).
    std::string Trace(const std::string& path);
    // Stops the server and waits for it; its exit code, or -1.
    int Stop();

    ChildProcess& Process() { return process_; }

  private:
    const FreshRoot& root_;
    std::string binDir_;
    ChildProcess process_;
    bool started_ = false;
};

// Runs "<binDir>/strovsim <arguments...>" with ORU_ROOT=<root> and the C
// locale. Its exit code: 0 done, -1 when it could not run or did not end
// within timeoutMs. Its standard output goes to *output, and why it did not
// run or what it complained of to *errors (each when not null).
int RunStrovsim(const std::string& binDir, const FreshRoot& root,
                const std::vector<std::string>& arguments, std::string* output = nullptr,
                std::string* errors = nullptr, int timeoutMs = 30000);

}  // namespace testsupport
