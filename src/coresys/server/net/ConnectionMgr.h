// The connection manager, the third of the service's managers: it owns the
// session manager task from Init to BeginShutdown. Init and BeginShutdown
// run on the service's main thread; Broadcast on any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class ConnectionMgr : public ServerManager {
  public:
    ConnectionMgr() = default;
    ~ConnectionMgr() override;

    // Creates the session manager and waits until it and both listeners are
    // set up, so that a set-up failure always happens before the service
    // reports running. From then on every finished rescan is told to the
    // sessions as a configuration change.
    void Init() override;
    // Ends and destroys the session manager.
    void BeginShutdown() override;

    // Sends a coded message to every revision-4 session of the subsystem
    // with that serial number (nullptr or "": every session). Takes the
    // message (allocated as the coders allocate it) in every case. Returns 1
    // when it was queued for the session manager, 0 when there is none.
    int Broadcast(unsigned char* message, std::uint32_t length, const char* serial);

    SessionMgr* GetSessionMgr() { return sessionMgr_.get(); }

  private:
    std::unique_ptr<SessionMgr> sessionMgr_;
    // The session manager while it takes requests; Broadcast reads it from
    // other threads.
    std::atomic<SessionMgr*> live_{nullptr};
};
