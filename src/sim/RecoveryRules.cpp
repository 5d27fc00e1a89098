#include "sim/RecoveryRules.h"

#include <algorithm>

#include "sim/CabinetRules.h"

namespace sim {

namespace {

bool IsRecoveryWork(const LongOperation& o) {
    return o.kind == OperationKind::kRecovery || o.kind == OperationKind::kParityScan;
}

bool Carries(const DriveModel& d, const std::string& id) {
    return d.present && (d.state == kDriveMember || d.state == kDriveForeign) &&
           d.volumeSetId == id;
}

}  // namespace

std::string RecoveryRules::DefaultSet(const CabinetModel& cab) {
    for (const auto& d : cab.drives) {
        if (d.present && d.state == kDriveMember)
            return d.volumeSetId;
    }
    std::string only;
    for (const auto& d : cab.drives) {
        if (!d.present || d.state != kDriveForeign)
            continue;
        if (only.empty())
            only = d.volumeSetId;
        else if (only != d.volumeSetId)
            return {};
    }
    return only;
}

SimReply RecoveryRules::WriteVolumeSetId(CabinetModel& cab, const std::vector<std::uint8_t>& data,
                                         bool* changed) {
    const std::string given(data.begin(), data.begin() + 16);
    const bool useDefault = given == DefaultId();
    if (std::any_of(cab.operations.begin(), cab.operations.end(), IsRecoveryWork))
        return Refused(kCodeControllerBusy);

    if (cab.state == kSubsysNeedsRecovery) {
        const std::string id = useDefault ? DefaultSet(cab) : given;
        const bool known =
            !id.empty() && std::any_of(cab.drives.begin(), cab.drives.end(),
                                       [&](const DriveModel& d) { return Carries(d, id); });
        // The data names no set this controller could rebuild its
        // configuration from (or the default is ambiguous).
        if (!known)
            return Refused(0);
        cab.volumeSetId = id;
        cab.operations.push_back({OperationKind::kRecovery, 0, kRecoveryMs, kRecoveryMs});
        *changed = true;
        return {};
    }

    if (!useDefault)
        cab.volumeSetId = given;
    const bool ready = cab.state == kSubsysReady || cab.state == kSubsysConditions;
    if (ready && cab.operations.empty() && CabinetRules::MemberCount(cab) >= 2) {
        cab.operations.push_back({OperationKind::kParityScan, 0, kParityScanMs, kParityScanMs});
    }
    *changed = true;
    return {};
}

bool RecoveryRules::Busy(const CabinetModel& cab) {
    return std::any_of(cab.operations.begin(), cab.operations.end(), [](const LongOperation& o) {
        return IsRecoveryWork(o) && o.totalMs - o.remainingMs < kBusyMs;
    });
}

void RecoveryRules::PageProgress(const CabinetModel& cab, bool* running, std::uint8_t* percent) {
    const bool rebuilding =
        CabinetRules::Running(cab, OperationKind::kRebuild) && !cab.rebuildStopped;
    for (OperationKind kind :
         {OperationKind::kFormat, OperationKind::kRecovery, OperationKind::kParityScan}) {
        if (CabinetRules::Running(cab, kind)) {
            *running = true;
            *percent = CabinetRules::Progress(cab, kind);
            return;
        }
    }
    *running = rebuilding;
    *percent = CabinetRules::Progress(cab, OperationKind::kRebuild);
}

void RecoveryRules::Finish(CabinetModel& cab, const LongOperation& op) {
    if (op.kind == OperationKind::kParityScan) {
        cab.stateFlags[0] = static_cast<std::uint8_t>(cab.stateFlags[0] & ~kFlagScanWanted);
        return;
    }
    // The recovered set's drives are the members now; drives of other sets
    // are foreign to the new configuration.
    for (auto& d : cab.drives) {
        if (!d.present || (d.state != kDriveMember && d.state != kDriveForeign))
            continue;
        d.state = d.volumeSetId == cab.volumeSetId ? kDriveMember : kDriveForeign;
    }
    cab.state = kSubsysReady;
    cab.attention = true;
}

}  // namespace sim
