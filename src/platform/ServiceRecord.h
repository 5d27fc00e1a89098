// Internal to the service control manager (ServiceControl.cpp,
// ServiceDispatcher.cpp): the files of one record of the services database,
// process liveness, and the control-socket wire layout. Not for other callers.
#pragma once

#include "platform/ServiceControl.h"

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace platform::scm {

// ORU_ROOT/scm
std::string DatabaseDir();

// 1..256 characters, no '/', '\', control characters, not starting with '.'.
bool ValidServiceName(const std::string& name);

// Texts stored in the record may not hold line breaks or NUL.
bool ValidRecordText(const std::string& text);

std::string LowerCase(const std::string& text);

// Finds the record directory of a service, case-insensitively. Returns false
// when there is none.
bool FindRecordDir(const std::string& name, std::string* dir);

// The status file as stored.
struct StatusFile {
    ServiceStatus status;        // processId/processExitCode not stored here
    std::uint32_t pid = 0;       // process that owns the status (0: none)
    std::uint64_t pidStart = 0;  // its start time (/proc), against pid reuse
    bool dispatcher = false;     // its dispatcher has connected
    std::string control;         // abstract socket name of the control channel
    std::uint32_t lastPid = 0;   // process of the last run, kept after it ended
};

// Missing file: a default (STOPPED) record and true. Never fails otherwise:
// unknown lines are ignored.
void ReadStatusFile(const std::string& dir, StatusFile* file);
int WriteStatusFile(const std::string& dir, const StatusFile& file);

std::string FormatConfig(const ServiceConfig& config);
bool ParseConfig(const std::string& text, ServiceConfig* config);
// Reads dir/config; false when missing or damaged.
bool ReadConfigFile(const std::string& dir, ServiceConfig* config);

// Exit status written by the process monitor when the service process ends.
bool ReadExitFile(const std::string& dir, std::uint32_t* pid, std::int32_t* code);

// Start time of a process in clock ticks since boot (0: no such process).
std::uint64_t ProcessStartTime(pid_t pid);
// True while pid runs (not a zombie) and, when start != 0, started at start.
bool ProcessAlive(std::uint32_t pid, std::uint64_t start);

std::string LockPath(const std::string& dir);       // dir/lock: status read-modify-write
std::string StartLockPath(const std::string& dir);  // dir/start.lock: start and delete

// Control channel: one request, one reply per connection.
constexpr std::uint32_t kControlMagic = 0x4F525343;  // "ORSC"
struct ControlRequest {
    std::uint32_t magic;
    std::uint32_t control;
};
struct ControlReply {
    std::uint32_t magic;
    std::uint32_t error;  // SC_OK or an ScError
    std::uint32_t serviceType;
    std::uint32_t currentState;
    std::uint32_t controlsAccepted;
    std::uint32_t win32ExitCode;
    std::uint32_t serviceSpecificExitCode;
    std::uint32_t checkPoint;
    std::uint32_t waitHint;
};

// Wait for requests and replies on the control channel.
constexpr int kControlTimeoutMs = 30000;

}  // namespace platform::scm
