// The handlers that hand raw diagnostic data to a client, or act on a
// drive's own logs and health: the controller's event log and usage
// counters, a drive's grown defect list, a drive's log pages (read and
// reset), and the health checks of a drive.
//
// The data replies carry exactly the size the client asked for, with the
// array's bytes first and zeros behind them (never what a buffer held
// before). Every size a client names is bounded by what the commands can
// carry, so a request can never make the service allocate more.
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/diag/DriveTestRecord.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/storsys/StorSys.h"

namespace {

// Log types of ReadControllerLog: 1 the event log, any other the counters.
constexpr std::uint32_t kEventLog = 1;
// The event log is read as its header and at most 65535 bytes of entries.
constexpr std::uint32_t kMaxEventLogBytes = 65535 + 3;
// A drive's data comes with a 16-bit allocation length.
constexpr std::uint32_t kMaxDriveData = 65535;
// Page codes and drive addresses travel in one byte.
constexpr std::uint32_t kMaxByte = 255;
// The four usage counters, big-endian as the controller gives them.
constexpr std::uint32_t kCounters = 4;
// LOG SELECT that resets the drive's cumulative counters: the
// parameter-code-reset bit and page control 1.
constexpr std::uint8_t kParameterCodeReset = 0x02;
constexpr std::uint8_t kCumulativeValues = 1;

}  // namespace

void ManagementMsg::BufferReply(const std::vector<unsigned char>& bytes) {
    reply_.SetReply(std::make_unique<Buffer_RtnMsg>(*this, ServerReply::kStatusFinished,
                                                    static_cast<std::uint32_t>(bytes.size()),
                                                    bytes.data()));
}

void ManagementMsg::ReadControllerLog() {
    if (value1 > kMaxEventLogBytes) {
        RejectRequest(ERR_INVALID_LENGTH, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    StorSys& active = *subsystem_->ActiveStorSys();
    ScsiResult result;
    if (value2 == kEventLog) {
        std::vector<unsigned char> log(value1, 0);
        // With the logging option the monitor reads it: each entry goes into
        // the subsystem's log and the controller drops the entries read.
        const bool read =
            value3 == 0 ? active.ReadControllerLog(0, log.data(), value1, nullptr, result) != 0
                        : subsystem_->ReadControllerLog(1, log.data(), value1, nullptr, nullptr);
        if (!read) {
            RejectRequest(ERR_COMMAND_FAILED, EVENT_DRIVELOG, DIAGNOSTIC,
                          value3 == 0 ? OruErrFromResult(result) : oruerr());
            return;
        }
        BufferReply(log);
        return;
    }
    std::uint32_t values[kCounters] = {};
    const bool read = value3 == 0 ? active.ReadControllerStatus(0, values, result) != 0
                                  : subsystem_->ReadControllerLog(1, nullptr, 0, nullptr, values);
    if (!read) {
        RejectRequest(ERR_COMMAND_FAILED, USAGE_DRIVELOG, DIAGNOSTIC,
                      value3 == 0 ? OruErrFromResult(result) : oruerr());
        return;
    }
    std::vector<unsigned char> counters;
    for (std::uint32_t value : values) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            counters.push_back(static_cast<unsigned char>(value >> shift));
        }
    }
    BufferReply(counters);
}

void ManagementMsg::ReadDefectData() {
    if (!DriveSlotValid(value1)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    if (value2 > kMaxDriveData) {
        RejectRequest(ERR_INVALID_LENGTH, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    std::vector<unsigned char> list(value2, 0);
    StorSysDrive drive(*subsystem_->ActiveStorSys(), static_cast<std::uint8_t>(value1));
    ScsiResult result;
    if (!drive.ReadGrownDefects(list.data(), static_cast<std::uint16_t>(value2), result)) {
        RejectRequest(ERR_COMMAND_FAILED, READ_DEFECT_DATA, SUBSYSTEM, OruErrFromResult(result));
        return;
    }
    BufferReply(list);
}

void ManagementMsg::DiagInfo() {
    // Any slot goes to the array, which judges it; a number the exchange's
    // byte cannot carry would reach another drive.
    if (value1 > kMaxByte) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    StorSys& active = *subsystem_->ActiveStorSys();
    const auto drive = static_cast<std::uint8_t>(value1);
    ScsiResult result;
    if (code == MC_ClearDiagInfo) {
        if (active.DriveLogSelect(drive, kParameterCodeReset, kCumulativeValues, nullptr, 0,
                                  result) == 0) {
            RejectRequest(ERR_COMMAND_FAILED, DRIVE_LOG_SELECT, SUBSYSTEM,
                          OruErrFromResult(result));
            return;
        }
        reply_.ReplyOk();
        return;
    }
    if (value2 > kMaxByte) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    if (value3 > kMaxDriveData) {
        RejectRequest(ERR_INVALID_LENGTH, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    std::vector<unsigned char> page(value3, 0);
    // A drive may answer with the page only, shorter than the allocation.
    std::uint32_t moved = 0;
    if (active.DriveLogSense(drive, static_cast<std::uint8_t>(value2), page.data(),
                             static_cast<std::uint16_t>(value3), &moved, result) == 0) {
        RejectRequest(ERR_COMMAND_FAILED, DRIVE_LOG_SENSE, SUBSYSTEM, OruErrFromResult(result));
        return;
    }
    BufferReply(page);
}

void ManagementMsg::Do_Prevention_Check() {
    if (!DriveSlotValid(value1)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    StorSysDrive drive(*subsystem_->ActiveStorSys(), static_cast<std::uint8_t>(value1));
    ScsiResult failure;
    if (!subsystem_->DriveSlot(value1).CheckHealth(drive, failure)) {
        RejectRequest(ERR_COMMAND_FAILED, PREVENTAGE_CHECK, DIAGNOSTIC, OruErrFromResult(failure));
        return;
    }
    reply_.ReplyOk();
}
