// Start and stop of the service, on its main thread.
//
// ServerMain: report START_PENDING, read the configuration, open the
// message catalog, create the exit event, catch the stop signals,
// StartServer, report RUNNING, wait for the exit event, report
// STOP_PENDING, StopServer, free the configuration and the catalog, report
// STOPPED. A fatal error (ServerFatalError) before RUNNING runs the stop
// sequence (on the main thread) and ends the process with exit code 1; from
// RUNNING on it ends the process at once with exit code 3.
#pragma once

#include <string>

class StringCatalog;

// Runs the service on the calling thread until it is asked to stop;
// returns the exit code of an orderly stop (0).
int ServerMain();

// Creates the controller and service tasks and the three managers, then
// initialises the managers in order and reports the start.
void StartServer();

// Reports the exit, shuts the managers down in order, destroys them, the
// controller task and the exit event, and closes every semaphore left.
// Managers not built yet are skipped.
void StopServer();

// Asks the service to stop: posts the exit event, or, before it exists,
// remembers the request so that the service stops as soon as it starts.
// Any thread (not a signal handler).
void PostServerExit();

// True from the RUNNING report on.
bool IsServerRunning();

// The language library of the service's catalog: "oruseng.dll" when
// forceEnglish is set, else by the user's default language: German
// "orusdeu.dll", Spanish "orusspn.dll", French "orusfrn.dll", Italian
// "orusitn.dll", any other "oruseng.dll".
std::string SelectServerLanguageLibrary(bool forceEnglish);

// The service's message catalog while it runs (nullptr otherwise).
StringCatalog* GetServerCatalog();

// Test-only: the environment variable ORU_TEST_FATAL makes the service
// raise a fatal error at a chosen moment, so the exit codes of fatal
// errors can be checked end to end: "start" on the main thread during
// StartServer, "start-task" on a task thread during StartServer, "running"
// on a task thread after RUNNING. Any other value, or none, does nothing.
inline constexpr const char* kTestFatalVariable = "ORU_TEST_FATAL";
