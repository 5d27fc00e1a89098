// Service control manager of our own, in place of the Windows one.
//
// One ORU_ROOT is one machine; its services database lives in
// ORU_ROOT/scm/<service name>/:
//   config   the record: name, display name, binary path, arguments, type,
//            start type, error control, dependencies (text, key=value lines)
//   status   the service's status, written by the service's dispatcher through
//            SetServiceStatus (and by the manager while starting, and when a
//            stale record is found): state, controls accepted, Win32 and
//            service-specific exit codes, check point, wait hint, pid, the
//            address of the control socket
//   exit     written when the service process ends: its exit status
//   output.log  standard output and error of the service process
//   deleted  present once DeleteService marked the record for deletion
//   lock     flock(2) lock serialising every read-modify-write of the record
//
// Manager side (any process, including a test): OpenSCManager, CreateService,
// OpenService, StartService, ControlService, QueryServiceStatus, DeleteService,
// ... with the Windows semantics the service frame and the installation library
// rely on. Every call returns a value that says success (non-null handle or
// true) and, on failure, sets this thread's service error (ScGetLastError) to
// one of the SC_ERROR_* codes below, whose values are the Win32 ones so that
// numbers quoted by the design (109 broken pipe, 1060 does not exist, ...) mean
// the same here.
//
// StartService spawns the binary detached (own session, reparented away from
// the caller, stdin /dev/null, stdout/stderr appended to output.log) with the
// starter's environment plus ORU_ROOT=<this root> and
// ORU_SCM_SERVICE=<service name>: that marker tells the program it runs under
// the manager (RunningUnderServiceManager). StartService returns once the
// program's dispatcher has connected (StartServiceCtrlDispatcher), the state
// then being START_PENDING or later. Controls travel over a per-service Unix
// socket that the dispatcher listens on; the service's handler runs on the
// dispatcher's control thread and ControlService returns the status as it is
// after the handler returned. A record whose process has died while its status
// still says anything but STOPPED reads as STOPPED (Win32 exit code
// SC_ERROR_PROCESS_ABORTED unless the service had reported STOPPED).
//
// Service side (the service program): StartServiceCtrlDispatcher runs the
// service main on the calling thread and serves control requests on a thread
// of its own; RegisterServiceCtrlHandler and SetServiceStatus as on Windows.
// A test may run a service in-process: CreateService a record, then call
// StartServiceCtrlDispatcherAs(name, table) on a thread of its own and drive
// it with the manager-side calls from another.
//
// All functions are thread-safe. Handles are not shared between threads
// without external synchronization.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// ---- Values --------------------------------------------------------------

// Service states (ServiceStatus::currentState).
enum ServiceStateValue : std::uint32_t {
    SERVICE_STOPPED = 1,
    SERVICE_START_PENDING = 2,
    SERVICE_STOP_PENDING = 3,
    SERVICE_RUNNING = 4,
    SERVICE_CONTINUE_PENDING = 5,  // never reached: no pause/continue here
    SERVICE_PAUSE_PENDING = 6,
    SERVICE_PAUSED = 7,
};

// Control codes (ControlService, the service's handler).
enum ServiceControlValue : std::uint32_t {
    SERVICE_CONTROL_STOP = 1,
    SERVICE_CONTROL_INTERROGATE = 4,
    SERVICE_CONTROL_SHUTDOWN = 5,
};

// Bits of ServiceStatus::controlsAccepted. INTERROGATE is always accepted.
enum ServiceAcceptValue : std::uint32_t {
    SERVICE_ACCEPT_STOP = 0x1,
    SERVICE_ACCEPT_SHUTDOWN = 0x4,
};

// Service type: only "own process" exists here.
constexpr std::uint32_t SERVICE_WIN32_OWN_PROCESS = 0x10;

// Start types (ServiceConfig::startType).
enum ServiceStartValue : std::uint32_t {
    SERVICE_AUTO_START = 2,  // recorded; nothing starts services at boot here
    SERVICE_DEMAND_START = 3,
    SERVICE_DISABLED = 4,  // StartService fails with SC_ERROR_SERVICE_DISABLED
};

// Error control (recorded only).
enum ServiceErrorControlValue : std::uint32_t {
    SERVICE_ERROR_IGNORE = 0,
    SERVICE_ERROR_NORMAL = 1,
};

// Access masks: accepted and recorded on the handle; the manager checks only
// the file permissions of the database.
constexpr std::uint32_t SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr std::uint32_t SERVICE_ALL_ACCESS = 0xF01FF;

// State filters of EnumDependentServices.
enum ServiceStateFilter : std::uint32_t {
    SERVICE_ACTIVE = 1,    // any state but STOPPED
    SERVICE_INACTIVE = 2,  // STOPPED
    SERVICE_STATE_ALL = 3,
};

// Service errors (ScGetLastError). Values are the Win32 error numbers.
enum ScError : std::uint32_t {
    SC_OK = 0,
    SC_ERROR_FILE_NOT_FOUND = 2,  // binary missing or not executable
    SC_ERROR_ACCESS_DENIED = 5,   // database not writable
    SC_ERROR_INVALID_HANDLE = 6,
    SC_ERROR_INVALID_PARAMETER = 87,
    SC_ERROR_BROKEN_PIPE = 109,  // control channel broke mid-request
    SC_ERROR_INVALID_NAME = 123,
    SC_ERROR_DEPENDENT_SERVICES_RUNNING = 1051,
    SC_ERROR_INVALID_SERVICE_CONTROL = 1052,  // control not accepted / unknown
    SC_ERROR_SERVICE_REQUEST_TIMEOUT = 1053,  // no dispatcher / no reply in time
    SC_ERROR_SERVICE_NO_THREAD = 1054,        // the program could not be spawned
    SC_ERROR_SERVICE_DATABASE_LOCKED = 1055,
    SC_ERROR_SERVICE_ALREADY_RUNNING = 1056,
    SC_ERROR_SERVICE_DISABLED = 1058,
    SC_ERROR_CIRCULAR_DEPENDENCY = 1059,
    SC_ERROR_SERVICE_DOES_NOT_EXIST = 1060,
    SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061,         // START_PENDING / STOP_PENDING
    SC_ERROR_SERVICE_NOT_ACTIVE = 1062,                 // control sent to a stopped service
    SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063,  // dispatcher not under manager
    SC_ERROR_PROCESS_ABORTED = 1067,                    // process ended without reporting STOPPED
    SC_ERROR_SERVICE_DEPENDENCY_FAIL = 1068,
    SC_ERROR_SERVICE_MARKED_FOR_DELETE = 1072,
    SC_ERROR_SERVICE_EXISTS = 1073,
    SC_ERROR_SERVICE_NOT_IN_EXE = 1083,  // handler registered for another name
    SC_ERROR_DATABASE_DAMAGED = 1359,    // a record that cannot be read
};

// This thread's last service error (SC_OK after a successful call).
std::uint32_t ScGetLastError();
void ScSetLastError(std::uint32_t error);
// Short English text of an error code (e.g. "the service does not exist").
const char* ScErrorText(std::uint32_t error);
// Name of the code (e.g. "SC_ERROR_SERVICE_DOES_NOT_EXIST"), "?" if unknown.
const char* ScErrorName(std::uint32_t error);

// ---- Records ---------------------------------------------------------------

// Status of a service, as SetServiceStatus reports and the manager returns.
struct ServiceStatus {
    std::uint32_t serviceType = SERVICE_WIN32_OWN_PROCESS;
    std::uint32_t currentState = SERVICE_STOPPED;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
    // Filled by the manager, ignored by SetServiceStatus:
    std::uint32_t processId = 0;        // 0 when no process runs
    std::int32_t processExitCode = -1;  // exit code of the last process that
                                        // ended; 128+n for signal n; -1 unknown
};

// One record of the services database.
struct ServiceConfig {
    std::string serviceName;             // 1..256 chars, no '/', not "." or ".."; case-insensitive
    std::string displayName;             // empty: the service name
    std::string binaryPath;              // absolute path of the program
    std::vector<std::string> arguments;  // extra argv after argv[0] at each start
    std::uint32_t serviceType = SERVICE_WIN32_OWN_PROCESS;
    std::uint32_t startType = SERVICE_DEMAND_START;
    std::uint32_t errorControl = SERVICE_ERROR_NORMAL;
    std::vector<std::string> dependencies;  // services that must run first
};

struct EnumServiceStatus {
    std::string serviceName;
    std::string displayName;
    ServiceStatus status;
};

// ---- Manager side ----------------------------------------------------------

struct ScHandleRecord;             // opaque
using ScHandle = ScHandleRecord*;  // nullptr: failure

// Opens the services database of this machine (ORU_ROOT/scm, created when
// missing). Fails with SC_ERROR_ACCESS_DENIED when it cannot be created.
ScHandle OpenSCManager(std::uint32_t access = SC_MANAGER_ALL_ACCESS);

// Adds a record. Fails with SC_ERROR_SERVICE_EXISTS (also for a name that
// differs only in case), SC_ERROR_SERVICE_MARKED_FOR_DELETE (same name, still
// running after DeleteService), SC_ERROR_INVALID_NAME, SC_ERROR_INVALID_PARAMETER
// (empty or relative binary path). Returns a handle to the new service.
ScHandle CreateService(ScHandle manager, const ServiceConfig& config,
                       std::uint32_t access = SERVICE_ALL_ACCESS);

// Opens an existing record. SC_ERROR_SERVICE_DOES_NOT_EXIST when none.
ScHandle OpenService(ScHandle manager, const std::string& serviceName,
                     std::uint32_t access = SERVICE_ALL_ACCESS);

// Closes a manager or service handle. Closing nullptr fails (INVALID_HANDLE).
bool CloseServiceHandle(ScHandle handle);

// Starts the service: first every dependency that is not running (recursively;
// failure SC_ERROR_SERVICE_DEPENDENCY_FAIL), then spawns the program with
// argv = binaryPath followed by the config's arguments; as on Windows the
// call's `arguments` go to the service main, whose argv is the service name
// followed by them (they travel in the environment, ORU_SCM_ARGC and
// ORU_SCM_ARG1...). The environment is the caller's without ORU_DEBUG (a
// console-only switch), plus ORU_ROOT and the marker. Returns
// when the dispatcher connected. Errors: SC_ERROR_SERVICE_ALREADY_RUNNING
// (state not STOPPED), SC_ERROR_SERVICE_DISABLED, SC_ERROR_SERVICE_MARKED_FOR_DELETE,
// SC_ERROR_FILE_NOT_FOUND (program cannot be executed),
// SC_ERROR_SERVICE_REQUEST_TIMEOUT (no dispatcher within 30 s; the process is
// killed), SC_ERROR_PROCESS_ABORTED (process ended before its dispatcher
// connected).
bool StartService(ScHandle service, const std::vector<std::string>& arguments = {});

// Sends a control and waits (up to 30 s) for the handler to return; `status`
// (may be null) receives the status after the handler. Errors:
// SC_ERROR_SERVICE_NOT_ACTIVE (stopped), SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// (START_PENDING or STOP_PENDING, for STOP/SHUTDOWN), SC_ERROR_INVALID_SERVICE_CONTROL
// (not in controlsAccepted, or an unknown code), SC_ERROR_DEPENDENT_SERVICES_RUNNING
// (STOP while an active service depends on it), SC_ERROR_BROKEN_PIPE (the
// channel broke before the reply, e.g. the process was ending),
// SC_ERROR_SERVICE_REQUEST_TIMEOUT. A process whose dispatcher has not connected
// yet gets SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL for STOP/SHUTDOWN and
// SC_ERROR_SERVICE_REQUEST_TIMEOUT for others; a dispatcher with no handler
// registered yet answers STOP/SHUTDOWN with SC_ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// and INTERROGATE with the status. On these errors `status` still receives the
// current status when it could be read.
bool ControlService(ScHandle service, std::uint32_t control, ServiceStatus* status);

// Current status (stale records read as STOPPED, see above).
bool QueryServiceStatus(ScHandle service, ServiceStatus* status);

// The record as created.
bool QueryServiceConfig(ScHandle service, ServiceConfig* config);

// Removes the record at once when the service is stopped; otherwise marks it
// and the record goes when the service is next seen stopped. A second delete:
// SC_ERROR_SERVICE_MARKED_FOR_DELETE. The handle stays valid (queries of a
// removed record report STOPPED).
bool DeleteService(ScHandle service);

// Services whose dependencies name this one, filtered by state.
bool EnumDependentServices(ScHandle service, std::uint32_t stateFilter,
                           std::vector<EnumServiceStatus>* services);

// Every record of the database, filtered by state.
bool EnumServicesStatus(ScHandle manager, std::uint32_t stateFilter,
                        std::vector<EnumServiceStatus>* services);

// ---- Service side ----------------------------------------------------------

// The service main: argv[0] is the service name.
using ServiceMainFunction = void (*)(std::uint32_t argc, char** argv);

struct ServiceTableEntry {
    const char* serviceName;
    ServiceMainFunction serviceMain;
};

// Control handler: runs on the dispatcher's control thread, one control at a
// time; it reports through SetServiceStatus.
using ServiceHandlerFunction = std::function<void(std::uint32_t control)>;

struct ServiceStatusRecord;                        // opaque
using ServiceStatusHandle = ServiceStatusRecord*;  // nullptr: failure

// The name of the environment marker ("ORU_SCM_SERVICE").
const char* ServiceManagerMarker();

// True when the environment marker is present: the program was started by
// StartService and should call StartServiceCtrlDispatcher.
bool RunningUnderServiceManager();

// Connects to the manager as the service named by the environment marker,
// which must be one of `table` (a list ended by an entry with a null name).
// Runs that entry's service main on the calling thread with a control thread
// beside it, and returns true when the service main returns. Should the
// service main return without having reported STOPPED, the dispatcher reports
// STOPPED with SC_ERROR_PROCESS_ABORTED. Fails at once with
// SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the marker is missing (the
// program was started from a console) or names no entry of the table, or the
// control socket cannot be set up.
bool StartServiceCtrlDispatcher(const ServiceTableEntry* table);

// The same for a service named explicitly, without the environment marker:
// for tests that run a service in-process. The record must exist.
bool StartServiceCtrlDispatcherAs(const std::string& serviceName, const ServiceTableEntry* table);

// Registers the control handler of the running service main. Fails with
// SC_ERROR_SERVICE_NOT_IN_EXE for a name that is not the dispatched service
// (case-insensitive), SC_ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when no
// dispatcher runs on this process.
ServiceStatusHandle RegisterServiceCtrlHandler(const std::string& serviceName,
                                               ServiceHandlerFunction handler);

// Publishes the status (atomically rewrites the record's status file; pid and
// exit code fields are the manager's). Fails with SC_ERROR_INVALID_HANDLE or
// SC_ERROR_INVALID_PARAMETER (unknown state), or SC_ERROR_ACCESS_DENIED when
// the file cannot be written.
bool SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status);

}  // namespace platform
