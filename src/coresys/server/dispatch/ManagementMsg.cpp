#include "coresys/server/dispatch/ManagementMsg.h"

#include <memory>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/dispatch/DispatchText.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/net/DatagramClient.h"
#include "coresys/server/storsys/StorSys.h"
#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/task/TaskRequest.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Trace.h"

namespace {

// The subsystem page field a setting request changes; 0 for other requests.
std::uint32_t SubsystemField(std::uint32_t code) {
    switch (code) {
        case MC_Set_HotSpare:
            return FIELD_HOT_SPARE;
        case MC_Set_AutoRebuild:
            return FIELD_AUTO_REBUILD;
        case MC_Set_AutoInclude:
            return FIELD_AUTO_INCLUDE;
        case MC_Set_RebuildPriority:
            return FIELD_REBUILD_PRIORITY;
        case MC_Set_Parity:
            return FIELD_PARITY;
        case MC_Set_SDTR:
            return FIELD_SDTR;
        case MC_Set_WTDR:
            return FIELD_WDTR;
        case MC_Set_TerminatorPower:
            return FIELD_TERMINATOR_POWER;
        case MC_Set_FormatPatternFill:
            return FIELD_FORMAT_PATTERN_FILL;
        case MC_Set_DisableRemoteReset:
            return FIELD_DISABLE_REMOTE_RESET;
        case MC_Set_ControllerAddress:
            return FIELD_CONTROLLER_ADDRESS;
        case MC_Set_CapacityThreshold:
            return FIELD_CAPACITY_THRESHOLD;
        default:
            return 0;
    }
}

// The extension page field a controller option request changes; 0 for
// other requests.
std::uint32_t ControllerOptionField(std::uint32_t code) {
    switch (code) {
        case MC_Set_QueueFullThreshold:
            return FIELD_QUEUE_FULL_THRESHOLD;
        case MC_Set_SinglePathFailover:
            return FIELD_SINGLE_PATH_FAILOVER;
        case MC_Set_VeryEarlyBusy:
            return FIELD_VERY_EARLY_BUSY;
        case MC_Set_CreateLunLimit:
            return FIELD_CREATE_LUN_LIMIT;
        default:
            return 0;
    }
}

// The monitor of a record's serial number, looked up under the list lock.
OruLite* LocateSubsystem(const ClientMessage& message) {
    auto* manager = dynamic_cast<DeviceMgr*>(GetManager(DEVICE_MANAGER));
    if (manager == nullptr) {
        return nullptr;
    }
    ResourceHold hold(manager->SubsystemListLock());
    return manager->LocateOruLiteArray(message.serialNumber);
}

}  // namespace

ManagementMsg::ManagementMsg(const ClientMessage& message, OruLite* subsystem, bool continuation)
    : subsystem_(subsystem),
      reply_(*this, subsystem),
      client_(message.client),
      fromDatagram_(dynamic_cast<DatagramClient*>(message.client) != nullptr) {
    // The decoder reads a private copy: the record keeps its bytes for a
    // re-post.
    std::vector<unsigned char> bytes = message.bytes;
    decoded_ = !bytes.empty() &&
               DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())) &&
               !DecodeFailed() && length >= kWireLength;
    continuation_ = continuation && message.client == nullptr;
}

ManagementMsg::ManagementMsg(const ClientMessage& message)
    : ManagementMsg(message, LocateSubsystem(message)) {}

void ManagementMsg::do_message_action() {
    oruerr empty;
    if (!decoded_) {
        // The header was sound when the message was taken, but the values
        // are not all there: the client hears so instead of waiting.
        platform::Trace(DispatchText(DISPATCH_TEXT_BAD_MESSAGE), code, length);
        RejectRequest(ERR_INVALID_LENGTH, NO_QUALIFIER, DEVICEMGR, empty);
        return;
    }
    if (fromDatagram_ && code != MC_GrossStatus) {
        // Only the gross status is answered outside an authorized session.
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_COMMAND, DEVICEMGR, empty);
        return;
    }
    StorSys* active = subsystem_ != nullptr ? subsystem_->ActiveStorSys() : nullptr;
    if (active == nullptr) {
        // Until a controller is chosen (or after both slots emptied) there
        // is nothing to send a command to.
        RejectRequest(ERR_NO_CONTROLLER, NO_QUALIFIER, DEVICEMGR, empty);
        return;
    }
    Dispatch(*active);
}

void ManagementMsg::Dispatch(StorSys& active) {
    (void)active;  // the device hold and release hooks have nothing to do here
    switch (code) {
        case MC_FormatSubsystem:
            FormatSubsystem();
            return;
        case MC_GetState:
            GetState();
            return;
        case MC_InitiateClientEvent:
        case MC_TestAlarmMessage:
            TestAlarmMessage();
            return;
        case MC_Rescan:
            Rescan(true);
            return;
        case MC_RestartSubsystem:
            RestartSubsystem();
            return;
        case MC_ResetSubsystem:
            ResetSubsystem();
            return;
        case MC_SetPrimaryController:
            SetPrimaryController();
            return;
        case MC_ShutdownSubsystem:
            ShutdownSubsystem();
            return;
        case MC_StartRebuildOperation:
            RebuildOperation(true);
            return;
        case MC_StopRebuildOperation:
            RebuildOperation(false);
            return;
        case MC_CompareAndSwap:
            CompareAndSwap();
            return;
        case MC_GrossStatus:
            GrossStatus();
            return;
        case MC_CreateLUN:
            CreateLUN();
            return;
        case MC_DeleteLUN:
            DeleteLUN();
            return;
        case MC_RenumberLUN:
            RenumberLUN();
            return;
        case MC_FormatLUN:
            FormatLUN();
            return;
        case MC_ConfigureDefaultScsiSettings:
            ConfigureDefaultScsiSettings();
            return;
        case MC_Set_Linkage:
            Set_Linkage();
            return;
        case MC_SetResiliencyParameters:
            SetResiliencyParameters();
            return;
        case MC_Set_ReadCacheEnable:
            SetCacheEnable(FIELD_READ_CACHE);
            return;
        case MC_Set_WriteCacheEnable:
            SetCacheEnable(FIELD_WRITE_CACHE);
            return;
        case MC_RetryLogAfterError:
            RetryLogAfterError();
            return;
        case MC_FlushServerLog:
            FlushServerLog();
            return;
        case MC_AddPhysicalDrive:
            AddPhysicalDrive();
            return;
        case MC_DownPhysicalDrive:
            DownPhysicalDrive();
            return;
        case MC_ResetPhysicalDrive:
            ResetPhysicalDrive();
            return;
        case MC_TestPhysicalDrive:
        case MC_VerifyPhysicalDrive:
            // The continuation mark belongs to the service: a client that
            // sets it would run a step of a test it never started.
            if (value3 != 0 && !continuation_) {
                RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
                return;
            }
            DriveTest(static_cast<MESSAGE_CODE>(code));
            return;
        case MC_ClearDiagResults:
            ClearDiagResults();
            return;
        case MC_ReadControllerLog:
            ReadControllerLog();
            return;
        case MC_ReadDefectData:
            ReadDefectData();
            return;
        case MC_RecordDiagInfo:
        case MC_ClearDiagInfo:
            DiagInfo();
            return;
        case MC_Do_Prevention_Check:
            Do_Prevention_Check();
            return;
        default:
            // The settings that are one value of the subsystem or the
            // extension page.
            if (const std::uint32_t field = SubsystemField(code); field != 0) {
                SetParameter(field);
                return;
            }
            if (const std::uint32_t field = ControllerOptionField(code); field != 0) {
                SetControllerOption(field);
                return;
            }
            // The refused codes (2, 10, 11, 45) and codes outside the table.
            RefuseUnknown();
            return;
    }
}

void ManagementMsg::RefuseUnknown() {
    RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_COMMAND, DEVICEMGR, oruerr());
}

void ManagementMsg::SendReply(TaskRequest& request, OruLiteTask& task,
                              const ClientMessage& message) {
    reply_.SendReply(request, task, message);
}

void ManagementMsg::RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier,
                                  std::uint32_t moduleId, const oruerr& record) {
    reply_.RejectRequest(errorCode, qualifier, moduleId, record);
}

void ManagementMsg::SetErrorReply(const oruerr& record) {
    reply_.SetErrorReply(record);
}

void ManagementMsg::CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                                   std::uint32_t qualifier) {
    reply_.CompleteChange(succeeded, record, subsystem, qualifier);
}

void ManagementMsg::ScheduleContinuation(std::uint32_t disposition, std::uint32_t messageCode) {
    HeaderandValueMsg next(kWireLength, messageCode, version, handle, value1, 0, 1, 0);
    std::vector<unsigned char> bytes;
    unsigned char* coded = next.EncodeMsg();
    if (coded != nullptr) {
        bytes.assign(coded, coded + next.length);
        CodedBuff::FreeData(coded);
    }
    code = messageCode;
    reply_.SetReply(std::make_unique<OkStatus_RtnMsg>(*this, ServerReply::kStatusFinished),
                    disposition);
    reply_.SetContinuation(std::move(bytes));
}

void ManagementMsg::FinishCancelled(TaskRequest& request, OruLite* subsystem, bool replyToClient,
                                    ServerClient* client) {
    if (request.code == OL_CONTINUATION && client == nullptr) {
        // A step of a drive test: the test ends as cancelled, and that
        // travels through the drive's result and the events, never as a
        // reply.
        reply_.SetDisposition(DISP_NONE);
        if (decoded_ && subsystem != nullptr && subsystem == subsystem_) {
            FinishDriveTest(value1);
        }
        return;
    }
    if (code == MC_GrossStatus || client == nullptr) {
        return;
    }
    if (replyToClient) {
        RejectRequest(reply_.cancelError, NO_QUALIFIER, DEVICEMGR, oruerr());
        if (!reply_.ReplyBytes().empty()) {
            client->Reply(reply_.ReplyBytes());
        }
    } else {
        OruLite::SendImmediateStatus(client, *this, ServerReply::kStatusFinished);
    }
}

void ManagementMsg::ServerMessage(int textId) {
    DeviceMgr::PostDeviceNotice(DispatchText(textId));
}
