#include "coresys/server/winnt/Service/ControllerTask.h"

#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/ServerText.h"

ControllerTask::ControllerTask() : OruTask(BindToCurrentThread{}, "Controller Task") {}

std::int32_t ControllerTask::Dispatch(TaskRequest& request, TaskResponse*) {
    std::string what = ServerText(TEXT_CONTROLLER_DISPATCH, static_cast<unsigned>(request.code));
    ServerFatalError("ControllerTask::Dispatch", what.c_str());
}

void ControllerTask::ResponseHandler() {
    ServerFatalError("ControllerTask::ResponseHandler",
                     "The controller has received an unsolicited response");
}
