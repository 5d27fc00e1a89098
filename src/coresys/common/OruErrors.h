// Error codes, qualifiers and module ids of the error record that failure
// replies carry. The service fills them in and the console programs print
// them by name, so both take them from here.
#pragma once

#include <cstdint>

enum ORU_ERROR_CODE : std::uint32_t {
    ERR_NO_FAIL = 0,
    ERR_COMMAND_FAILED = 1,
    ERR_DIAG_RUNNING = 2,
    ERR_COMMAND_GOOD_NO_DAS = 3,
    ERR_COMMAND_CANCELLED = 4,
    ERR_CANCEL_FAILED = 5,
    ERR_NO_CONTROLLER = 6,
    ERR_LOCK_NOT_OWNED = 7,
    ERR_LOG_RESET = 8,
    ERR_INVALID_LENGTH = 9,
    ERR_COMMAND_GOOD_UNABLE_TO_CHECK_FOR_HOTSPARE = 10,
    ERR_INVALID_CABINET_SLOTS = 11,
    ERR_INVALID_DATA_FORMAT = 12,
    ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE = 13,
};

enum ORU_MODULE_ID : std::uint32_t {
    NO_MODULE_ID = 0,
    OSLAYER = 1,
    LOGGER = 2,
    CONNECTION = 3,
    DEVICEMGR = 4,   // checks the service makes itself
    SUBSYSTEM = 5,   // failures the array reported
    DIAGNOSTIC = 6,  // failures of drive diagnostics
};

// Qualifiers, numbered in alphabetical order of their names. Three values have
// no printed name: 7 (clearing of diagnostic results), 49 (compare and swap)
// and 55 (set alias); the console programs print them as numbers, so their
// constants carry a QUAL_ prefix and QualifierName gives nullptr for them.
enum ORU_ERROR_QUALIFIER : std::uint32_t {
    NO_QUALIFIER = 0,
    ADD_PHYS_DRIVE = 1,
    ALARM_TEST = 2,
    ALREADY_SHUTDOWN = 3,
    CANCEL_REBUILD = 4,
    CHECK_PHY_DRIVE_STATE = 5,
    CHECK_SUBSYSTEM_STATE = 6,
    QUAL_CLEAR_DIAG_RESULTS = 7,
    CONTROLLER_ALREADY_ACTIVE = 8,
    CONTROLLER_NOT_PRESENT = 9,
    CREATE_LUN = 10,
    DELETE_LUN = 11,
    DELETE_LUN_RESCANNING = 12,
    DIAG_RUNNING = 13,
    DOWN_PHYSICAL_DRIVE = 14,
    DRIVE_ALREADY_INCLUDED = 15,
    DRIVE_DOWN_DUPLICATION = 16,
    DRIVE_LOG = 17,
    DRIVE_LOG_SELECT = 18,
    DRIVE_LOG_SENSE = 19,
    EVENT_DRIVELOG = 20,
    FORMAT_LUN = 21,
    FORMAT_SUBSYSTEM = 22,
    GET_STATE = 23,
    HOT_SPARE_UNAVAILABLE = 24,
    HOT_SPARE_UNKNOWN = 25,
    INVALID_PARAMETER = 26,
    LOG_FLUSH = 27,
    LUN_INQUIRY = 28,
    MODE_SELECT = 29,
    MODE_SENSE = 30,
    NO_LUN_EXISTS = 31,
    NO_REBUILD_IN_PROGRESS = 32,
    NO_REBUILD_NEEDED = 33,
    PREVENTAGE_CHECK = 34,
    READ_DEFECT_DATA = 35,
    READ_TEST = 36,
    REBUILD = 37,
    REBUILD_IN_PROGRESS = 38,
    RENUMBER_LUN = 39,
    RESCAN = 40,
    RESET_LOOP_TIMEOUT = 41,
    RESET_PHYSICAL_DRIVE = 42,
    RESET_SUBSYSTEM = 43,
    RETRY_LOG = 44,
    SCSI_ID_SETTING = 45,
    SHUTDOWN_SUBSYSTEM = 46,
    SUBSYSTEM_NOT_SHUTDOWN = 47,
    TAKE_CONTROL = 48,
    QUAL_COMPARE_AND_SWAP = 49,
    UNKNOWN_FIELD = 50,
    UNKNOWN_COMMAND = 51,
    USAGE_DRIVELOG = 52,
    VERIFY = 53,
    WRITE_READ_TEST = 54,
    QUAL_SET_ALIAS = 55,
};

// Symbolic names as the console programs print them; nullptr for a value
// that has no name (the caller then prints the number).
const char* ErrorCodeName(std::uint32_t code);
const char* ModuleIdName(std::uint32_t moduleId);
const char* QualifierName(std::uint32_t qualifier);
