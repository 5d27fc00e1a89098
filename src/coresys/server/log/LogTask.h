// The "Log Task": the one task that touches the service's log catalog and
// log files. Request 0 prepares writing and answers the byte address from
// which writing continues; request 6 ends the task. Writing, reading and
// resuming the log (requests 1 to 5) come with the log writer; until then
// they, like any unknown code, are fatal.
#pragma once

#include "coresys/server/task/OruTask.h"

enum LOG_TASK_REQUEST : std::int32_t {
    LOG_TASK_INIT = 0,
    LOG_TASK_STOP = 6,
};

class LogTask : public OruTask {
  public:
    LogTask();
    ~LogTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;
};
