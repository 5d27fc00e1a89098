// Where dksalvage's texts come from: its catalog sets and the few texts that
// cannot come from a catalog (the complaints that there is none, the fixed
// label of the LBA line, the check-point traces).
#pragma once

namespace salvage {

// Catalog sets of the console programs' catalog.
inline constexpr int kUsageSet = 200;    // usage line and extended help
inline constexpr int kMessageSet = 201;  // refusals, failures, explanations
inline constexpr int kListSet = 202;     // status reports, volume-set lists, menu
inline constexpr int kStateSet = 203;    // state and condition texts
inline constexpr int kRecordSet = 18;    // controller log records
inline constexpr int kCommonSet = 9;     // the common texts (9/163)

// Usage and extended help.
inline constexpr int kUsageItem = 1;
inline constexpr int kHelpFirst = 100;
inline constexpr int kHelpLast = 121;

// Set 201.
enum Message201 : int {
    M_BAD_VOLUME_SET_ID = 2,
    M_NOT_READABLE = 20,
    M_NO_VOLUME_SETS = 21,
    M_SEVERAL_SETS = 22,
    M_UNKNOWN_ID = 23,
    M_CHOICE_NOT_VALID = 25,
    M_SCAN_WANTED = 27,
    M_WORK_WANTED = 28,
    M_PROGRESS_UNREADABLE = 29,
    M_LOG_FAILED = 31,
    M_LOG_READ_FAILED = 32,
    M_LOG_DAMAGED = 33,
    M_LOG_COUNT = 34,
    M_LOG_CLEARED = 35,
    M_OLD_REVISION = 36,
    M_OVERRIDDEN = 37,
    M_NO_CHOICE = 38,         // the menu met the end of its input
    M_PROGRESS_STALLED = 39,  // the progress did not move for too long
    M_ID_OF_TWO_ARRAYS = 40,  // more than one cabinet answers to the id
    M_SEVERE_FIRST = 100,
    M_SEVERE_LAST = 105,
    M_OTHER_FIRST = 110,
    M_OTHER_LAST = 114,
    M_ADVICE_FIRST = 120,
    M_ADVICE_LAST = 123,
    M_STOPPED_FIRST = 130,
    M_STOPPED_LAST = 135,
    M_SCAN_FIRST = 140,
    M_SCAN_LAST = 144,
};

// Set 202.
enum Message202 : int {
    L_NOTHING_TO_DO = 1,
    L_ONE_SET = 2,
    L_VOLUME_SET = 3,
    L_DRIVES = 4,
    L_SLOT_A1 = 5,   // 5..10: A1..A6
    L_SLOT_B1 = 11,  // 11..16: B1..B6
    L_SLOT_UNKNOWN = 17,
    L_PROGRESS = 19,
    L_IN_PROGRESS = 20,
    L_DEFAULT_SET = 21,
    L_QUIT = 22,
    L_PROMPT = 23,
    L_BAD_CHOICE = 24,
    L_QUITTING = 25,
    L_SENDING_DEFAULT = 26,
    L_SENDING_ID = 27,
    L_NOW_INTERACTIVE = 28,
    L_UNASSIGNED = 29,
};

// Set 203.
enum Message203 : int {
    S_STATE_HEADING = 1,
    S_FLAGS_HEADING = 2,
    S_STATE_BASE = 200,  // 200 + state value
    S_STATE_UNKNOWN = 255,
};

struct SalvageTexts {
    static constexpr const char* kProgram = "dksalvage";
    // Before the catalog is there, or when usage cannot be built.
    static constexpr const char* kNoCatalog = "Unable to open string catalog files.";
    static constexpr const char* kNoUsage = "Unable to setup Usage information.";
    // The trace line: "\n<program>: <text>\n".
    static constexpr const char* kTraceHead = "\n%s: ";
    static constexpr const char* kFatalFormat = "%s: %s %s\n";
};

// Check points of the trace.
struct SalvageTrace {
    static constexpr const char* kMain = "CP 1: In function %s";
    static constexpr const char* kArrayId = "CP 2: array id: %s \n";
    static constexpr const char* kVolumeSetId = "CP 3: volume set id: %s\n";
    static constexpr const char* kFail = "CP 5: In function %s";
    static constexpr const char* kSetupUsage = "CP 6: In function %s";
    static constexpr const char* kInteractive = "CP 7: Interactive mode on.\n";
    static constexpr const char* kFatal = "CP 8: In function %s";
    static constexpr const char* kParseArgs = "CP 9: In function %s";
    static constexpr const char* kCheckStatus = "CP 10: Mode set to CHECK_STATUS";
    static constexpr const char* kPollCycle = "CP 11: pollCycle set to TRUE";
    static constexpr const char* kVolSetSpecified = "CP 12: mode set to VOL_SET_SPECIFIED";
    static constexpr const char* kDebug = "CP 13: Debug Mode enabled.";
    static constexpr const char* kParityScanOnly = "CP 14: Mode set to PARITY_SCAN_ONLY";
    static constexpr const char* kDefaultVolSet = "CP 15: mode set to DEFAULT_VOL_SET";
    static constexpr const char* kDumpLogs = "CP 15: mode set to DUMP_LOGS";
    static constexpr const char* kOverride = "CP 15: override switch set";
    static constexpr const char* kRecover = "In function Recover\n";
    static constexpr const char* kRecoveryStatus = "In function RecoveryStatus\n";
    static constexpr const char* kDumpLogsFunction = "In function DumpLogs\n";
};

}  // namespace salvage
