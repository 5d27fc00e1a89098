// The one busy rule of the graphical manager.
//
// Every wait of the interface thread (for a worker, for a command's reply)
// runs the window's events, user input included, so that the window stays
// live, and holds a BusyScope while it does. While the depth is above 0 the
// window refuses a second command (its commands are disabled) and work
// posted from the event loop (the frame's posted calls, the sheet's
// refreshes) goes through WhenIdle, which holds it until the last wait has
// ended; the one-shot request of the command line waits too.
//
// Waits are of two kinds. A list wait (a host scan, a discovery, a capacity
// read) holds the list still: while one runs, the idle poll of the arrays'
// status and the refresh of changed rows stand aside (WhenListFree), so that
// nothing in the list changes under a rebuild. An array wait (the connection
// of Device Properties, a command's reply) waits on one array's own session:
// the status of the other arrays is kept current meanwhile. Used on the
// interface thread only.
#pragma once

#include <QPointer>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace oru {

class BusyState {
  public:
    enum class Kind { kList, kArray };

    int Depth() const { return depth_; }
    bool Busy() const { return depth_ > 0; }
    // A list wait runs.
    bool ListHeld() const { return listDepth_ > 0; }

    // Called with true when the depth leaves 0 and with false when it comes
    // back to 0. Returns an id for RemoveListener.
    std::size_t OnChange(std::function<void(bool busy)> listener);
    void RemoveListener(std::size_t id);

    // Runs `action` from the event loop, never inside the caller's handler.
    // When it finds a wait running it is held, and posted again once the
    // depth is back at 0; held actions are posted again in the order they
    // were held. An action whose `context` was destroyed before it ran is
    // dropped.
    void WhenIdle(QObject* context, std::function<void()> action);
    // The same, held only while a list wait runs.
    void WhenListFree(QObject* context, std::function<void()> action);

    // What the waits are for, shown while they run: the array a Device
    // Properties works on ("Waiting for the array ... on ..."); empty when
    // they are for no one array.
    void SetSubject(std::string subject) { subject_ = std::move(subject); }
    const std::string& Subject() const { return subject_; }

    void Enter(Kind kind = Kind::kList);
    void Leave(Kind kind = Kind::kList);

  private:
    struct Held {
        QPointer<QObject> context;
        std::function<void()> action;
        bool listOnly = false;
    };
    struct Listener {
        std::size_t id;
        std::function<void(bool)> call;
    };

    void Post(QObject* context, std::function<void()> action, bool listOnly);
    void Release(bool all);

    int depth_ = 0;
    int listDepth_ = 0;
    std::size_t nextListener_ = 1;
    std::vector<Listener> listeners_;
    std::vector<Held> held_;
    std::string subject_;
};

class BusyScope {
  public:
    explicit BusyScope(BusyState& state, BusyState::Kind kind = BusyState::Kind::kList)
        : state_(state), kind_(kind) {
        state_.Enter(kind_);
    }
    ~BusyScope() { state_.Leave(kind_); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    BusyState& state_;
    BusyState::Kind kind_;
};

}  // namespace oru
