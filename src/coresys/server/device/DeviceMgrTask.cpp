#include "coresys/server/device/DeviceMgrTask.h"

#include <cstdio>
#include <string>

#include "coresys/server/device/DeviceMgr.h"

namespace {

std::string TaskName(int number) {
    char name[OruTask::NAME_MAX_LEN + 1];
    std::snprintf(name, sizeof name, "DEVMGR%02d", number);
    return name;
}

}  // namespace

DeviceMgrTask::DeviceMgrTask(DeviceMgr& manager, int number)
    : OruTask(TaskName(number).c_str()), manager_(manager) {}

DeviceMgrTask::~DeviceMgrTask() {
    EndThread();
}

std::int32_t DeviceMgrTask::Dispatch(TaskRequest& request, TaskResponse*) {
    switch (request.code) {
        case DM_RESCAN:
            manager_.Rescan(nullptr);
            return 0;
        case DM_END:
            return DM_END;
        default:
            return 0;
    }
}
