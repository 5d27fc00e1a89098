#include "coresys/server/task/OruTask.h"

#include <pthread.h>

#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/task/ServerFatal.h"
#include "platform/Clock.h"

namespace {

struct ChainNode {
    std::thread::id threadId;
    OruTask* task;
};

// The task chain maps threads to their tasks. Its lock lives for the whole
// process (never destroyed), so a thread still running at exit may use it.
struct TaskChain {
    ResourceSemaphore lock;
    std::vector<ChainNode> nodes;  // newest first
};

TaskChain& Chain() {
    static TaskChain* chain = new TaskChain;
    return *chain;
}

bool InChain(const OruTask* task) {
    for (const ChainNode& node : Chain().nodes) {
        if (node.task == task) {
            return true;
        }
    }
    return false;
}

std::atomic<std::uint32_t> g_responseCounter{0};
std::atomic<std::uint64_t> g_dispatchCount{0};

TaskResponse EndedResponse(std::int32_t id) {
    TaskResponse response;
    response.responseId = id;
    response.ended = 1;
    return response;
}

// Thread names are limited to 15 characters; a longer one would be refused.
void NameThread(pthread_t thread, const char* name) {
    char shortName[16] = {};
    std::memcpy(shortName, name, ::strnlen(name, sizeof shortName - 1));
    pthread_setname_np(thread, shortName);
}

}  // namespace

OruTask::OruTask(const char* name) {
    std::strncpy(name_, name != nullptr ? name : "", NAME_MAX_LEN);
    ResourceHold chain(Chain().lock);
    try {
        thread_ = std::thread(&OruTask::ThreadLoop, this);
    } catch (const std::system_error&) {
        ServerFatalError("OruTask::OruTask", " Unable to create Thread ");
    }
    threadId_ = thread_.get_id();
    // Named here as well as on the thread itself, so the name shows from the
    // moment the constructor returns.
    NameThread(thread_.native_handle(), name_);
    AddToChain();
}

OruTask::OruTask(BindToCurrentThread, const char* name) {
    std::strncpy(name_, name != nullptr ? name : "", NAME_MAX_LEN);
    threadId_ = std::this_thread::get_id();
    ResourceHold chain(Chain().lock);
    AddToChain();
}

OruTask::~OruTask() {
    EndThread();
    // Records still queued by a racing poster after Unlink would be answered
    // nowhere; Unlink refused them, so the queues are empty here.
}

void OruTask::AddToChain() {
    auto& nodes = Chain().nodes;
    nodes.insert(nodes.begin(), ChainNode{threadId_, this});
}

void OruTask::EndThread() {
    Unlink();
    // The thread may wait for work without time-out: wake it so it sees
    // that the task is terminating and leaves its loop.
    wake_.Post();
    if (thread_.joinable()) {
        // Ended from its own thread, the task would free the object that
        // thread is still running in: the thread would come back from
        // Dispatch into freed memory. That is a fault of the caller.
        if (thread_.get_id() == std::this_thread::get_id()) {
            ServerFatalError("OruTask::EndThread", "A task cannot be ended from its own thread");
        }
        thread_.join();
    }
}

std::int32_t OruTask::Dispatch(TaskRequest&, TaskResponse*) {
    ServerFatalError("OruTask::Dispatch", "Task must implement a Dispatch method");
}

void OruTask::ResponseHandler() {
    ServerFatalError("OruTask::ResponseHandler", "Task must implement a response handler");
}

std::int32_t OruTask::NextResponseId() {
    for (;;) {
        std::uint32_t id = (g_responseCounter.fetch_add(1) + 1) & 0x7FFFFFFFu;
        if (id != 0) {
            return static_cast<std::int32_t>(id);
        }
    }
}

OruTask* OruTask::FindCurrentTask() {
    std::thread::id self = std::this_thread::get_id();
    ResourceHold chain(Chain().lock);
    for (const ChainNode& node : Chain().nodes) {
        if (node.threadId == self) {
            return node.task;
        }
    }
    return nullptr;
}

OruTask* OruTask::CurrentTask() {
    OruTask* task = FindCurrentTask();
    if (task == nullptr) {
        ServerFatalError("OruTask::CurrentTask", "Task not found");
    }
    return task;
}

bool OruTask::IsTerminating() {
    ResourceHold hold(lock_);
    return terminating_;
}

std::int32_t OruTask::Sequence() {
    ResourceHold hold(lock_);
    return sequence_;
}

void OruTask::Enqueue(TaskRequest& request, std::uint64_t delayMs, bool front) {
    request.dueTime = platform::MonotonicMs() + delayMs;
    requests_.Add(request, front);
    if (idle_ && !waiting_) {
        wake_.Post();
    }
}

std::int32_t OruTask::PostRequest(TaskRequest& request, std::uint64_t delayMs, bool front) {
    // The chain lock comes before a task's lock, so look the caller up first.
    OruTask* requester = CurrentTask();
    ResourceHold hold(lock_);
    if (terminating_) {
        request.responseId = -1;
        return -1;
    }
    sequence_ = NextResponseId();
    request.responseId = sequence_;
    request.requester = requester;
    Enqueue(request, delayMs, front);
    return request.responseId;
}

std::int32_t OruTask::SendRequest(TaskRequest& request, std::uint64_t delayMs, bool front) {
    ResourceHold hold(lock_);
    if (terminating_) {
        return -1;
    }
    request.responseId = 0;
    request.requester = nullptr;
    Enqueue(request, delayMs, front);
    return 0;
}

TaskResponse OruTask::Request(TaskRequest& request, bool front) {
    OruTask* requester = CurrentTask();
    if (requester == this) {
        ServerFatalError("OruTask::Request", "Task cannot wait for its own response");
    }
    std::int32_t id = 0;
    {
        ResourceHold hold(lock_);
        if (terminating_) {
            request.responseId = -1;
            return EndedResponse(-1);
        }
        sequence_ = NextResponseId();
        id = sequence_;
        request.responseId = id;
        request.requester = requester;
        Enqueue(request, 0, front);
    }
    return requester->GetResponse(id);
}

TaskResponse OruTask::GetResponse(std::int32_t id) {
    lock_.Obtain();
    if (!responses_.Find(id)) {
        if (terminating_) {
            lock_.Release();
            return EndedResponse(id);
        }
        waiting_ = true;
        awaitedId_ = id;
        wake_.Reset();
        lock_.Release();
        wake_.Wait(0);
        lock_.Obtain();
        waiting_ = false;
        awaitedId_ = 0;
        if (!responses_.Find(id)) {
            // Woken because the task itself is being ended.
            bool ended = terminating_;
            lock_.Release();
            if (ended) {
                return EndedResponse(id);
            }
            ServerFatalError("OruTask::GetResponse", "ResponseElement not found");
        }
    }
    TaskResponse response = responses_.Get(id);
    lock_.Release();
    return response;
}

void OruTask::PostResponse(const TaskResponse& response, OruTask* requester) {
    if (requester == nullptr) {
        return;
    }
    // Under the chain lock a linked task cannot be destroyed (its destructor
    // must unlink it first), so a requester that was already destroyed is
    // simply not found.
    ResourceHold chain(Chain().lock);
    if (!InChain(requester)) {
        return;
    }
    ResourceHold hold(requester->lock_);
    if (requester->terminating_) {
        return;
    }
    requester->responses_.Add(response);
    ++requester->responseArrivals_;
    if ((requester->awaitedId_ == 0 && requester->idle_) ||
        requester->awaitedId_ == response.responseId) {
        requester->wake_.Post();
    }
}

TaskResponse OruTask::NextResponse() {
    ResourceHold hold(lock_);
    if (responses_.Empty()) {
        return TaskResponse{};
    }
    return responses_.Next();
}

bool OruTask::HasResponse(std::int32_t id) {
    ResourceHold hold(lock_);
    return responses_.Find(id);
}

bool OruTask::HasResponses() {
    ResourceHold hold(lock_);
    return !responses_.Empty();
}

void OruTask::Abandon(std::unique_ptr<TaskRequest> request) {
    if (request->responseId != 0 && request->responseId != -1) {
        PostResponse(EndedResponse(request->responseId), request->requester);
    }
}

void OruTask::Unlink() {
    ResourceHold chain(Chain().lock);
    std::vector<std::unique_ptr<TaskRequest>> left;
    {
        ResourceHold hold(lock_);
        if (terminating_) {
            return;
        }
        terminating_ = true;
        while (auto request = requests_.Take()) {
            left.push_back(std::move(request));
        }
        while (auto request = timed_.Take()) {
            left.push_back(std::move(request));
        }
        responses_.Clear();
    }
    // The requesters' locks are taken while this task's lock is free.
    for (auto& request : left) {
        Abandon(std::move(request));
    }
    auto& nodes = Chain().nodes;
    if (nodes.empty()) {
        ServerFatalError("OruTask::~OruTask", "Task chain is empty");
    }
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if (it->task == this) {
            nodes.erase(it);
            return;
        }
    }
    ServerFatalError("(OruTask::~OruTask", "Task not found");
}

void OruTask::WaitForWork() {
    bool haveTimed = false;
    std::uint64_t headDue = 0;
    {
        ResourceHold hold(lock_);
        bool unseenResponses = !responses_.Empty() && responseArrivals_ != responsesHandled_;
        if (terminating_ || !requests_.Empty() || unseenResponses) {
            return;
        }
        idle_ = true;
        haveTimed = !timed_.Empty();
        headDue = timed_.HeadDue();
    }
    if (!haveTimed) {
        wake_.Wait(0);
        ResourceHold hold(lock_);
        idle_ = false;
        return;
    }
    std::uint64_t now = platform::MonotonicMs();
    if (headDue > now) {
        std::uint64_t span = headDue - now;
        {
            ResourceHold hold(lock_);
            waitSpan_ = span;
        }
        if (wake_.Wait(span) == 0) {
            ResourceHold hold(lock_);
            idle_ = false;
            return;
        }
    }
    // Only one timed request moves per pass; the others follow on the next.
    ResourceHold hold(lock_);
    if (auto request = timed_.Take()) {
        request->dueTime = platform::MonotonicMs();
        requests_.Add(*request, false);
    }
    idle_ = false;
}

void OruTask::ThreadLoop() {
    NameThread(pthread_self(), name_);
    for (;;) {
        WaitForWork();
        for (;;) {
            std::unique_ptr<TaskRequest> request;
            {
                ResourceHold hold(lock_);
                if (terminating_) {
                    break;
                }
                request = requests_.Take();
            }
            if (!request) {
                break;
            }
            if (platform::MonotonicMs() < request->dueTime) {
                bool ended = false;
                {
                    ResourceHold hold(lock_);
                    ended = terminating_;
                    if (!ended) {
                        timed_.Insert(std::move(request));
                    }
                }
                if (ended) {
                    Abandon(std::move(request));
                }
                continue;
            }
            current_ = *request;
            current_.next = nullptr;
            dispatchSerial_.store(g_dispatchCount.fetch_add(1) + 1);
            dispatchStart_.store(platform::MonotonicMs());
            std::int32_t rc = 0;
            if (request->responseId == 0) {
                rc = Dispatch(current_, nullptr);
            } else {
                TaskResponse response;
                response.responseId = request->responseId;
                rc = Dispatch(current_, &response);
                response.responseId = request->responseId;
                response.next = nullptr;
                PostResponse(response, request->requester);
            }
            if (rc != 0) {
                Unlink();
            }
        }
        std::uint32_t before = 0;
        {
            ResourceHold hold(lock_);
            if (terminating_) {
                break;
            }
        }
        for (;;) {
            {
                ResourceHold hold(lock_);
                if (terminating_ || responses_.Empty()) {
                    break;
                }
                before = responses_.Count();
                responsesHandled_ = responseArrivals_;
            }
            ResponseHandler();
            ResourceHold hold(lock_);
            if (responses_.Count() >= before) {
                break;
            }
        }
    }
}
