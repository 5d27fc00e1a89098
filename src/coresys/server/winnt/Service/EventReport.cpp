#include "coresys/server/winnt/Service/EventReport.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "coresys/server/winnt/Service/ServerText.h"
#include "platform/EventLog.h"
#include "platform/ServiceControl.h"

namespace {

std::atomic<bool> g_consoleMode{false};

struct EventSeverity {
    int eventClass;
    int code;
    int severity;
};

// The severities of the events the frame reports; event detection adds the
// rest of the table.
constexpr EventSeverity kSeverities[] = {
    {SERVER_SOFTWARE_EVENT, SERVER_STARTED_CODE, 6},
    {SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE, 6},
};

void PrintFailure(SERVER_TEXT what, const std::string& text) {
    std::string first = ServerText(what);
    std::string second = ServerText(TEXT_EVENT_MSG, text.c_str());
    std::fputs(first.c_str(), stderr);
    std::fputs(second.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

void SetConsoleMode(bool on) {
    g_consoleMode.store(on);
}

bool IsConsoleMode() {
    return g_consoleMode.load();
}

int ReportNtEvent(int severity, const std::string& text) {
    std::uint16_t type = 0;
    if (severity >= 0 && severity <= 3) {
        type = platform::EVENTLOG_ERROR_TYPE;
    } else if (severity == 4) {
        type = platform::EVENTLOG_WARNING_TYPE;
    } else if (severity == 5 || severity == 6) {
        type = platform::EVENTLOG_INFORMATION_TYPE;
    } else if (severity == 7 && std::getenv("ORU_LOG_DEBUG_EVENTS") != nullptr) {
        type = platform::EVENTLOG_INFORMATION_TYPE;
    } else {
        return 0;
    }
    platform::EventSourceHandle source = platform::RegisterEventSource(kEventSourceName);
    if (source == nullptr) {
        PrintFailure(TEXT_NO_EVENT_SOURCE, text);
        return 0;
    }
    bool reported = platform::ReportEvent(source, type, 0, 1, {text});
    platform::DeregisterEventSource(source);
    if (!reported) {
        PrintFailure(TEXT_EVENT_NOT_REPORTED, text);
        return 0;
    }
    return 1;
}

int ReportServerEvent(int eventClass, int code, const std::string& text) {
    for (const EventSeverity& entry : kSeverities) {
        if (entry.eventClass == eventClass && entry.code == code) {
            return ReportNtEvent(entry.severity, text);
        }
    }
    return 0;
}

void AddToMessageLog(const std::string& text) {
    if (IsConsoleMode()) {
        return;
    }
    int saved = static_cast<int>(platform::ScGetLastError());
    if (saved == 0) {
        saved = errno;
    }
    platform::EventSourceHandle source = platform::RegisterEventSource(kServiceName);
    if (source == nullptr) {
        return;
    }
    std::string first = ServerText(TEXT_SERVICE_ERROR, kServiceName, saved);
    platform::ReportEvent(source, platform::EVENTLOG_ERROR_TYPE, 0, 0, {first, text});
    platform::DeregisterEventSource(source);
}
