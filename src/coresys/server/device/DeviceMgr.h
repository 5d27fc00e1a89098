// The device manager, the second of the service's managers. It finds every
// array controller the pass-through layer can open, groups the controllers
// into subsystems by backplane id, keeps one monitor (OruLite) per subsystem
// on one of at most ten shared subsystem tasks, keeps the subsystem table
// that the listener and the sessions read, and rescans on request.
//
// Locks, always taken in this order: rescan, subsystem-in-use,
// subsystem-list, device. The in-use lock is held for every piece of
// subsystem work; the list lock by whoever reads the table from outside the
// subsystem tasks (listener, sessions); the device lock around every
// pass-through (it is the storage layer's own device lock). The table, the
// device records and the monitors change only while both the in-use lock
// and the list lock are held, so holding either is enough to read them.
//
// Monitor lifetime: a monitor found through the table stays valid memory
// until the device manager is destroyed, even when a rescan drops its
// subsystem (it is then torn down and refuses every message), so a session
// may keep the pointer and call OruLite::SubmitMessage at any time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "coresys/server/device/DeviceMgrTask.h"
#include "coresys/server/device/SubsystemEntry.h"
#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/task/ResourceSemaphore.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class OruLite;
class OruLiteTask;
class OruTask;
class StorSys;

class DeviceMgr : public ServerManager {
  public:
    static constexpr int kTaskSlots = 10;
    static constexpr std::uint32_t kSerialLength = 12;

    DeviceMgr();
    // Tears down and frees every monitor (live or dropped), the table and the
    // device list. The subsystem tasks must have been ended (BeginShutdown).
    ~DeviceMgr() override;

    // Opens the array devices and groups the controllers (no task yet).
    // The service start calls it right after construction.
    void DiscoverDevices();
    // InitComplete: creates the device task, then gives every subsystem its
    // task and starts its monitor.
    void Init() override;
    void InitComplete();
    // Ends the device task, refuses every further message, ends every
    // subsystem task present and frees the tasks. Idempotent.
    void BeginShutdown() override;

    // --- the subsystem table (hold the list lock or the in-use lock) ---
    std::uint32_t SubsystemCount() const;
    // Entry n, or nullptr when n is not below the count.
    SubsystemEntry* GetSubsystemEntry(std::uint32_t n);
    // The monitor of the first entry whose backplane id equals the 12
    // characters at serial, or nullptr.
    OruLite* LocateOruLiteArray(const char* serial);
    // The subsystem number a live list element holds for monitor; false when
    // the monitor is not in the list or its element is dropped.
    bool FindListNumber(const OruLite* monitor, std::uint32_t& number);

    // --- locks ---
    void LocksubSysInUse() { inUseLock_.Obtain(); }
    void ReleasesubSysInUse() { inUseLock_.Release(); }
    ResourceSemaphore& SubsystemListLock() { return listLock_; }
    ResourceSemaphore& RescanLock() { return rescanLock_; }
    ResourceSemaphore& SubsystemInUseLock() { return inUseLock_; }
    // The storage layer's process-wide device lock.
    static std::mutex& DeviceLock();

    // --- rescan ---
    // Queues a rescan on the device task (high priority); returns 1 at once,
    // or 0 when the device task is not running (before Init, while stopping).
    int RequestRescan();
    // Parks every subsystem task but caller (may be nullptr), reopens the
    // devices, regroups, resumes the parked tasks. Returns 1.
    int Rescan(OruTask* caller);
    // Called after every rescan (on the rescanning thread, no lock held): the
    // connection side tells its clients that the configuration changed.
    using RescanListener = std::function<void()>;
    void SetRescanListener(RescanListener listener);

    // --- introspection (tests, listener) ---
    OruLiteTask* TaskInSlot(int slot) const;
    DeviceMgrTask* GetDeviceTask() { return deviceTask_.get(); }
    std::uint32_t RescanCount() const;
    // Controllers seen by the last identification.
    std::uint32_t ControllersSeen() const { return controllersSeen_; }

    // Writes a device notice (event log at debug severity, and the trace).
    static void PostDeviceNotice(const std::string& text);

  private:
    struct ListElement {
        OruLite* monitor = nullptr;
        bool dropped = false;
        std::uint32_t number = 0;
    };

    void DetermineConfigurations(bool initial);
    void IdentifyControllers();
    void AddSubsystem(const DeviceRecord* record);
    void StartSubsystems();
    int ChooseTaskSlot() const;
    void AssignTask(OruLite& monitor, int slot);
    void BuildSubsystemTable();
    void ReleaseControllers();
    ListElement* FindMatchingElement(const OruLite& monitor);
    void Retire(OruLite* monitor);

    ResourceSemaphore firstLock_;
    ResourceSemaphore rescanLock_;
    ResourceSemaphore inUseLock_;
    ResourceSemaphore listLock_;
    std::array<OruLiteTask*, kTaskSlots> taskSlots_{};
    std::unique_ptr<DeviceMgrTask> deviceTask_;
    std::vector<ListElement> subsystemList_;
    DeviceRecord* deviceList_ = nullptr;
    std::vector<SubsystemEntry> table_;
    std::uint32_t nextSubsystemNumber_ = 0;
    // Every monitor ever made and not yet freed; dropped ones stay here
    // (torn down) until destruction.
    std::vector<std::unique_ptr<OruLite>> monitors_;
    // Guards the shutting-down state against a racing RequestRescan.
    mutable std::mutex stateLock_;
    bool shuttingDown_ = false;
    std::uint32_t rescans_ = 0;
    std::uint32_t controllersSeen_ = 0;
    RescanListener rescanListener_;
};
