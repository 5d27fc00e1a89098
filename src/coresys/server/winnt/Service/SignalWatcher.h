// Turns the stop signals into a posting of the service's exit event.
//
// The signal handler itself only writes the signal number into a pipe (the
// one thing it may safely do); a thread of its own reads the pipe and posts
// the exit event. SIGINT, SIGTERM and SIGABRT always stop the service; in
// console mode SIGINT (Ctrl-C) and SIGQUIT (Ctrl-\, the console's break key)
// also print "Stopping <service>." first. SIGPIPE and SIGXFSZ are ignored:
// a broken connection, or a file that reached the process's file-size limit,
// is reported by the write that met it (EPIPE, EFBIG); the log treats EFBIG
// like a full disk.
#pragma once

class SignalWatcher {
  public:
    // Installs the handlers and starts the thread (once per process; later
    // calls do nothing). Returns false when the pipe or thread cannot be
    // made: the signals then keep their default action.
    static bool Start(bool console);
};
