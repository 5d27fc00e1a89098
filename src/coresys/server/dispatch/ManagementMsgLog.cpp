// The handlers that act on the service's own log: the restart of a log that
// was suspended, and the flush of the logs before a reader looks at the
// files.
#include "coresys/common/OruErrors.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/winnt/Service/ServerManager.h"

namespace {

LogMgr* TheLogManager() {
    return dynamic_cast<LogMgr*>(GetManager(LOG_MANAGER));
}

}  // namespace

// A log that stays suspended after the attempt is refused: the client must
// not believe that its records are written again.
void ManagementMsg::RetryLogAfterError() {
    LogMgr* log = TheLogManager();
    if (log == nullptr) {
        RejectRequest(ERR_COMMAND_FAILED, RETRY_LOG, LOGGER, oruerr());
        return;
    }
    log->ResumeLog();
    if (log->IsLogSuspended()) {
        RejectRequest(ERR_COMMAND_FAILED, RETRY_LOG, LOGGER, oruerr());
        return;
    }
    CompleteChange(true, oruerr(), Subsystem(), RETRY_LOG);
}

// Every log shares the one write pool: its current block goes to the Log
// Task, and the answer waits until the Log Task has written every block, so
// a reader of the files that acts on the reply finds the records there.
void ManagementMsg::FlushServerLog() {
    LogMgr* log = TheLogManager();
    if (log == nullptr || !log->FlushToDisk()) {
        RejectRequest(ERR_COMMAND_FAILED, LOG_FLUSH, LOGGER, oruerr());
        return;
    }
    CompleteChange(true, oruerr(), Subsystem(), LOG_FLUSH);
}
