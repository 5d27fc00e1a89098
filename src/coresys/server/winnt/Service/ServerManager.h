// One of the service's three managers (1 LogMgr, 2 DeviceMgr,
// 3 ConnectionMgr). The server creates them in that order, calls Init of
// each in that order at start and BeginShutdown of each in that order at
// stop, then destroys them in reverse order. Init and BeginShutdown run on
// the service's main thread.
#pragma once

class ServerManager {
  public:
    ServerManager() = default;
    virtual ~ServerManager() = default;
    ServerManager(const ServerManager&) = delete;
    ServerManager& operator=(const ServerManager&) = delete;

    virtual void Init() {}
    virtual void BeginShutdown() {}
    // A signal the service received; no manager acts on it yet.
    virtual void Signal(int /*signalNumber*/) {}
};

enum SERVER_MANAGER_INDEX : int {
    LOG_MANAGER = 1,
    DEVICE_MANAGER = 2,
    CONNECTION_MANAGER = 3,
};

// The manager of an index 1..3; nullptr while it does not exist (or for
// another index).
ServerManager* GetManager(int index);
// Enters (or with nullptr removes) the manager of an index; the server's
// start and stop sequence owns the managers.
void SetManager(int index, ServerManager* manager);
