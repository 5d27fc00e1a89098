// The error thread: takes the remote side's connection to the error socket
// and copies what arrives to the console's error stream.
//
// Start runs the thread; it waits for one connection on the listening
// socket. Finish ends the wait when no connection has come (one already
// waiting to be accepted is still taken) and returns once the copy has
// ended, that is when the remote side has closed its error connection.
// The listening socket stays the caller's; the accepted one is closed here.
#pragma once

#include "tools/remrun/RemrunConsole.h"

#include <thread>

namespace remrun {

class ErrorStreamCopier {
  public:
    ErrorStreamCopier(int listenFd, RemrunConsole& console);
    ~ErrorStreamCopier();
    ErrorStreamCopier(const ErrorStreamCopier&) = delete;
    ErrorStreamCopier& operator=(const ErrorStreamCopier&) = delete;

    // False with errno set when the thread cannot be started.
    bool Start();
    void Finish();

  private:
    void Run();
    void Copy(int fd);

    int listenFd_;
    int wake_[2] = {-1, -1};
    RemrunConsole& console_;
    std::thread thread_;
};

}  // namespace remrun
