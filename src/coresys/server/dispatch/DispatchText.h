// The texts the request handlers report as server messages (device
// notices), in one table.
#pragma once

enum DISPATCH_TEXT : int {
    DISPATCH_TEXT_SHUTDOWN_OK = 0,
    DISPATCH_TEXT_RESTART_FAILED,
    DISPATCH_TEXT_RESTART_OK,
    DISPATCH_TEXT_RESTART_UNKNOWN,
    DISPATCH_TEXT_BAD_MESSAGE,
    DISPATCH_TEXT_PERF_FAILED,
    DISPATCH_TEXT_COUNT
};

// The text of id; "" for an id outside the table.
const char* DispatchText(int id);
