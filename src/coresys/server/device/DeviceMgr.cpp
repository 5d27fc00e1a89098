#include "coresys/server/device/DeviceMgr.h"

#include <cstring>
#include <utility>

#include "coresys/server/device/DeviceText.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/storsys/StorSys.h"
#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerText.h"
#include "platform/Trace.h"

namespace {

// Device notices only report a text: they reach the event log at debug
// severity and the trace, never a client.
constexpr int kNoticeSeverity = 7;

void StorageNotice(const char* text) {
    DeviceMgr::PostDeviceNotice(text);
}

}  // namespace

void DeviceMgr::PostDeviceNotice(const std::string& text) {
    platform::Trace("%s", text.c_str());
    ReportNtEvent(kNoticeSeverity, text);
}

std::mutex& DeviceMgr::DeviceLock() {
    return StorSys::DeviceLock();
}

DeviceMgr::DeviceMgr() {
    StorSys::SetNoticeHandler(&StorageNotice);
    PostDeviceNotice(ServerText(TEXT_DEVICE_CONSTRUCTOR));
}

DeviceMgr::~DeviceMgr() {
    PostDeviceNotice(ServerText(TEXT_DEVICE_DESTRUCTOR));
    BeginShutdown();
    {
        ResourceHold inUse(inUseLock_);
        ResourceHold list(listLock_);
        // Valid monitors sign off with the controllers here.
        for (std::unique_ptr<OruLite>& monitor : monitors_) {
            monitor->Teardown();
        }
        table_.clear();
        subsystemList_.clear();
        monitors_.clear();
        std::lock_guard<std::mutex> device(DeviceLock());
        CloseArrayDevices(deviceList_);
    }
}

// ---------------------------------------------------------------------------
// Start and stop

void DeviceMgr::DiscoverDevices() {
    ResourceHold inUse(inUseLock_);
    ResourceHold list(listLock_);
    {
        std::lock_guard<std::mutex> device(DeviceLock());
        ScsiResult result;
        OpenArrayDevices(deviceList_, result);
    }
    DetermineConfigurations(true);
}

void DeviceMgr::Init() {
    InitComplete();
}

void DeviceMgr::InitComplete() {
    PostDeviceNotice(ServerText(TEXT_DEVICE_INIT_COMPLETE));
    platform::Trace("%s\n", DeviceText(DTEXT_INIT_STARTED).c_str());
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        if (shuttingDown_ || deviceTask_ != nullptr) {
            return;
        }
        deviceTask_ = std::make_unique<DeviceMgrTask>(*this, 0);
    }
    ResourceHold rescan(rescanLock_);
    ResourceHold inUse(inUseLock_);
    ResourceHold list(listLock_);
    StartSubsystems();
}

void DeviceMgr::BeginShutdown() {
    std::unique_ptr<DeviceMgrTask> deviceTask;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        if (shuttingDown_) {
            return;
        }
        shuttingDown_ = true;
        deviceTask = std::move(deviceTask_);
    }
    PostDeviceNotice(ServerText(TEXT_DEVICE_BEGIN_SHUTDOWN));
    // The device task first: a rescan it still runs finishes, and none can
    // start afterwards to make tasks in the slots being cleared.
    if (deviceTask != nullptr) {
        TaskRequest end;
        end.code = DM_END;
        deviceTask->Request(end);
        deviceTask.reset();
    }
    {
        // Every monitor, also those a rescan dropped: sessions may still
        // hold them. The rescan lock keeps a caller's rescan out meanwhile.
        ResourceHold rescan(rescanLock_);
        for (std::unique_ptr<OruLite>& monitor : monitors_) {
            monitor->SetShuttingDown();
        }
    }
    // Every task present, whatever the table holds: after a rescan that
    // dropped every subsystem the table is empty but the tasks still run.
    for (int slot = 0; slot < kTaskSlots; ++slot) {
        OruLiteTask* task = taskSlots_[slot];
        if (task == nullptr) {
            continue;
        }
        TaskRequest end;
        end.code = OL_END;
        task->Request(end);
    }
    for (int slot = 0; slot < kTaskSlots; ++slot) {
        delete taskSlots_[slot];
        taskSlots_[slot] = nullptr;
    }
}

// ---------------------------------------------------------------------------
// The table

std::uint32_t DeviceMgr::SubsystemCount() const {
    return static_cast<std::uint32_t>(table_.size());
}

SubsystemEntry* DeviceMgr::GetSubsystemEntry(std::uint32_t n) {
    if (n >= table_.size()) {
        return nullptr;
    }
    return &table_[n];
}

OruLite* DeviceMgr::LocateOruLiteArray(const char* serial) {
    if (serial == nullptr) {
        return nullptr;
    }
    for (SubsystemEntry& entry : table_) {
        if (entry.monitor != nullptr &&
            std::memcmp(entry.monitor->BackplaneId(), serial, kSerialLength) == 0) {
            return entry.monitor;
        }
    }
    return nullptr;
}

bool DeviceMgr::FindListNumber(const OruLite* monitor, std::uint32_t& number) {
    for (const ListElement& element : subsystemList_) {
        if (element.monitor == monitor) {
            if (element.dropped) {
                return false;
            }
            number = element.number;
            return true;
        }
    }
    return false;
}

OruLiteTask* DeviceMgr::TaskInSlot(int slot) const {
    if (slot < 0 || slot >= kTaskSlots) {
        return nullptr;
    }
    return taskSlots_[slot];
}

std::uint32_t DeviceMgr::RescanCount() const {
    std::lock_guard<std::mutex> hold(stateLock_);
    return rescans_;
}

void DeviceMgr::SetRescanListener(RescanListener listener) {
    std::lock_guard<std::mutex> hold(stateLock_);
    rescanListener_ = std::move(listener);
}

// ---------------------------------------------------------------------------
// Grouping (callers hold the in-use lock and the list lock)

void DeviceMgr::DetermineConfigurations(bool initial) {
    if (initial) {
        IdentifyControllers();
        BuildSubsystemTable();
        return;
    }
    IdentifyControllers();
    StartSubsystems();
    BuildSubsystemTable();
}

void DeviceMgr::IdentifyControllers() {
    std::uint32_t controllers = 0;
    for (DeviceRecord* record = deviceList_; record != nullptr; record = record->next) {
        ++controllers;
        auto storSys = std::make_unique<StorSys>(record);
        UnitSerialPage page;
        ScsiResult result;
        if (storSys->ReadUnitSerialPage(0, page, result) == 0) {
            PostDeviceNotice(DeviceText(DTEXT_CONTROLLER_REJECTED));
            continue;
        }
        PostDeviceNotice(DeviceText(DTEXT_CONTROLLER_IDENTIFIED, page.backplaneId));
        OruLite* match = nullptr;
        for (SubsystemEntry& entry : table_) {
            if (entry.monitor != nullptr &&
                std::memcmp(entry.monitor->BackplaneId(), page.backplaneId, kSerialLength) == 0) {
                match = entry.monitor;
                break;
            }
        }
        if (match == nullptr) {
            storSys.reset();
            AddSubsystem(record);
            continue;
        }
        if (!match->PlaceController(storSys)) {
            PostDeviceNotice(DeviceText(DTEXT_CONTROLLER_NOT_PLACED, page.backplaneId));
            continue;
        }
        match->ReadSubsystemPageValues();
        match->ReadBackplaneId();
        if (page.active != 0) {
            match->SetActiveController(static_cast<int>(match->PlacedSlot()));
        }
    }
    controllersSeen_ = controllers;
    std::uint32_t subsystems = 0;
    for (const ListElement& element : subsystemList_) {
        if (!element.dropped && element.monitor != nullptr && element.monitor->IsValid()) {
            ++subsystems;
        }
    }
    PostDeviceNotice(DeviceText(DTEXT_FOUND_SUBSYSTEMS, static_cast<int>(subsystems),
                                static_cast<int>(controllers)));
}

DeviceMgr::ListElement* DeviceMgr::FindMatchingElement(const OruLite& monitor) {
    for (ListElement& element : subsystemList_) {
        if (element.monitor == nullptr || element.dropped) {
            continue;
        }
        if (element.monitor == &monitor || std::memcmp(element.monitor->BackplaneId(),
                                                       monitor.BackplaneId(), kSerialLength) == 0) {
            return &element;
        }
        if (monitor.HasSubsystemNumber() && element.number == monitor.SubsystemNumber()) {
            return &element;
        }
    }
    return nullptr;
}

void DeviceMgr::AddSubsystem(const DeviceRecord* record) {
    auto monitor = std::make_unique<OruLite>(*this, record);
    if (!monitor->IsValid()) {
        // No identity, or a raw page without a usable slot: the controller
        // forms nothing and joins nothing.
        return;
    }
    if (ListElement* element = FindMatchingElement(*monitor)) {
        std::unique_ptr<StorSys> storSys = monitor->TakeController(monitor->PlacedSlot());
        if (!element->monitor->AdoptController(storSys, monitor->PlacedSlot())) {
            PostDeviceNotice(DeviceText(DTEXT_CONTROLLER_NOT_PLACED, monitor->BackplaneId()));
        }
        monitor->SetInvalid();
        return;
    }
    monitor->SetSubsystemNumber(nextSubsystemNumber_++);
    ListElement element;
    element.monitor = monitor.get();
    element.number = monitor->SubsystemNumber();
    subsystemList_.push_back(element);
    monitors_.push_back(std::move(monitor));
}

void DeviceMgr::StartSubsystems() {
    for (auto it = subsystemList_.begin(); it != subsystemList_.end();) {
        if (it->monitor == nullptr) {
            it = subsystemList_.erase(it);
            continue;
        }
        OruLite& monitor = *it->monitor;
        if (!it->dropped && monitor.Controller(OruLite::kSlotX) == nullptr &&
            monitor.Controller(OruLite::kSlotY) == nullptr) {
            it->dropped = true;
            if (monitor.Task() != nullptr) {
                monitor.Task()->RemoveUser();
            }
        }
        if (!it->dropped && monitor.Task() == nullptr) {
            AssignTask(monitor, ChooseTaskSlot());
            monitor.Init();
        }
        ++it;
    }
}

int DeviceMgr::ChooseTaskSlot() const {
    int least = -1;
    int firstEmpty = -1;
    for (int slot = 0; slot < kTaskSlots; ++slot) {
        const OruLiteTask* task = taskSlots_[slot];
        if (task == nullptr) {
            if (firstEmpty < 0) {
                firstEmpty = slot;
            }
            continue;
        }
        if (least < 0 || task->UserCount() < taskSlots_[least]->UserCount()) {
            least = slot;
        }
    }
    if (least < 0) {
        return 0;
    }
    if (taskSlots_[least]->UserCount() == 0 || firstEmpty < 0) {
        return least;
    }
    return firstEmpty;
}

void DeviceMgr::AssignTask(OruLite& monitor, int slot) {
    if (taskSlots_[slot] == nullptr) {
        taskSlots_[slot] = new OruLiteTask(*this, slot);
    }
    monitor.SetTask(taskSlots_[slot]);
    taskSlots_[slot]->AddUser();
}

void DeviceMgr::BuildSubsystemTable() {
    std::vector<SubsystemEntry> table;
    for (ListElement& element : subsystemList_) {
        if (element.dropped || element.monitor == nullptr) {
            continue;
        }
        OruLite& monitor = *element.monitor;
        monitor.SelectActiveController();
        monitor.ExchangeNextSequence();
        SubsystemEntry entry;
        entry.sequenceFlag = monitor.SequenceFlag() ? 1 : 0;
        std::memcpy(entry.serialNumber, monitor.BackplaneId(), kSerialLength);
        entry.serialNumber[kSerialLength] = '\0';
        entry.activeController = monitor.ActiveController() == OruLite::kSlotY ? 1 : 0;
        entry.controllerDevice[0] = monitor.ControllerDevice(OruLite::kSlotX);
        entry.controllerDevice[1] = monitor.ControllerDevice(OruLite::kSlotY);
        entry.subsystemTypeId = monitor.SubsystemTypeId();
        entry.pageFirstValue = monitor.PageFirstValue();
        entry.monitor = &monitor;
        if (StorSys* active = monitor.ActiveStorSys()) {
            entry.formatLevel = active->FormatLevel();
        }
        table.push_back(entry);
    }
    table_.swap(table);
    for (auto it = subsystemList_.begin(); it != subsystemList_.end();) {
        if (it->dropped) {
            Retire(it->monitor);
            it = subsystemList_.erase(it);
        } else {
            ++it;
        }
    }
}

void DeviceMgr::Retire(OruLite* monitor) {
    if (monitor == nullptr) {
        return;
    }
    PostDeviceNotice(DeviceText(DTEXT_SUBSYSTEM_DROPPED, monitor->BackplaneId()));
    // The memory stays in monitors_: a session may still hold the pointer.
    monitor->SetShuttingDown();
    monitor->Teardown();
}

void DeviceMgr::ReleaseControllers() {
    for (SubsystemEntry& entry : table_) {
        if (entry.monitor != nullptr) {
            entry.monitor->ReleaseControllers();
        }
    }
}

// ---------------------------------------------------------------------------
// Rescan

int DeviceMgr::RequestRescan() {
    std::lock_guard<std::mutex> hold(stateLock_);
    if (shuttingDown_ || deviceTask_ == nullptr) {
        return 0;
    }
    TaskRequest request;
    request.code = DM_RESCAN;
    deviceTask_->SendRequest(request, 0, true);
    return 1;
}

int DeviceMgr::Rescan(OruTask* caller) {
    std::vector<OruLiteTask*> parked;
    {
        ResourceHold rescan(rescanLock_);
        {
            std::lock_guard<std::mutex> hold(stateLock_);
            if (shuttingDown_) {
                return 1;
            }
        }
        for (OruLiteTask* task : taskSlots_) {
            if (task == nullptr || task == caller) {
                continue;
            }
            TaskRequest park;
            park.code = OL_PARK;
            if (task->SendRequest(park, 0, true) == 0) {
                task->Parked().Wait(0);
                parked.push_back(task);
            }
        }
        {
            ResourceHold inUse(inUseLock_);
            ResourceHold list(listLock_);
            // The old table and the monitors' controllers point into the
            // device list that the scan is about to free: let go of them
            // first, while nobody can read them.
            ReleaseControllers();
            {
                std::lock_guard<std::mutex> device(DeviceLock());
                ScsiResult result;
                OpenArrayDevices(deviceList_, result);
            }
            DetermineConfigurations(false);
        }
    }
    // Only the tasks that parked: a task made by this rescan never parked,
    // and a resume left for it would let it skip its next park.
    for (OruLiteTask* task : parked) {
        task->Resume().Post();
    }
    RescanListener listener;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        ++rescans_;
        listener = rescanListener_;
    }
    if (listener) {
        listener();
    }
    return 1;
}
