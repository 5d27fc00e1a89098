// The "Controller Task": the service's main thread bound as a task, so that
// it can send requests to the other tasks and wait for their answers. It
// runs no task loop; a request or an unsolicited response sent to it is a
// fatal error.
#pragma once

#include "coresys/server/task/OruTask.h"

class ControllerTask : public OruTask {
  public:
    // Binds the calling thread.
    ControllerTask();

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;
    void ResponseHandler() override;
};
