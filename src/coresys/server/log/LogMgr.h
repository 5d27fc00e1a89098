// The log manager, the first of the service's managers: it owns the Log
// Task from construction to destruction. Construct and destroy it on a
// thread bound to a task (the service's main thread): both wait for the
// Log Task's answer.
#pragma once

#include <cstdint>
#include <memory>

#include "coresys/server/log/LogTask.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class LogMgr : public ServerManager {
  public:
    // Creates the Log Task and has it prepare writing.
    LogMgr();
    // Stops the Log Task and waits for it.
    ~LogMgr() override;

    void Init() override;

    LogTask* GetLogTask() { return task_.get(); }
    // The byte address from which writing continues.
    std::uint32_t NextLrba() const { return nextLrba_; }

  private:
    std::unique_ptr<LogTask> task_;
    std::uint32_t nextLrba_ = 0;
};
