// The one routine through which the graphical manager waits for the reply
// to a management request (WaitForCommand), and what it needs from the
// thread that waits.
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"

class DiskArray;
class PollMsg;

namespace oru {

class BusyState;

class CommandWaitHost {
  public:
    virtual ~CommandWaitHost() = default;
    // After a poll that found nothing: lets at most `ms` milliseconds (the
    // suite's clock) pass, and ends as soon as the array's next reply starts
    // to arrive. False when the wait is to end as failed (cancelled) instead.
    // The interface thread keeps running the window's events meanwhile, user
    // input included.
    virtual bool AwaitReply(const DiskArray& array, std::uint64_t ms) = 0;
    // Asked each time the reply has been awaited for the reply budget
    // (300 s of the suite's clock): true to go on waiting.
    virtual bool AskKeepWaiting() = 0;
    // The busy state the wait holds while it runs; nullptr off the
    // interface thread.
    virtual BusyState* Busy() = 0;
    // Ends every wait that runs now as failed (a Cancel, a window that
    // closes), and with it the operation each belongs to. Nothing to end off
    // the interface thread.
    virtual void CancelWaits() {}
    // Whether a CancelWaits came since the outermost operation that runs now
    // began (see WaitOperation); false outside one and off the interface
    // thread.
    virtual bool Cancelled() const { return false; }

  private:
    friend class WaitOperation;
    virtual void BeginOperation() {}
    virtual void EndOperation() {}
};

// One operation of the window that may wait several times in turn (connect
// to an array, then read its state): a Cancel while any of its waits runs
// ends the operation. The wait under way ends as cancelled, even when what
// it waited for came in the same moment, and every later wait of the
// operation ends so at once, without waiting. Each wait is an operation of
// its own too; operations nest, an inner one being part of the outer.
class WaitOperation {
  public:
    explicit WaitOperation(CommandWaitHost& host) : host_(host) { host_.BeginOperation(); }
    ~WaitOperation() { host_.EndOperation(); }
    WaitOperation(const WaitOperation&) = delete;
    WaitOperation& operator=(const WaitOperation&) = delete;

    bool Cancelled() const { return host_.Cancelled(); }

  private:
    CommandWaitHost& host_;
};

// A command wait on a worker thread: it waits on the connection alone, and
// it never asks: the wait gives up at the first end of the budget.
class WorkerWaitHost : public CommandWaitHost {
  public:
    bool AwaitReply(const DiskArray& array, std::uint64_t ms) override;
    bool AskKeepWaiting() override { return false; }
    BusyState* Busy() override { return nullptr; }
};

struct CommandReply {
    // Reply kind of the final reply to the request, or kGaveUp.
    std::uint32_t kind;
    // That reply, owned by the array until its next poll; nullptr when the
    // wait gave up.
    const PollMsg* result;
};

inline constexpr std::uint32_t kGaveUp = 2;
inline constexpr std::uint64_t kReplyBudgetMs = 300000;

// Polls the array until the final reply (status 1) to the request of
// `handle` comes; replies to other requests are dropped (events still
// update the array's state as they are polled). Between polls it waits for
// the next reply to start arriving, at most until the budget ends. Gives up
// (kind kGaveUp) at once when the connection is lost, failed or was never
// usable (a request that could not be sent, a lost-connection result, a
// message status of 4, 5 or 6), when the wait is cancelled (also by a
// Cancel during an earlier wait of the operation it is part of, or during
// the question whether to wait on, whatever the answer), and when the host
// declines to wait longer. It holds an array wait of the busy state.
CommandReply WaitForCommand(const CommandHandle& handle, DiskArray& array, CommandWaitHost& host);

}  // namespace oru
