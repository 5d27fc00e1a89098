// Where dktrail's texts come from: the numbers of its catalog texts (set 18
// of the console programs' catalog, shared with dksalvage for the lines of
// controller-log entries) and the few texts that are the program's own
// output format rather than words (headings, the totals of the catalog,
// the generic record line).
#pragma once

namespace trail {

inline constexpr int kTrailSet = 18;

enum TrailMessage : int {
    T_CATALOG_NOT_OPEN = 1,  // + ": " and the reason
    T_LOG_HEADING = 2,
    T_NO_FILES = 3,
    T_RECORDS_HEADING = 4,
    T_DUMP_ENTRY_UNREADABLE = 5,
    T_DECODED_BEFORE = 6,  // then the count, then T_DECODED_AFTER
    T_DECODED_AFTER = 7,
    T_SERIAL_TWICE = 8,
    T_SERIAL_MISSING = 9,
    T_SERIAL_LENGTH = 10,
    T_DIRECTORY_TWICE = 11,
    T_DIRECTORY_MISSING = 12,
    T_NOT_A_DIRECTORY = 13,  // behind the directory
    T_START_TWICE = 14,
    T_START_MISSING = 15,
    T_START_BAD = 16,           // the time in the next argument
    T_START_BAD_ATTACHED = 17,  // the time attached to -s
    T_END_TWICE = 18,
    T_END_MISSING = 19,
    T_END_BAD = 20,
    T_KINDS_MISSING = 21,
    T_KIND_UNKNOWN = 22,  // then the keyword and "'"
    T_VERBOSE_BAD = 23,
    T_ARGUMENT_UNKNOWN = 24,  // then the argument
    T_WINDOW_EMPTY = 25,
    T_REFRESH_NO_ARRAY = 26,
    T_REFRESH_NOT_COPIED = 27,
    T_REFRESH_NOT_FLUSHED = 28,
    T_FILES_HEADING = 29,
    T_FILES_COLUMNS = 30,
    T_LIST_ENTRY_UNREADABLE = 31,
    T_CHAIN_BROKEN = 32,
    T_BLOCK_DAMAGED = 33,
    T_FILE_SHORT = 34,
    T_BACK_LINK = 35,
    T_USAGE_TITLE = 36,
    T_USAGE_ERRORS = 37,
    T_DRIVE_TITLE = 38,
    T_CONTROLLER_TITLE = 49,
    T_CHANGE_TITLE = 59,
    T_RECORD_SHORT = 66,
    T_PERF_TITLE = 67,
    T_PERF_FIRST = 68,  // 68..85: the preventive record's lines
    T_PERF_LAST = 85,
    T_USAGE_FIRST = 163,  // 163: the usage line; 164..183 the explanation
    T_USAGE_LAST = 183,
    T_SHORT_USAGE_FIRST = 184,
    T_SHORT_USAGE_LAST = 186,
    T_LOGGED_AT = 187,  // between a decoded record's heading and its time
    T_OPEN_FILE = 188,  // shown for the end time of the file being written
    T_ENTRY_NOT_A_FILE = 189,
    T_REGISTRY_UNREADABLE = 190,
    T_NOT_A_REGULAR_FILE = 191,
};

struct TrailTexts {
    static constexpr const char* kProgram = "dktrail";
    // Before the catalogs are there.
    static constexpr const char* kNoCatalogs = "Unable to open string catalogs.";
    // Behind the usage line.
    static constexpr const char* kHelpSwitch = "[-?]";

    // The catalog's header (verbose).
    static constexpr const char* kTotals = "TotalLogSize = %u in %u files.  High LRBA = %u\n";
    static constexpr const char* kOldestBundle = "Oldest complete bundle ID = %u. %s\n";
    static constexpr const char* kLeftOpen = "The log was left open.";
    static constexpr const char* kClosed = "The log was closed.";
    static constexpr const char* kEntryOffsets =
        "File entry offsets: oldest = %u latest = %u free = %u\n";
    static constexpr const char* kNextFile = "Next file name No = %u.  Catalog file size = %u\n";

    // The list of files.
    static constexpr const char* kVerboseFilesColumns =
        "  File name         Begin LRBA / TIME              End LRBA / TIME\n";
    static constexpr const char* kVerboseFileLine = "  %8s  %10u / %s  %10u / %s\n";
    static constexpr const char* kFileLine = "  %8s        %s        %s\n";

    // The records of one file.
    static constexpr const char* kLogFile = "Log File: %s\n";
    static constexpr const char* kVerboseRecordColumns =
        "   LRBA       TYPE    LENGTH      BUNDLE        DATE/TIME\n";
    // LRBA, class, code, length, bundle, 'B'/' ', 'E'/' ', the ctime() text
    // (which ends the line).
    static constexpr const char* kGenericLine = "%10u  (%2u,%4u)  %4u  %10u %c%c %s";
};

}  // namespace trail
