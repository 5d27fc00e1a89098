// The handlers that act on a subsystem as a whole.
#include <memory>

#include "coresys/common/Event.h"
#include "coresys/common/GrossStatus.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/dispatch/DispatchText.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/DriveSlotRecord.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/net/ConnectionMgr.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Clock.h"

namespace {

constexpr int kSelf = 0;          // ctl argument: the controller addressed
constexpr std::uint8_t kLun = 0;  // commands to the controller go to LUN 0
// RestartController modes: 1 restarts the whole subsystem, 0 the controller.
constexpr int kRestartWhole = 1;
constexpr int kRestartController = 0;
// Mode page 0x21 word: rebuild in progress.
constexpr int kRebuildInProgressWord = 4;
// Subsystem state value: rebuild needed.
constexpr int kRebuildNeededValue = 14;
// Exchange modes of the host sequence.
constexpr int kForced = 1;

oruerr ErrorOf(const ScsiResult& result) {
    return OruErrFromResult(result);
}

}  // namespace

bool ManagementMsg::ReadSubsystemState(StorSys& controller, SubsystemStateRecord& record,
                                       oruerr& error) {
    unsigned char block[SubsystemStateRecord::kBlockLength] = {};
    ScsiResult result;
    if (controller.ReadSubsystemState(kSelf, SubsystemStateRecord::kBlockLength, block, result) ==
        0) {
        error = ErrorOf(result);
        return false;
    }
    controller.DecodeSubsystemState(block, SubsystemStateRecord::kBlockLength, record);
    return true;
}

bool ManagementMsg::WaitForSubsystemReady(StorSys& controller, std::uint64_t initialDelayMs) {
    platform::SleepMs(initialDelayMs);
    ScsiResult sense;
    controller.ReadSense(kLun, nullptr, sense);
    controller.ReadSense(kLun, nullptr, sense);
    for (int poll = 0; poll < kReadyPolls; ++poll) {
        SubsystemStateRecord record;
        oruerr error;
        if (ReadSubsystemState(controller, record, error) && record.value[1] != kStateNotReady) {
            return true;
        }
        platform::SleepMs(kReadyPollMs);
    }
    return false;
}

void ManagementMsg::GetState() {
    if (reply_.InstallFreshState(*subsystem_, ERR_COMMAND_FAILED, GET_STATE) == nullptr) {
        return;
    }
    auto reply = std::make_unique<State_RtnMsg>(subsystem_->CurrentState(), subsystem_,
                                                ServerReply::kStatusFinished);
    reply->ReplyTo(*this);
    reply_.SetReply(std::move(reply));
}

void ManagementMsg::GrossStatus() {
    const ServerDiskArrayState* state = subsystem_->CurrentState();
    // A subsystem whose last read failed has no gross status, even when an
    // older valid state is still at hand.
    if (state == nullptr || !state->Valid() || subsystem_->StateInvalid()) {
        RejectRequest(ERR_COMMAND_GOOD_NO_DAS, NO_QUALIFIER, DEVICEMGR, oruerr());
        return;
    }
    ::GrossStatus gross(*state);
    reply_.SetReply(
        std::make_unique<GrossStatus_ReturnMsg>(*this, ServerReply::kStatusFinished, gross));
}

void ManagementMsg::TestAlarmMessage() {
    // The alarm test reaches every session of this subsystem.
    Event_RtnMsg alarm;
    alarm.events.Append(new Event(SSW, SSW_ALARM_TEST, 0, 0));
    unsigned char* bytes = alarm.EncodeMsg();
    auto* connections = dynamic_cast<ConnectionMgr*>(GetManager(CONNECTION_MANAGER));
    if (connections != nullptr) {
        connections->Broadcast(bytes, alarm.length, subsystem_->BackplaneId());
    } else {
        CodedBuff::FreeData(bytes);
    }
    CompleteChange(true, oruerr(), subsystem_, ALARM_TEST);
}

void ManagementMsg::Rescan(bool replyWanted) {
    auto* manager = dynamic_cast<DeviceMgr*>(GetManager(DEVICE_MANAGER));
    if (manager != nullptr) {
        manager->RequestRescan();
    }
    if (replyWanted) {
        CompleteChange(true, oruerr(), subsystem_, RESCAN);
    }
}

void ManagementMsg::ShutdownSubsystem() {
    StorSys& active = *subsystem_->ActiveStorSys();
    SubsystemStateRecord state;
    oruerr error;
    if (!ReadSubsystemState(active, state, error)) {
        RejectRequest(ERR_COMMAND_FAILED, CHECK_SUBSYSTEM_STATE, SUBSYSTEM, error);
        return;
    }
    if (state.value[1] == kStateShutDown) {
        RejectRequest(ERR_COMMAND_FAILED, ALREADY_SHUTDOWN, DEVICEMGR, oruerr());
        return;
    }
    ScsiResult result;
    const bool done = active.ShutdownSubsystem(result) != 0;
    CompleteChange(done, ErrorOf(result), subsystem_, SHUTDOWN_SUBSYSTEM);
    if (done) {
        ServerMessage(DISPATCH_TEXT_SHUTDOWN_OK);
    }
}

void ManagementMsg::RestartSubsystem() {
    StorSys& active = *subsystem_->ActiveStorSys();
    SubsystemStateRecord state;
    oruerr error;
    if (!ReadSubsystemState(active, state, error)) {
        RejectRequest(ERR_COMMAND_FAILED, CHECK_SUBSYSTEM_STATE, SUBSYSTEM, error);
        return;
    }
    if (state.value[1] != kStateShutDown) {
        RejectRequest(ERR_COMMAND_FAILED, SUBSYSTEM_NOT_SHUTDOWN, DEVICEMGR, oruerr());
        return;
    }
    ScsiResult result;
    if (active.RestartController(kRestartWhole, result) == 0) {
        ServerMessage(DISPATCH_TEXT_RESTART_FAILED);
        RejectRequest(ERR_COMMAND_FAILED, RESET_SUBSYSTEM, SUBSYSTEM, ErrorOf(result));
        return;
    }
    if (WaitForSubsystemReady(active, kRestartDelayMs)) {
        ServerMessage(DISPATCH_TEXT_RESTART_OK);
        CompleteChange(true, oruerr(), subsystem_, RESET_SUBSYSTEM);
    } else {
        ServerMessage(DISPATCH_TEXT_RESTART_UNKNOWN);
        RejectRequest(ERR_COMMAND_FAILED, RESET_LOOP_TIMEOUT, DEVICEMGR, oruerr());
    }
}

void ManagementMsg::ResetSubsystem() {
    StorSys& active = *subsystem_->ActiveStorSys();
    ScsiResult result;
    if (active.RestartController(kRestartController, result) == 0) {
        RejectRequest(ERR_COMMAND_FAILED, RESET_SUBSYSTEM, SUBSYSTEM, ErrorOf(result));
        return;
    }
    if (WaitForSubsystemReady(active, kResetDelayMs)) {
        CompleteChange(true, oruerr(), subsystem_, RESET_SUBSYSTEM);
    } else {
        RejectRequest(ERR_COMMAND_FAILED, RESET_LOOP_TIMEOUT, DEVICEMGR, oruerr());
    }
}

void ManagementMsg::SetPrimaryController() {
    const ServerDiskArrayState* state = subsystem_->CurrentState();
    const std::uint32_t count = state != nullptr ? state->ControllerCount() : 2;
    // A number inside the count can still name an empty slot (a subsystem
    // with one controller): that is no controller either.
    StorSys* target =
        value1 < count && value1 < 2 ? subsystem_->Controller(static_cast<int>(value1)) : nullptr;
    if (target == nullptr) {
        RejectRequest(ERR_COMMAND_FAILED, CONTROLLER_NOT_PRESENT, DEVICEMGR, oruerr());
        return;
    }
    if (static_cast<int>(value1) == subsystem_->ActiveController()) {
        RejectRequest(ERR_COMMAND_FAILED, CONTROLLER_ALREADY_ACTIVE, DEVICEMGR, oruerr());
        return;
    }
    ScsiResult result;
    if (target->SwitchController(result) == 0) {
        CompleteChange(false, ErrorOf(result), subsystem_, TAKE_CONTROL);
        return;
    }
    if (WaitForSubsystemReady(*target, kRestartDelayMs)) {
        CompleteChange(true, oruerr(), subsystem_, TAKE_CONTROL);
    } else {
        RejectRequest(ERR_COMMAND_FAILED, RESET_LOOP_TIMEOUT, DEVICEMGR, oruerr());
    }
}

void ManagementMsg::FormatSubsystem() {
    // The command carries the argument in one byte: a larger one would
    // silently become another format.
    if (value1 > kMaxFormatArgument) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    const ServerDiskArrayState* state = subsystem_->CurrentState();
    std::uint32_t drives = state != nullptr ? state->DriveCount() : OruLite::kDriveSlots;
    if (drives > OruLite::kDriveSlots) {
        drives = OruLite::kDriveSlots;
    }
    for (std::uint32_t slot = 0; slot < drives; ++slot) {
        if (subsystem_->DriveSlot(slot).writeReadState == DriveSlotRecord::kStateRunning) {
            RejectRequest(ERR_COMMAND_FAILED, DIAG_RUNNING, DEVICEMGR, oruerr());
            return;
        }
    }
    ScsiResult result;
    const bool done = subsystem_->ActiveStorSys()->FormatSubsystem(
                          static_cast<std::uint8_t>(value1), result) != 0;
    CompleteChange(done, ErrorOf(result), subsystem_, FORMAT_SUBSYSTEM);
}

void ManagementMsg::RebuildOperation(bool start) {
    StorSys& active = *subsystem_->ActiveStorSys();
    ModePage21Record page;
    ScsiResult pageResult;
    if (active.ReadModePage21(kLun, page, pageResult) == 0) {
        CompleteChange(false, ErrorOf(pageResult), subsystem_, MODE_SENSE);
        return;
    }
    const bool inProgress = page.word[kRebuildInProgressWord] != 0;
    ScsiResult result;
    bool done = false;
    if (start) {
        SubsystemStateRecord state;
        oruerr error;
        if (!ReadSubsystemState(active, state, error)) {
            RejectRequest(ERR_COMMAND_FAILED, CHECK_SUBSYSTEM_STATE, SUBSYSTEM, error);
            return;
        }
        if (state.value[kRebuildNeededValue] == 0) {
            RejectRequest(ERR_COMMAND_FAILED, NO_REBUILD_NEEDED, DEVICEMGR, oruerr());
            return;
        }
        if (inProgress) {
            RejectRequest(ERR_COMMAND_FAILED, REBUILD_IN_PROGRESS, DEVICEMGR, oruerr());
            return;
        }
        done = active.StartRebuild(result) != 0;
    } else {
        if (!inProgress) {
            RejectRequest(ERR_COMMAND_FAILED, NO_REBUILD_IN_PROGRESS, DEVICEMGR, oruerr());
            return;
        }
        done = active.StopRebuild(result) != 0;
    }
    // The controller needs a while before its pages show the new rebuild
    // state; the state read below would otherwise report the old one.
    platform::SleepMs(kRebuildSettleMs);
    CompleteChange(done, ErrorOf(result), subsystem_, start ? REBUILD : CANCEL_REBUILD);
}

void ManagementMsg::CompareAndSwap() {
    std::uint16_t number = subsystem_->SequenceNumber();
    bool done = subsystem_->ExchangeSequence(kForced, number, kLockTakeValue);
    if (done) {
        // The value travels in a 16-bit field: 0xFFFF + 2 is sent as 1, and
        // the controller and the service both read it so.
        const std::uint32_t next = (static_cast<std::uint32_t>(number) + 2) & 0xFFFF;
        done = subsystem_->ExchangeSequence(kForced, number, next);
    }
    CompleteChange(done, oruerr(), subsystem_, QUAL_COMPARE_AND_SWAP);
}
