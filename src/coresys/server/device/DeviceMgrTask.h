// The device manager's task ("DEVMGR00"). It runs the device rescans
// (request 7), which come with the device layer; every request it does not
// act on is ignored and the task goes on. The device manager ends it by
// destroying it.
#pragma once

#include "coresys/server/task/OruTask.h"

class DeviceMgrTask : public OruTask {
  public:
    explicit DeviceMgrTask(int number);
    ~DeviceMgrTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;
};
