#include "gui/ArraySettings.h"

#include <algorithm>

#include "client/DiskArray.h"
#include "coresys/common/DiskArrayState.h"

namespace oru {
namespace {

// Values of the subsystem state record (counted from 1).
constexpr std::uint32_t kStateNotRedundant = 3;
constexpr std::uint32_t kStateRebuildFailed = 8;
// The capability level from which alias and resiliency can be set.
constexpr std::uint32_t kSettableLevel = 3;
// The layout type whose controllers lack the very-early-busy setting.
constexpr std::uint32_t kLayoutWithoutVeryEarlyBusy = 1;
// The extension page's very-early-busy value (counted from 1).
constexpr std::uint32_t kExtensionVeryEarlyBusy = 4;

std::uint32_t Address(const DiskArrayState& state, std::uint32_t controller) {
    const ControllerInfo* info = state.Controller(controller);
    return info != nullptr ? info->targetId : 0;
}

int Goal(const DiskArrayState& state) {
    return state.userParam2 >= 1 && state.userParam2 <= 3 ? static_cast<int>(state.userParam2)
                                                          : kResiliencyUnknown;
}

}  // namespace

bool SingleControllerMode(const DiskArrayState& state) {
    return state.userParam1 != 0;
}

bool RebuildStartAllowed(const DiskArrayState& state) {
    if (!state.subsystemState.has_value()) {
        return false;
    }
    const SubsystemStateInfo& record = *state.subsystemState;
    const bool running =
        state.modeSubsystem.has_value() && state.modeSubsystem->rebuild_in_progress != 0;
    if (record.Value(kStateRebuildFailed) != 0) {
        return false;
    }
    return !(record.Value(kStateNotRedundant) != 0 && !running);
}

ArraySettings ArraySettings::FromState(const DiskArrayState& state) {
    ArraySettings settings;
    const ModeSubsystemPage page =
        state.modeSubsystem.has_value() ? *state.modeSubsystem : ModeSubsystemPage();
    settings.autoInclude = page.auto_include != 0;
    settings.activeSpare = page.hot_spare_desired != 0;
    settings.alias = std::string(state.AliasName());
    settings.aliasLocked = state.stateValue6 < kSettableLevel;
    settings.resiliencyLocked = settings.aliasLocked;
    settings.resiliency = SingleControllerMode(state) ? kResiliencySingleController : Goal(state);
    settings.addressX = Address(state, 0);
    settings.addressY = Address(state, 1);
    settings.veryEarlyBusyLocked = state.stateValue7 == kLayoutWithoutVeryEarlyBusy;
    settings.veryEarlyBusy =
        state.modeExtension.has_value() && state.modeExtension->Value(kExtensionVeryEarlyBusy) != 0;
    settings.autoRebuild = page.auto_rebuild != 0;
    settings.highPriority = page.rebuild_priority == 0;
    settings.startAllowed = RebuildStartAllowed(state);
    settings.stopAllowed = page.rebuild_in_progress != 0;
    settings.rebuildProgress = std::min<std::uint32_t>(page.rebuild_progress, 100);
    return settings;
}

std::vector<SettingChange> PlanApply(const ArraySettings& wanted, const DiskArrayState& state) {
    const ArraySettings now = ArraySettings::FromState(state);
    const std::uint32_t priority =
        state.modeSubsystem.has_value() ? state.modeSubsystem->rebuild_priority : 0;
    std::vector<SettingChange> changes;
    auto add = [&](MESSAGE_CODE code, std::uint32_t v1, std::uint32_t v2, TextId failure) {
        SettingChange change;
        change.code = code;
        change.value1 = v1;
        change.value2 = v2;
        change.failure = failure;
        changes.push_back(change);
    };
    if (wanted.autoInclude != now.autoInclude) {
        add(MC_Set_AutoInclude, wanted.autoInclude ? 1 : 0, 0, txt::kErrAutoInclude);
    }
    if (wanted.activeSpare != now.activeSpare) {
        add(MC_Set_HotSpare, wanted.activeSpare ? 1 : 0, 0, txt::kErrActiveSpare);
    }
    if (!wanted.aliasLocked && wanted.alias != now.alias) {
        add(MC_SetAliasName, 0, 0, txt::kErrAlias);
        changes.back().text = wanted.alias;
    }
    if (!wanted.resiliencyLocked) {
        const bool single = SingleControllerMode(state);
        if (wanted.resiliency >= kResiliencyHighPerformance &&
            wanted.resiliency <= kResiliencySecure &&
            (single || wanted.resiliency != Goal(state))) {
            add(MC_SetResiliencyParameters, 0, static_cast<std::uint32_t>(wanted.resiliency),
                txt::kErrResiliency);
        } else if (wanted.resiliency == kResiliencySingleController && !single) {
            add(MC_SetResiliencyParameters, 1, kResiliencySecure, txt::kErrResiliency);
        }
    }
    if (wanted.addressX != now.addressX) {
        add(MC_Set_ControllerAddress, 0, wanted.addressX, txt::kErrAddressX);
    }
    if (wanted.addressY != now.addressY) {
        add(MC_Set_ControllerAddress, 1, wanted.addressY, txt::kErrAddressY);
    }
    if (!wanted.veryEarlyBusyLocked && wanted.veryEarlyBusy != now.veryEarlyBusy) {
        add(MC_Set_VeryEarlyBusy, wanted.veryEarlyBusy ? 1 : 0, 0, txt::kErrVeryEarlyBusy);
    }
    if (wanted.autoRebuild != now.autoRebuild) {
        add(MC_Set_AutoRebuild, wanted.autoRebuild ? 1 : 0, 0, txt::kErrRebuildType);
    }
    // The array's priority 0 is the high one; any other value is low.
    if (wanted.highPriority != (priority == 0)) {
        add(MC_Set_RebuildPriority, wanted.highPriority ? 0 : 1, 0, txt::kErrRebuildPriority);
    }
    return changes;
}

CommandHandle SendChange(DiskArray& array, const SettingChange& change) {
    const int on = static_cast<int>(change.value1);
    switch (change.code) {
        case MC_Set_AutoInclude:
            return array.Set_AutoInclude(on);
        case MC_Set_HotSpare:
            return array.Set_HotSpare(on);
        case MC_SetAliasName:
            return array.SetAliasName(change.text.c_str());
        case MC_SetResiliencyParameters:
            return array.SetResiliencyParameters(on, static_cast<PERF_GOAL>(change.value2));
        case MC_Set_ControllerAddress:
            return array.Set_ControllerAddress(change.value1, change.value2);
        case MC_Set_VeryEarlyBusy:
            return array.Set_VeryEarlyBusy(on);
        case MC_Set_AutoRebuild:
            return array.Set_AutoRebuild(on);
        case MC_Set_RebuildPriority:
            return array.Set_RebuildPriority(on);
        default:
            return CommandHandle();
    }
}

}  // namespace oru
