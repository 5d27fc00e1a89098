#include "coresys/server/log/LogTask.h"

#include "coresys/server/task/ServerFatal.h"

LogTask::LogTask() : OruTask("Log Task") {}

LogTask::~LogTask() {
    EndThread();
}

std::int32_t LogTask::Dispatch(TaskRequest& request, TaskResponse* response) {
    switch (request.code) {
        case LOG_TASK_INIT:
            // No log file exists yet: writing starts at byte address 0.
            if (response != nullptr) {
                response->result = 0;
            }
            return 0;
        case LOG_TASK_STOP:
            return 1;
        default:
            ServerFatalError("LogTask::Dispatch", "Invalid LogTask request code");
    }
}
