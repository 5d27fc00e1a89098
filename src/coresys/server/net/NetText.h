// The texts of the network side of the service: the authorization reports
// that go to the NT event log and the few refusals it records there.
//
// Each text has a number in set 4 of the service's catalog (oruseng.msg and
// its translations); a text is taken from the open catalog when it has it,
// else from the built-in English table, as the frame's own texts are. Every
// text is a printf format filled with the caller's arguments. Thread-safe.
#pragma once

#include <cstdio>
#include <shared_mutex>
#include <string>

#include "coresys/server/winnt/Service/ServerText.h"

enum NET_TEXT : int {
    NET_TEXT_UNAUTHORIZED_FROM = 1,
    NET_TEXT_UNAUTHORIZED = 2,
    NET_TEXT_AUTHORIZED_AT = 3,
    NET_TEXT_AUTHORIZED = 4,
    NET_TEXT_SID_LOOKUP_FAILED = 5,
    NET_TEXT_DATAGRAM_REFUSED = 6,
    NET_TEXT_NO_ADMINISTRATION_PATH = 7,
    NET_TEXT_SECURE_PATH_TOO_LONG = 8,
    NET_TEXT_ADMINISTRATION_WORLD_WRITABLE = 9,
    NET_TEXT_WARNINGS_SUPPRESSED = 10,
    NET_TEXT_SESSION_REFUSED_FULL = 11,
    NET_TEXT_COUNT_PLUS_ONE
};

// The catalog set of the network texts.
inline constexpr int NET_TEXT_SET = 4;

// The built-in English text of a number ("" for an unknown number).
const char* NetTextEnglish(int id);

// The text of id filled with args.
template <class... Args>
std::string NetText(NET_TEXT id, Args... args) {
    char buffer[StringCatalog::BIG_BUF_MAX_LEN];
    buffer[0] = '\0';
    {
        std::shared_lock<std::shared_mutex> hold(ServerCatalogLock());
        StringCatalog* catalog = ServerCatalogUnlocked();
        if (catalog != nullptr && catalog->OpenResult() == 0) {
            catalog->GetStringPrivateBufN(NET_TEXT_SET, id, buffer, sizeof buffer, args...);
            if (catalog->CatGetStringErrno() == 0) {
                return buffer;
            }
        }
    }
    if constexpr (sizeof...(Args) == 0) {
        return NetTextEnglish(id);
    } else {
        std::snprintf(buffer, sizeof buffer, NetTextEnglish(id), args...);
        return buffer;
    }
}
