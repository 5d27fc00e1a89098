#include "coresys/server/winnt/Service/ServiceStatus.h"

#include <mutex>

#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerLifecycle.h"
#include "coresys/server/winnt/Service/ServerText.h"
#include "platform/Trace.h"

namespace {

std::mutex g_lock;
platform::ServiceStatusHandle g_handle = nullptr;
platform::ServiceStatus g_status;
std::uint32_t g_checkPoint = 1;

}  // namespace

bool RegisterServiceControl() {
    platform::ServiceStatusHandle handle =
        platform::RegisterServiceCtrlHandler(kServiceName, &service_ctrl);
    std::lock_guard<std::mutex> hold(g_lock);
    g_handle = handle;
    g_status = platform::ServiceStatus{};
    g_status.serviceType = platform::SERVICE_WIN32_OWN_PROCESS;
    g_status.serviceSpecificExitCode = 0;
    return handle != nullptr;
}

std::uint32_t CurrentServiceState() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_status.currentState;
}

int ReportStatusToSCMgr(std::uint32_t state, std::uint32_t win32ExitCode,
                        std::uint32_t waitHintMs) {
    if (IsConsoleMode()) {
        return 1;
    }
    bool ok = false;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_status.currentState = state;
        g_status.controlsAccepted =
            state == platform::SERVICE_START_PENDING
                ? 0
                : platform::SERVICE_ACCEPT_STOP | platform::SERVICE_ACCEPT_SHUTDOWN;
        g_status.win32ExitCode = win32ExitCode;
        g_status.waitHint = waitHintMs;
        if (state == platform::SERVICE_RUNNING || state == platform::SERVICE_STOPPED) {
            g_status.checkPoint = 0;
        } else {
            g_status.checkPoint = g_checkPoint++;
        }
        ok = platform::SetServiceStatus(g_handle, g_status);
    }
    if (!ok) {
        AddToMessageLog(ServerText(TEXT_SET_SERVICE_STATUS));
    }
    return ok ? 1 : 0;
}

void service_ctrl(std::uint32_t control) {
    switch (control) {
        case platform::SERVICE_CONTROL_STOP:
        case platform::SERVICE_CONTROL_SHUTDOWN: {
            std::lock_guard<std::mutex> hold(g_lock);
            g_status.currentState = platform::SERVICE_STOP_PENDING;
        }
            PostServerExit();
            ReportStatusToSCMgr(platform::SERVICE_STOP_PENDING, 0, 0);
            return;
        case platform::SERVICE_CONTROL_INTERROGATE:
            // Logged, never shown: nobody could answer a dialog here, and
            // every later control would wait behind it.
            platform::Trace("%s\n", ServerText(TEXT_INTERROGATE_ISSUED).c_str());
            break;
        case SERVICE_CONTROL_BROKEN_PIPE:
            AddToMessageLog(ServerText(TEXT_BROKEN_PIPE));
            break;
        default:
            break;
    }
    ReportStatusToSCMgr(CurrentServiceState(), 0, 0);
}
