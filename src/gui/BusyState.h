// The one busy rule of the graphical manager.
//
// Every wait of the interface thread (for a worker, for a command's reply)
// runs the window's events so that it keeps drawing, and holds a BusyScope
// while it does. While the depth is above 0 everything that would otherwise
// run off the event loop on its own stands aside: the idle poll of the
// arrays' status, the refresh of changed rows and the one-shot request of
// the command line. So a wait never runs a second poll of the connection it
// waits on, and nothing in the window changes under a list rebuild. The
// window disables its commands while busy. Work posted from the event loop
// (the frame's posted calls, the sheet's refreshes) goes through WhenIdle,
// which holds it until the last wait has ended. Used on the interface
// thread only.
#pragma once

#include <QPointer>

#include <functional>
#include <vector>

namespace oru {

class BusyState {
  public:
    int Depth() const { return depth_; }
    bool Busy() const { return depth_ > 0; }

    // Called with true when the depth leaves 0 and with false when it comes
    // back to 0.
    void OnChange(std::function<void(bool busy)> listener) {
        listeners_.push_back(std::move(listener));
    }

    // Runs `action` from the event loop, never inside the caller's handler.
    // When it finds a wait running it is held, and posted again once the
    // depth is back at 0; held actions are posted again in the order they
    // were held. An action whose `context` was destroyed before it ran is
    // dropped.
    void WhenIdle(QObject* context, std::function<void()> action);

    void Enter();
    void Leave();

  private:
    struct Held {
        QPointer<QObject> context;
        std::function<void()> action;
    };

    int depth_ = 0;
    std::vector<std::function<void(bool)>> listeners_;
    std::vector<Held> held_;
};

class BusyScope {
  public:
    explicit BusyScope(BusyState& state) : state_(state) { state_.Enter(); }
    ~BusyScope() { state_.Leave(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    BusyState& state_;
};

}  // namespace oru
