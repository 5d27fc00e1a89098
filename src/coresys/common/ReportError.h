// Fatal-error routine of the shared libraries.
#pragma once

// Writes where, a blank, what and a line end to standard error, flushes the
// standard streams and ends the process with exit code 3. Used only for
// misuse that leaves no sane way on (an encode buffer that cannot grow, a
// message coded with a wrong version); bad input from a peer never gets here.
// A program that installed a sink has it called instead.
[[noreturn]] void ReportError(const char* where, const char* what);

// A program's own fatal-error routine (it must not return); nullptr puts
// the plain one back. Set once at start, before other threads run.
using FatalErrorSink = void (*)(const char* where, const char* what);
void SetFatalErrorSink(FatalErrorSink sink);
