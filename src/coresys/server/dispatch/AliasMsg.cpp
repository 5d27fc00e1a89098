#include "coresys/server/dispatch/AliasMsg.h"

#include <cstring>
#include <string>
#include <vector>

#include "coresys/common/FieldText.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruErrors.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/SubsystemEntry.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/storsys/StorSys.h"

AliasMsg::AliasMsg(const ClientMessage& message, OruLite* subsystem)
    : subsystem_(subsystem), reply_(*this, subsystem) {
    std::vector<unsigned char> bytes = message.bytes;
    // The text is taken only when its whole count arrived (the decoder
    // checks it against the bytes left before it allocates).
    decoded_ = !bytes.empty() &&
               DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size())) && !DecodeFailed();
}

bool AliasMsg::MakeAlias(std::string_view alias, char out[kAliasLength]) {
    if (alias.size() > kAliasLength) {
        return false;
    }
    for (char c : alias) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                             c == '_' || c == '.' || c == '#';
        if (!allowed) {
            return false;
        }
    }
    for (std::uint32_t i = 0; i < kAliasLength; ++i) {
        out[i] = i < alias.size() ? alias[i] : ' ';
    }
    return true;
}

bool AliasMsg::NamesAnotherArray(std::string_view alias) const {
    const std::string_view wanted = TrimTrailingBlanks(alias);
    if (wanted.empty()) {
        return false;  // no alias at all
    }
    std::string padded(wanted);
    padded.resize(kAliasLength, ' ');
    // The subsystem task holds the in-use lock: the table stands still.
    DeviceMgr& manager = subsystem_->Manager();
    for (std::uint32_t n = 0; n < manager.SubsystemCount(); ++n) {
        const SubsystemEntry* entry = manager.GetSubsystemEntry(n);
        if (entry == nullptr || entry->monitor == subsystem_ ||
            std::memcmp(entry->serialNumber, subsystem_->BackplaneId(), kAliasLength) == 0) {
            continue;
        }
        // The lookup compares an identifier with the 12 characters of each
        // serial number, and with each alias without its trailing blanks.
        if (std::memcmp(entry->serialNumber, padded.data(), kAliasLength) == 0) {
            return true;
        }
        const std::string other = entry->ReadAlias();
        if (TrimTrailingBlanks(other) == wanted) {
            return true;
        }
    }
    return false;
}

void AliasMsg::do_message_action() {
    if (!decoded_) {
        RejectRequest(ERR_INVALID_LENGTH, NO_QUALIFIER, DEVICEMGR, oruerr());
        return;
    }
    if (subsystem_ == nullptr || subsystem_->ActiveStorSys() == nullptr) {
        RejectRequest(ERR_NO_CONTROLLER, NO_QUALIFIER, DEVICEMGR, oruerr());
        return;
    }
    if (code != MC_SetAliasName) {
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_COMMAND, DEVICEMGR, oruerr());
        return;
    }
    SetAliasName();
}

void AliasMsg::SetAliasName() {
    char alias[kAliasLength];
    if (!MakeAlias(Text(), alias)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    if (NamesAnotherArray(std::string_view(alias, kAliasLength))) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    ScsiResult result;
    const bool done = subsystem_->ActiveStorSys()->WriteAlias(alias, result) != 0;
    CompleteChange(done, OruErrFromResult(result), subsystem_, QUAL_SET_ALIAS);
}

void AliasMsg::SendReply(TaskRequest& request, OruLiteTask& task, const ClientMessage& message) {
    reply_.SendReply(request, task, message);
}

void AliasMsg::RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier,
                             std::uint32_t moduleId, const oruerr& record) {
    reply_.RejectRequest(errorCode, qualifier, moduleId, record);
}

void AliasMsg::SetErrorReply(const oruerr& record) {
    reply_.SetErrorReply(record);
}

void AliasMsg::CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                              std::uint32_t qualifier) {
    reply_.CompleteChange(succeeded, record, subsystem, qualifier);
}
