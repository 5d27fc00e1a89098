// A shared subsystem task ("ORULITE_00" .. "ORULITE_09"): it runs the work of
// every subsystem bound to it, one request at a time, each under the device
// manager's subsystem-in-use lock.
//
// Requests (ORULITE_REQUEST): management messages and their continuations,
// cancels, timers, the three message kinds with classes of their own, park
// (6: the task signals Parked and waits for Resume) and end (666).
//
// Every request that carries a ClientMessage owns it; the task frees it after
// dispatch, and frees (with the client's Done) any that are still queued
// when the task ends, so a message is never lost without its Done.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/task/EventSemaphore.h"
#include "coresys/server/task/OruTask.h"

class DeviceMgr;
class OruLite;

class OruLiteTask : public OruTask {
  public:
    // The hand-off point of the request dispatch: runs one management
    // message (codes 1, 2, 8, 9, 10) for monitor and replies to its client.
    // Returns true when the message was re-posted (the request then keeps
    // its ClientMessage). Until a handler is installed, every management
    // message is answered as a request the service cannot run.
    using MessageHandler = std::function<bool(OruLiteTask& task, OruLite& monitor,
                                              TaskRequest& request, ClientMessage& message)>;
    static void SetMessageHandler(MessageHandler handler);
    // The hand-off of a cancelled message: finishes a message that a cancel
    // caught before it ran (its client is told with cancelError, a drive
    // test's step ends the test). Returns false for a message it does not
    // finish, which then gets the plain cancel error reply.
    using CancelFinisher =
        std::function<bool(OruLiteTask& task, OruLite& monitor, TaskRequest& request,
                           ClientMessage& message, std::uint32_t cancelError)>;
    static void SetCancelFinisher(CancelFinisher finisher);

    OruLiteTask(DeviceMgr& manager, int slot);
    ~OruLiteTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;
    void ResponseHandler() override;

    // Queues a message request for this task; the request owns message from
    // then on (also when the task is ending: the message is then dropped
    // with its Done). Returns false when it was dropped.
    bool PostMessage(std::int32_t code, std::unique_ptr<ClientMessage> message,
                     std::uint64_t delayMs = 0, bool front = false, std::intptr_t subCode = 0,
                     std::intptr_t interval = 0, std::intptr_t requeued = 0);

    // Subsystems bound to the task; changed by the device manager only.
    std::uint32_t UserCount() const { return userCount_.load(); }
    void AddUser() { userCount_.fetch_add(1); }
    void RemoveUser();

    EventSemaphore& Parked() { return parked_; }
    EventSemaphore& Resume() { return resume_; }
    // True between taking a park request and being resumed.
    bool IsParked() const { return isParked_.load(); }
    int Slot() const { return slot_; }

    // Runs a management message the way the task would before a handler is
    // installed: the "cannot run" error reply. Used by the default handler.
    static bool RefuseUnsupported(OruLiteTask& task, OruLite& monitor, TaskRequest& request,
                                  ClientMessage& message);

  private:
    void HandleMessage(OruLite& monitor, TaskRequest& request, ClientMessage& message, bool& keep);
    void HandleCancel(OruLite& monitor, TaskRequest& request, ClientMessage& message, bool& keep);
    bool CheckPending(OruLite& monitor, TaskRequest& request, ClientMessage& message);
    void SM_Dispatch(OruLite& monitor, TaskRequest& request);
    void Forget(ClientMessage* message);
    static void Finish(std::unique_ptr<ClientMessage> message);

    DeviceMgr& manager_;
    int slot_;
    std::atomic<std::uint32_t> userCount_{0};
    EventSemaphore parked_;
    EventSemaphore resume_;
    std::atomic<bool> isParked_{false};
    // Messages posted and not yet dispatched.
    std::mutex outstandingLock_;
    std::set<ClientMessage*> outstanding_;
};
