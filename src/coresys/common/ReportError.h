// Fatal-error routine of the shared libraries.
#pragma once

// Writes where, a blank, what and a line end to standard error, flushes the
// standard streams and ends the process with exit code 3. Used only for
// misuse that leaves no sane way on (an encode buffer that cannot grow, a
// message coded with a wrong version); bad input from a peer never gets here.
[[noreturn]] void ReportError(const char* where, const char* what);
