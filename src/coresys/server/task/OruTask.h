// A task: a named object that owns one thread, a queue of requests, a queue
// of requests that are not yet due, and a list of responses addressed to it.
//
// Other threads hand work to a task by posting a TaskRequest; the task's
// thread runs them one at a time through Dispatch. A request may ask for a
// response, which is delivered to the requesting task's response list: the
// requester either blocks for it (Request, GetResponse) or takes it later in
// its ResponseHandler. A request posted with a delay waits in the timed queue
// until its due time: that is how the service builds its timers.
//
// Lifetime: a task runs from its constructor until Dispatch returns nonzero
// (its stop code) or until it is destroyed. Its owner ends it with a stop
// request, usually through Request, and then destroys it; the destructor
// wakes the thread and joins it, so the object is never freed while its
// thread still touches it. A derived class whose own members Dispatch uses
// calls EndThread() first thing in its destructor. A derived class must not
// post to itself before its constructor has finished.
//
// Every misuse listed with the members is fatal (ServerFatalError).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "coresys/server/task/EventSemaphore.h"
#include "coresys/server/task/RequestQueue.h"
#include "coresys/server/task/ResourceSemaphore.h"
#include "coresys/server/task/ResponseList.h"
#include "coresys/server/task/TaskRequest.h"
#include "coresys/server/task/TaskResponse.h"

class OruTask {
  public:
    static constexpr int NAME_MAX_LEN = 15;

    // Starts a thread of its own named after the task (at most 15
    // characters, also the thread's name in the system's process listing).
    explicit OruTask(const char* name);
    // Binds the task to the calling thread, which runs no task loop; it may
    // then call Request and GetResponse (the service's main thread).
    struct BindToCurrentThread {};
    OruTask(BindToCurrentThread, const char* name);

    virtual ~OruTask();
    OruTask(const OruTask&) = delete;
    OruTask& operator=(const OruTask&) = delete;

    // Runs one request. response is nullptr when none is wanted; otherwise it
    // comes with its id set and every other word 0. Returns 0 to go on,
    // nonzero to end the task (after its response has been delivered).
    virtual std::int32_t Dispatch(TaskRequest& request, TaskResponse* response);
    // Called while responses arrived that nobody awaits; it takes them with
    // NextResponse. It is called again as long as each call takes at least
    // one; responses it leaves wait until another response arrives.
    virtual void ResponseHandler();

    // Asynchronous request with response: returns the response id (and
    // writes it into request), or -1 when this task is terminating. The
    // response goes to the calling thread's task (fatal if it has none).
    std::int32_t PostRequest(TaskRequest& request, std::uint64_t delayMs = 0, bool front = false);
    // Request without response: 0, or -1 when this task is terminating. Any
    // thread may call it.
    std::int32_t SendRequest(TaskRequest& request, std::uint64_t delayMs = 0, bool front = false);
    // Synchronous request: blocks the calling thread's task until this task
    // answered. A terminating target gives a response with ended = 1 at
    // once. Fatal from a thread without a task, or from this task's own
    // thread (it would wait for itself).
    TaskResponse Request(TaskRequest& request, bool front = false);

    // Blocks until the response with that id is in this task's list and
    // takes it. Call only on the task's own thread.
    TaskResponse GetResponse(std::int32_t id);
    // Delivers a response to requester (dropped when the requester is
    // terminating or no longer exists).
    static void PostResponse(const TaskResponse& response, OruTask* requester);
    // Takes the lowest-numbered response, or a record with id 0 when none.
    TaskResponse NextResponse();
    bool HasResponse(std::int32_t id);
    bool HasResponses();

    // The task of the calling thread (fatal "Task not found" if none).
    static OruTask* CurrentTask();
    // The same, or nullptr instead of the fatal error.
    static OruTask* FindCurrentTask();

    const char* Name() const { return name_; }
    bool IsTerminating();
    // Last response id handed out for a request posted to this task.
    std::int32_t Sequence();
    // Copy of the request being dispatched (read it on the task's own
    // thread), its start time and the value of the service-wide dispatch
    // count when it began.
    const TaskRequest& Current() const { return current_; }
    std::uint64_t DispatchStart() const { return dispatchStart_.load(); }
    std::uint64_t DispatchSerial() const { return dispatchSerial_.load(); }

    // Next service-wide response id: never 0 or -1, unique among the ids in
    // flight, so a task awaiting answers from several targets never confuses
    // them.
    static std::int32_t NextResponseId();

  protected:
    // Ends the task if it still runs, wakes its thread and joins it (or lets
    // it go when called on that very thread). Idempotent.
    void EndThread();

  private:
    void ThreadLoop();
    void WaitForWork();
    void Enqueue(TaskRequest& request, std::uint64_t delayMs, bool front);
    // Sets terminating, answers every queued request that wants a response
    // with ended = 1, drops the response list and leaves the task chain.
    // Idempotent; takes the chain lock itself.
    void Unlink();
    // Answers an abandoned request with ended = 1.
    static void Abandon(std::unique_ptr<TaskRequest> request);
    void AddToChain();

    char name_[NAME_MAX_LEN + 1] = {};
    std::int32_t sequence_ = 0;
    std::int32_t awaitedId_ = 0;
    bool idle_ = false;
    bool waiting_ = false;
    std::uint64_t waitSpan_ = 0;
    std::atomic<std::uint64_t> dispatchStart_{0};
    std::thread::id threadId_;
    bool terminating_ = false;
    // Responses added, and the count the last ResponseHandler call saw.
    std::uint64_t responseArrivals_ = 0;
    std::uint64_t responsesHandled_ = 0;
    RequestQueue requests_;
    RequestQueue timed_;
    ResponseList responses_;
    EventSemaphore wake_;
    ResourceSemaphore lock_;
    std::atomic<std::uint64_t> dispatchSerial_{0};
    TaskRequest current_;
    std::thread thread_;
};
