// remrun's command line: remrun host [options] command words...
//
// Options are the words from the second argument on while they begin with
// "-": -b (binary output), -d (debug lines, on from the start wherever it
// stands among the options), -l name (remote user), -v (version, printed
// where it stands), -h (long usage); any other is reported as ignored. The
// remaining words, joined with single blanks, are the command. The parser
// prints the debug lines of the arguments, the version, the usages and the
// notes on ignored options itself.
#pragma once

#include "tools/remrun/RemrunConsole.h"

#include <string>

namespace remrun {

struct RemrunOptions {
    std::string host;
    std::string userName;  // empty: the logon name
    bool binaryOutput = false;
    std::string command;
};

enum class CommandLineOutcome {
    RUN,          // options complete: run the command
    SHORT_USAGE,  // printed; exit 1
    LONG_USAGE    // printed; exit 0
};

inline constexpr int kExitRun = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFatal = 2;

CommandLineOutcome ParseCommandLine(int argc, const char* const* argv, RemrunConsole& console,
                                    RemrunOptions* options);

// The long usage on the error stream.
void PrintLongUsage(RemrunConsole& console);

}  // namespace remrun
