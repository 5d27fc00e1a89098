#include "coresys/server/device/DeviceMgrTask.h"

#include <cstdio>
#include <string>

namespace {

std::string TaskName(int number) {
    char name[OruTask::NAME_MAX_LEN + 1];
    std::snprintf(name, sizeof name, "DEVMGR%02d", number);
    return name;
}

}  // namespace

DeviceMgrTask::DeviceMgrTask(int number) : OruTask(TaskName(number).c_str()) {}

DeviceMgrTask::~DeviceMgrTask() {
    EndThread();
}

std::int32_t DeviceMgrTask::Dispatch(TaskRequest&, TaskResponse*) {
    return 0;
}
