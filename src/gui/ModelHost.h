// What the model of hosts and arrays asks of the window it serves: messages,
// waits that keep the window drawing, the question of a long command wait,
// the wait cursor, and the Device Properties sheet. The main frame is the
// host of the running program; tests host the model themselves.
#pragma once

#include <QEventLoop>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/BusyState.h"
#include "gui/CommandWait.h"

class DiskArray;
class QObject;
class QWidget;

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
    // Runs the window's events until done() holds, limitMs of the suite's
    // clock pass or the wait is cancelled; busy (a wait of `kind`)
    // meanwhile. Whether done() held; false after a Cancel during the wait
    // (or earlier in the operation it is part of), even when done() came to
    // hold in the same moment.
    virtual bool WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs,
                           BusyState::Kind kind = BusyState::Kind::kList) = 0;
    // A worker delivered its result: a wait may look at done() again, and
    // the pause of a command wait that runs ends (the wait polls again).
    virtual void Wake() = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Shows the Device Properties sheet of a connected array, modally.
    virtual void RunDeviceProperties(DiskArray& array, const std::string& title) = 0;
};

// The waits of ModelHost on Qt's event loop, for any host on the interface
// thread: nested event loops that keep the windows live. Input still goes to
// windows that take it during waits (the main window, whose commands the
// busy rule disables), to windows that open during the wait (a question, a
// menu) and to the controls marked as wait controls; the windows that were
// open when the wait began (the Device Properties sheet and its dialogs)
// take none, so that nothing starts a second wait on the connection that is
// awaited. A window may still be closed.
class EventLoopHost : public ModelHost {
  public:
    // `busy` may be a member of the derived host, not yet built: it is only
    // kept here.
    explicit EventLoopHost(BusyState& busy) : busy_(busy) {}

    bool WaitUntil(const std::function<bool()>& done, std::uint64_t limitMs,
                   BusyState::Kind kind = BusyState::Kind::kList) override;
    void Wake() override;
    // Runs the window's events until a reply starts to arrive on the
    // array's session; a Wake while it runs ends it too.
    bool AwaitReply(const DiskArray& array, std::uint64_t ms) override;
    BusyState* Busy() override { return &busy_; }
    void CancelWaits() override;
    bool Cancelled() const override;

    // A control that takes input while a wait runs in its window (a Cancel).
    static void MarkWaitControl(QObject* control);

  protected:
    // Called about every 500 ms of a worker wait (the wait dialog animates).
    virtual void OnWaitTick() {}
    // Whether a window takes input while waits run (the main window).
    virtual bool TakesInputWhileBusy(const QWidget* /*window*/) const { return false; }

  private:
    class InputGate;

    void BeginOperation() override;
    void EndOperation() override;
    // Runs a nested event loop until Wake, CancelWaits or `ms` real
    // milliseconds (the caller may connect other ends to `loop`).
    void RunLoop(QEventLoop& loop, std::uint64_t ms);

    BusyState& busy_;
    std::vector<QEventLoop*> loops_;   // the running waits' loops, innermost last
    std::uint64_t cancels_ = 0;        // CancelWaits calls so far
    int operations_ = 0;               // operations that run, nested
    std::uint64_t operationMark_ = 0;  // cancels_ when the outermost began
    InputGate* gate_ = nullptr;        // while a wait's loop runs
};

}  // namespace oru
