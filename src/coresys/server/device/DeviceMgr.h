// The device manager, the second of the service's managers. It will find
// the array controllers, group them into subsystems and give each its
// monitor; for now it owns its locks and its task, which it creates at Init
// and ends at BeginShutdown.
#pragma once

#include <memory>

#include "coresys/server/device/DeviceMgrTask.h"
#include "coresys/server/task/ResourceSemaphore.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class DeviceMgr : public ServerManager {
  public:
    DeviceMgr();
    ~DeviceMgr() override;

    // Creates the device task.
    void Init() override;
    // Ends the device task (and, with subsystems, their tasks).
    void BeginShutdown() override;

    DeviceMgrTask* GetDeviceTask() { return deviceTask_.get(); }
    // Serialises rescans.
    ResourceSemaphore& RescanLock() { return rescanLock_; }
    // Held for the whole of every piece of subsystem work.
    ResourceSemaphore& SubsystemInUseLock() { return inUseLock_; }
    // Held around every SCSI pass-through.
    ResourceSemaphore& DeviceLock() { return deviceLock_; }

  private:
    ResourceSemaphore firstLock_;
    ResourceSemaphore rescanLock_;
    ResourceSemaphore inUseLock_;
    ResourceSemaphore deviceLock_;
    std::unique_ptr<DeviceMgrTask> deviceTask_;
};
