// The answer to one request, delivered to the requesting task.
#pragma once

#include <cstdint>

struct TaskResponse {
    // Id of the request answered; 0 from OruTask::NextResponse means none.
    std::int32_t responseId = 0;
    // Main result of the answering Dispatch (each task class defines it).
    std::intptr_t result = 0;
    std::intptr_t value = 0;
    // 1 when the target task ended before it answered.
    std::int32_t ended = 0;
    std::intptr_t value4 = 0;
    std::intptr_t value5 = 0;
    std::intptr_t value6 = 0;
    std::intptr_t value7 = 0;
    std::intptr_t value8 = 0;
    std::intptr_t value9 = 0;
    // List link; never part of a caller's copy.
    TaskResponse* next = nullptr;
};
