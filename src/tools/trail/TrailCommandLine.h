// dktrail's command line: the filters of a run (array, time window, record
// kinds), the log directory and the verbose level, and the times it takes
// (MMDDhhmm or MMDDhhmmYY, local time).
//
// Each argument is "-" and a letter; its value is the rest of the argument
// or, when the option stands alone, the next argument. A mistake is said
// with its catalog text on the error stream and ends the parsing (except a
// bad verbose level, which is said and taken as level 1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class StringCatalog;

namespace trail {

class TrailOutput;

// The kinds of class 2 records (their codes).
enum LogRecordKind : int {
    LRK_USAGE = 0,
    LRK_DISK = 1,
    LRK_CTRLR = 2,
    LRK_CHANGE = 3,
    LRK_PERF = 4,
    LRK_COUNT = 5,
};

// The keyword of a kind ("usage", "disk", "ctrlr", "change", "perf").
const char* RecordKindName(int kind);

struct TrailOptions {
    // A 12-character serial number: only that array's records.
    std::optional<std::string> serial;
    // The log directory given with -d (mapped like the service's paths, one
    // trailing "/" removed); none: the service's own.
    std::optional<std::string> directory;
    // The time window, seconds since 1970, bounds included. Without -e
    // every stamp a record can carry.
    std::int64_t startTime = 0;
    std::int64_t endTime = 0xFFFFFFFFll;
    // The kinds of class 2 records to decode; all until the first -t.
    bool kinds[LRK_COUNT] = {true, true, true, true, true};
    // 0, 1 or 2.
    int verbose = 0;
};

enum class ParseOutcome {
    kRun,    // options filled
    kHelp,   // "-?" was given: print the usage, exit 0
    kError,  // a mistake was said: print the short usage, exit 2
};

// Parses the arguments (without the program name). currentYear is the year
// of times given without one.
ParseOutcome ParseTrailCommandLine(const std::vector<std::string>& arguments, int currentYear,
                                   StringCatalog& catalog, TrailOutput& err, TrailOptions* options);

// MMDDhhmm or MMDDhhmmYY as local time, in seconds since 1970: a year of 90
// or more is 19YY, below 90 20YY, none the current year. The month, the day
// (within that month of that year), the hour and the minute must exist.
std::optional<std::int64_t> ParseLogTime(std::string_view text, int currentYear);

// The usage (to the error stream) and the short usage.
void PrintUsage(StringCatalog& catalog, TrailOutput& err);
void PrintShortUsage(StringCatalog& catalog, TrailOutput& err);

}  // namespace trail
