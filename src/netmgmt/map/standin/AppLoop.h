// The application loop the map application runs in: a hidden-window
// message loop in the manner of the desktop it was written for, without any
// window system.
//
// Windows are objects registered under a handle; messages are posted to a
// handle and dispatched to the window's WindowProc (a message for a window
// that is gone is dropped). The queue is filled from three sources besides
// PostMessage: descriptors (a readable descriptor posts one "ready" message
// to its owner and none more until that message was dispatched), one-shot
// timers (WM_TIMER when due) and the quit flag (WM_QUIT once the queue is
// empty). Every wait of the loop is a wait on the clock seam (LoopClock)
// for readable descriptors with a deadline; nothing sleeps.
//
// Pumping is re-entrant: a message handler may peek and dispatch further
// messages (a nested pump), as the map application does while it waits for
// SNMP replies. The idle hook runs when the queue is empty, until it asks
// for no more idle time. One loop per thread (Current()); not thread-safe.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "netmgmt/map/standin/LoopClock.h"

namespace qxapp {

using Hwnd = std::uint32_t;  // 0: no window

// Message numbers: the desktop's values.
inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_QUIT = 0x0012;
inline constexpr unsigned WM_TIMER = 0x0113;
inline constexpr unsigned WM_USER = 0x0400;

struct Msg {
    Hwnd window = 0;
    unsigned message = WM_NULL;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class AppLoop;

// A window: registered with the current loop for its lifetime (a window
// that outlives its loop is left without one and gets nothing more).
class Window {
  public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    Hwnd Handle() const { return handle_; }
    // Default handling: WM_CLOSE destroys the window; the rest is ignored.
    virtual void WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Unregisters the window (it gets no more messages); when it was the
    // main window, the loop is asked to quit with exit code 0.
    void Destroy();

  private:
    friend class AppLoop;
    AppLoop* loop_;
    Hwnd handle_;
};

// The hidden main window of an application.
class FrameWindow : public Window {
  public:
    bool Visible() const { return visible_; }
    void Show(bool visible) { visible_ = visible; }

  private:
    bool visible_ = false;
};

// What the loop runs: start, idle processing and exit (the framework's
// application object).
class Application {
  public:
    virtual ~Application() = default;
    // Before the loop; false ends the application at once.
    virtual bool InitInstance() = 0;
    // The queue is empty; count counts the calls since the last message.
    // True asks for more idle time before the loop waits. The framework's
    // own idle processing has nothing to do: false.
    virtual bool OnIdle(long count);
    // After WM_QUIT; the process's exit code.
    virtual int ExitInstance(int quitCode) { return quitCode; }
};

class AppLoop {
  public:
    explicit AppLoop(LoopClock& clock);
    ~AppLoop();
    AppLoop(const AppLoop&) = delete;
    AppLoop& operator=(const AppLoop&) = delete;

    // The loop of this thread (nullptr when none exists).
    static AppLoop* Current();
    LoopClock& Clock() { return clock_; }

    // Queue. PostMessage answers false for a window that does not exist.
    bool PostMessage(Hwnd window, unsigned message, std::uintptr_t wParam = 0,
                     std::intptr_t lParam = 0);
    void PostQuitMessage(int exitCode);
    // Looks at the descriptors and timers without waiting, then at the
    // queue: true with the first message in *msg (removed when remove).
    bool PeekMessage(Msg* msg, bool remove);
    // Waits for the next message; false (and *msg WM_QUIT) when it is WM_QUIT.
    bool GetMessage(Msg* msg);
    void DispatchMessage(const Msg& msg);
    // GetMessage, then DispatchMessage; false on WM_QUIT.
    bool PumpMessage();
    // Waits until a message is queued, a descriptor is readable, a timer is
    // due or the clock reaches deadlineMs, and queues what came.
    void WaitForWork(std::uint64_t deadlineMs);

    // Descriptors. onReadable runs (from DispatchMessage) when fd was found
    // readable; it should read what is there. A source may be removed at
    // any time, also from its own onReadable.
    using SourceId = std::uint32_t;
    SourceId AddSource(int fd, std::function<void()> onReadable);
    void RemoveSource(SourceId id);

    // One-shot timer: WM_TIMER (wParam id) to the window when the clock
    // reaches dueMs. Setting it again moves it.
    void SetTimer(Hwnd window, std::uintptr_t id, std::uint64_t dueMs);
    void KillTimer(Hwnd window, std::uintptr_t id);

    void SetMainWindow(Hwnd window) { mainWindow_ = window; }
    Hwnd MainWindow() const { return mainWindow_; }

    // SIGTERM and SIGINT close the main window (or quit without one), as
    // a desktop closes an application. False when the pipe cannot be made.
    bool CloseOnSignals();

    // InitInstance, then messages and idle processing until WM_QUIT; the
    // exit code from ExitInstance.
    int Run(Application& app);

    // Window registry (used by Window).
    Hwnd Register(Window* window);
    void Unregister(Hwnd handle);

  private:
    struct Source {
        int fd;
        std::function<void()> onReadable;
        bool pending = false;
    };
    struct TimerKey {
        Hwnd window;
        std::uintptr_t id;
        bool operator<(const TimerKey& o) const {
            return window != o.window ? window < o.window : id < o.id;
        }
    };
    class LoopWindow;

    // Waits up to deadlineMs (at once when the queue holds something) and
    // queues ready descriptors and due timers.
    void Gather(std::uint64_t deadlineMs);
    void OnSourceReady(SourceId id);

    LoopClock& clock_;
    AppLoop* previous_;
    std::deque<Msg> queue_;
    bool quit_ = false;
    int quitCode_ = 0;
    std::map<Hwnd, Window*> windows_;
    Hwnd nextHandle_ = 1;
    Hwnd mainWindow_ = 0;
    std::map<SourceId, Source> sources_;
    SourceId nextSource_ = 1;
    std::map<TimerKey, std::uint64_t> timers_;
    Window* loopWindow_ = nullptr;
    SourceId signalSource_ = 0;
};

}  // namespace qxapp
