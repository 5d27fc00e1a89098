#include "coresys/server/winnt/Service/ServerText.h"

namespace {

// Kept in step with set 2 of catalogs/en/oruseng.msg (a test compares them).
constexpr const char* kEnglish[TEXT_COUNT_PLUS_ONE] = {
    "",
    "Debug mode enabled.\n",
    "Debugging %s.\n",
    "Stopping %s.\n",
    "Beginning of function service_main.\n",
    "StartServiceCtrlDispatcher failed.",
    "Unable to report status to service control manager.",
    "Error in ReportStatusToSCMgr function call for %s\n",
    "SetServiceStatus",
    "Service control interrogate issued",
    "Error broken pipe in service_ctrl",
    "%s error: %d",
    "Could not register event source.\n",
    "Event msg = %s\n",
    "Could not report event to event log.\n",
    "%s: %s %s\n",
    "%s %s\n",
    "Started",
    "Exited",
    "Controller can't dispatch! req = %x",
    "The service configuration cannot be read: %s",
    "Message catalog %s could not be opened; texts are in English.\n",
    "Device Manager Constructor Called\n",
    "Device Manager InitComplete Called\n",
    "Device Manager BeginShutdown Called\n",
    "Device Manager Destructor Called\n",
    "Invalid ServiceTask request code",
};

std::shared_mutex g_lock;
StringCatalog* g_catalog = nullptr;

}  // namespace

const char* ServerTextEnglish(int id) {
    if (id <= 0 || id >= TEXT_COUNT_PLUS_ONE) {
        return "";
    }
    return kEnglish[id];
}

void SetServerCatalog(StringCatalog* catalog) {
    std::unique_lock<std::shared_mutex> hold(g_lock);
    g_catalog = catalog;
}

std::shared_mutex& ServerCatalogLock() {
    return g_lock;
}

StringCatalog* ServerCatalogUnlocked() {
    return g_catalog;
}
