// The NT event log: one append-only text file per log plus syslog(3).
//
// RegisterEventSource gives a handle for a source name; the log it writes to
// is the one under whose registry key HKLM
// "SYSTEM\CurrentControlSet\Services\EventLog\<Log>\<Source>" the source was
// added (AddEventSource), else "Application". ReportEvent appends one record
// to ORU_ROOT/eventlog/<Log>.log as a single line written with one write(2)
// on an O_APPEND descriptor, so records of several processes and threads
// never interleave, and sends the same text to syslog (facility LOG_DAEMON;
// ORU_EVENTLOG_SYSLOG=0 turns syslog off, for tests).
//
// Record line, fields separated by tabs, each field escaped (\\ \t \n \r):
//   <UTC time 2024-05-01T12:00:00.123Z> <host> <source> <TYPE> <category>
//   <event id> <pid> <string count> <string>...
// TYPE is ERROR, WARNING, INFORMATION, SUCCESS, AUDIT_SUCCESS or AUDIT_FAILURE.
// Thread-safe. Failures return false/nullptr with errno set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum EventLogType : std::uint16_t {
    EVENTLOG_SUCCESS = 0x0000,
    EVENTLOG_ERROR_TYPE = 0x0001,
    EVENTLOG_WARNING_TYPE = 0x0002,
    EVENTLOG_INFORMATION_TYPE = 0x0004,
    EVENTLOG_AUDIT_SUCCESS = 0x0008,
    EVENTLOG_AUDIT_FAILURE = 0x0010,
};

struct EventSourceRecord;                      // opaque
using EventSourceHandle = EventSourceRecord*;  // nullptr: failure

// Fails (EINVAL) only for an empty name or one holding a line break.
EventSourceHandle RegisterEventSource(const std::string& sourceName);
bool DeregisterEventSource(EventSourceHandle source);

// Appends one record (and logs it to syslog). Strings are cut at 32766 bytes
// each. Fails with EINVAL for a null handle or an unknown type, or with the
// errno of creating the directory, opening or writing the file.
bool ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint16_t category,
                 std::uint32_t eventId, const std::vector<std::string>& strings);

// Installation: records in the registry that `sourceName` writes to `logName`
// (the key above, with "TypesSupported"=dword:00000007). Returns false with a
// message when the registry refuses.
bool AddEventSource(const std::string& logName, const std::string& sourceName,
                    std::string* message);
bool RemoveEventSource(const std::string& logName, const std::string& sourceName,
                       std::string* message);

// ORU_ROOT/eventlog/<logName>.log
std::string EventLogFilePath(const std::string& logName);

// One record as read back from a log file.
struct EventRecord {
    std::string time;
    std::string host;
    std::string source;
    std::uint16_t type = 0;
    std::uint16_t category = 0;
    std::uint32_t eventId = 0;
    std::uint32_t processId = 0;
    std::vector<std::string> strings;
};

// Reads every record of a log (missing file: no records, true). A line that
// cannot be parsed is skipped and counted in *badLines (may be null).
bool ReadEventLog(const std::string& logName, std::vector<EventRecord>* records,
                  int* badLines = nullptr);

// "ERROR", "WARNING", ... ("UNKNOWN" otherwise).
const char* EventTypeName(std::uint16_t type);

}  // namespace platform
