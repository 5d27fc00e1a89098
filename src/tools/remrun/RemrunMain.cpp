// remrun: runs one command on a remote host through its shell service and
// copies the command's output and error output to this console.
#include "tools/remrun/RemoteShell.h"
#include "tools/remrun/RemrunCommandLine.h"
#include "tools/remrun/RemrunConsole.h"

#include <cstdio>

int main(int argc, char** argv) {
    remrun::RemrunConsole console(stdout, stderr);
    remrun::RemrunOptions options;
    switch (remrun::ParseCommandLine(argc, argv, console, &options)) {
        case remrun::CommandLineOutcome::SHORT_USAGE:
            return remrun::kExitUsage;
        case remrun::CommandLineOutcome::LONG_USAGE:
            return remrun::kExitRun;
        case remrun::CommandLineOutcome::RUN:
            break;
    }
    remrun::RemoteShell shell(options, console);
    return shell.Run();
}
