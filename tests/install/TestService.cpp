// oru_test_service: a tiny service program for the installation tests, built
// on the service side of our service control manager.
//
// Its behaviour comes from the service name (the part after the last '-'):
//   normal     RUNNING until STOP/SHUTDOWN, then STOPPED, exit 0
//   neverstop  answers STOP with RUNNING and never stops
//   slowstop   STOP_PENDING for a while (check points), then STOPPED
//   diestart   reports START_PENDING, then ends with exit code 2
//   noconnect  ends with exit code 4 without calling the dispatcher
// Each control and the service main's arguments are appended to
// ORU_ROOT/testsvc/<service name>.log, one line each. Run from a console
// (no marker) it prints a message and exits with 5.
#include "platform/Root.h"
#include "platform/ServiceControl.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace platform;

std::string serviceName;
std::string mode;
ServiceStatusHandle statusHandle = nullptr;
ServiceStatus status;
std::mutex mutex;
std::condition_variable stopRequested;
bool stopping = false;

void Note(const std::string& line) {
    MakeDirs(RootPath("testsvc"));
    int fd = ::open(RootPath("testsvc/" + serviceName + ".log").c_str(),
                    O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        std::string text = line + "\n";
        (void)!::write(fd, text.data(), text.size());
        ::close(fd);
    }
}

void Report(std::uint32_t state, std::uint32_t checkPoint = 0, std::uint32_t waitHint = 0) {
    status.currentState = state;
    status.controlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.checkPoint = checkPoint;
    status.waitHint = waitHint;
    SetServiceStatus(statusHandle, status);
}

void Handler(std::uint32_t control) {
    Note("control " + std::to_string(control));
    std::lock_guard<std::mutex> lock(mutex);
    if ((control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) &&
        mode != "neverstop") {
        Report(SERVICE_STOP_PENDING, 1, 3000);
        stopping = true;
        stopRequested.notify_all();
        return;
    }
    SetServiceStatus(statusHandle, status);
}

void ServiceMain(std::uint32_t argc, char** argv) {
    std::string line = "main";
    for (std::uint32_t i = 0; i < argc; ++i) {
        line += " ";
        line += argv[i];
    }
    Note(line);
    statusHandle = RegisterServiceCtrlHandler(serviceName, Handler);
    if (statusHandle == nullptr) {
        Note("register failed");
        return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    Report(SERVICE_START_PENDING, 1, 3000);
    if (mode == "diestart") {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::_exit(2);
    }
    Report(SERVICE_RUNNING);
    stopRequested.wait(lock, [] { return stopping; });
    if (mode == "slowstop") {
        for (std::uint32_t step = 2; step <= 4; ++step) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            lock.lock();
            Report(SERVICE_STOP_PENDING, step, 3000);
        }
    }
    Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    if (!RunningUnderServiceManager()) {
        std::fprintf(stderr, "oru_test_service: not started by the service control manager\n");
        return 5;
    }
    serviceName = std::getenv(ServiceManagerMarker());
    std::string::size_type dash = serviceName.rfind('-');
    mode = dash == std::string::npos ? "normal" : serviceName.substr(dash + 1);
    if (mode == "noconnect") {
        return 4;
    }
    const ServiceTableEntry table[] = {{serviceName.c_str(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcher(table)) {
        std::fprintf(stderr, "oru_test_service: dispatcher failed: %s\n",
                     ScErrorText(ScGetLastError()));
        return 6;
    }
    return 0;
}
