// The handlers that change the array's settings. Every setting lives in one
// of three mode pages of the active controller: the subsystem page (0x21),
// the caching page (0x08) and the extension page (0x22). A handler reads the
// page, changes its value, writes the page back and completes the change, so
// the requester hears of it only after the new state was read and its
// events went out.
//
// A value that the page's field cannot hold is refused before the page is
// written: cut to the field's width it would become another setting.
#include <optional>
#include <span>
#include <utility>

#include "coresys/common/OruErrors.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"

namespace {

// Mode pages are read and written through the controller's own LUN.
constexpr std::uint8_t kLun = 0;

enum class FieldKind {
    kOnOff,    // every nonzero value is 1
    kValue,    // the value as it is, up to the field's largest
    kPercent,  // a percentage 0..100, stored as value x 655.35 (100 % = 65535)
};

// One value of a page record that a request sets.
struct PageField {
    std::uint32_t field;  // SETTING_FIELD
    int word;             // of the page record (StorSys numbering)
    FieldKind kind;
    std::uint32_t largest;  // kValue: the largest value the page's field holds
};

// Subsystem page words of the controller addresses (bytes 13 and 14).
constexpr int kControllerAWord = 18;
constexpr int kControllerBWord = 17;

constexpr PageField kSubsystemFields[] = {
    {FIELD_HOT_SPARE, 2, FieldKind::kOnOff, 1},
    {FIELD_PARTITION, 3, FieldKind::kOnOff, 1},
    {FIELD_AUTO_REBUILD, 5, FieldKind::kOnOff, 1},
    {FIELD_AUTO_INCLUDE, 6, FieldKind::kOnOff, 1},
    {FIELD_LOG_FULL_WARNING, 10, FieldKind::kOnOff, 1},
    {FIELD_REBUILD_PRIORITY, 11, FieldKind::kOnOff, 1},
    {FIELD_PARITY, 12, FieldKind::kOnOff, 1},
    {FIELD_SDTR, 13, FieldKind::kOnOff, 1},
    {FIELD_WDTR, 14, FieldKind::kOnOff, 1},
    {FIELD_TERMINATOR_POWER, 15, FieldKind::kOnOff, 1},
    {FIELD_UNIT_ATTENTION, 16, FieldKind::kOnOff, 1},
    {FIELD_FORMAT_PATTERN_FILL, 21, FieldKind::kOnOff, 1},
    {FIELD_DISABLE_REMOTE_RESET, 22, FieldKind::kOnOff, 1},
    // The word follows from value1 (the controller); the address is value2.
    {FIELD_CONTROLLER_ADDRESS, kControllerAWord, FieldKind::kValue, 0xFF},
    {FIELD_LANGUAGE, 23, FieldKind::kValue, 0x0F},
    {FIELD_CAPACITY_THRESHOLD, 24, FieldKind::kPercent, 100},
    {FIELD_WRITE_WORKING_SET, 26, FieldKind::kValue, 0xFFFF},
};

constexpr PageField kExtensionFields[] = {
    {FIELD_QUEUE_FULL_THRESHOLD, 2, FieldKind::kValue, 0xFFFFFFFFu},
    {FIELD_SINGLE_PATH_FAILOVER, 3, FieldKind::kOnOff, 1},
    {FIELD_VERY_EARLY_BUSY, 4, FieldKind::kOnOff, 1},
    {FIELD_CREATE_LUN_LIMIT, 6, FieldKind::kValue, 0xFF},
};

const PageField* FindField(std::span<const PageField> table, std::uint32_t field) {
    for (const PageField& f : table) {
        if (f.field == field) {
            return &f;
        }
    }
    return nullptr;
}

// The page value of a request value, or nothing when the field cannot hold it.
std::optional<std::uint32_t> PageValue(const PageField& f, std::uint32_t value) {
    switch (f.kind) {
        case FieldKind::kOnOff:
            return value != 0 ? 1u : 0u;
        case FieldKind::kPercent:
            if (value > 100) {
                return std::nullopt;
            }
            return value * 65535u / 100u;  // value x 655.35, truncated toward zero
        case FieldKind::kValue:
            break;
    }
    if (value > f.largest) {
        return std::nullopt;
    }
    return value;
}

// What the resiliency goals write into extension words 7..13 and 16. Goal 3
// (security) sets word 7 from the request's flag instead (1 when it is 0).
constexpr int kResiliencyWords[] = {7, 8, 9, 10, 11, 12, 13, 16};
constexpr std::uint32_t kResiliencyValues[3][8] = {
    {1, 1, 0, 1, 0, 0, 0, 0},  // goal 1
    {1, 1, 0, 1, 0, 2, 0, 4},  // goal 2
    {1, 0, 1, 1, 0, 2, 0, 1},  // goal 3
};
constexpr std::uint32_t kGoalSecurity = 3;

// The subsystem page words the default SCSI settings write; the others keep
// what was read.
constexpr std::pair<int, std::uint32_t> kDefaultSubsystemWords[] = {
    {2, 1},  {3, 0},  {5, 1},  {6, 1},  {8, 0},  {12, 1}, {13, 1},    {14, 1}, {15, 1},
    {16, 1}, {17, 1}, {18, 0}, {19, 0}, {20, 0}, {23, 1}, {24, 1964}, {26, 6},
};

// Reads a page through the active controller; a page that cannot be read
// ends the request (MODE_SENSE, with the command's sense).
bool ReadPage(ManagementMsg& msg, StorSys& active, ModePage21Record& page) {
    ScsiResult result;
    if (active.ReadModePage21(kLun, page, result) != 0) {
        return true;
    }
    msg.CompleteChange(false, OruErrFromResult(result), msg.Subsystem(), MODE_SENSE);
    return false;
}

bool ReadPage(ManagementMsg& msg, StorSys& active, ModePage22Record& page) {
    ScsiResult result;
    if (active.ReadModePage22(kLun, page, result) != 0) {
        return true;
    }
    msg.CompleteChange(false, OruErrFromResult(result), msg.Subsystem(), MODE_SENSE);
    return false;
}

// Writes the extension page and completes the change (MODE_SELECT).
void WritePage(ManagementMsg& msg, StorSys& active, const ModePage22Record& page) {
    ScsiResult result;
    const bool done = active.WriteModePage22(kLun, page, result) != 0;
    msg.CompleteChange(done, OruErrFromResult(result), msg.Subsystem(), MODE_SELECT);
}

}  // namespace

void ManagementMsg::SetParameter(std::uint32_t field) {
    StorSys& active = *subsystem_->ActiveStorSys();
    ModePage21Record page;
    if (!ReadPage(*this, active, page)) {
        return;
    }
    const bool address = field == FIELD_CONTROLLER_ADDRESS;
    // A controller's address moves only while the service holds the
    // management lock: two hosts must not renumber the bus at once.
    if (address && subsystem_->SequenceFlag() == 0) {
        RejectRequest(ERR_LOCK_NOT_OWNED, SCSI_ID_SETTING, DEVICEMGR, oruerr());
        return;
    }
    const PageField* f = FindField(kSubsystemFields, field);
    if (f == nullptr) {
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_FIELD, DEVICEMGR, oruerr());
        return;
    }
    const std::optional<std::uint32_t> value = PageValue(*f, address ? value2 : value1);
    if (!value) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    page.word[address && value1 != 0 ? kControllerBWord : f->word] = *value;
    ScsiResult result;
    if (active.WriteModePage21(kLun, page, address ? 1 : 0, result) == 0) {
        CompleteChange(false, OruErrFromResult(result), subsystem_, MODE_SELECT);
        return;
    }
    if (field == FIELD_HOT_SPARE && value1 != 0) {
        CompleteHotSpareRequest();
        return;
    }
    CompleteChange(true, OruErrFromResult(result), subsystem_, MODE_SELECT);
}

void ManagementMsg::CompleteHotSpareRequest() {
    const ServerDiskArrayState* state =
        reply_.InstallFreshState(*subsystem_, ERR_COMMAND_GOOD_NO_DAS, HOT_SPARE_UNKNOWN);
    if (state == nullptr) {
        return;
    }
    // The fifth value of the state record: the array cannot provide a spare.
    // The setting was made all the same; the reply says so without failing.
    if (state->subsystemState.has_value() && state->subsystemState->Value(5) != 0) {
        RejectRequest(ERR_NO_FAIL, HOT_SPARE_UNAVAILABLE, DEVICEMGR, oruerr());
        return;
    }
    reply_.ReplyOk();
}

void ManagementMsg::SetCacheEnable(std::uint32_t field) {
    StorSys& active = *subsystem_->ActiveStorSys();
    bool writeEnable = false;
    bool readDisable = false;
    ScsiResult result;
    if (active.ReadCachingPage(kLun, writeEnable, readDisable, result) == 0) {
        CompleteChange(false, OruErrFromResult(result), subsystem_, MODE_SENSE);
        return;
    }
    // The page holds the read cache's *disable* bit; requests and the state
    // speak of enabling it.
    bool readEnable = !readDisable;
    if (field == FIELD_READ_CACHE) {
        readEnable = value1 != 0;
    } else if (field == FIELD_WRITE_CACHE) {
        writeEnable = value1 != 0;
    } else {
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_FIELD, DEVICEMGR, oruerr());
        return;
    }
    const bool done = active.WriteCachingPage(kLun, writeEnable, !readEnable, result) != 0;
    CompleteChange(done, OruErrFromResult(result), subsystem_, MODE_SELECT);
}

void ManagementMsg::SetControllerOption(std::uint32_t field) {
    StorSys& active = *subsystem_->ActiveStorSys();
    ModePage22Record page;
    if (!ReadPage(*this, active, page)) {
        return;
    }
    const PageField* f = FindField(kExtensionFields, field);
    if (f == nullptr) {
        RejectRequest(ERR_COMMAND_FAILED, UNKNOWN_FIELD, DEVICEMGR, oruerr());
        return;
    }
    const std::optional<std::uint32_t> value = PageValue(*f, value1);
    if (!value) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    page.word[f->word] = *value;
    WritePage(*this, active, page);
}

void ManagementMsg::SetResiliencyParameters() {
    StorSys& active = *subsystem_->ActiveStorSys();
    ModePage22Record page;
    if (!ReadPage(*this, active, page)) {
        return;
    }
    const std::uint32_t goal = value2;
    const bool flag = value1 != 0;
    // Only the security goal takes the flag.
    if (goal < 1 || goal > kGoalSecurity || (flag && goal != kGoalSecurity)) {
        RejectRequest(ERR_COMMAND_FAILED, INVALID_PARAMETER, DEVICEMGR, oruerr());
        return;
    }
    for (std::size_t i = 0; i < std::size(kResiliencyWords); ++i) {
        page.word[kResiliencyWords[i]] = kResiliencyValues[goal - 1][i];
    }
    if (goal == kGoalSecurity) {
        page.word[7] = flag ? 0 : 1;
    }
    WritePage(*this, active, page);
}

void ManagementMsg::ConfigureDefaultScsiSettings() {
    StorSys& active = *subsystem_->ActiveStorSys();
    ModePage21Record page;
    if (!ReadPage(*this, active, page)) {
        return;
    }
    // Both controller addresses go back to their defaults (X 0, Y 1) here
    // without the management lock that a single address change needs.
    for (const auto& [word, value] : kDefaultSubsystemWords) {
        page.word[word] = value;
    }
    ScsiResult result;
    const bool done = active.WriteModePage21(kLun, page, 1, result) != 0;
    CompleteChange(done, OruErrFromResult(result), subsystem_, MODE_SELECT);
}

void ManagementMsg::Set_Linkage() {
    // Nothing on the array changes; the requester still gets a fresh state
    // and the events of whatever else changed.
    CompleteChange(true, oruerr(), subsystem_, NO_QUALIFIER);
}
