#include "gui/ArrayComponents.h"

#include "coresys/common/DiskArrayState.h"
#include "gui/GuiText.h"

namespace oru {
namespace {

// Component codes, turned into status values by CodeValue.
constexpr std::uint32_t kCodeGood = 1;
constexpr std::uint32_t kCodeFailed = 2;
constexpr std::uint32_t kCodeAbsent = 3;
// The service gives an empty controller slot status 4; the window shows it
// as the empty slot it is (the service's value stays 4).
constexpr std::uint32_t kCodeEmptyControllerSlot = 4;
constexpr std::uint32_t kCodeNotInUse = 5;
constexpr std::uint32_t kCodeWarning = 77;

// Module states of the controllers (see docs/controller-interface.md, raw
// page): batteries 1 charged, 2 charging, 3 discharged; DRAM and NVRAM 1
// good, 2 failed, 3 absent, 4 disabled.
constexpr std::uint32_t kBatteryCharging = 2;
constexpr std::uint32_t kBatteryDischarged = 3;
constexpr std::uint32_t kModuleFailed = 2;

int CodeValue(std::uint32_t code) {
    switch (code) {
        case kCodeGood:
            return DS_NORMAL;
        case kCodeFailed:
            return DS_CRITICAL_ERROR;
        case kCodeAbsent:
        case kCodeEmptyControllerSlot:
            return DS_EMPTY_SLOT;
        case kCodeNotInUse:
            return DS_NOT_IN_USE;
        case kCodeWarning:
            return DS_WARNING;
        default:
            return DS_NO_DATA;
    }
}

void Join(std::string& detail, const std::string& text) {
    if (!detail.empty()) {
        detail += ", ";
    }
    detail += text;
}

ComponentStatus ControllerStatus(const ControllerInfo& controller) {
    std::uint32_t code = controller.controllerStatus;
    std::string detail;
    if (code != kCodeAbsent && code != kCodeEmptyControllerSlot) {
        bool module = false;
        auto note = [&](TextId text) {
            Join(detail, GuiText(text));
            module = true;
        };
        for (std::uint32_t battery : controller.batteryStatus) {
            if (battery == kBatteryDischarged) {
                note(txt::kBatteryFailure);
            } else if (battery == kBatteryCharging) {
                note(txt::kBatteryWarning);
            }
        }
        for (std::uint32_t dram : controller.dramStatus) {
            if (dram == kModuleFailed) {
                note(txt::kCondDram);
            }
        }
        for (std::uint32_t nvram : controller.nvramStatus) {
            if (nvram == kModuleFailed) {
                note(txt::kCondNvram);
            }
        }
        if (module && code != kCodeFailed) {
            code = kCodeWarning;
        }
    }
    return ComponentStatus{CodeValue(code), detail};
}

struct DriveCode {
    std::uint32_t code;
    TextId text;
};

ComponentStatus DiskStatus(const Physical_Drive& drive) {
    static constexpr TextId kNone{0, 0};
    // By drive state 0..14; any other state is code 4 (Unknown).
    static constexpr DriveCode kCodes[] = {
        {kCodeGood, kNone},
        {kCodeAbsent, kNone},
        {kCodeNotInUse, txt::kDriveNotIncluded},
        {kCodeNotInUse, txt::kDriveDowned},
        {kCodeFailed, txt::kFailed},
        {kCodeNotInUse, txt::kDrivePreviouslyUsed},
        {kCodeNotInUse, txt::kDriveNotSupported},
        {kCodeFailed, txt::kDriveIncludeFailed},
        {kCodeNotInUse, txt::kDriveDraining},
        {kCodeNotInUse, txt::kDriveDrained},
        {kCodeNotInUse, txt::kDriveDrainHold},
        {kCodeNotInUse, txt::kDriveLogging},
        {kCodeNotInUse, txt::kDriveUnusedLog},
        {kCodeNotInUse, txt::kDriveFailedLog},
        {kCodeNotInUse, txt::kDriveFullLog},
    };
    if (drive.driveState >= std::size(kCodes)) {
        return ComponentStatus{DS_NO_DATA, std::string()};
    }
    const DriveCode& entry = kCodes[drive.driveState];
    ComponentStatus status{CodeValue(entry.code), std::string()};
    if (entry.text.set != 0) {
        status.detail = GuiText(entry.text);
    }
    return status;
}

const std::vector<std::uint32_t>* HardwareList(const DiskArrayState& state, ComponentKind kind) {
    if (!state.hardware.has_value()) {
        return nullptr;
    }
    return kind == ComponentKind::kFan ? &state.hardware->values1 : &state.hardware->values2;
}

std::string Text(std::string_view field) {
    return std::string(field);
}

std::string YesNo(std::uint32_t value) {
    return GuiText(value != 0 ? txt::kYesWord : txt::kNoWord);
}

bool IsPrimary(const DiskArrayState& state, std::uint32_t index) {
    const ControllerInfo* controller = state.Controller(index);
    return controller != nullptr && controller->active == 1;
}

}  // namespace

std::uint32_t ComponentCount(const DiskArrayState& state, ComponentKind kind) {
    if (state.ValidStateData() == 0) {
        return 0;
    }
    switch (kind) {
        case ComponentKind::kController:
            return state.ControllerCount();
        case ComponentKind::kDisk:
            return state.DriveCount();
        case ComponentKind::kFan:
        case ComponentKind::kPowerSupply: {
            const std::vector<std::uint32_t>* list = HardwareList(state, kind);
            return list != nullptr ? static_cast<std::uint32_t>(list->size()) : 0;
        }
    }
    return 0;
}

ComponentStatus EvaluateComponent(const DiskArrayState& state, ComponentKind kind,
                                  std::uint32_t index) {
    if (index >= ComponentCount(state, kind)) {
        return ComponentStatus{};
    }
    switch (kind) {
        case ComponentKind::kController:
            return ControllerStatus(*state.Controller(index));
        case ComponentKind::kDisk:
            return DiskStatus(*state.Drive(index));
        case ComponentKind::kFan:
        case ComponentKind::kPowerSupply:
            return ComponentStatus{CodeValue((*HardwareList(state, kind))[index]), std::string()};
    }
    return ComponentStatus{};
}

std::string ComponentName(ComponentKind kind, std::uint32_t index) {
    const int i = static_cast<int>(index);
    switch (kind) {
        case ComponentKind::kController:
            // More controllers than a cabinet has are named by number.
            return index == 0   ? GuiText(txt::kControllerX)
                   : index == 1 ? GuiText(txt::kControllerY)
                                : GuiText(txt::kControllerN, i + 1);
        case ComponentKind::kDisk:
            return index % 2 == 0 ? GuiText(txt::kDiskA, (i + 2) / 2)
                                  : GuiText(txt::kDiskB, (i + 1) / 2);
        case ComponentKind::kFan:
            return GuiText(txt::kFanN, i + 1);
        case ComponentKind::kPowerSupply:
            return GuiText(txt::kPowerSupplyN, i + 1);
    }
    return std::string();
}

std::string GroupName(ComponentKind kind) {
    switch (kind) {
        case ComponentKind::kController:
            return GuiText(txt::kTreeControllers);
        case ComponentKind::kDisk:
            return GuiText(txt::kTreeDisks);
        case ComponentKind::kFan:
            return GuiText(txt::kTreeFans);
        case ComponentKind::kPowerSupply:
            return GuiText(txt::kTreePowerSupplies);
    }
    return std::string();
}

std::uint32_t DiskCapacityHundredths(std::uint64_t lastBlock, std::uint32_t blockSize) {
    const std::uint64_t hundredths = (lastBlock + 1) * blockSize / 10000000u;
    return hundredths > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(hundredths);
}

std::vector<DetailLine> ComponentDetails(const DiskArrayState& state, ComponentKind kind,
                                         std::uint32_t index) {
    std::vector<DetailLine> lines;
    const ComponentStatus status = EvaluateComponent(state, kind, index);
    std::string condition = StatusName(status.value);
    if (!status.detail.empty()) {
        condition += " - " + status.detail;
    }
    lines.push_back({GuiText(txt::kLineCondition), condition});
    if (index >= ComponentCount(state, kind)) {
        return lines;
    }
    const bool empty = status.value == DS_EMPTY_SLOT;
    if (kind == ComponentKind::kController) {
        const ControllerInfo& controller = *state.Controller(index);
        TextId role = txt::kSecondary;
        if (controller.active == 1) {
            role = txt::kPrimary;
        } else if (controller.controllerStatus == kCodeEmptyControllerSlot) {
            role = IsPrimary(state, index == 0 ? 1 : 0) ? txt::kSecondary : txt::kPrimary;
        }
        lines.push_back({GuiText(txt::kLineState), GuiText(role)});
        lines.push_back({GuiText(txt::kLineScsiAddress),
                         std::to_string(static_cast<unsigned long>(controller.targetId))});
        if (!empty) {
            int used = 0;
            int fitted = 0;
            for (const std::vector<std::uint32_t>* list :
                 {&controller.dramStatus, &controller.nvramStatus}) {
                for (std::uint32_t module : *list) {
                    used += module == 1 || module == 2 ? 1 : 0;
                    fitted += module >= 1 && module <= 4 ? 1 : 0;
                }
            }
            lines.push_back({GuiText(txt::kLineVendor), Text(controller.Vendor())});
            lines.push_back({GuiText(txt::kLineModel), Text(controller.ProductId())});
            lines.push_back({GuiText(txt::kLineDriveSerial), Text(controller.SerialNumber())});
            lines.push_back({GuiText(txt::kLineFirmware), Text(controller.FwRev())});
            lines.push_back({GuiText(txt::kLineProductRevision), Text(controller.ProductRev())});
            lines.push_back({GuiText(txt::kLineSimmUsage),
                             std::to_string(used) + "/" + std::to_string(fitted)});
        }
    } else if (kind == ComponentKind::kDisk && !empty) {
        const Physical_Drive& drive = *state.Drive(index);
        lines.push_back(
            {GuiText(txt::kLineCapacity), GigabyteText(DiskCapacityHundredths(
                                              drive.capacity.blocks, drive.capacity.blockSize))});
        lines.push_back({GuiText(txt::kLineVendor), Text(drive.Vendor())});
        lines.push_back({GuiText(txt::kLineModel), Text(drive.IdentityText2())});
        lines.push_back({GuiText(txt::kLineDriveSerial), Text(drive.SerialNumber())});
        lines.push_back({GuiText(txt::kLineFirmware), Text(drive.ProductRev())});
        lines.push_back({GuiText(txt::kLineVolumeSet), Text(drive.VolSetSerialNumber())});
    }
    return lines;
}

std::vector<DetailLine> ArrayDetails(const DiskArrayState& state,
                                     const StatusEvaluation& evaluation) {
    const ModeSubsystemPage page =
        state.modeSubsystem.has_value() ? *state.modeSubsystem : ModeSubsystemPage();
    return {
        {GuiText(txt::kLineCondition), evaluation.text},
        {GuiText(txt::kLineSerialNumber), Text(state.SerialNumber())},
        {GuiText(txt::kLineAliasName), Text(state.AliasName())},
        {GuiText(txt::kLineActiveSpare), YesNo(page.hot_spare_desired)},
        {GuiText(txt::kLineAutoInclude), YesNo(page.auto_include)},
        {GuiText(txt::kLineAutoRebuild), YesNo(page.auto_rebuild)},
        // 0 is the high priority.
        {GuiText(txt::kLineRebuildPriority),
         GuiText(page.rebuild_priority == 0 ? txt::kHighWord : txt::kLowWord)},
    };
}

int StatusImageIndex(int value) {
    switch (value) {
        case DS_NOT_IN_USE:
        case DS_NO_DATA:
            return 6;
        case DS_NORMAL:
            return 7;
        case DS_WARNING:
            return 8;
        case DS_MINOR_ERROR:
        case DS_MAJOR_ERROR:
        case DS_CRITICAL_ERROR:
            return 9;
        default:
            return 0;
    }
}

bool CStatusModel::Changed(const DiskArrayState& state) {
    bool changed = first_;
    first_ = false;
    const StatusEvaluation array = EvaluateState(state);
    if (array.value != array_.value || array.text != array_.text) {
        changed = true;
        array_ = array;
    }
    for (ComponentKind kind : kComponentKinds) {
        std::vector<int>& remembered = components_[static_cast<std::uint32_t>(kind) - 1];
        const std::uint32_t count = ComponentCount(state, kind);
        // A component that went away is as much a change as a new one.
        if (remembered.size() != count) {
            changed = true;
            remembered.resize(count, DS_NO_DATA - 1);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const int value = EvaluateComponent(state, kind, i).value;
            if (remembered[i] != value) {
                changed = true;
                remembered[i] = value;
            }
        }
    }
    return changed;
}

QRect CabinetLayout::ComponentRect(std::uint32_t layoutType, ComponentKind kind,
                                   std::uint32_t index) {
    if (!HasPlaces(layoutType)) {
        return QRect();
    }
    const bool tall = layoutType == 2;
    const int a = static_cast<int>(index);
    auto rect = [](int left, int top, int right, int bottom) {
        return QRect(left, top, right - left, bottom - top);
    };
    switch (kind) {
        case ComponentKind::kController:
            if (index >= 2) {
                return QRect();
            }
            return tall ? rect(97 + 15 * a, 48, 110 + 15 * a, 112)
                        : rect(97 + 15 * a, 55, 110 + 15 * a, 129);
        case ComponentKind::kDisk: {
            if (index >= 12) {
                return QRect();
            }
            const int row = (a - (a % 2)) / 2;
            const int left = a % 2 == 0 ? 21 : 58;
            return tall ? rect(left, 101 - 15 * row, left + 32, 114 - 15 * row)
                        : rect(left, 93 - 12 * row, left + 32, 103 - 12 * row);
        }
        case ComponentKind::kFan:
            if (index >= 4) {
                return QRect();
            }
            return tall ? rect(21 + 37 * a, 7, 53 + 37 * a, 21)
                        : rect(21 + 37 * a, 17, 53 + 37 * a, 28);
        case ComponentKind::kPowerSupply:
            if (index >= 4) {
                return QRect();
            }
            return tall ? rect(21 + 37 * a, 118, 53 + 37 * a, 141)
                        : rect(21 + 37 * a, 108, 53 + 37 * a, 131);
    }
    return QRect();
}

QRect DiskLayout::DiskRect(std::uint32_t index) {
    if (index >= kDisks) {
        return QRect();
    }
    const int i = static_cast<int>(index);
    const int odd = i % 2;
    const int bottom = 94 - 15 * ((i - odd) / 2);
    const int left = odd != 0 ? 52 : 15;
    return QRect(left, bottom - 13, 32, 13);
}

}  // namespace oru
