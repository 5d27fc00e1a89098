// One unit of work queued to a task.
#pragma once

#include <cstdint>

class OruTask;

// The code and arguments belong to the receiving task class; arguments carry
// numbers or pointers, so they are as wide as a pointer.
struct TaskRequest {
    std::int32_t code = 0;
    std::intptr_t args[7] = {};
    // 0: no response wanted; otherwise the id under which the response is
    // delivered; -1 is written back when the target task was terminating.
    std::int32_t responseId = 0;
    // The task that receives the response; set by the framework.
    OruTask* requester = nullptr;
    // Monotonic ms at which the request may run; set at posting.
    std::uint64_t dueTime = 0;
    // Queue link; never part of a caller's copy.
    TaskRequest* next = nullptr;
};
