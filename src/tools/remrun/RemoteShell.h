// One run of a command through the remote host's shell service.
//
// Resolves the host, connects from a reserved port to the port of the
// services entry "shell"/"tcp" (ORU_ROOT/etc/services first), offers a
// second reserved port for the remote error output, sends the request
// (error port, user name twice, command, each ended by a zero byte) and
// copies the remote output to the console's output stream and the remote
// error output to its error stream. Returns the exit code: kExitRun when
// the remote side took the command and its output arrived whole,
// kExitFatal otherwise (the reason is on the error stream).
#pragma once

#include "tools/remrun/RemrunCommandLine.h"
#include "tools/remrun/RemrunConsole.h"

namespace remrun {

class RemoteShell {
  public:
    RemoteShell(const RemrunOptions& options, RemrunConsole& console)
        : options_(options), console_(console) {}
    RemoteShell(const RemoteShell&) = delete;
    RemoteShell& operator=(const RemoteShell&) = delete;

    int Run();

  private:
    const RemrunOptions& options_;
    RemrunConsole& console_;
};

}  // namespace remrun
