#include "netmgmt/map/standin/AppLoop.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qxapp {

namespace {

// A descriptor found readable: wParam is the source.
constexpr unsigned kSourceReady = WM_USER + 1;

thread_local AppLoop* tCurrent = nullptr;

int gSignalPipe[2] = {-1, -1};

void OnCloseSignal(int) {
    if (gSignalPipe[1] >= 0) {
        const int saved = errno;
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
        errno = saved;
    }
}

}  // namespace

// The loop's own window: readiness messages of the descriptors.
class AppLoop::LoopWindow : public Window {
  public:
    explicit LoopWindow(AppLoop& loop) : loop_(loop) {}
    void WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == kSourceReady) {
            loop_.OnSourceReady(static_cast<SourceId>(wParam));
        } else {
            Window::WindowProc(message, wParam, lParam);
        }
    }

  private:
    AppLoop& loop_;
};

Window::Window() : loop_(AppLoop::Current()), handle_(loop_ ? loop_->Register(this) : 0) {}

Window::~Window() {
    Destroy();
}

void Window::WindowProc(unsigned message, std::uintptr_t, std::intptr_t) {
    if (message == WM_CLOSE) {
        Destroy();
    }
}

void Window::Destroy() {
    if (loop_ == nullptr || handle_ == 0) {
        return;
    }
    const Hwnd handle = handle_;
    handle_ = 0;
    loop_->Unregister(handle);
    if (loop_->MainWindow() == handle) {
        loop_->SetMainWindow(0);
        loop_->PostQuitMessage(0);
    }
}

bool Application::OnIdle(long) {
    return false;
}

AppLoop::AppLoop(LoopClock& clock) : clock_(clock), previous_(tCurrent) {
    tCurrent = this;
    loopWindow_ = new LoopWindow(*this);
}

AppLoop::~AppLoop() {
    if (signalSource_ != 0) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        RemoveSource(signalSource_);
        ::close(gSignalPipe[0]);
        ::close(gSignalPipe[1]);
        gSignalPipe[0] = gSignalPipe[1] = -1;
    }
    delete loopWindow_;
    for (auto& [handle, window] : windows_) {
        window->loop_ = nullptr;
        window->handle_ = 0;
    }
    tCurrent = previous_;
}

AppLoop* AppLoop::Current() {
    return tCurrent;
}

Hwnd AppLoop::Register(Window* window) {
    const Hwnd handle = nextHandle_++;
    windows_[handle] = window;
    return handle;
}

void AppLoop::Unregister(Hwnd handle) {
    windows_.erase(handle);
    for (auto it = timers_.begin(); it != timers_.end();) {
        it = it->first.window == handle ? timers_.erase(it) : std::next(it);
    }
}

bool AppLoop::PostMessage(Hwnd window, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    if (windows_.count(window) == 0) {
        return false;
    }
    queue_.push_back(Msg{window, message, wParam, lParam});
    return true;
}

void AppLoop::PostQuitMessage(int exitCode) {
    quit_ = true;
    quitCode_ = exitCode;
}

void AppLoop::Gather(std::uint64_t deadlineMs) {
    std::vector<int> fds;
    for (const auto& [id, source] : sources_) {
        if (!source.pending) {
            fds.push_back(source.fd);
        }
    }
    std::uint64_t until = deadlineMs;
    for (const auto& [key, due] : timers_) {
        until = std::min(until, due);
    }
    if (!queue_.empty() || quit_) {
        until = 0;
    }
    std::vector<int> ready;
    clock_.Wait(fds, until, &ready);
    for (int fd : ready) {
        for (auto& [id, source] : sources_) {
            if (source.fd == fd && !source.pending) {
                source.pending = true;
                PostMessage(loopWindow_->Handle(), kSourceReady, id);
            }
        }
    }
    const std::uint64_t now = clock_.NowMs();
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second <= now) {
            queue_.push_back(Msg{it->first.window, WM_TIMER, it->first.id, 0});
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool AppLoop::PeekMessage(Msg* msg, bool remove) {
    Gather(0);
    if (!queue_.empty()) {
        *msg = queue_.front();
        if (remove) {
            queue_.pop_front();
        }
        return true;
    }
    if (quit_) {
        *msg = Msg{0, WM_QUIT, static_cast<std::uintptr_t>(quitCode_), 0};
        if (remove) {
            quit_ = false;
        }
        return true;
    }
    return false;
}

bool AppLoop::GetMessage(Msg* msg) {
    while (!PeekMessage(msg, true)) {
        Gather(kNoDeadline);
    }
    return msg->message != WM_QUIT;
}

void AppLoop::DispatchMessage(const Msg& msg) {
    auto it = windows_.find(msg.window);
    if (it != windows_.end()) {
        it->second->WindowProc(msg.message, msg.wParam, msg.lParam);
    }
}

bool AppLoop::PumpMessage() {
    Msg msg;
    if (!GetMessage(&msg)) {
        return false;
    }
    DispatchMessage(msg);
    return true;
}

void AppLoop::WaitForWork(std::uint64_t deadlineMs) {
    Gather(deadlineMs);
}

AppLoop::SourceId AppLoop::AddSource(int fd, std::function<void()> onReadable) {
    const SourceId id = nextSource_++;
    sources_[id] = Source{fd, std::move(onReadable)};
    return id;
}

void AppLoop::RemoveSource(SourceId id) {
    sources_.erase(id);
}

void AppLoop::OnSourceReady(SourceId id) {
    auto it = sources_.find(id);
    if (it == sources_.end()) {
        return;
    }
    it->second.pending = false;
    // A copy: the handler may remove its own source.
    const std::function<void()> onReadable = it->second.onReadable;
    onReadable();
}

void AppLoop::SetTimer(Hwnd window, std::uintptr_t id, std::uint64_t dueMs) {
    timers_[TimerKey{window, id}] = dueMs;
}

void AppLoop::KillTimer(Hwnd window, std::uintptr_t id) {
    timers_.erase(TimerKey{window, id});
}

bool AppLoop::CloseOnSignals() {
    if (signalSource_ != 0) {
        return true;
    }
    if (::pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        return false;
    }
    signalSource_ = AddSource(gSignalPipe[0], [this] {
        char bytes[64];
        while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (!PostMessage(mainWindow_, WM_CLOSE)) {
            PostQuitMessage(0);
        }
    });
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

int AppLoop::Run(Application& app) {
    if (!app.InitInstance()) {
        return app.ExitInstance(0);
    }
    bool idle = true;
    long count = 0;
    Msg msg;
    for (;;) {
        while (idle && !PeekMessage(&msg, false)) {
            if (!app.OnIdle(count++)) {
                idle = false;
            }
        }
        do {
            if (!PumpMessage()) {
                return app.ExitInstance(quitCode_);
            }
            idle = true;
            count = 0;
        } while (PeekMessage(&msg, false));
    }
}

}  // namespace qxapp
