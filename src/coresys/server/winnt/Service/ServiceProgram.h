// The program OruServr: a service of the service control manager, or, with
// the environment variable ORU_DEBUG equal to "ON" exactly, a console
// program that runs until Ctrl-C (SIGINT) or SIGTERM.
#pragma once

#include <cstdint>

// The program's main; returns its exit code.
int OruServrMain(int argc, char** argv);

// Console mode: prints "Debugging OruServer Service." and runs the service
// on the calling thread.
void DebugService();

// The service main the dispatcher runs: registers the control handler,
// reports START_PENDING and runs the service.
void service_main(std::uint32_t argc, char** argv);
