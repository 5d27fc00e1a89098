#include "coresys/server/dispatch/ManagementDispatch.h"

#include "coresys/server/dispatch/AliasMsg.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/task/TaskRequest.h"

void InstallManagementDispatch() {
    OruLiteTask::SetMessageHandler(&RunManagementMessage);
}

bool RunManagementMessage(OruLiteTask& task, OruLite& monitor, TaskRequest& request,
                          ClientMessage& message) {
    switch (request.code) {
        case OL_ALIAS: {
            AliasMsg alias(message, &monitor);
            alias.do_message_action();
            alias.SendReply(request, task, message);
            return false;
        }
        case OL_PERF_METRICS:
        case OL_PERF_RECS:
            // The performance requests have message classes of their own,
            // which this release of the service does not run yet.
            return OruLiteTask::RefuseUnsupported(task, monitor, request, message);
        default: {
            ManagementMsg msg(message, &monitor, request.code == OL_CONTINUATION);
            msg.do_message_action();
            msg.SendReply(request, task, message);
            return false;
        }
    }
}
