#include "coresys/common/OruErrors.h"

#include <cstddef>

namespace {

constexpr const char* kErrorCodeNames[] = {
    "ERR_NO_FAIL",
    "ERR_COMMAND_FAILED",
    "ERR_DIAG_RUNNING",
    "ERR_COMMAND_GOOD_NO_DAS",
    "ERR_COMMAND_CANCELLED",
    "ERR_CANCEL_FAILED",
    "ERR_NO_CONTROLLER",
    "ERR_LOCK_NOT_OWNED",
    "ERR_LOG_RESET",
    "ERR_INVALID_LENGTH",
    "ERR_COMMAND_GOOD_UNABLE_TO_CHECK_FOR_HOTSPARE",
    "ERR_INVALID_CABINET_SLOTS",
    "ERR_INVALID_DATA_FORMAT",
    "ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE",
};

constexpr const char* kModuleIdNames[] = {
    "NO_MODULE_ID", "OSLAYER", "LOGGER", "CONNECTION", "DEVICEMGR", "SUBSYSTEM", "DIAGNOSTIC",
};

// nullptr marks the qualifiers that have no printed name.
constexpr const char* kQualifierNames[] = {
    "NO_QUALIFIER",
    "ADD_PHYS_DRIVE",
    "ALARM_TEST",
    "ALREADY_SHUTDOWN",
    "CANCEL_REBUILD",
    "CHECK_PHY_DRIVE_STATE",
    "CHECK_SUBSYSTEM_STATE",
    nullptr,
    "CONTROLLER_ALREADY_ACTIVE",
    "CONTROLLER_NOT_PRESENT",
    "CREATE_LUN",
    "DELETE_LUN",
    "DELETE_LUN_RESCANNING",
    "DIAG_RUNNING",
    "DOWN_PHYSICAL_DRIVE",
    "DRIVE_ALREADY_INCLUDED",
    "DRIVE_DOWN_DUPLICATION",
    "DRIVE_LOG",
    "DRIVE_LOG_SELECT",
    "DRIVE_LOG_SENSE",
    "EVENT_DRIVELOG",
    "FORMAT_LUN",
    "FORMAT_SUBSYSTEM",
    "GET_STATE",
    "HOT_SPARE_UNAVAILABLE",
    "HOT_SPARE_UNKNOWN",
    "INVALID_PARAMETER",
    "LOG_FLUSH",
    "LUN_INQUIRY",
    "MODE_SELECT",
    "MODE_SENSE",
    "NO_LUN_EXISTS",
    "NO_REBUILD_IN_PROGRESS",
    "NO_REBUILD_NEEDED",
    "PREVENTAGE_CHECK",
    "READ_DEFECT_DATA",
    "READ_TEST",
    "REBUILD",
    "REBUILD_IN_PROGRESS",
    "RENUMBER_LUN",
    "RESCAN",
    "RESET_LOOP_TIMEOUT",
    "RESET_PHYSICAL_DRIVE",
    "RESET_SUBSYSTEM",
    "RETRY_LOG",
    "SCSI_ID_SETTING",
    "SHUTDOWN_SUBSYSTEM",
    "SUBSYSTEM_NOT_SHUTDOWN",
    "TAKE_CONTROL",
    nullptr,
    "UNKNOWN_FIELD",
    "UNKNOWN_COMMAND",
    "USAGE_DRIVELOG",
    "VERIFY",
    "WRITE_READ_TEST",
};

static_assert(sizeof(kErrorCodeNames) / sizeof(kErrorCodeNames[0]) ==
              ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE + 1);
static_assert(sizeof(kModuleIdNames) / sizeof(kModuleIdNames[0]) == DIAGNOSTIC + 1);
static_assert(sizeof(kQualifierNames) / sizeof(kQualifierNames[0]) == WRITE_READ_TEST + 1);

template <std::size_t N>
const char* Lookup(const char* const (&table)[N], std::uint32_t value) {
    return value < N ? table[value] : nullptr;
}

}  // namespace

const char* ErrorCodeName(std::uint32_t code) {
    return Lookup(kErrorCodeNames, code);
}

const char* ModuleIdName(std::uint32_t moduleId) {
    return Lookup(kModuleIdNames, moduleId);
}

const char* QualifierName(std::uint32_t qualifier) {
    return Lookup(kQualifierNames, qualifier);
}
