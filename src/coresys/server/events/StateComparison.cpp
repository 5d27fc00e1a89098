#include "coresys/server/events/StateComparison.h"

#include <algorithm>
#include <string>
#include <vector>

#include "coresys/server/events/ComparisonEffects.h"
#include "coresys/server/events/ServerEventReport.h"

namespace {

constexpr std::size_t kControllerSerialChars = 16;
constexpr std::size_t kDriveSerialChars = 12;
constexpr std::size_t kAliasChars = 12;

// The drive slot whose diagnostic runs, first found; -1 when none does.
int RunningDiagnostic(const DiskArrayState& s) {
    for (std::uint32_t slot = 0; slot < s.DriveCount(); ++slot) {
        if (s.drives[slot].driveValue3 != 0) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

template <class T>
const T& Or(const T* element, const T& empty) {
    return element != nullptr ? *element : empty;
}

class Checker {
  public:
    Checker(const DiskArrayState& a, DiskArrayState& b, ServerEventReport& report,
            ComparisonEffects* effects)
        : a_(a), b_(b), report_(report), effects_(effects) {}

    bool Run() {
        if (a_.ValidStateData() != 1) {
            Raise(DAS_MISC, DAS_MISC_VALID_STATE, 0, 0);
            return true;
        }
        if (a_.stateValue4 != b_.stateValue4) {
            Raise(DAS_MISC, DAS_MISC_VALID_STATE, 0, 0);
        }
        if (a_.stateValue1 != b_.stateValue1) {
            Raise(ORUSS_MISC, ORUSS_MISC_LOG_SUSPENDED, 0, 0);
        }
        if (a_.stateValue2 != b_.stateValue2) {
            // The slot named is the one whose diagnostic ran before, or when
            // none ran, the one whose diagnostic runs now: the text names the
            // drive the change is about.
            int slot = RunningDiagnostic(a_);
            if (slot < 0) {
                slot = std::max(RunningDiagnostic(b_), 0);
            }
            Raise(SSW, SSW_DRIVE_DIAGNOSTICS, static_cast<std::uint32_t>(slot), a_.stateValue2);
        }
        for (std::uint32_t c = 0; c < DiskArrayState::kControllers; ++c) {
            Controllers(c);
        }
        SubsystemState();
        ModeSubsystem();
        ModeExtension();
        ModeCache();
        if (!(a_.raid1Capacity == b_.raid1Capacity)) {
            Raise(CAP, CAP_RAID1, 0, 0);
        }
        if (!(a_.virtualRemaining == b_.virtualRemaining)) {
            Raise(CAP, CAP_VIRTUAL_REMAINING, 0, 0);
        }
        Luns();
        Drives();
        Missing();
        Hardware();
        if (Field(a_.aliasName, kAliasChars) != Field(b_.aliasName, kAliasChars)) {
            Raise(DAS_MISC, DAS_MISC_ALIAS, 0, 0);
        }
        // The derived values follow the pages and controllers; both states
        // are measured by the same rule before they are compared.
        DiskArrayState before = a_;
        before.SetUserParams();
        b_.SetUserParams();
        if (before.userParam1 != b_.userParam1 || before.userParam2 != b_.userParam2) {
            Raise(DAS_MISC, DAS_MISC_USER_PARAMS, 0, 0);
        }
        if (before.userParam3 != b_.userParam3) {
            Raise(DAS_MISC, DAS_MISC_USER_PARAM3, 0, 0);
        }
        if (a_.ownsLock != b_.ownsLock) {
            Raise(DAS_MISC, DAS_MISC_OWNS_LOCK, 0, 0);
        }
        return raised_;
    }

  private:
    static std::string_view Field(const char* text, std::size_t width) {
        std::size_t n = 0;
        while (n < width && text[n] != '\0') {
            ++n;
        }
        return std::string_view(text, n);
    }

    void Raise(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t d1, std::uint32_t d2,
               const ServerEventReport::Detail& detail = ServerEventReport::Detail()) {
        report_.AddEvent(major, minor, d1, d2, detail);
        raised_ = true;
    }

    // A module list: a count that differs is one event (argument 0), else
    // one event per module whose state differs (argument its index).
    void Modules(std::uint32_t c, EVENT_MINOR_CTLR_TYPE minor, const std::vector<std::uint32_t>& a,
                 const std::vector<std::uint32_t>& b) {
        if (a.size() != b.size()) {
            Raise(CTLR, minor, c, 0);
            return;
        }
        for (std::uint32_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i]) {
                Raise(CTLR, minor, c, i);
            }
        }
    }

    void Controllers(std::uint32_t c) {
        const ControllerInfo empty;
        const ControllerInfo& a = Or(a_.Controller(c), empty);
        const ControllerInfo& b = Or(b_.Controller(c), empty);
        if (Field(a.serialNumber, kControllerSerialChars) !=
            Field(b.serialNumber, kControllerSerialChars)) {
            Raise(CTLR, CTLR_SERIAL_NUMBER, c, 0);
            if (effects_ != nullptr) {
                effects_->ControllerReplaced(c);
            }
        }
        if (a.active != b.active) {
            Raise(CTLR, CTLR_ACTIVE, c, 0);
        }
        Modules(c, CTLR_BATTERY, a.batteryStatus, b.batteryStatus);
        Modules(c, CTLR_NVRAM, a.nvramStatus, b.nvramStatus);
        Modules(c, CTLR_DRAM, a.dramStatus, b.dramStatus);
        if (a.controllerStatus != b.controllerStatus) {
            Raise(CTLR, CTLR_STATUS, c, 0);
        }
    }

    void SubsystemState() {
        const SubsystemStateInfo empty;
        const SubsystemStateInfo& a = a_.subsystemState ? *a_.subsystemState : empty;
        const SubsystemStateInfo& b = b_.subsystemState ? *b_.subsystemState : empty;
        // Minor k reports value k + 1 of the record, for every value.
        for (std::uint32_t k = 0; k < SubsystemStateInfo::kValues; ++k) {
            if (a.values[k] != b.values[k]) {
                Raise(SSS, k, 0, 0);
            }
        }
    }

    void ModeSubsystem() {
        const ModeSubsystemPage empty;
        const ModeSubsystemPage& a = a_.modeSubsystem ? *a_.modeSubsystem : empty;
        const ModeSubsystemPage& b = b_.modeSubsystem ? *b_.modeSubsystem : empty;
        // The watched fields in minor order: byte 11 bits 6..0, byte 12 bits
        // 6 and 5, byte 15 bits 5 and 4, bytes 16-17, byte 18.
        const std::uint32_t ModeSubsystemPage::*kWatched[] = {
            &ModeSubsystemPage::hot_spare_desired,
            &ModeSubsystemPage::vs_partition,
            &ModeSubsystemPage::rebuild_in_progress,
            &ModeSubsystemPage::auto_rebuild,
            &ModeSubsystemPage::auto_include,
            &ModeSubsystemPage::log_full_warn,
            &ModeSubsystemPage::value9,
            &ModeSubsystemPage::optimizing,
            &ModeSubsystemPage::rebuild_priority,
            &ModeSubsystemPage::format_pattern_fill,
            &ModeSubsystemPage::disable_remote_reset,
            &ModeSubsystemPage::cap_deplete_thresh,
            &ModeSubsystemPage::rebuild_progress,
        };
        for (std::uint32_t minor = 0; minor < std::size(kWatched); ++minor) {
            if (a.*kWatched[minor] != b.*kWatched[minor]) {
                Raise(MSS, minor, 0, 0);
            }
        }
        // Either controller's target address (byte 14 is Y's, 13 X's).
        if (a.ctrl_b_addr != b.ctrl_b_addr) {
            ServerEventReport::Detail detail;
            detail.value = b.ctrl_b_addr;
            Raise(MSS, MSS_TARGET_IDS, 0, 0, detail);
        }
        if (a.ctrl_a_addr != b.ctrl_a_addr) {
            ServerEventReport::Detail detail;
            detail.value = b.ctrl_a_addr;
            Raise(MSS, MSS_TARGET_IDS, 0, 0, detail);
        }
    }

    void ModeExtension() {
        const ModeExtensionPage empty;
        const ModeExtensionPage& a = a_.modeExtension ? *a_.modeExtension : empty;
        const ModeExtensionPage& b = b_.modeExtension ? *b_.modeExtension : empty;
        // Page bytes 14-17, 18 bit 0, 18 bit 1, 20 and 21 bit 0 are words 2,
        // 3, 4, 6 and 14; they raise minors 0, 2, 1, 3 and 4.
        struct Watch {
            std::uint32_t word;
            std::uint32_t minor;
        };
        static constexpr Watch kWatched[] = {{2, 0}, {3, 2}, {4, 1}, {6, 3}, {14, 4}};
        for (const Watch& w : kWatched) {
            if (a.Value(w.word) != b.Value(w.word)) {
                Raise(MEXT, w.minor, 0, 0);
            }
        }
    }

    void ModeCache() {
        const ModeCachePage empty;
        const ModeCachePage& a = a_.modeCache ? *a_.modeCache : empty;
        const ModeCachePage& b = b_.modeCache ? *b_.modeCache : empty;
        if (a.write_cache_enable != b.write_cache_enable) {
            Raise(MC, MC_WRITE_CACHE, 0, 0);
        }
        if (a.read_cache_enable != b.read_cache_enable) {
            Raise(MC, MC_READ_CACHE, 0, 0);
        }
    }

    void Luns() {
        const LUN empty;
        const std::uint32_t count = std::max(a_.LunCount(), b_.LunCount());
        for (std::uint32_t n = 0; n < count; ++n) {
            const LUN& a = Or(a_.Lun(n), empty);
            const LUN& b = Or(b_.Lun(n), empty);
            if (a.status != b.status) {
                Raise(LUN_EVENT, LUN_STATE, n, 0);
            }
            if (!(a.capacity == b.capacity)) {
                Raise(LUN_EVENT, LUN_CAPACITY, n, 0);
            }
        }
    }

    void Drives() {
        const Physical_Drive empty;
        const std::uint32_t count = std::max(a_.DriveCount(), b_.DriveCount());
        for (std::uint32_t n = 0; n < count; ++n) {
            const Physical_Drive& a = Or(a_.Drive(n), empty);
            const Physical_Drive& b = Or(b_.Drive(n), empty);
            const std::string_view before = Field(a.serialNumber, kDriveSerialChars);
            if (before != Field(b.serialNumber, kDriveSerialChars)) {
                ServerEventReport::Detail detail;
                detail.previousSerial = before;
                Raise(PHYS, PHYS_SERIAL_NUMBER, n, 0, detail);
                if (effects_ != nullptr) {
                    effects_->DriveReplaced(n);
                }
            }
            if (a.driveState != b.driveState) {
                Raise(PHYS, PHYS_STATE, n, 0);
                if (effects_ != nullptr) {
                    effects_->DriveStateChanged(n, b.driveState);
                }
            }
        }
    }

    void Missing() {
        const Missing_Drive empty;
        const std::uint32_t count = std::max(a_.MissingCount(), b_.MissingCount());
        for (std::uint32_t n = 0; n < count; ++n) {
            if (Or(a_.Missing(n), empty).present != Or(b_.Missing(n), empty).present) {
                Raise(MISS, MISS_PRESENT, n, 0);
            }
        }
    }

    // Element by element as far as the current state's lists go; an element
    // the new state lacks counts as changed.
    void Hardware() {
        if (!a_.hardware.has_value()) {
            return;
        }
        const ::Hardware empty;
        const ::Hardware& b = b_.hardware ? *b_.hardware : empty;
        auto compare = [&](const std::vector<std::uint32_t>& before,
                           const std::vector<std::uint32_t>& after, EVENT_MINOR_HW_TYPE minor) {
            for (std::uint32_t i = 0; i < before.size(); ++i) {
                if (i >= after.size() || before[i] != after[i]) {
                    Raise(HW, minor, i, 0);
                }
            }
        };
        compare(a_.hardware->values1, b.values1, HW_LIST1);
        compare(a_.hardware->values2, b.values2, HW_LIST2);
    }

    const DiskArrayState& a_;
    DiskArrayState& b_;
    ServerEventReport& report_;
    ComparisonEffects* effects_;
    bool raised_ = false;
};

}  // namespace

bool StateComparison::Compare(const DiskArrayState& current, DiskArrayState& fresh,
                              ServerEventReport& report, ComparisonEffects* effects) {
    return Checker(current, fresh, report, effects).Run();
}
