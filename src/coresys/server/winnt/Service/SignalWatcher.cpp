#include "coresys/server/winnt/Service/SignalWatcher.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>

#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerLifecycle.h"
#include "coresys/server/winnt/Service/ServerText.h"

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_started{false};
bool g_console = false;

extern "C" void OnStopSignal(int signalNumber) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signalNumber);
    ssize_t ignored = write(g_pipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

void Watch() {
    pthread_setname_np(pthread_self(), "SignalWatch");
    for (;;) {
        unsigned char byte = 0;
        ssize_t n = read(g_pipe[0], &byte, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        if (g_console && (byte == SIGINT || byte == SIGQUIT)) {
            std::string text = ServerText(TEXT_STOPPING, kServiceName);
            std::fputs(text.c_str(), stdout);
            std::fflush(stdout);
        }
        PostServerExit();
    }
}

}  // namespace

bool SignalWatcher::Start(bool console) {
    bool expected = false;
    if (!g_started.compare_exchange_strong(expected, true)) {
        return true;
    }
    g_console = console;
    // A write that meets a broken connection or the file-size limit a
    // service manager may set fails with its error (EPIPE, EFBIG) like any
    // other, instead of ending the process.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    if (pipe2(g_pipe, O_CLOEXEC) != 0) {
        return false;
    }
    // A burst of signals must never block the handler.
    fcntl(g_pipe[1], F_SETFL, fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    try {
        std::thread(Watch).detach();
    } catch (...) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGABRT, &action, nullptr);
    if (console) {
        sigaction(SIGQUIT, &action, nullptr);
    }
    return true;
}
