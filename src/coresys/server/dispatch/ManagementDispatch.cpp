#include "coresys/server/dispatch/ManagementDispatch.h"

#include "coresys/server/dispatch/AliasMsg.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/dispatch/PerfMsgs.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/task/TaskRequest.h"

void InstallManagementDispatch() {
    OruLiteTask::SetMessageHandler(&RunManagementMessage);
    OruLiteTask::SetCancelFinisher(&FinishCancelledMessage);
}

bool FinishCancelledMessage(OruLiteTask&, OruLite& monitor, TaskRequest& request,
                            ClientMessage& message, std::uint32_t cancelError) {
    if (request.code != OL_MANAGEMENT && request.code != OL_CONTINUATION) {
        return false;
    }
    ManagementMsg msg(message, &monitor, request.code == OL_CONTINUATION);
    msg.Reply().cancelError = cancelError;
    msg.FinishCancelled(request, &monitor, true, message.client);
    return true;
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
        case OL_PERF_METRICS: {
            PerfMetrics_Msg metrics(message, &monitor);
            metrics.do_message_action();
            metrics.SendReply(request, task, message);
            return false;
        }
        case OL_PERF_RECS: {
            PerfRecs_Msg recs(message, &monitor);
            recs.do_message_action();
            recs.SendReply(request, task, message);
            return false;
        }
        default: {
            ManagementMsg msg(message, &monitor, request.code == OL_CONTINUATION);
            msg.do_message_action();
            msg.SendReply(request, task, message);
            return false;
        }
    }
}
