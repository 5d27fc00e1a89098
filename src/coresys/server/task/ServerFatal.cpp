#include "coresys/server/task/ServerFatal.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<ServerFatalHandler> g_handler{nullptr};

[[noreturn]] void PlainFatal(const char* where, const char* what) {
    std::fprintf(stderr, "OruServr: %s %s\n", where ? where : "", what ? what : "");
    std::fflush(nullptr);
    // Other threads may still run: static destructors must not race them.
    _exit(3);
}

}  // namespace

void SetServerFatalHandler(ServerFatalHandler handler) {
    g_handler.store(handler);
}

void ServerFatalError(const char* where, const char* what) {
    ServerFatalHandler handler = g_handler.load();
    if (handler != nullptr) {
        handler(where, what);
    }
    PlainFatal(where, what);
}
