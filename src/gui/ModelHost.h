// What the model of hosts and arrays asks of the window it serves: messages,
// waits that keep the window drawing, the question of a long command wait,
// the wait cursor, and the Device Properties sheet. The main frame is the
// host of the running program; tests host the model themselves.
#pragma once

#include <QEventLoop>

#include <cstdint>
#include <functional>
#include <string>

#include "gui/BusyState.h"
#include "gui/CommandWait.h"

class DiskArray;

namespace oru {

// How long the interface waits for a worker (a discovery, a host scan, a
// connection, a capacity read) before it gives up on it: the reply budget
// of the suite's clock.
inline constexpr std::uint64_t kWorkerBudgetMs = 300000;

class ModelHost : public CommandWaitHost {
  public:
    enum class Icon { kInformation, kWarning, kStop };

    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text, Icon icon) = 0;
    // Runs the window's events (no user input) until done() holds or
    // limitMs of the suite's clock pass; busy meanwhile. Whether done() held.
    virtual bool WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs) = 0;
    // A worker delivered its result: a wait may look at done() again, and
    // the pause of a command wait that runs ends (the wait polls again).
    virtual void Wake() = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Shows the Device Properties sheet of a connected array, modally.
    virtual void RunDeviceProperties(DiskArray& array, const std::string& title) = 0;
};

// The waits of ModelHost on Qt's event loop, for any host on the interface
// thread: nested event loops that leave user input queued.
class EventLoopHost : public ModelHost {
  public:
    explicit EventLoopHost(BusyState& busy) : busy_(busy) {}

    bool WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs) override;
    void Wake() override;
    // Runs the window's events between short waits on the connection; a
    // Wake while it runs ends it too.
    void AwaitReply(const DiskArray& array, std::uint64_t ms) override;
    BusyState* Busy() override { return &busy_; }

  protected:
    // Called about every 500 ms of a worker wait (the wait dialog animates).
    virtual void OnWaitTick() {}

  private:
    // Runs the window's events for at most ms milliseconds (real time).
    void RunEvents(std::uint64_t ms);

    BusyState& busy_;
    QEventLoop* loop_ = nullptr;  // the innermost running wait
    std::uint64_t wakes_ = 0;     // Wake calls so far
};

}  // namespace oru
