// The device manager's task ("DEVMGR00"). Request 7 runs a rescan; every
// other code is ignored and the task goes on. The device manager ends it
// with request 666 before it ends the subsystem tasks.
#pragma once

#include "coresys/server/task/OruTask.h"

class DeviceMgr;

enum DEVMGR_REQUEST : std::int32_t { DM_RESCAN = 7, DM_END = 666 };

class DeviceMgrTask : public OruTask {
  public:
    DeviceMgrTask(DeviceMgr& manager, int number);
    ~DeviceMgrTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

  private:
    DeviceMgr& manager_;
};
