// One run of dksalvage: its streams, its options from the command line, the
// check-point trace, the exits, and RunSalvage, which is the whole program
// (main only hands it the process's streams).
//
// Every exit of the run (usage, refusals, failures) goes through
// ExitSalvage, which unwinds to RunSalvage; RunSalvage returns the exit
// code, so the recovery object and the catalog are always released and a
// test may run the program in-process.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace salvage {

// The recovery modes.
enum RecoveryMode : int {
    MODE_NONE = 0,
    MODE_INTERACTIVE = 1,
    CHECK_STATUS = 2,
    VOL_SET_SPECIFIED = 3,
    DEFAULT_VOL_SET = 4,
    PARITY_SCAN_ONLY = 5,
    DUMP_LOGS = 6,
};

enum DksalvageExitCodes : int {
    SALVAGE_EXIT_OK = 0,      // done, help, quit in the menu, nothing to do
    SALVAGE_EXIT_FAILED = 1,  // no catalog, array unreadable, old revision, refused or failed
    SALVAGE_EXIT_USAGE = 2,   // command line, a mode that does not fit the volume sets
    SALVAGE_EXIT_FATAL = 3,   // FatalError
};

struct RecoveryOptions {
    static constexpr std::size_t kVolumeSetIdLength = 16;

    int mode = MODE_NONE;
    bool pollCycle = false;   // follow the progress of the work to its end
    bool continuous = false;  // progress lines end with a new line (-C)
    bool override = false;    // refusals become warnings
    bool clearLog = false;    // -lc
    bool debug = false;       // the trace, and no volume-set command is sent
    std::string arrayId;
    char volumeSetId[kVolumeSetIdLength + 1] = {};  // empty until given
    std::string currentFunction;
    std::vector<std::string> usage;
};

// The streams of a run.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// Thrown by ExitSalvage, caught by RunSalvage only.
struct SalvageExit {
    int code;
};
[[noreturn]] void ExitSalvage(int code);

class SalvageRun {
  public:
    explicit SalvageRun(Console console) : console(console) {}

    // Prints "\n<program>: " and the formatted text (at most 254
    // characters) and a new line on the output, when -debug is on.
    void TraceCheckPoint(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Stores function as the current function and traces checkPoint with it.
    void Enter(const char* function, const char* checkPoint);

    // Fills the usage lines from the catalog; 1 when done.
    int SetupUsage();
    // Parses the command line into options; 1 when it is good. Faults end
    // the run through Fail (exit 2), "-?" through the extended help (exit 0).
    int ParseArgs(int argc, char** argv);
    // The extended help, on the output.
    void ExtendedHelp();
    // The usage lines on the error stream, then the exit.
    [[noreturn]] void Fail(int exitCode);
    // Without override the run ends with exitCode; with it the refusal is
    // only reported and the run goes on.
    void ExitUnlessOverride(int exitCode);

    Console console;
    RecoveryOptions options;
};

// The whole program: returns its exit code.
int RunSalvage(int argc, char** argv, Console console);

// The fatal-error sink of the shared libraries: the trace, "dksalvage: "
// and both texts on standard error, exit code 3.
[[noreturn]] void FatalError(const char* first, const char* second);

}  // namespace salvage
