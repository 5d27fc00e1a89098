// The handlers that create, delete, renumber and format logical units.
//
// Each checks its LUN numbers against the current state (and, except the
// create, against the array's own LUN map) before anything is sent that
// changes the array, runs one command on the active controller, asks for a
// device rescan when the array says that its LUN set changed, and ends
// through CompleteChange.
#include <algorithm>

#include "coresys/common/OruErrors.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"

namespace {

// The LUN map is read through the controller's own logical unit.
constexpr std::uint8_t kMapLun = 0;

}  // namespace

std::uint32_t ManagementMsg::LunLimit() const {
    const ServerDiskArrayState* state = subsystem_->CurrentState();
    const std::uint32_t limit = state != nullptr ? state->LunCount() : StorSys::kLunTableSize;
    return std::min(limit, StorSys::kLunTableSize);
}

bool ManagementMsg::LunNumbersValid(std::initializer_list<std::uint32_t> numbers) {
    const std::uint32_t limit = LunLimit();
    for (std::uint32_t lun : numbers) {
        if (lun >= limit) {
            RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
            return false;
        }
    }
    return true;
}

bool ManagementMsg::LunPresent(std::uint32_t lun) {
    std::uint8_t map[StorSys::kLunTableSize] = {};
    ScsiResult result;
    if (subsystem_->ActiveStorSys()->ReadLunMap(kMapLun, map, result) == 0) {
        CompleteChange(false, OruErrFromResult(result), subsystem_, LUN_INQUIRY);
        return false;
    }
    if (lun >= StorSys::kLunTableSize || map[lun] == 0) {
        RejectRequest(ERR_COMMAND_FAILED, NO_LUN_EXISTS, DEVICEMGR, oruerr());
        return false;
    }
    return true;
}

void ManagementMsg::CompleteLunCommand(bool done, const ScsiResult& result,
                                       std::uint32_t qualifier) {
    const oruerr record = OruErrFromResult(result);
    if (record.errorClass == kErrorClassLunSetChanged) {
        Rescan(false);
    }
    CompleteChange(done, record, subsystem_, qualifier);
}

void ManagementMsg::CreateLUN() {
    // Whether the number is already in use is the array's to say.
    if (!LunNumbersValid({value1})) {
        return;
    }
    // The descriptor carries the capacity as a whole 32-bit word, so every
    // value a client can send reaches the array unchanged; the array refuses
    // a capacity it cannot provide.
    unsigned char descriptor[6];
    StorSys::MakeLunDescriptor(static_cast<std::uint8_t>(value1), value2, descriptor);
    ScsiResult result;
    const bool done = subsystem_->ActiveStorSys()->CreateLun(descriptor, result) != 0;
    CompleteLunCommand(done, result, CREATE_LUN);
}

void ManagementMsg::DeleteLUN() {
    if (!LunNumbersValid({value1}) || !LunPresent(value1)) {
        return;
    }
    ScsiResult result;
    const bool done =
        subsystem_->ActiveStorSys()->DeleteLun(static_cast<std::uint8_t>(value1), result) != 0;
    CompleteLunCommand(done, result, DELETE_LUN);
}

void ManagementMsg::RenumberLUN() {
    // Whether the new number is free is the array's to say.
    if (!LunNumbersValid({value1, value2}) || !LunPresent(value1)) {
        return;
    }
    ScsiResult result;
    const bool done =
        subsystem_->ActiveStorSys()->RenumberLun(static_cast<std::uint8_t>(value1),
                                                 static_cast<std::uint8_t>(value2), result) != 0;
    CompleteLunCommand(done, result, RENUMBER_LUN);
}

void ManagementMsg::FormatLUN() {
    if (!LunNumbersValid({value1}) || !LunPresent(value1)) {
        return;
    }
    ScsiResult result;
    const bool done =
        subsystem_->ActiveStorSys()->FormatUnit(static_cast<std::uint8_t>(value1), result) != 0;
    CompleteLunCommand(done, result, FORMAT_LUN);
}
