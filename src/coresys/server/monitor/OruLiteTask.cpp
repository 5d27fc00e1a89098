#include "coresys/server/monitor/OruLiteTask.h"

#include <cstdio>
#include <ctime>
#include <shared_mutex>
#include <string>
#include <utility>

#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/RequestMsgs.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/DeviceText.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/task/ServerFatal.h"
#include "platform/Trace.h"

namespace {

constexpr std::uint32_t kStatusStarted = 2;
constexpr std::uint32_t kStatusFinished = 1;

std::shared_mutex g_handlerLock;
OruLiteTask::MessageHandler g_handler;
OruLiteTask::CancelFinisher g_finisher;

std::string TaskName(int slot) {
    char name[OruTask::NAME_MAX_LEN + 1];
    std::snprintf(name, sizeof name, "ORULITE_%02X", static_cast<unsigned>(slot));
    return name;
}

// The error reply of the service's own checks: status 1, kind 10, a record
// with its three trailing values set.
int SendErrorReply(ServerClient* client, const ORU_Message& request, std::uint32_t errorCode,
                   std::uint32_t qualifier) {
    oruerr record;
    record.errorCode = errorCode;
    record.qualifier = qualifier;
    record.moduleId = DEVICEMGR;
    OruErrStatus_RtnMsg reply(request, kStatusFinished, record);
    return OruLite::SendReply(client, reply);
}

// The header of a message whose bytes were checked when it was submitted.
bool DecodeHeader(const ClientMessage& message, ORU_Message& header) {
    std::vector<unsigned char> bytes = message.bytes;
    return !bytes.empty() &&
           header.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// A request that only reads (the state, the performance records, raw
// diagnostic data, the controller's log without copying it into the
// service's log): for a client that has gone it need not run at all.
bool OnlyReads(const ClientMessage& message, const ORU_Message& header) {
    switch (header.code) {
        case MC_GetPerfMetrics:
        case MC_GetPerfRecs:
        case MC_GetState:
        case MC_ReadDefectData:
        case MC_RecordDiagInfo:
            return true;
        case MC_ReadControllerLog: {
            HeaderandValueMsg request;
            std::vector<unsigned char> bytes = message.bytes;
            return request.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())) &&
                   request.value3 == 0;
        }
        default:
            return false;
    }
}

}  // namespace

void OruLiteTask::SetMessageHandler(MessageHandler handler) {
    std::unique_lock<std::shared_mutex> hold(g_handlerLock);
    g_handler = std::move(handler);
}

void OruLiteTask::SetCancelFinisher(CancelFinisher finisher) {
    std::unique_lock<std::shared_mutex> hold(g_handlerLock);
    g_finisher = std::move(finisher);
}

OruLiteTask::OruLiteTask(DeviceMgr& manager, int slot)
    : OruTask(TaskName(slot).c_str()), manager_(manager), slot_(slot) {}

OruLiteTask::~OruLiteTask() {
    EndThread();
    // Requests that never ran (timers not yet due, messages behind the end
    // request) still own their records.
    std::set<ClientMessage*> left;
    {
        std::lock_guard<std::mutex> hold(outstandingLock_);
        left.swap(outstanding_);
    }
    for (ClientMessage* message : left) {
        Finish(std::unique_ptr<ClientMessage>(message));
    }
}

void OruLiteTask::RemoveUser() {
    std::uint32_t count = userCount_.load();
    while (count > 0 && !userCount_.compare_exchange_weak(count, count - 1)) {
    }
}

void OruLiteTask::Finish(std::unique_ptr<ClientMessage> message) {
    if (message != nullptr && message->client != nullptr) {
        message->client->Done();
    }
}

void OruLiteTask::Forget(ClientMessage* message) {
    std::lock_guard<std::mutex> hold(outstandingLock_);
    outstanding_.erase(message);
}

bool OruLiteTask::PostMessage(std::int32_t code, std::unique_ptr<ClientMessage> message,
                              std::uint64_t delayMs, bool front, std::intptr_t subCode,
                              std::intptr_t interval, std::intptr_t requeued) {
    TaskRequest request;
    request.code = code;
    request.args[OL_ARG_SUBCODE] = subCode;
    request.args[OL_ARG_INTERVAL] = interval;
    request.args[OL_ARG_REQUEUED] = requeued;
    ClientMessage* raw = message.get();
    request.args[OL_ARG_MESSAGE] = reinterpret_cast<std::intptr_t>(raw);
    {
        std::lock_guard<std::mutex> hold(outstandingLock_);
        outstanding_.insert(raw);
    }
    message.release();
    if (SendRequest(request, delayMs, front) != 0) {
        // The task is ending: the record never reaches Dispatch.
        Forget(raw);
        Finish(std::unique_ptr<ClientMessage>(raw));
        return false;
    }
    return true;
}

void OruLiteTask::ResponseHandler() {
    while (NextResponse().responseId != 0) {
    }
    platform::Trace("%s\n", DeviceText(DTEXT_NO_ACTION).c_str());
}

std::int32_t OruLiteTask::Dispatch(TaskRequest& request, TaskResponse*) {
    if (request.code == OL_PARK) {
        isParked_.store(true);
        parked_.Post();
        resume_.Wait(0);
        isParked_.store(false);
        return 0;
    }
    if (request.code == OL_END) {
        return OL_END;
    }
    auto* raw = reinterpret_cast<ClientMessage*>(request.args[OL_ARG_MESSAGE]);
    if (raw == nullptr) {
        return 0;
    }
    Forget(raw);
    std::unique_ptr<ClientMessage> message(raw);

    manager_.LocksubSysInUse();
    OruLite* monitor = manager_.LocateOruLiteArray(message->serialNumber);
    std::uint32_t number = 0;
    bool valid = monitor != nullptr && manager_.FindListNumber(monitor, number);
    if (valid && request.code == OL_TIMER) {
        valid = number == message->subsystemNumber;
    }
    if (!valid) {
        // The subsystem was dropped or replaced: the request goes, its client
        // is told it is done.
        manager_.ReleasesubSysInUse();
        Finish(std::move(message));
        return 0;
    }
    monitor->SelectActiveController();
    bool keep = false;
    switch (request.code) {
        case OL_MANAGEMENT:
        case OL_CONTINUATION:
        case OL_PERF_METRICS:
        case OL_PERF_RECS:
        case OL_ALIAS:
            HandleMessage(*monitor, request, *message, keep);
            break;
        case OL_CANCEL:
            HandleCancel(*monitor, request, *message, keep);
            break;
        case OL_TIMER:
            SM_Dispatch(*monitor, request);
            break;
        default:
            break;
    }
    if (keep) {
        // Re-posted: the new request owns the record now.
        message.release();
    } else {
        Finish(std::move(message));
    }
    manager_.ReleasesubSysInUse();
    return 0;
}

void OruLiteTask::SM_Dispatch(OruLite& monitor, TaskRequest& request) {
    switch (request.args[OL_ARG_SUBCODE]) {
        case OL_TIMER_MONITOR:
            monitor.MonitorCycle(request);
            break;
        case OL_TIMER_PREVENTIVE:
            monitor.PreventiveCheck(request);
            break;
        default:
            platform::Trace("%s", DeviceText(DTEXT_UNKNOWN_SUBCODE,
                                             static_cast<int>(request.args[OL_ARG_SUBCODE]))
                                      .c_str());
            break;
    }
}

void OruLiteTask::HandleMessage(OruLite& monitor, TaskRequest& request, ClientMessage& message,
                                bool& keep) {
    if (monitor.PendingFlag() && CheckPending(monitor, request, message)) {
        return;
    }
    ORU_Message header;
    if (!DecodeHeader(message, header)) {
        return;
    }
    if (request.code != OL_CONTINUATION && message.client != nullptr && message.client->Gone() &&
        OnlyReads(message, header)) {
        // Nobody waits for the answer: the read is dropped unstarted. A
        // change the client asked for still runs, in its turn.
        platform::Trace("%s - request %u of a client that has gone dropped\n", Name(), header.code);
        return;
    }
    if (request.code != OL_CONTINUATION && header.code != MC_GrossStatus) {
        OruLite::SendImmediateStatus(message.client, header, kStatusStarted);
    }
    MessageHandler handler;
    {
        std::shared_lock<std::shared_mutex> hold(g_handlerLock);
        handler = g_handler;
    }
    keep = handler ? handler(*this, monitor, request, message)
                   : RefuseUnsupported(*this, monitor, request, message);
}

bool OruLiteTask::RefuseUnsupported(OruLiteTask&, OruLite&, TaskRequest&, ClientMessage& message) {
    ORU_Message header;
    if (DecodeHeader(message, header)) {
        SendErrorReply(message.client, header, ERR_COMMAND_FAILED, UNKNOWN_COMMAND);
    }
    return false;
}

bool OruLiteTask::CheckPending(OruLite& monitor, TaskRequest& request, ClientMessage& message) {
    ORU_Message header;
    if (!DecodeHeader(message, header)) {
        return false;
    }
    std::vector<PendingCommand>& pending = monitor.PendingCommands();
    if (pending.empty()) {
        monitor.SetPendingFlag(false);
        return false;
    }
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (it->match != header.handle) {
            continue;
        }
        PendingCommand entry = *it;
        pending.erase(it);
        // The cancelled command's own client learns it was cancelled (a
        // drive test's step ends its test instead); the canceller gets its
        // cancel finished, over the cancel's own handle.
        CancelFinisher finisher;
        {
            std::shared_lock<std::shared_mutex> hold(g_handlerLock);
            finisher = g_finisher;
        }
        const bool finished =
            finisher && finisher(*this, monitor, request, message, ERR_COMMAND_CANCELLED);
        if (!finished && header.code != MC_GrossStatus) {
            SendErrorReply(message.client, header, ERR_COMMAND_CANCELLED, NO_QUALIFIER);
        }
        ORU_Message cancel;
        cancel.handle = entry.origin;
        cancel.version = entry.version;
        OruLite::SendImmediateStatus(entry.client, cancel, kStatusFinished);
        if (pending.empty()) {
            monitor.SetPendingFlag(false);
        }
        return true;
    }
    return false;
}

void OruLiteTask::HandleCancel(OruLite& monitor, TaskRequest& request, ClientMessage& message,
                               bool& keep) {
    HeaderandValueMsg cancel;
    std::vector<unsigned char> bytes = message.bytes;
    if (bytes.empty() ||
        !cancel.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
        ORU_Message header;
        if (DecodeHeader(message, header)) {
            SendErrorReply(message.client, header, ERR_CANCEL_FAILED, NO_QUALIFIER);
        }
        return;
    }
    const CommandHandle target(cancel.value1, cancel.value2);
    std::vector<PendingCommand>& pending = monitor.PendingCommands();
    if (request.args[OL_ARG_REQUEUED] == 0) {
        OruLite::SendImmediateStatus(message.client, cancel, kStatusStarted);
        PendingCommand entry;
        entry.client = message.client;
        entry.match = target;
        entry.origin = cancel.handle;
        entry.version = cancel.version;
        entry.entered = static_cast<std::int64_t>(std::time(nullptr));
        pending.push_back(entry);
        monitor.SetPendingFlag(true);
        // Behind every message queued now: if the command is among them, it
        // is caught before this second pass.
        std::unique_ptr<ClientMessage> again(&message);
        keep = PostMessage(OL_CANCEL, std::move(again), 0, false, 0, 0, 1);
        if (!keep) {
            // PostMessage finished the record already; nothing else owns it.
            keep = true;
        }
        return;
    }
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (it->client == message.client && it->match == target) {
            pending.erase(it);
            SendErrorReply(message.client, cancel, ERR_CANCEL_FAILED, NO_QUALIFIER);
            break;
        }
    }
    if (pending.empty()) {
        monitor.SetPendingFlag(false);
    }
}
