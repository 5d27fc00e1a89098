// The service frame's own texts.
//
// Each text has a number in set 2 of the service's catalog (oruseng.msg and
// its translations). A text is taken from the open catalog when it has it,
// else from the built-in English table: the frame must be able to speak
// before its catalog is open, and when the catalog is missing altogether.
// Every text is a printf format filled with the caller's arguments.
// Thread-safe.
#pragma once

#include <cstdio>
#include <shared_mutex>
#include <string>

#include "catalog/StringCatalog.h"

enum SERVER_TEXT : int {
    TEXT_DEBUG_MODE_ENABLED = 1,
    TEXT_DEBUGGING = 2,
    TEXT_STOPPING = 3,
    TEXT_SERVICE_MAIN_BEGIN = 4,
    TEXT_DISPATCHER_FAILED = 5,
    TEXT_STATUS_REPORT_FAILED = 6,
    TEXT_STATUS_CALL_ERROR = 7,
    TEXT_SET_SERVICE_STATUS = 8,
    TEXT_INTERROGATE_ISSUED = 9,
    TEXT_BROKEN_PIPE = 10,
    TEXT_SERVICE_ERROR = 11,
    TEXT_NO_EVENT_SOURCE = 12,
    TEXT_EVENT_MSG = 13,
    TEXT_EVENT_NOT_REPORTED = 14,
    TEXT_FATAL = 15,
    TEXT_SERVER_REPORT = 16,
    TEXT_STARTED = 17,
    TEXT_EXITED = 18,
    TEXT_CONTROLLER_DISPATCH = 19,
    TEXT_CONFIG_UNREADABLE = 20,
    TEXT_CATALOG_NOT_OPEN = 21,
    TEXT_DEVICE_CONSTRUCTOR = 22,
    TEXT_DEVICE_INIT_COMPLETE = 23,
    TEXT_DEVICE_BEGIN_SHUTDOWN = 24,
    TEXT_DEVICE_DESTRUCTOR = 25,
    TEXT_SERVICE_TASK_CODE = 26,
    TEXT_COUNT_PLUS_ONE
};

// The catalog set of the frame's texts.
inline constexpr int SERVER_TEXT_SET = 2;

// The built-in English text of a number ("" for an unknown number).
const char* ServerTextEnglish(int id);

// The catalog texts come from while it is set (nullptr: English only). The
// caller keeps ownership; clearing waits until no text is being fetched.
void SetServerCatalog(StringCatalog* catalog);

// Holds the catalog for one fetch.
std::shared_mutex& ServerCatalogLock();
StringCatalog* ServerCatalogUnlocked();

// The text of id filled with args.
template <class... Args>
std::string ServerText(SERVER_TEXT id, Args... args) {
    char buffer[StringCatalog::BIG_BUF_MAX_LEN];
    buffer[0] = '\0';
    {
        std::shared_lock<std::shared_mutex> hold(ServerCatalogLock());
        StringCatalog* catalog = ServerCatalogUnlocked();
        if (catalog != nullptr && catalog->OpenResult() == 0) {
            catalog->GetStringPrivateBufN(SERVER_TEXT_SET, id, buffer, sizeof buffer, args...);
            if (catalog->CatGetStringErrno() == 0) {
                return buffer;
            }
        }
    }
    if constexpr (sizeof...(Args) == 0) {
        return ServerTextEnglish(id);
    } else {
        std::snprintf(buffer, sizeof buffer, ServerTextEnglish(id), args...);
        return buffer;
    }
}
