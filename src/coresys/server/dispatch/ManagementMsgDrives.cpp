// The handlers that act on one drive slot: include, down and reset a drive,
// and the two long drive tests (verify and write/read test) with the
// clearing of their results.
#include <algorithm>

#include "coresys/common/OruErrors.h"
#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/diag/DriveTestRecord.h"
#include "coresys/server/dispatch/DiagPublisher.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"
#include "platform/Clock.h"

namespace {

// Drive states of the controller's record.
constexpr std::uint32_t kDriveIncluded = 0;
constexpr std::uint32_t kDriveDown = 3;
constexpr std::uint32_t kDriveForeign = 5;
// The down command carries the allowance in two bits and the further value
// in the six above them.
constexpr std::uint32_t kMaxAllowance = 2;
constexpr std::uint32_t kMaxDownValue = 63;
// The drive address travels in one byte of the commands.
constexpr std::uint32_t kMaxDriveAddress = 255;
// After a drive reset: the drive's own start, then the second look.
constexpr std::uint64_t kResetSettleMs = 1000;
constexpr std::uint64_t kReadyRecheckMs = 10;

}  // namespace

bool ManagementMsg::DriveSlotValid(std::uint32_t slot) const {
    const ServerDiskArrayState* state = subsystem_->CurrentState();
    const std::uint32_t count = std::min<std::uint32_t>(
        state != nullptr ? state->DriveCount() : OruLite::kDriveSlots, OruLite::kDriveSlots);
    return slot < count;
}

bool ManagementMsg::ReadDriveState(std::uint32_t slot, std::uint32_t& driveState) {
    std::uint32_t word[6] = {};
    ScsiResult result;
    if (subsystem_->ActiveStorSys()->ReadPhysicalDriveState(static_cast<std::uint8_t>(slot), word,
                                                            result) == 0) {
        RejectRequest(ERR_COMMAND_FAILED, CHECK_PHY_DRIVE_STATE, SUBSYSTEM,
                      OruErrFromResult(result));
        return false;
    }
    driveState = word[0];
    return true;
}

void ManagementMsg::AddPhysicalDrive() {
    if (!DriveSlotValid(value1)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    if (subsystem_->DriveSlot(value1).writeReadState == DriveTestRecord::kStateRunning) {
        RejectRequest(ERR_COMMAND_FAILED, DIAG_RUNNING, DEVICEMGR, oruerr());
        return;
    }
    std::uint32_t driveState = 0;
    if (!ReadDriveState(value1, driveState)) {
        return;
    }
    if (driveState == kDriveIncluded) {
        RejectRequest(ERR_COMMAND_FAILED, DRIVE_ALREADY_INCLUDED, DEVICEMGR, oruerr());
        return;
    }
    ScsiResult result;
    const bool done = subsystem_->ActiveStorSys()->AddPhysicalDrive(
                          static_cast<std::uint8_t>(value1), result) != 0;
    CompleteChange(done, OruErrFromResult(result), subsystem_, ADD_PHYS_DRIVE);
}

void ManagementMsg::DownPhysicalDrive() {
    if (!DriveSlotValid(value1)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    // The command carries both values in one byte: an allowance or value
    // that does not fit would reach the array as another one (an allowance
    // of 6 would allow the loss of data).
    if (value2 > kMaxAllowance || value3 > kMaxDownValue) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    std::uint32_t driveState = 0;
    if (!ReadDriveState(value1, driveState)) {
        return;
    }
    ScsiResult result;
    const bool done = subsystem_->ActiveStorSys()->DownPhysicalDrive(
                          value3, value2, static_cast<std::uint8_t>(value1), result) != 0;
    if (driveState == kDriveDown && done) {
        // Nothing failed, but nothing changed either: the client is told so.
        RejectRequest(ERR_NO_FAIL, DRIVE_DOWN_DUPLICATION, DEVICEMGR, oruerr());
        return;
    }
    CompleteChange(done, OruErrFromResult(result), subsystem_, DOWN_PHYSICAL_DRIVE);
}

void ManagementMsg::ResetPhysicalDrive() {
    // Any slot goes to the array, which judges it; a number the command's
    // byte cannot carry would reset another drive.
    if (value1 > kMaxDriveAddress) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    StorSys& active = *subsystem_->ActiveStorSys();
    const auto drive = static_cast<std::uint8_t>(value1);
    ScsiResult result;
    if (active.ResetPhysicalDrive(drive, result) == 0) {
        RejectRequest(ERR_COMMAND_FAILED, RESET_PHYSICAL_DRIVE, DIAGNOSTIC,
                      OruErrFromResult(result));
        return;
    }
    // The first look at a reset drive takes its unit attention; the second
    // tells whether it came back.
    platform::SleepMs(kResetSettleMs);
    active.DriveTestUnitReady(drive, result);
    platform::SleepMs(kReadyRecheckMs);
    const bool ready = active.DriveTestUnitReady(drive, result) != 0;
    CompleteChange(ready, OruErrFromResult(result), subsystem_, RESET_PHYSICAL_DRIVE);
}

void ManagementMsg::DriveTest(MESSAGE_CODE testCode) {
    if (continuation_) {
        DriveTestStep(testCode);
        return;
    }
    if (!DriveSlotValid(value1)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    DriveTestRecord& record = subsystem_->DriveSlot(value1);
    if (record.DiagnosticRunning()) {
        RejectRequest(ERR_COMMAND_FAILED, DIAG_RUNNING, DEVICEMGR, oruerr());
        return;
    }
    // The share is a percentage: more than all of the drive is no request.
    if (value2 > DriveTestRecord::kMaxPercent) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    const bool writeRead = testCode == MC_TestPhysicalDrive;
    if (writeRead) {
        // The test overwrites what it covers: never a drive that holds an
        // array's data, whatever the client checked.
        std::uint32_t driveState = 0;
        if (!ReadDriveState(value1, driveState)) {
            return;
        }
        if (DriveTestRecord::HoldsArrayData(driveState) || driveState == kDriveForeign) {
            RejectRequest(ERR_COMMAND_FAILED, WRITE_READ_TEST, DEVICEMGR, oruerr());
            return;
        }
    }
    DiagPublisher publisher(*subsystem_);
    publisher.ClearBookkeeping(value1);
    StorSysDrive drive(*subsystem_->ActiveStorSys(), static_cast<std::uint8_t>(value1));
    const bool started = writeRead ? record.StartWriteReadTest(drive, value2, 0)
                                   : record.StartVerify(drive, value2, 0);
    if (!started) {
        RejectRequest(ERR_COMMAND_FAILED, writeRead ? WRITE_READ_TEST : READ_TEST, DIAGNOSTIC,
                      OruErrFromResult(record.lastResult));
        publisher.PublishResult(testCode, value1);
        return;
    }
    record.owner = handle;
    publisher.PublishProgress(handle, testCode, value1, true);
    ScheduleContinuation(DISP_REPLY_AND_CONTINUE, testCode);
    // Each test counts once, when it starts.
    OruLite::DiagnosticUsage& usage = subsystem_->DiagnosticsRun();
    ++(writeRead ? usage.writeReadTests : usage.verifies);
    publisher.PublishResult(testCode, value1);
}

void ManagementMsg::DriveTestStep(MESSAGE_CODE testCode) {
    reply_.SetDisposition(DISP_NONE);
    if (value1 >= OruLite::kDriveSlots) {
        return;
    }
    DriveTestRecord& record = subsystem_->DriveSlot(value1);
    const std::uint32_t kind = DriveTestRecord::KindOf(testCode);
    if ((record.testKind != kind && record.StateOf(kind) == DriveTestRecord::kStateIdle) ||
        (record.Running() && record.owner != handle)) {
        // The drive was replaced meanwhile (its record and bookkeeping
        // started afresh), or the test this step belonged to ended and
        // another one runs: nothing is left to report here.
        return;
    }
    DiagPublisher publisher(*subsystem_);
    StorSysDrive drive(*subsystem_->ActiveStorSys(), static_cast<std::uint8_t>(value1));
    const bool more =
        record.testKind == kind &&
        (kind == DriveTestRecord::kVerify ? record.VerifyStep(drive) : record.WriteReadStep(drive));
    publisher.PublishProgress(handle, testCode, value1, false);
    if (more) {
        ScheduleContinuation(DISP_CONTINUE, testCode);
    }
    publisher.PublishResult(testCode, value1);
}

void ManagementMsg::FinishDriveTest(std::uint32_t slot) {
    if (slot >= OruLite::kDriveSlots ||
        (code != MC_TestPhysicalDrive && code != MC_VerifyPhysicalDrive)) {
        return;
    }
    const auto testCode = static_cast<MESSAGE_CODE>(code);
    DriveTestRecord& record = subsystem_->DriveSlot(slot);
    const std::uint32_t kind = DriveTestRecord::KindOf(testCode);
    if (record.Running() && record.owner != handle) {
        return;  // a later test runs; the cancelled one ended already
    }
    if (record.testKind == kind) {
        record.CancelTest();
    } else if (record.StateOf(kind) == DriveTestRecord::kStateIdle) {
        return;
    }
    DiagPublisher(*subsystem_).PublishResult(testCode, slot);
}

void ManagementMsg::ClearDiagResults() {
    DiagPublisher publisher(*subsystem_);
    for (std::uint32_t slot = 0; slot < OruLite::kDriveSlots; ++slot) {
        if (!subsystem_->DriveSlot(slot).DiagnosticRunning()) {
            publisher.ClearBookkeeping(slot);
        }
    }
    CompleteChange(true, oruerr(), subsystem_, QUAL_CLEAR_DIAG_RESULTS);
}
