// The service's reports to the NT event log.
//
// ReportNtEvent writes under the source "OruServer" (event id 1, category
// 0) with a type chosen by severity: 0..3 error, 4 warning, 5..6
// information, 7 information only while the environment variable
// ORU_LOG_DEBUG_EVENTS is set, above 7 nothing. AddToMessageLog writes the
// service's own errors under the source "OruServer Service" (event id 0)
// and writes nothing in console mode. Thread-safe.
#pragma once

#include <string>

inline constexpr const char* kServiceName = "OruServer Service";
inline constexpr const char* kEventSourceName = "OruServer";
inline constexpr const char* kServerName = "OruServr";

// Returns 1 when the text was reported, 0 otherwise (also when the severity
// says not to report).
int ReportNtEvent(int severity, const std::string& text);

// Reports text with the severity the event table gives (class, code); none
// means no report. Returns what ReportNtEvent returned, 0 without a report.
int ReportServerEvent(int eventClass, int code, const std::string& text);

// Logs an error of the service itself with the last system error.
void AddToMessageLog(const std::string& text);

// Console mode turns status reporting and AddToMessageLog off.
void SetConsoleMode(bool on);
bool IsConsoleMode();

// Event classes and codes the frame reports.
enum SERVER_EVENT_CLASS : int { SERVER_SOFTWARE_EVENT = 13 };
enum SERVER_SOFTWARE_CODE : int { SERVER_STARTED_CODE = 10, SERVER_EXITED_CODE = 11 };
