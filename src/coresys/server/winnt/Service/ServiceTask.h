// The "Service Task": request 0 answers 0, request 1 ends the task, any
// other code is fatal. Nothing in the service posts to it; it is never
// stopped and ends with the process.
#pragma once

#include "coresys/server/task/OruTask.h"

enum SERVICE_TASK_REQUEST : std::int32_t {
    SERVICE_TASK_ANSWER = 0,
    SERVICE_TASK_STOP = 1,
};

class ServiceTask : public OruTask {
  public:
    ServiceTask();
    ~ServiceTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;
};
