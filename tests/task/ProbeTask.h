// A task for the framework tests: it echoes, blocks on a gate, checks due
// times, stops on request and keeps a log of what it ran.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "coresys/server/task/EventSemaphore.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Clock.h"

enum PROBE_CODE : std::int32_t {
    PROBE_ECHO = 0,       // result = args[0], logged
    PROBE_STOP = 1,       // result = 42, ends the task
    PROBE_GATE = 2,       // waits until the EventSemaphore in args[0] is posted
    PROBE_DUE_CHECK = 3,  // logged; result = 1 when run no earlier than due
    PROBE_TICK = 4,       // logged; re-posts itself after args[1] ms while args[0] > 1
};

class ProbeTask : public OruTask {
  public:
    explicit ProbeTask(const char* name) : OruTask(name) {}
    ~ProbeTask() override { EndThread(); }

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            threads_.push_back(std::this_thread::get_id());
        }
        switch (request.code) {
            case PROBE_ECHO:
                Log(static_cast<int>(request.args[0]));
                if (response != nullptr) {
                    response->result = request.args[0];
                    response->value9 = request.args[0] + 1;
                }
                return 0;
            case PROBE_STOP:
                if (response != nullptr) {
                    response->result = 42;
                }
                return 666;
            case PROBE_GATE:
                reinterpret_cast<EventSemaphore*>(request.args[0])->Wait(0);
                return 0;
            case PROBE_DUE_CHECK:
                Log(static_cast<int>(request.args[0]));
                if (response != nullptr) {
                    response->result = platform::MonotonicMs() >= request.dueTime ? 1 : 0;
                }
                return 0;
            case PROBE_TICK: {
                Log(static_cast<int>(request.args[0]));
                if (request.args[0] > 1) {
                    TaskRequest again = request;
                    again.args[0] -= 1;
                    SendRequest(again, static_cast<std::uint64_t>(request.args[1]));
                }
                return 0;
            }
            default:
                return 0;
        }
    }

    std::vector<int> Logged() {
        std::lock_guard<std::mutex> guard(mutex_);
        return log_;
    }
    std::vector<std::thread::id> Threads() {
        std::lock_guard<std::mutex> guard(mutex_);
        return threads_;
    }

  private:
    void Log(int value) {
        std::lock_guard<std::mutex> guard(mutex_);
        log_.push_back(value);
    }

    std::mutex mutex_;
    std::vector<int> log_;
    std::vector<std::thread::id> threads_;
};

inline TaskRequest MakeRequest(std::int32_t code, std::intptr_t arg0 = 0, std::intptr_t arg1 = 0) {
    TaskRequest request;
    request.code = code;
    request.args[0] = arg0;
    request.args[1] = arg1;
    return request;
}
