#include "coresys/server/winnt/Service/ServerLifecycle.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "catalog/StringCatalog.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/DeviceText.h"
#include "coresys/server/dispatch/ManagementDispatch.h"
#include "coresys/server/events/EventDistribution.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/net/ConnectionMgr.h"
#include "coresys/server/task/EventSemaphore.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/ControllerTask.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "coresys/server/winnt/Service/ServerText.h"
#include "coresys/server/winnt/Service/ServiceStatus.h"
#include "coresys/server/winnt/Service/ServiceTask.h"
#include "coresys/server/winnt/Service/SignalWatcher.h"
#include "platform/ServiceControl.h"
#include "platform/Trace.h"
#include "platform/UserLanguage.h"

namespace {

std::thread::id g_mainThread;
std::atomic<bool> g_running{false};
std::atomic<int> g_fatalEntries{0};

ControllerTask* g_controller = nullptr;
// Never stopped: it ends with the process.
ServiceTask* g_serviceTask = nullptr;
ServerConfig* g_config = nullptr;
StringCatalog* g_catalog = nullptr;

// Guards the exit event against a stop request racing its destruction.
std::mutex g_exitLock;
EventSemaphore* g_serverExit = nullptr;
bool g_exitRequested = false;

std::string TestFatalPoint() {
    const char* value = std::getenv(kTestFatalVariable);
    return value != nullptr ? value : "";
}

void ReportStatusOrLog(std::uint32_t state, const char* stateName) {
    if (!ReportStatusToSCMgr(state, 0, 30000)) {
        AddToMessageLog(ServerText(TEXT_STATUS_REPORT_FAILED));
        platform::Trace("%s", ServerText(TEXT_STATUS_CALL_ERROR, stateName).c_str());
    }
}

// The full fatal-error routine, installed for the life of ServerMain.
void ServerFatal(const char* where, const char* what) {
    bool running = g_running.load();
    int code = running ? 3 : 1;
    std::string text = ServerText(TEXT_FATAL, kServerName, where, what);
    if (g_fatalEntries.fetch_add(1) != 0) {
        // A fatal error while handling one (from the stop sequence or from
        // another thread): say it and go, without reporting again.
        std::fputs(text.c_str(), stderr);
        std::fflush(nullptr);
        _exit(code);
    }
    ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE, text);
    std::fputs(text.c_str(), stderr);
    std::fflush(nullptr);
    // The stop sequence waits for the other tasks: only the main thread may
    // run it, since the failing thread may be one of those it would wait for.
    if (!running && std::this_thread::get_id() == g_mainThread) {
        StopServer();
        std::fflush(nullptr);
    }
    // Other threads still run: end without static destructors.
    _exit(code);
}

void RaiseTestFatalDuringStart() {
    std::string point = TestFatalPoint();
    if (point == "start") {
        ServerFatalError("StartServer", "test fatal error requested by ORU_TEST_FATAL=start");
    }
    if (point == "start-task") {
        TaskRequest bad;
        bad.code = 0x7E57;
        g_serviceTask->Request(bad);
    }
}

void RaiseTestFatalWhileRunning() {
    if (TestFatalPoint() == "running") {
        TaskRequest bad;
        bad.code = 0x7E57;
        g_serviceTask->SendRequest(bad);
    }
}

}  // namespace

bool IsServerRunning() {
    return g_running.load();
}

StringCatalog* GetServerCatalog() {
    return g_catalog;
}

std::string SelectServerLanguageLibrary(bool forceEnglish) {
    if (forceEnglish) {
        return "oruseng.dll";
    }
    switch (platform::UserDefaultLangId() & 0x3FF) {
        case 7:
            return "orusdeu.dll";
        case 10:
            return "orusspn.dll";
        case 12:
            return "orusfrn.dll";
        case 16:
            return "orusitn.dll";
        default:
            return "oruseng.dll";
    }
}

void PostServerExit() {
    std::lock_guard<std::mutex> hold(g_exitLock);
    if (g_serverExit != nullptr) {
        g_serverExit->Post();
    } else {
        g_exitRequested = true;
    }
}

void StartServer() {
    g_controller = new ControllerTask();
    g_serviceTask = new ServiceTask();
    LogMgr* logMgr = new LogMgr();
    SetManager(LOG_MANAGER, logMgr);
    // From now on a suspension or resumption of the log reaches the clients.
    LogTask::SetLogStateReporter(&EventDistribution::LogStateChanged);
    // Every monitor's records go to its subsystem's log.
    OruLite::SetLogRecordWriter(
        [logMgr](OruLite& monitor, const unsigned char* bytes, std::uint32_t length) {
            logMgr->WriteSubsystemRecord(monitor.BackplaneId(), bytes, length);
        });
    // Requests are dispatched from the first message a subsystem takes.
    InstallManagementDispatch();
    // Every state refresh from then on reports what changed.
    EventDistribution::Install();
    DeviceMgr* deviceMgr = new DeviceMgr();
    SetManager(DEVICE_MANAGER, deviceMgr);
    // The controllers are found and grouped at once; their monitors start
    // with the device manager's Init.
    deviceMgr->DiscoverDevices();
    SetManager(CONNECTION_MANAGER, new ConnectionMgr());
    // The log task must run before the device manager logs, and the
    // subsystems must exist before clients can connect.
    GetManager(LOG_MANAGER)->Init();
    // The device manager's start is the first entry of the service's own log.
    logMgr->WriteServiceText(0, DeviceText(DTEXT_INIT_STARTED).c_str());
    for (int index : {DEVICE_MANAGER, CONNECTION_MANAGER}) {
        GetManager(index)->Init();
    }
    // Takes over from the connection manager's plain rescan listener, so a
    // rescan is also written to the event log.
    EventDistribution::ListenForRescans(*deviceMgr);
    RaiseTestFatalDuringStart();
    ReportServerEvent(
        SERVER_SOFTWARE_EVENT, SERVER_STARTED_CODE,
        ServerText(TEXT_SERVER_REPORT, kServerName, ServerText(TEXT_STARTED).c_str()));
}

void StopServer() {
    ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE,
                      ServerText(TEXT_SERVER_REPORT, kServerName, ServerText(TEXT_EXITED).c_str()));
    for (int index : {LOG_MANAGER, DEVICE_MANAGER, CONNECTION_MANAGER}) {
        if (ServerManager* manager = GetManager(index)) {
            manager->BeginShutdown();
        }
    }
    // What the monitors still write while they stop is dropped.
    OruLite::SetLogRecordWriter(nullptr);
    LogTask::SetLogStateReporter(nullptr);
    for (int index : {CONNECTION_MANAGER, DEVICE_MANAGER, LOG_MANAGER}) {
        ServerManager* manager = GetManager(index);
        SetManager(index, nullptr);
        delete manager;
    }
    EventDistribution::Uninstall();
    delete g_controller;
    g_controller = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_exitLock);
        delete g_serverExit;
        g_serverExit = nullptr;
    }
    // Closing marks only: the service task still waits on its wake event.
    Semaphore::CloseAll();
}

int ServerMain() {
    g_mainThread = std::this_thread::get_id();
    SetServerFatalHandler(&ServerFatal);

    ReportStatusOrLog(platform::SERVICE_START_PENDING, "SERVER_START_PENDING");

    g_config = new ServerConfig;
    ServerConfigResult configured = BuildServerConfig(g_config);
    SetServerConfig(g_config);
    if (!configured.ok) {
        // Running with a configuration we cannot read would put the logs
        // and the secure files in places the administrator did not choose.
        std::string what = ServerText(TEXT_CONFIG_UNREADABLE, configured.message.c_str());
        ServerFatalError("ServerConfig", what.c_str());
    }

    std::string library = SelectServerLanguageLibrary(false);
    g_catalog = new StringCatalog(g_config->catalogPath.c_str(), library.c_str());
    if (g_catalog->OpenResult() != 0) {
        std::string text = ServerText(TEXT_CATALOG_NOT_OPEN, library.c_str());
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        ReportNtEvent(4, text);
    } else {
        SetServerCatalog(g_catalog);
    }

    {
        std::lock_guard<std::mutex> hold(g_exitLock);
        g_serverExit = new EventSemaphore;
        if (g_exitRequested) {
            g_serverExit->Post();
        }
    }
    SignalWatcher::Start(IsConsoleMode());

    StartServer();

    ReportStatusOrLog(platform::SERVICE_RUNNING, "SERVER_RUNNING");
    g_running.store(true);
    RaiseTestFatalWhileRunning();

    EventSemaphore* exitEvent = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_exitLock);
        exitEvent = g_serverExit;
    }
    exitEvent->Wait(0);

    ReportStatusOrLog(platform::SERVICE_STOP_PENDING, "SERVER_STOP_PENDING");
    StopServer();
    SetServerConfig(nullptr);
    delete g_config;
    g_config = nullptr;
    SetServerCatalog(nullptr);
    delete g_catalog;
    g_catalog = nullptr;
    ReportStatusToSCMgr(platform::SERVICE_STOPPED, 0, 30000);
    std::fflush(nullptr);
    return 0;
}
