#include "coresys/server/winnt/Service/ServiceTask.h"

#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/ServerText.h"

ServiceTask::ServiceTask() : OruTask("Service Task") {}

ServiceTask::~ServiceTask() {
    EndThread();
}

std::int32_t ServiceTask::Dispatch(TaskRequest& request, TaskResponse* response) {
    switch (request.code) {
        case SERVICE_TASK_ANSWER:
            if (response != nullptr) {
                response->result = 0;
            }
            return 0;
        case SERVICE_TASK_STOP:
            return 666;
        default: {
            std::string what = ServerText(TEXT_SERVICE_TASK_CODE);
            ServerFatalError("ServiceTask::Dispatch", what.c_str());
        }
    }
}
