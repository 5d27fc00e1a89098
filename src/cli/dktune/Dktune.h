// dktune: changes an array's settings and runs the array-wide operations.
//
// Several settings may be changed in one run, each sent, awaited and
// reported before the next; an operation (alias, resiliency, shutdown or
// restart, reset, default SCSI settings, force lock) stands alone.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "client/DiskArray.h"

class QEN;

namespace dktune {

enum TUNE_OPERATION : std::int32_t {
    TO_NONE = 0,
    TO_SETTINGS = 1,
    TO_ALIAS = 15,
    TO_RESILIENCY = 16,
    TO_SHUTDOWN = 17,
    TO_RESTART = 18,
    TO_RESET = 19,
    TO_DEFAULT_SCSI = 20,
    TO_FORCE_LOCK = 21,
};

// Flag bits of the chosen settings (and of their on/off values).
enum TUNE_SETTING : std::uint32_t {
    TS_PRIMARY_CONTROLLER = 0x1,
    TS_AUTO_INCLUDE = 0x2,
    TS_HOT_SPARE = 0x4,
    TS_CAPACITY_THRESHOLD = 0x8,
    TS_READ_CACHE = 0x20,
    TS_WRITE_CACHE = 0x40,
    TS_PARITY = 0x80,
    TS_SDTR = 0x100,
    TS_WDTR = 0x200,
    TS_TERMINATOR_POWER = 0x400,
    TS_AUTO_REBUILD = 0x800,
    TS_REBUILD_PRIORITY = 0x1000,
    TS_CONTROLLER_ADDRESS = 0x2000,
    TS_FORMAT_PATTERN_FILL = 0x4000,
    TS_FLUSH_LOG = 0x8000,
    TS_DISABLE_REMOTE_RESET = 0x10000,
    TS_RETRY_LOG = 0x20000,
    TS_QUEUE_FULL = 0x40000,
    TS_LUN_LIMIT = 0x80000,
    TS_SINGLE_PATH_FAILOVER = 0x100000,
    TS_VERY_EARLY_BUSY = 0x200000,
};

// One on/off setting: its switch, flag bit, request and request code.
struct TuneSettingRow {
    char letter;
    std::uint32_t flag;
    CommandHandle (*send)(DiskArray& array, int on);
    std::uint32_t code;
};

// The on/off settings, sent in this order.
extern const TuneSettingRow TuneSettingTable[14];

struct TuneOptions {
    TUNE_OPERATION operation = TO_NONE;
    std::uint32_t settings = 0;          // chosen settings
    std::uint32_t values = 0;            // their on/off values, same bits ("low" is on)
    std::int32_t primaryController = 0;  // -c: 0 = X, 1 = Y
    std::int32_t addressController = 0;  // -C: 0 = X, 1 = Y
    std::int32_t address = 0;
    std::int32_t threshold = 0;
    std::int32_t queueFull = 0;
    std::int32_t lunLimitExponent = 0;
    PERF_GOAL resiliency = PG_NORMAL;
    std::int32_t singleController = 0;
    std::string alias;
    bool raw = false;
    bool verbose = false;
    std::int32_t exitLevel = -1;
    std::string arrayId;
};

// Reads the command line. "-?" prints the long help and ends with 0; a
// malformed line ends in the usage exit (2) after its message, a bad alias
// with program message 20 and exit 2.
TuneOptions ParseTuneArguments(int argc, char** argv);

// The result line(s) of a request that succeeded.
void PrintTuneResult(std::uint32_t code, const TuneOptions& options, std::int32_t value,
                     std::ostream& out);

// The run against the service; returns 0 or ends the process with the exit
// code of a failure.
int RunTune(const TuneOptions& options);

// The long help on standard output.
void PrintTuneHelp();

}  // namespace dktune
