#include "coresys/server/winnt/Service/ServerManager.h"

#include <atomic>

namespace {

std::atomic<ServerManager*> g_managers[4];

}  // namespace

ServerManager* GetManager(int index) {
    if (index < LOG_MANAGER || index > CONNECTION_MANAGER) {
        return nullptr;
    }
    return g_managers[index].load();
}

void SetManager(int index, ServerManager* manager) {
    if (index >= LOG_MANAGER && index <= CONNECTION_MANAGER) {
        g_managers[index].store(manager);
    }
}
