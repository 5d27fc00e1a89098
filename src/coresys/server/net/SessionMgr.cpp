#include "coresys/server/net/SessionMgr.h"

#include "coresys/server/task/ServerFatal.h"

SessionMgr::SessionMgr() : OruTask("SessionMgr") {}

SessionMgr::~SessionMgr() {
    TaskRequest stop;
    stop.code = SM_STOP;
    Request(stop);
    EndThread();
}

std::int32_t SessionMgr::Dispatch(TaskRequest& request, TaskResponse*) {
    switch (request.code) {
        case SM_SETUP:
            deviceMgr_ = GetManager(DEVICE_MANAGER);
            return 0;
        case SM_STOP:
            return 1;
        default:
            ServerFatalError("SessionMgr::Dispatch", "Bad SM TASK");
    }
}
