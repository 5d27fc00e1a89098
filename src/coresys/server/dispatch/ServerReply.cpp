#include "coresys/server/dispatch/ServerReply.h"

#include <cstring>
#include <utility>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/task/TaskRequest.h"

ServerReply::ServerReply(const ORU_Message& request, OruLite* subsystem)
    : request_(request), subsystem_(subsystem) {}

void ServerReply::SetReply(std::unique_ptr<ORU_ReturnMsg> reply, std::uint32_t disposition) {
    reply_ = std::move(reply);
    replyBytes_.clear();
    disposition_ = disposition;
    if (reply_ == nullptr) {
        return;
    }
    unsigned char* bytes = reply_->EncodeMsg();
    if (bytes != nullptr) {
        replyBytes_.assign(bytes, bytes + reply_->length);
        CodedBuff::FreeData(bytes);
    }
}

void ServerReply::ReplyOk() {
    SetReply(std::make_unique<OkStatus_RtnMsg>(request_, kStatusFinished));
}

void ServerReply::RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier,
                                std::uint32_t moduleId, const oruerr& record) {
    SetErrorReply(MakeOruErr(record, errorCode, qualifier, moduleId));
}

void ServerReply::SetErrorReply(const oruerr& record) {
    SetReply(std::make_unique<OruErrStatus_RtnMsg>(request_, kStatusFinished, record));
}

void ServerReply::CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                                 std::uint32_t qualifier) {
    if (!succeeded) {
        RejectRequest(ERR_COMMAND_FAILED, qualifier, SUBSYSTEM, record);
        return;
    }
    if (subsystem == nullptr) {
        RejectRequest(ERR_NO_CONTROLLER, NO_QUALIFIER, DEVICEMGR, oruerr());
        return;
    }
    // Every successful change is followed by a full state read, so the
    // events of everything that changed go out before the requester hears
    // that its change is done.
    if (InstallFreshState(*subsystem, ERR_COMMAND_GOOD_NO_DAS, qualifier) != nullptr) {
        ReplyOk();
    }
}

const ServerDiskArrayState* ServerReply::InstallFreshState(OruLite& subsystem,
                                                           std::uint32_t errorCode,
                                                           std::uint32_t qualifier) {
    auto fresh = std::make_unique<ServerDiskArrayState>(subsystem);
    if (!fresh->Valid()) {
        subsystem.SetStateInvalid(true);
        RejectRequest(errorCode, qualifier, SUBSYSTEM, fresh->Error());
        return nullptr;
    }
    subsystem.SetStateInvalid(false);
    if (subsystem.CurrentState() != nullptr) {
        subsystem.CompareStates(*subsystem.CurrentState(), *fresh);
    }
    subsystem.SetCurrentState(std::move(fresh));
    return subsystem.CurrentState();
}

void ServerReply::SetContinuation(std::vector<unsigned char> bytes, std::uint32_t delayMs) {
    continuation_ = std::move(bytes);
    delayMs_ = delayMs;
}

void ServerReply::SendReply(TaskRequest&, OruLiteTask& task, const ClientMessage& message) {
    const bool send = disposition_ == DISP_REPLY || disposition_ == DISP_REPLY_AND_CONTINUE;
    const bool repost = disposition_ == DISP_CONTINUE || disposition_ == DISP_REPLY_AND_CONTINUE;
    if (send && message.client != nullptr && !replyBytes_.empty()) {
        message.client->Reply(replyBytes_);
    }
    if (repost && !continuation_.empty()) {
        // The next step travels without a client: only the service itself
        // makes continuation requests, and a client cannot pass for one.
        auto next = std::make_unique<ClientMessage>();
        next->subsystemNumber = message.subsystemNumber;
        next->client = nullptr;
        std::memcpy(next->serialNumber, message.serialNumber, sizeof next->serialNumber);
        next->serialNumber[sizeof next->serialNumber - 1] = '\0';
        next->bytes = continuation_;
        task.PostMessage(OL_CONTINUATION, std::move(next), delayMs_, false, request_.code);
    }
    if (repost) {
        continuation_.clear();
    }
}
