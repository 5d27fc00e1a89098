// The service's fatal-error routine.
//
// ServerFatalError records (where, what) and ends the process; it never
// returns. The service frame installs the full routine (event report, stop
// sequence, exit code 1 or 3); until then a plain one writes
// "OruServr: <where> <what>" to standard error and ends the process with
// exit code 3. The task framework and every other part of the service raise
// their fatal errors through here.
#pragma once

using ServerFatalHandler = void (*)(const char* where, const char* what);

[[noreturn]] void ServerFatalError(const char* where, const char* what);

// Installs the routine ServerFatalError runs; nullptr restores the plain one.
// A handler that returns is followed by the plain one.
void SetServerFatalHandler(ServerFatalHandler handler);
