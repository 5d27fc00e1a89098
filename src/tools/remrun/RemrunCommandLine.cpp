#include "tools/remrun/RemrunCommandLine.h"

#include <string_view>

namespace remrun {
namespace {

bool IsOption(const char* word) {
    return word[0] == '-';
}

// True when -d stands among the option words (the name after -l is no
// option word; the command's own words are never looked at, so a command
// such as "ls -d /tmp" does not switch debugging on).
bool DebugRequested(int argc, const char* const* argv) {
    for (int i = 2; i < argc && IsOption(argv[i]); ++i) {
        std::string_view word(argv[i]);
        if (word == "-d") {
            return true;
        }
        if (word == "-l") {
            ++i;
        }
    }
    return false;
}

}  // namespace

void PrintLongUsage(RemrunConsole& console) {
    console.Message(RemrunText::LONG_USAGE_HEAD);
    console.UsageLine(RemrunText::USAGE_HOST_NAME, RemrunText::USAGE_HOST);
    console.UsageLine(RemrunText::USAGE_USER_NAME, RemrunText::USAGE_USER);
    console.UsageLine(RemrunText::USAGE_CONTINUED_NAME, RemrunText::USAGE_USER_DEFAULT);
    console.UsageLine(RemrunText::USAGE_VERSION_NAME, RemrunText::USAGE_VERSION);
    console.UsageLine(RemrunText::USAGE_HELP_NAME, RemrunText::USAGE_HELP);
    console.UsageLine(RemrunText::USAGE_COMMAND_NAME, RemrunText::USAGE_COMMAND);
}

CommandLineOutcome ParseCommandLine(int argc, const char* const* argv, RemrunConsole& console,
                                    RemrunOptions* options) {
    if (argc < 3) {
        console.Message(RemrunText::SHORT_USAGE);
        return CommandLineOutcome::SHORT_USAGE;
    }
    console.SetDebug(DebugRequested(argc, argv));
    for (int i = 0; i < argc; ++i) {
        console.TraceArgument(i, argv[i]);
    }
    options->host = argv[1];
    int next = 2;
    for (; next < argc && IsOption(argv[next]); ++next) {
        std::string_view word(argv[next]);
        if (word == "-b") {
            options->binaryOutput = true;
        } else if (word == "-d") {
            // already on
        } else if (word == "-l") {
            if (next + 1 >= argc || argv[next + 1][0] == '\0') {
                console.Message(RemrunText::SHORT_USAGE);
                return CommandLineOutcome::SHORT_USAGE;
            }
            options->userName = argv[++next];
        } else if (word == "-v") {
            console.VersionInfo();
        } else if (word == "-h") {
            PrintLongUsage(console);
            return CommandLineOutcome::LONG_USAGE;
        } else {
            console.Formatted(RemrunText::OPTION_IGNORED, argv[next]);
        }
    }
    if (next >= argc) {
        console.Message(RemrunText::SHORT_USAGE);
        return CommandLineOutcome::SHORT_USAGE;
    }
    options->command = argv[next];
    for (++next; next < argc; ++next) {
        options->command += ' ';
        options->command += argv[next];
    }
    return CommandLineOutcome::RUN;
}

}  // namespace remrun
