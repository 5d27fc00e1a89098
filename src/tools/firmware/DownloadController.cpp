#include "tools/firmware/DownloadController.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "platform/Clock.h"
#include "tools/firmware/DownloadCommands.h"

namespace download {

namespace {

DownloadController* gCurrent = nullptr;

constexpr std::uint64_t kRetryPauseMs = 1000;
constexpr int kTries = 3;

bool IsDataPhase(std::uint8_t opcode) {
    return opcode == 0x29 || opcode == 0xF3 || opcode == 0xF4;
}

bool IsRetriedStatus(std::uint32_t status) {
    return status == 0x02 || status == 0x08 || status == 0x18;
}

void FailWithout(ScsiResult& result, int error) {
    result.result = ScsiResult::kSystemFailed;
    result.status = static_cast<std::uint32_t>(error);
    result.senseLength = 0;
    result.reason = ScsiResult::kReasonSystemFailed;
}

}  // namespace

DownloadController::DownloadController(DeviceRecord* scanned)
    : record_(*scanned), scanned_(scanned) {
    record_.next = nullptr;
    record_.deviceIndex = 0;
}

std::uint32_t DownloadController::MaximumTransfer() const {
    std::uint32_t limit = ScsiCommand::kMaxDataLength;
    const ScsiDeviceTable::Entry* entry = ScsiDeviceTable::Instance().At(scanned_->deviceIndex);
    if (entry != nullptr && entry->capabilities.maximumTransferLength < limit)
        limit = entry->capabilities.maximumTransferLength;
    return limit;
}

DownloadController* DownloadController::Current() {
    return gCurrent;
}

void DownloadController::SetCurrent(DownloadController* controller) {
    gCurrent = controller;
}

int ExecuteWithRetry(ScsiCommand& command, ScsiResult& result) {
    DownloadController* controller = DownloadController::Current();
    if (controller == nullptr) {
        FailWithout(result, ENODEV);
        return 0;
    }
    result.senseLength = 0;
    const std::uint8_t opcode = command.Cdb()[0];
    int tries = 0;
    while (tries < kTries) {
        ScsiPassThrough(command, result, controller->Scanned());
        switch (result.result) {
            case ScsiResult::kGood:
                if (command.residual == ScsiCommand::kResidualNone || IsDataPhase(opcode))
                    return 1;
                ++tries;
                platform::SleepMs(kRetryPauseMs);
                break;
            case ScsiResult::kScsiStatus:
                // Only the status byte counts.
                result.status &= 0xFF;
                if (!IsRetriedStatus(result.status) || IsDataPhase(opcode))
                    return 0;
                ++tries;
                if (tries != kTries) {
                    DownloadRequestSense(0, result);
                    DownloadRequestSense(0, result);
                }
                platform::SleepMs(kRetryPauseMs);
                break;
            case 2:
            case 4:
            case 5:
                ++tries;
                platform::SleepMs(kRetryPauseMs);
                break;
            default:
                return 0;
        }
    }
    return 0;
}

int RunCommand(const std::uint8_t* cdb, std::uint8_t cdbLength, std::uint32_t direction,
               std::uint32_t timeoutSeconds, unsigned char* data, std::uint32_t dataLength,
               ScsiResult& result, bool retry, std::uint32_t* moved) {
    if (moved != nullptr)
        *moved = 0;
    if (dataLength > ScsiCommand::kMaxDataLength) {
        FailWithout(result, EMSGSIZE);
        return 0;
    }
    std::unique_ptr<ScsiCommand> command;
    try {
        command = std::make_unique<ScsiCommand>(12, dataLength, direction, timeoutSeconds, 0, 0);
    } catch (const std::bad_alloc&) {
        FailWithout(result, ENOMEM);
        return 0;
    }
    std::memcpy(command->Cdb(), cdb, cdbLength);
    command->cdbLength = cdbLength;
    if (direction == ScsiCommand::kDataOut && dataLength != 0)
        std::memcpy(command->Data(), data, dataLength);
    int ok = 0;
    if (retry) {
        ok = ExecuteWithRetry(*command, result);
    } else if (DownloadController::Current() == nullptr) {
        FailWithout(result, ENODEV);
    } else {
        ScsiPassThrough(*command, result, DownloadController::Current()->Scanned());
        ok = result.result == ScsiResult::kGood ? 1 : 0;
    }
    if (direction == ScsiCommand::kDataIn && dataLength != 0)
        std::memcpy(data, command->Data(), dataLength);
    if (moved != nullptr && ok != 0)
        *moved = std::min(command->bytesMoved, dataLength);
    return ok;
}

}  // namespace download
