// The performance requests: metrics and recommendations of the subsystem
// over a time window, read from its log.
#include <functional>
#include <memory>
#include <vector>

#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/dispatch/DispatchText.h"
#include "coresys/server/dispatch/PerfMsgs.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Trace.h"

PerfRequestMsg::PerfRequestMsg(const ClientMessage& message, OruLite* subsystem, LogMgr* log)
    : ManagementMsg(message, subsystem), log_(log) {}

PerfRequestMsg::~PerfRequestMsg() = default;

bool PerfRequestMsg::Analyse(std::uint32_t expectedCode, const char* where, bool bodyDecoded,
                             const std::function<PerfFailure(PerfAnalysis&)>& run) {
    if (!Decoded() || !bodyDecoded) {
        RejectRequest(ERR_INVALID_LENGTH, NO_QUALIFIER, DEVICEMGR, oruerr());
        return false;
    }
    if (FromDatagram()) {
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_COMMAND, DEVICEMGR, oruerr());
        return false;
    }
    if (code != expectedCode) {
        ServerFatalError(where, "RCI> UNKNOWN MESSAGE CODE");
    }
    // The log answers, not the controllers: a subsystem whose controllers
    // are out of reach still has its history.
    LogMgr* log = log_ != nullptr ? log_ : dynamic_cast<LogMgr*>(GetManager(LOG_MANAGER));
    failure_ = PerfFailure::kNoRecord;
    if (log != nullptr && Subsystem() != nullptr) {
        analysis_ = std::make_unique<PerfAnalysis>(*log, Subsystem()->BackplaneId());
        failure_ = run(*analysis_);
    }
    if (failure_ == PerfFailure::kNone) {
        return true;
    }
    platform::Trace(DispatchText(DISPATCH_TEXT_PERF_FAILED), code,
                    Subsystem() != nullptr ? Subsystem()->BackplaneId() : "",
                    PerfFailureName(failure_));
    RejectRequest(ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE, NO_QUALIFIER, NO_MODULE_ID, oruerr());
    return false;
}

PerfMetrics_Msg::PerfMetrics_Msg(const ClientMessage& message, OruLite* subsystem, LogMgr* log)
    : PerfRequestMsg(message, subsystem, log) {
    // The identifiers follow the four values; the decoder takes them only
    // when all of them arrived.
    std::vector<unsigned char> bytes = message.bytes;
    identifiersDecoded_ =
        !bytes.empty() &&
        identifiers_.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())) &&
        !identifiers_.DecodeFailed();
}

void PerfMetrics_Msg::do_message_action() {
    const bool done =
        Analyse(MC_GetPerfMetrics, "PerfMetrics_Msg:do_message_action()", identifiersDecoded_,
                [this](PerfAnalysis& analysis) {
                    return analysis.Metrics(value1, value2, value3, identifiers_.metricIds,
                                            identifiers_.MetricCount());
                });
    if (!done) {
        return;
    }
    // The reply borrows the metric objects: they live as long as this
    // request, and the reply is coded before it ends.
    Reply().SetReply(std::make_unique<PerfMetrics_RtnMsg>(
        *this, ServerReply::kStatusFinished, analysis_->MetricCount(), analysis_->MetricArray()));
}

PerfRecs_Msg::PerfRecs_Msg(const ClientMessage& message, OruLite* subsystem, LogMgr* log)
    : PerfRequestMsg(message, subsystem, log) {}

void PerfRecs_Msg::do_message_action() {
    const bool done = Analyse(
        MC_GetPerfRecs, "PerfRecs_Msg:do_message_action()", true,
        [this](PerfAnalysis& analysis) { return analysis.Recommendations(value1, value2); });
    if (done) {
        Reply().SetReply(std::make_unique<PerfRecs_RtnMsg>(*this, ServerReply::kStatusFinished,
                                                           *analysis_->Recs()));
    }
}
