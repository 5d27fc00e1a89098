// oru_install: the service installation library.
//
// Six plain exports with undecorated names for a setup program: install,
// start, stop and remove the array-management service as a service of our
// service control manager (platform/ServiceControl.h), query whether it runs,
// and announce an environment change. The library keeps no state and reads no
// registry values; every function opens the manager and the service itself
// and closes every handle it opened before returning. Results: non-zero for
// success, 0 for failure. Thread-safe as far as the manager is.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define ORU_INSTALL_API __attribute__((visibility("default")))

// Creates the service (display name = service name, own process, automatic
// start, normal error control, the given program, no dependencies) and starts
// it without waiting for it to run. 1 when it was created and started.
// A relative binary path is taken relative to the current directory.
ORU_INSTALL_API int InstallServerService(const char* serviceName, const char* binaryPath);

// A stopped service is started, then its status is polled for up to 10 s:
// RUNNING (or still pending after 10 s) goes on, STOPPED fails. A service in
// any other state is left as it is. Then every inactive dependent service is
// started (the first failure ends the loop). 1 when every step succeeded.
ORU_INSTALL_API int StartServerService(const char* serviceName);

// Stops every active dependent service, then the service itself unless it is
// stopped (the stop procedure: STOP controls every 500 ms, at most 3 broken
// pipes and 30 counted attempts). 1 when all stopped. When a dependent does
// not stop, the service itself is not asked (it could not stop) and the
// result is 0.
ORU_INSTALL_API int StopServerService(const char* serviceName);

// Stops the service (StopServerService) and then always attempts the delete;
// the result is the delete's. A service that does not exist counts as
// removed (1); any other failure to open it gives 0.
ORU_INSTALL_API int RemoveServerService(const char* serviceName);

// 1 when the service's state is anything but STOPPED; 0 when it is stopped or
// cannot be opened or queried.
ORU_INSTALL_API int ServiceIsRunning(const char* serviceName);

// Announces that the environment changed. There are no top-level windows to
// post WM_WININICHANGE to here: each of the two posts adds one to the counter
// in ORU_ROOT/etc/envchange (programs that care may watch it). Returns the
// result of the second post.
ORU_INSTALL_API int SendEnvChangeMsg(void);

#ifdef __cplusplus
}
#endif
