// The texts download prints: one table, looked up by id. Texts marked
// "format" are printf formats; the others are printed as they stand.
#pragma once

#include <cstddef>

namespace download {

enum class DownloadText {
    // Program
    BANNER,
    ENDING,
    CHECKING_AUTOMATIC,
    // DownloadError 0..5
    USAGE,
    ARG_RANGE_1,
    ARG_RANGE_2,
    ARG_RANGE_3,
    UNKNOWN_ARG_1,
    UNKNOWN_ARG_2,
    NOT_FOUND_1,
    NOT_FOUND_2,
    NOT_FOUND_3,
    NOT_FOUND_4,
    EXECUTION,  // format: text
    POWERED_ON_1,
    POWERED_ON_2,
    POWERED_ON_3,
    // Microcode file
    FILE_NOT_OPENED,  // format: file name
    FILE_SIZE_1,
    FILE_SIZE_2,
    FILE_NOT_READ,
    TOO_LARGE_FOR_DRIVE,  // format: file size, largest transfer
    NOT_IN_32K_PIECES,    // format: file size
    // Finding the controller
    SEARCH_FAILED,
    PRIMARY_MISSING_1,
    PRIMARY_MISSING_2,
    PRIMARY_MISSING_3,
    PRIMARY_MISSING_4,
    ID_OF_TWO_ARRAYS,
    // Controller states
    STATE_READY,
    STATE_WARNING,
    STATE_NOT_ENOUGH_DRIVES,
    STATE_NO_QUORUM,
    STATE_NO_MAP,
    STATE_SHUTTING_DOWN,
    STATE_SHUTDOWN_COMPLETE,
    STATE_STARTING_UP,
    STATE_NO_CODE,
    STATE_SHUTDOWN_WARNING,
    STATE_FIRMWARE_NEEDED,
    STATE_OTHER,          // format: state
    STATE_LINE,           // format: state name (padded, new line)
    STATE_LINE_PASSING,   // format: state name (padded, carriage return)
    STATE_LINE_RETURNED,  // format: state name (carriage return, padded, carriage return)
    POLLING,              // format: count, limit
    UNEXPECTED_KIND,      // format: result kind
    // Controller download
    REFUSED_STATE_1,
    REFUSED_STATE_2,
    SHUTTING_DOWN,
    SHUTTING_DOWN_LINE,
    PASS_DOT,
    SWITCHING,
    INITIALIZING,
    INITIALIZING_NAME,
    UNEXPECTED_STATE,
    TOO_MANY_1,
    TOO_MANY_2,
    DEBUG_BAD_RETURN,
    FIRMWARE_LOADING,
    WRITE_BUFFER_FAILED,
    // Drive download
    CHECK_DRIVE_FAILED,
    NO_DRIVE,  // format: slot text
    PT_INQUIRY_FAILED,
    DRIVE_REVISION,  // format: revision, product id
    SHUTDOWN_SUBSYSTEM_FAILED,
    LOADING_MECHANISM,
    START_UNIT_FAILED,
    DRIVE_INIT_FAILED_1,  // format: slot text
    DRIVE_INIT_FAILED_2,
    DRIVE_REVISION_NOW,  // format: revision
    PT_WRITE_BUFFER_FAILED,
    WRONG_MODE_5,  // format: mode
    WRONG_MODE_6,  // format: mode
    // Mode pages
    PT_TUR_FAILED,
    MODE_SENSE_DEFAULT_FAILED,
    MODE_SENSE_CHANGEABLE_FAILED,
    SETTING_MODE_PAGES,
    PAGE_CODE,  // format: page code
    PAGES_END,
    // Copy, format, list
    SHUTDOWN_FAILED,
    SHUTDOWN_COMPLETE,
    COPY_FAILED,
    FORMAT_RUNNING,
    FORMAT_WAIT,
    FORMAT_FAILED,
    FORMAT_DONE,
    RESETTING,
    INQUIRY_UNIT_FAILED,
    INQUIRY_STANDARD_FAILED,
    LIST_ENTRY,  // format: array id, revision, product id
    LIST_LINE,   // format: entry
    // Signals
    SIGNAL_RESTARTING,
    SIGNAL_HELD,
    // Command outcomes
    COMMAND_GOOD,
    SYSTEM_ERROR,  // format: errno
    DRIVER_ERROR,
    IN_PROGRESS,
    TIME_OUT,
    NON_OPERATIONAL,
    NON_OP_RESCAN,
    SCSI_ERROR,
    SCSI_STATUS,  // format: status
    STATUS_GOOD,
    UNEXPECTED_WARNING,
    STATUS_CHECK_CONDITION,
    STATUS_CONDITION_MET,
    UNEXPECTED_WARNING_SPACED,
    STATUS_BUSY,
    STATUS_INTERMEDIATE,
    STATUS_RESERVATION_CONFLICT,
    STATUS_TERMINATED,
    STATUS_QUEUE_FULL,
    STATUS_UNKNOWN,
    SENSE_KEY,  // format: sense byte 2
    KEY_NO_SENSE,
    KEY_RECOVERED,
    KEY_NOT_READY,
    KEY_MEDIUM,
    KEY_HARDWARE,
    KEY_ILLEGAL_REQUEST,
    KEY_UNIT_ATTENTION,
    KEY_DATA_PROTECT,
    KEY_BLANK_CHECK,
    KEY_VENDOR,
    KEY_COPY_ABORTED,
    KEY_ABORTED,
    KEY_EQUAL,
    KEY_VOLUME_OVERFLOW,
    KEY_MISCOMPARE,
    KEY_UNKNOWN,
    ASC_ASCQ,  // format: asc, ascq
    NOT_READY_CAUSE,
    NOT_READY_BECOMING,
    NOT_READY_INIT_REQUIRED,
    NOT_READY_MANUAL,
    NOT_READY_FORMAT,
    UNKNOWN_QUALIFIER,
    ILLEGAL_FIELD_CDB,
    ILLEGAL_FIELD_LIST,
    PARAMETER_NOT_SUPPORTED,
    PARAMETER_VALUE_INVALID,
    FIRMWARE_CHECKSUM,
    FIRMWARE_WRONG_TYPE,
    COMMAND_SEQUENCE,
    POWER_ON_RESET,
    SENSE_DATA,
    SENSE_BYTE,  // format: byte
    NEW_LINE,
    TEXT_COUNT
};

const char* Text(DownloadText id);

// The lines of the extended help, in order.
const char* const* ExtendedHelp(std::size_t* count);

}  // namespace download
