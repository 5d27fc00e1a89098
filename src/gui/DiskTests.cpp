#include "gui/DiskTests.h"

#include <algorithm>

#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"

namespace oru {
namespace {

bool IsDiskTest(MESSAGE_CODE code) {
    return code == MC_TestPhysicalDrive || code == MC_VerifyPhysicalDrive;
}

// The in-progress entry of the disk's test; its progress is the entry's
// second auxiliary value.
const CommandInProgress* RunningEntry(const OruServerState& server, std::uint32_t disk) {
    const CommandInProgressArray& running = server.commandsInProgress;
    for (unsigned short i = 0; i < running.Size(); ++i) {
        const CommandInProgress* entry = running[i];
        if (entry != nullptr && entry->drive == disk && IsDiskTest(entry->code)) {
            return entry;
        }
    }
    return nullptr;
}

int TestState(DIAG_STATE state) {
    switch (state) {
        case DIAG_STATE_COULD_NOT_START:
            return kTestStateInitFailed;
        case DIAG_STATE_FINISHED:
            return kTestStatePassed;
        case DIAG_STATE_FINISHED_WITH_ERRORS:
            return kTestStateFailed;
        case DIAG_STATE_RUNNING:
            return kTestStateInProgress;
        case DIAG_STATE_CANCELLED:
            return kTestStateCancelled;
        default:
            return kTestStateNone;
    }
}

bool Valid(const DiskArrayState& state) {
    return state.ValidStateData() != 0;
}

}  // namespace

DiskTestRecord ReadDiskTest(const OruServerState& server, std::uint32_t disk) {
    DiskTestRecord record;
    const CommandResultsArray& results = server.commandResults;
    for (unsigned short i = 0; i < results.Size(); ++i) {
        const auto* result = dynamic_cast<const DiagCommandResults*>(results[i]);
        if (result == nullptr || result->drive != disk || !IsDiskTest(result->code)) {
            continue;
        }
        record.found = true;
        record.type = result->code == MC_TestPhysicalDrive ? kTestWriteRead : kTestVerify;
        record.state = TestState(result->Outcome());
        record.failedChunks = static_cast<std::uint32_t>(result->FailedChunks().size());
        record.firstFailedBlock = result->FirstFailedBlock();
        if (record.state == kTestStateInProgress) {
            const CommandInProgress* entry = RunningEntry(server, disk);
            record.percent = entry != nullptr ? std::min<std::uint32_t>(entry->aux2, 100) : 100;
        } else if (record.state == kTestStatePassed || record.state == kTestStateFailed) {
            record.percent = 100;  // it ran to its end
        }
        break;
    }
    return record;
}

std::optional<CommandHandle> RunningTest(const OruServerState& server, std::uint32_t disk) {
    const CommandInProgress* entry = RunningEntry(server, disk);
    if (entry == nullptr || entry->aux2 == 100) {
        return std::nullopt;
    }
    return entry->handle;
}

std::optional<std::uint32_t> DriveState(const DiskArrayState& state, std::uint32_t disk) {
    const Physical_Drive* drive = state.Drive(disk);
    if (drive == nullptr) {
        return std::nullopt;
    }
    return drive->driveState;
}

std::optional<std::uint32_t> ArrayState(const DiskArrayState& state) {
    if (!Valid(state)) {
        return std::nullopt;
    }
    return state.subsystemState.has_value() ? state.subsystemState->SubsystemState() : 0;
}

bool MayInclude(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk) {
    const std::optional<std::uint32_t> drive = DriveState(state, disk);
    if (TestInProgress(ReadDiskTest(server, disk)) || !drive.has_value()) {
        return false;
    }
    return *drive == 2 || *drive == 3 || *drive == 5 || *drive == 6;
}

bool MayDown(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk) {
    const std::optional<std::uint32_t> drive = DriveState(state, disk);
    return !TestInProgress(ReadDiskTest(server, disk)) && drive.has_value() && *drive == 0;
}

bool MayTest(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk) {
    const std::optional<std::uint32_t> drive = DriveState(state, disk);
    if (TestInProgress(ReadDiskTest(server, disk)) || !Valid(state) || !drive.has_value()) {
        return false;
    }
    return *drive != 4 && *drive != 7 && *drive != 13;
}

bool MayShutdown(const DiskArrayState& state) {
    const std::optional<std::uint32_t> array = ArrayState(state);
    return array.has_value() && *array < 2;
}

bool MayRestart(const DiskArrayState& state) {
    const std::optional<std::uint32_t> array = ArrayState(state);
    return array.has_value() && *array > 1;
}

bool MayReset(const DiskArrayState& state) {
    return Valid(state);
}

bool MayFormatArray(const DiskArrayState& state) {
    const std::optional<std::uint32_t> array = ArrayState(state);
    if (!array.has_value()) {
        return false;
    }
    if (*array == 4) {
        return true;  // no map: formatting is how the array gets one
    }
    if (*array >= 2) {
        return false;
    }
    for (const LUN& lun : state.luns) {
        if (lun.Exists()) {
            return false;
        }
    }
    return true;
}

bool MaySwitchTo(const DiskArrayState& state, std::uint32_t controller) {
    const std::optional<std::uint32_t> array = ArrayState(state);
    if (!array.has_value() || *array >= 2) {
        return false;
    }
    for (const ControllerInfo& info : state.controllers) {
        if (!info.Exists()) {
            return false;
        }
    }
    const ControllerInfo* target = state.Controller(controller);
    return target != nullptr && target->controllerStatus == 1 && target->active != 1;
}

}  // namespace oru
