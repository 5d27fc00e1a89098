// The connection manager, the third of the service's managers: it owns the
// session manager task from Init to BeginShutdown. Both run on the
// service's main thread.
#pragma once

#include <memory>

#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class ConnectionMgr : public ServerManager {
  public:
    ConnectionMgr() = default;
    ~ConnectionMgr() override;

    // Creates the session manager and waits until it is set up, so that a
    // set-up failure always happens before the service reports running.
    void Init() override;
    // Ends and destroys the session manager.
    void BeginShutdown() override;

    SessionMgr* GetSessionMgr() { return sessionMgr_.get(); }

  private:
    std::unique_ptr<SessionMgr> sessionMgr_;
};
