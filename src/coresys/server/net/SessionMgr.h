// The session manager task ("SessionMgr"): it will accept the management
// sessions, read their messages and do every write to a client. Request 0
// sets it up, request 10 ends it; the session work (requests 1 to 9) and
// the two listeners it owns come with the network layer, and until then
// any other code is fatal.
#pragma once

#include "coresys/server/task/OruTask.h"
#include "coresys/server/winnt/Service/ServerManager.h"

enum SESSION_MGR_REQUEST : std::int32_t {
    SM_SETUP = 0,
    SM_STOP = 10,
};

class SessionMgr : public OruTask {
  public:
    SessionMgr();
    // Sends the stop request and waits for it (on a thread bound to a task),
    // then ends the thread.
    ~SessionMgr() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    // The device manager, known after set-up.
    ServerManager* DeviceManager() const { return deviceMgr_; }

  private:
    ServerManager* deviceMgr_ = nullptr;
};
