#include "coresys/server/winnt/Service/ServiceProgram.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerLifecycle.h"
#include "coresys/server/winnt/Service/ServerText.h"
#include "coresys/server/winnt/Service/ServiceStatus.h"
#include "coresys/server/winnt/Service/SignalWatcher.h"
#include "platform/ServiceControl.h"
#include "platform/Trace.h"

namespace {

// Console texts go out at once: a pipe would otherwise hold them back.
void ConsolePrint(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

void DebugService() {
    // Ctrl-C and the break key (SIGINT, SIGQUIT) are the console's stop keys;
    // caught from here on, a stop asked for during the start is kept.
    SignalWatcher::Start(true);
    ConsolePrint(ServerText(TEXT_DEBUGGING, kServiceName));
    ServerMain();
}

void service_main(std::uint32_t, char**) {
    platform::Trace("%s", ServerText(TEXT_SERVICE_MAIN_BEGIN).c_str());
    if (!RegisterServiceControl()) {
        return;
    }
    if (ReportStatusToSCMgr(platform::SERVICE_START_PENDING, 0, 10000)) {
        ServerMain();
    } else {
        ReportStatusToSCMgr(platform::SERVICE_STOPPED, platform::ScGetLastError(), 0);
    }
}

int OruServrMain(int, char**) {
    const char* debug = std::getenv("ORU_DEBUG");
    if (debug != nullptr && std::strcmp(debug, "ON") == 0) {
        ConsolePrint(ServerText(TEXT_DEBUG_MODE_ENABLED));
        SetConsoleMode(true);
        DebugService();
        return 0;
    }
    static const platform::ServiceTableEntry table[] = {
        {kServiceName, &service_main},
        {nullptr, nullptr},
    };
    if (!platform::StartServiceCtrlDispatcher(table)) {
        std::uint32_t error = platform::ScGetLastError();
        std::string text = ServerText(TEXT_DISPATCHER_FAILED);
        AddToMessageLog(text);
        // Started from a shell without ORU_DEBUG=ON: say so where it is seen.
        std::fprintf(stderr, "%s: %s (%s)\n", kServerName, text.c_str(),
                     platform::ScErrorText(error));
        return 1;
    }
    return 0;
}
