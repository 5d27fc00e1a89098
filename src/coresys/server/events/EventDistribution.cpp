#include "coresys/server/events/EventDistribution.h"

#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/events/ComparisonEffects.h"
#include "coresys/server/events/ServerEventReport.h"
#include "coresys/server/events/StateComparison.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/net/ServerEventHook.h"

namespace {

// The connection code's failures are server-software events of this kind.
constexpr std::uint32_t kConnectionFailure = 3;

// What a comparison changes in the monitor it ran for.
class MonitorEffects : public ComparisonEffects {
  public:
    explicit MonitorEffects(OruLite& monitor) : monitor_(monitor) {}

    void DriveReplaced(std::uint32_t slot) override {
        DriveSlotRecord fresh;
        fresh.drive = slot;
        monitor_.DriveSlot(slot) = fresh;
        // The old drive's diagnostic can neither go on nor be reported
        // against the drive that took its place.
        CommandInProgressArray& running = monitor_.commandsInProgress;
        for (unsigned short i = running.Size(); i > 0; --i) {
            const CommandInProgress* entry = running[static_cast<unsigned short>(i - 1)];
            if (entry != nullptr && entry->drive == slot &&
                (entry->code == MC_TestPhysicalDrive || entry->code == MC_VerifyPhysicalDrive)) {
                CommandInProgress copy = *entry;
                running.RemoveElement(copy);
            }
        }
        CommandResultsArray& results = monitor_.commandResults;
        for (unsigned short i = results.Size(); i > 0; --i) {
            const auto* diag = dynamic_cast<const DiagCommandResults*>(
                results[static_cast<unsigned short>(i - 1)]);
            if (diag != nullptr && diag->drive == slot) {
                DiagCommandResults copy = *diag;
                results.RemoveElement(copy);
            }
        }
    }

    void DriveStateChanged(std::uint32_t slot, std::uint32_t driveState) override {
        // A write/read test must stop writing once the drive holds array
        // data: the drive is taken down again and the test ends as
        // cancelled (its next step publishes that).
        StorSys* active = monitor_.ActiveStorSys();
        if (slot >= OruLite::kDriveSlots || active == nullptr) {
            return;
        }
        StorSysDrive drive(*active, static_cast<std::uint8_t>(slot));
        monitor_.DriveSlot(slot).EndWriteReadTest(drive, driveState);
    }

    void ControllerReplaced(std::uint32_t slot) override {
        monitor_.ControllerDetails(static_cast<int>(slot)) = ControllerDetail();
    }

  private:
    OruLite& monitor_;
};

void RaiseThroughEvents(std::uint32_t value) {
    EventDistribution::RaiseServerEvent(value);
}

}  // namespace

void EventDistribution::Install() {
    OruLite::SetStateComparer(&EventDistribution::CompareAndSend);
    SetServerEventRaiser(&RaiseThroughEvents);
}

void EventDistribution::Uninstall() {
    SetServerEventRaiser(nullptr);
    OruLite::SetStateComparer(nullptr);
}

bool EventDistribution::CompareAndSend(OruLite& monitor, const ServerDiskArrayState& current,
                                       ServerDiskArrayState& fresh) {
    ServerEventReport report(&fresh, &monitor);
    MonitorEffects effects(monitor);
    const bool raised = StateComparison::Compare(current, fresh, report, &effects);
    if (raised) {
        report.SendEvents();
    }
    return raised;
}

void EventDistribution::RaiseServerEvent(unsigned value) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, kConnectionFailure, value);
    report.SendEvents();
}

void EventDistribution::ListenForRescans(DeviceMgr& manager) {
    manager.SetRescanListener(&EventDistribution::ConfigurationChanged);
}

void EventDistribution::LogStateChanged(std::uint32_t lrba, std::uint32_t readErrors,
                                        bool suspended) {
    // The event's piece is the "log suspended" value of every subsystem's
    // state: a client's copy takes it from the event.
    DiskArrayState carried;
    carried.stateValue1 = suspended ? 1 : 0;
    ServerEventReport report;
    report.Message().state = &carried;
    report.AddEvent(DAS_MISC, DAS_MISC_STATE_VALUE1, lrba, readErrors);
    report.SendEvents();
}

void EventDistribution::ConfigurationChanged() {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_CONFIGURATION_CHANGED, 0, 0);
    report.SendEvents();
}
