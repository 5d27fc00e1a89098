#include "support/SimProcess.h"

#include <algorithm>
#include <csignal>

#include "platform/Clock.h"

namespace testsupport {

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, int timeoutMs) {
    std::vector<std::string> env = {"ORU_ROOT=" + root_.Path(), "LC_ALL", "LANG=C"};
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<std::string> args = {"serve"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    if (std::find(arguments.begin(), arguments.end(), "--time-scale") == arguments.end()) {
        args.insert(args.end(), {"--time-scale", "0"});
    }
    if (!process_.Start(binDir_ + "/strovsim", args, env)) {
        return false;
    }
    started_ = true;
    const std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    while (platform::MonotonicMs() < deadline) {
        if (!process_.Running()) {
            return false;
        }
        if (Control({"show"}) == 0) {
            return true;
        }
        platform::SleepMs(20);
    }
    return false;
}

int SimProcess::Control(const std::vector<std::string>& arguments, std::string* output) {
    return RunStrovsim(binDir_, root_, arguments, output);
}

std::string SimProcess::Trace(const std::string& path) {
    std::string text;
    if (Control({"trace", path}, &text) != 0) {
        return "";
    }
    return text;
}

int SimProcess::Stop() {
    if (!started_) {
        return -1;
    }
    started_ = false;
    process_.Signal(SIGTERM);
    int code = process_.WaitExit(10000);
    if (code == -1) {
        process_.Signal(SIGKILL);
        code = process_.WaitExit(10000);
    }
    return code;
}

int RunStrovsim(const std::string& binDir, const FreshRoot& root,
                const std::vector<std::string>& arguments, std::string* output, std::string* errors,
                int timeoutMs) {
    ChildProcess run;
    if (!run.Start(ProgramPath(binDir, "strovsim"), arguments,
                   {"ORU_ROOT=" + root.Path(), "LC_ALL", "LANG=C"})) {
        if (errors != nullptr) {
            *errors = run.StartError();
        }
        return -1;
    }
    int code = run.WaitExit(timeoutMs);
    if (output != nullptr) {
        *output = run.Stdout();
    }
    if (errors != nullptr) {
        *errors = run.Stderr();
    }
    return code;
}

}  // namespace testsupport
