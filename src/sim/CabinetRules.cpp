#include "sim/CabinetRules.h"

#include <algorithm>
#include <limits>

#include "sim/ByteOrder.h"
#include "sim/FirmwareRules.h"
#include "sim/RecoveryRules.h"

namespace sim {

namespace {

bool AnyLun(const CabinetModel& cab) {
    return std::any_of(cab.luns.begin(), cab.luns.end(),
                       [](const LunModel& l) { return l.present; });
}

bool IsMember(const DriveModel& d) {
    return d.present && (d.state == kDriveMember || d.state == kDriveRebuilding);
}

bool ControllerDown(const ControllerModel& c) {
    return !c.present || c.failed;
}

// How many member drives a cabinet has; *smallest gets the block count of
// the smallest of them (the type's maximum when there is none).
int CountMembers(const CabinetModel& cab, std::uint32_t* smallest) {
    int members = 0;
    *smallest = std::numeric_limits<std::uint32_t>::max();
    for (const auto& d : cab.drives) {
        if (!IsMember(d))
            continue;
        ++members;
        *smallest = std::min(*smallest, d.blocks);
    }
    return members;
}

}  // namespace

int CabinetRules::MemberCount(const CabinetModel& cab) {
    return static_cast<int>(std::count_if(cab.drives.begin(), cab.drives.end(), IsMember));
}

bool CabinetRules::HasSpare(const CabinetModel& cab) {
    return std::any_of(cab.drives.begin(), cab.drives.end(),
                       [](const DriveModel& d) { return d.present && d.state == kDriveSpare; });
}

bool CabinetRules::Running(const CabinetModel& cab, OperationKind kind) {
    return std::any_of(cab.operations.begin(), cab.operations.end(),
                       [kind](const LongOperation& o) { return o.kind == kind; });
}

std::uint8_t CabinetRules::Progress(const CabinetModel& cab, OperationKind kind) {
    for (const auto& o : cab.operations) {
        if (o.kind == kind && o.totalMs > 0) {
            return static_cast<std::uint8_t>(100 - (o.remainingMs * 100) / o.totalMs);
        }
    }
    return 0;
}

void CabinetRules::RecomputeState(CabinetModel& cab) {
    const bool rebuilding = Running(cab, OperationKind::kRebuild);
    const bool tooFew = MemberCount(cab) < 2;
    for (auto& lun : cab.luns) {
        if (!lun.present || lun.deleting || lun.state == kLunFormatting)
            continue;
        if (tooFew || (lun.raidLevel == 5 && lun.lostMembers >= 2)) {
            lun.state = kLunFailed;
        } else if (rebuilding) {
            lun.state = kLunRebuilding;
        } else if (cab.rebuildNeeded) {
            lun.state = kLunDegraded;
        } else {
            lun.state = kLunReady;
        }
    }
    switch (cab.state) {
        case kSubsysNeedsRecovery:
        case kSubsysShuttingDown:
        case kSubsysShutDown:
        case kSubsysStarting:
        case kSubsysFormatting:
            return;
        default:
            break;
    }
    if (tooFew && AnyLun(cab)) {
        cab.state = kSubsysNotEnoughDrives;
    } else if (cab.rebuildNeeded || rebuilding || ControllerDown(cab.controllers[0]) ||
               ControllerDown(cab.controllers[1])) {
        cab.state = kSubsysConditions;
    } else {
        cab.state = kSubsysReady;
    }
}

std::uint32_t CabinetRules::FreeBlocks(const CabinetModel& cab) {
    std::uint32_t smallest = 0;
    const int members = CountMembers(cab, &smallest);
    if (members < 2)
        return 0;
    std::uint64_t pool = std::uint64_t(members - 1) * smallest;
    for (const auto& l : cab.luns) {
        if (l.present)
            pool = pool > l.blocks ? pool - l.blocks : 0;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(pool, 0xFFFFFFFFu));
}

std::uint32_t CabinetRules::Raid1Blocks(const CabinetModel& cab) {
    std::uint32_t smallest = 0;
    const int members = CountMembers(cab, &smallest);
    if (members < 2)
        return 0;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t(members / 2) * smallest, 0xFFFFFFFFu));
}

std::vector<std::uint8_t> CabinetRules::StateBlock(const CabinetModel& cab) {
    std::vector<std::uint8_t> p(32, 0);
    p[1] = cab.state;
    p[3] = cab.stateFlags[0];
    if (RecoveryRules::Busy(cab))
        p[3] |= RecoveryRules::kFlagBusy;
    p[4] = cab.stateFlags[1];
    p[5] = cab.stateFlags[2];
    for (int b = 8; b <= 30; ++b)
        p[b] = cab.stateValues[b];
    const ControllerModel& active = cab.controllers[cab.activeSlot];
    const ControllerModel& other = cab.controllers[1 - cab.activeSlot];
    const bool lunFailed = std::any_of(cab.luns.begin(), cab.luns.end(), [](const LunModel& l) {
        return l.present && l.state == kLunFailed;
    });
    const bool rebuilding = Running(cab, OperationKind::kRebuild);
    auto any2 = [](const std::vector<std::uint8_t>& v) {
        return std::find(v.begin(), v.end(), 2) != v.end();
    };
    auto set = [&p](int byte, bool on) {
        if (on)
            p[byte] = 1;
    };
    set(8, cab.state == kSubsysNotEnoughDrives || lunFailed);
    set(9, cab.rebuildNeeded || rebuilding);
    set(10, any2(active.battery) || any2(other.battery));
    // A spare is unavailable when one is wanted (page 0x21 byte 11 bit 6)
    // and no drive is a spare.
    const bool spareWanted = cab.page21.size() > 3 && (cab.page21[3] & 0x40) != 0;
    set(11, spareWanted && !HasSpare(cab));
    set(16, ControllerDown(other));
    set(18, any2(cab.hardware1));
    set(19, any2(cab.hardware2));
    // A stopped rebuild still has to be done: the host may start it again.
    set(20, cab.rebuildNeeded || (rebuilding && cab.rebuildStopped));
    set(21, !cab.missing.empty());
    set(25, !cab.operations.empty());
    set(29, !cab.controllers[0].present || !cab.controllers[1].present);
    return p;
}

void CabinetRules::LogDriveEvent(CabinetModel& cab, std::uint16_t code, int slot,
                                 std::uint32_t ticks, std::uint32_t lba) {
    std::vector<std::uint8_t> e(18, 0);
    e[0] = 0;
    PutBe32(e, 2, ticks);
    PutBe16(e, 7, code);
    e[9] = 1;
    e[10] = static_cast<std::uint8_t>(slot);
    PutBe32(e, 14, lba);
    cab.controllerLog.push_back(std::move(e));
    std::size_t total = 0;
    for (const auto& x : cab.controllerLog)
        total += x.size();
    while (total > kMaxLogBytes && !cab.controllerLog.empty()) {
        total -= cab.controllerLog.front().size();
        cab.controllerLog.erase(cab.controllerLog.begin());
    }
}

void CabinetRules::StartRestart(CabinetModel& cab) {
    std::erase_if(cab.operations, [](const LongOperation& o) {
        return o.kind == OperationKind::kRestart || o.kind == OperationKind::kShutdown;
    });
    if (cab.state != kSubsysStarting)
        cab.stateBefore = cab.state;
    cab.state = kSubsysStarting;
    cab.operations.push_back({OperationKind::kRestart, 0, kRestartMs, kRestartMs});
}

void CabinetRules::StartRebuildOnto(CabinetModel& cab, int slot) {
    DriveModel& d = cab.drives[slot];
    d.state = kDriveRebuilding;
    d.volumeSetId = cab.volumeSetId;
    cab.rebuildNeeded = false;
    cab.rebuildStopped = false;
    cab.operations.push_back({OperationKind::kRebuild, slot, kRebuildMs, kRebuildMs});
    RecomputeState(cab);
}

void CabinetRules::MemberLost(CabinetModel& cab, int slot) {
    // A rebuild onto the lost drive is over; that drive held no part of the
    // units yet, so the units lose nothing more by it.
    auto ontoIt = [slot](const LongOperation& o) {
        return o.kind == OperationKind::kRebuild && o.target == slot;
    };
    const bool wasRebuilding = std::any_of(cab.operations.begin(), cab.operations.end(), ontoIt);
    std::erase_if(cab.operations, ontoIt);
    if (!AnyLun(cab)) {
        RecomputeState(cab);
        return;
    }
    if (!wasRebuilding) {
        for (auto& lun : cab.luns) {
            if (lun.present && lun.lostMembers < 255)
                ++lun.lostMembers;
        }
    }
    for (int s = 0; s < kDriveSlots; ++s) {
        const DriveModel& d = cab.drives[s];
        if (s != slot && d.present && d.state == kDriveSpare) {
            StartRebuildOnto(cab, s);
            return;
        }
    }
    cab.rebuildNeeded = true;
    RecomputeState(cab);
}

bool CabinetRules::Advance(CabinetModel& cab, std::uint64_t elapsedMs, bool* ended) {
    // A firmware window that ends starts a restart, which then moves on here.
    const bool windowOpen = cab.firmware.window != FirmwareWindow::kNone;
    const bool firmware = FirmwareRules::Advance(cab, elapsedMs);
    if (ended)
        *ended = windowOpen && cab.firmware.window == FirmwareWindow::kNone;
    if (elapsedMs == 0 || cab.operations.empty())
        return firmware;
    std::vector<LongOperation> done;
    for (auto& op : cab.operations) {
        if (op.kind == OperationKind::kRebuild && cab.rebuildStopped)
            continue;
        op.remainingMs -= std::min(op.remainingMs, elapsedMs);
        if (op.remainingMs == 0)
            done.push_back(op);
    }
    std::erase_if(cab.operations, [](const LongOperation& o) { return o.remainingMs == 0; });
    if (ended && !done.empty())
        *ended = true;
    for (const auto& op : done) {
        switch (op.kind) {
            case OperationKind::kFormat:
                cab.state = kSubsysReady;
                for (auto& d : cab.drives) {
                    if (IsMember(d))
                        d.volumeSetId = cab.volumeSetId;
                }
                break;
            case OperationKind::kRebuild:
                if (op.target >= 0 && op.target < kDriveSlots &&
                    cab.drives[op.target].state == kDriveRebuilding) {
                    cab.drives[op.target].state = kDriveMember;
                }
                // The lost member's part is back; a unit that lost two stays
                // failed.
                for (auto& lun : cab.luns) {
                    if (lun.lostMembers == 1)
                        lun.lostMembers = 0;
                }
                LogDriveEvent(cab, 103, op.target, 0);
                break;
            case OperationKind::kRestart:
                // A restart brings the subsystem back up, also after a shutdown.
                cab.state =
                    (cab.stateBefore == kSubsysShuttingDown || cab.stateBefore == kSubsysShutDown ||
                     cab.stateBefore == kSubsysStarting)
                        ? static_cast<std::uint8_t>(kSubsysReady)
                        : cab.stateBefore;
                break;
            case OperationKind::kShutdown:
                cab.state = kSubsysShutDown;
                break;
            case OperationKind::kDeleteLun:
                if (op.target >= 0 && op.target < kMaxLuns)
                    cab.luns[op.target] = LunModel{};
                break;
            case OperationKind::kRecovery:
            case OperationKind::kParityScan:
                RecoveryRules::Finish(cab, op);
                break;
        }
        RecomputeState(cab);
    }
    return true;
}

}  // namespace sim
