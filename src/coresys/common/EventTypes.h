// Event classes and, per class, the kinds of change the service reports.
//
// The major type selects the piece of state that travels behind an event; the
// minor values are the service's and pass through the coding unchanged, so a
// minor type outside these lists is carried as it came.
#pragma once

#include <cstdint>

enum EVENT_MAJOR_TYPE : std::uint32_t {
    CTLR = 0,         // controllers
    SSS = 1,          // subsystem state record
    MSS = 2,          // subsystem mode page
    MC = 3,           // caching mode page
    CAP = 4,          // capacities
    LUN_EVENT = 5,    // logical units (LUN names the record class)
    PHYS = 6,         // drive slots
    MISS = 7,         // missing drives
    HW = 8,           // cabinet hardware
    DAS_MISC = 9,     // single values of the state
    CRES = 10,        // command results
    CPRG = 11,        // commands in progress
    ORUSS_MISC = 12,  // service miscellany
    SSW = 13,         // service software
    MEXT = 14,        // extension mode page
};

enum EVENT_MINOR_CTLR_TYPE : std::uint32_t {
    CTLR_ACTIVE = 0,
    CTLR_SERIAL_NUMBER = 1,
    CTLR_BATTERY = 2,
    CTLR_STATUS = 3,
    CTLR_DRAM = 4,
    CTLR_NVRAM = 5,
};

// Minor k (1..22) reports value k + 1 of the record; minor 23 value 24.
enum EVENT_MINOR_SSS_TYPE : std::uint32_t {
    SSS_SUBSYSTEM_STATE = 0,
    SSS_VALUE_2 = 1,
    SSS_VALUE_23 = 22,
    SSS_VALUE_24 = 23,
};

// One minor per watched field of the page, 0 to 13.
enum EVENT_MINOR_MSS_TYPE : std::uint32_t {
    MSS_FIELD_FIRST = 0,
    MSS_TARGET_IDS = 13,  // either controller's address
};

enum EVENT_MINOR_MC_TYPE : std::uint32_t {
    MC_WRITE_CACHE = 0,
    MC_READ_CACHE = 1,
};

enum EVENT_MINOR_CAP_TYPE : std::uint32_t {
    CAP_RAID1 = 0,              // raid1Capacity follows
    CAP_VIRTUAL_REMAINING = 1,  // any other minor: virtualRemaining follows
};

enum EVENT_MINOR_LUN_TYPE : std::uint32_t {
    LUN_STATE = 0,
    LUN_CAPACITY = 1,
};

enum EVENT_MINOR_PHYS_TYPE : std::uint32_t {
    PHYS_SERIAL_NUMBER = 0,  // a drive was replaced
    PHYS_STATE = 1,
};

enum EVENT_MINOR_MISS_TYPE : std::uint32_t {
    MISS_PRESENT = 0,
    MISS_OTHER = 1,
};

enum EVENT_MINOR_HW_TYPE : std::uint32_t {
    HW_LIST1 = 0,
    HW_LIST2 = 1,
};

enum EVENT_MINOR_DAS_MISC_TYPE : std::uint32_t {
    DAS_MISC_VALID_STATE = 0,   // validStateData follows
    DAS_MISC_OWNS_LOCK = 1,     // ownsLock follows
    DAS_MISC_STATE_VALUE1 = 2,  // stateValue1 follows
    DAS_MISC_ALIAS = 3,         // aliasName follows (version 4)
    DAS_MISC_USER_PARAMS = 4,   // cache and extension pages follow (version 4)
    DAS_MISC_USER_PARAM3 = 5,   // as 4
};

enum EVENT_MINOR_CRES_TYPE : std::uint32_t {
    CRES_RESULT = 0,
    CRES_TEST_RESULT = 1,
    CRES_VERIFY_RESULT = 2,
    CRES_OTHER = 3,
};

enum EVENT_MINOR_CPRG_TYPE : std::uint32_t {
    CPRG_TEST_PROGRESS = 0,
    CPRG_VERIFY_PROGRESS = 1,
};

enum EVENT_MINOR_ORUSS_MISC_TYPE : std::uint32_t {
    ORUSS_MISC_0 = 0,
    ORUSS_MISC_1 = 1,
    ORUSS_MISC_LOG_SUSPENDED = 2,
};

enum EVENT_MINOR_SSW_TYPE : std::uint32_t {
    SSW_CONTROLLERS = 0,        // stateValue3 and the controllers follow (version 4)
    SSW_DRIVE_DIAGNOSTICS = 1,  // stateValue2 and the drives follow (version 4)
    SSW_SERVER_SOFTWARE = 2,
    SSW_ALARM_TEST = 3,
    SSW_DEVICE_NOTICE = 4,
    SSW_CONFIGURATION_CHANGED = 13,
};

enum EVENT_MINOR_MEXT_TYPE : std::uint32_t {
    MEXT_VALUE_FIRST = 0,
    MEXT_VALUE_LAST = 4,
};
