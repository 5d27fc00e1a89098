#include "sim/ControllerEngine.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "sim/ByteOrder.h"
#include "sim/CabinetRules.h"
#include "sim/DriveEngine.h"
#include "sim/DriveMedia.h"
#include "sim/FirmwareRules.h"
#include "sim/ModeSelectRules.h"
#include "sim/RecoveryRules.h"

namespace sim {

namespace {

constexpr std::size_t kDriveEntrySize = 88;
constexpr std::size_t kShortEntrySize = 33;
constexpr std::size_t kMissingEntrySize = 76;
// Controller-log event of a drive's medium error.
constexpr std::uint16_t kEventMediumError = 101;

SimReply Illegal(std::uint8_t asc = 0x24) {
    return CheckCondition(kKeyIllegalRequest, asc, 0);
}

std::uint8_t CdbLun(const std::vector<std::uint8_t>& cdb) {
    return static_cast<std::uint8_t>(cdb.size() > 1 ? cdb[1] >> 5 : 0);
}

// The identity page's product code carries the format level in its last two
// digits, so the recovery tool's revision number and the format level agree.
std::string ProductCode(std::uint8_t level) {
    std::string code = "QRVZX-40";
    code += static_cast<char>('0' + level / 10 % 10);
    code += static_cast<char>('0' + level % 10);
    return code;
}

}  // namespace

long ControllerEngine::AllocationLength(const std::vector<std::uint8_t>& cdb) {
    if (cdb.empty())
        return -1;
    switch (cdb[0]) {
        case 0x03:
        case 0x1A:
            return cdb.size() > 4 ? cdb[4] : -1;
        case 0x12:
            return GetBe16(cdb, 3);
        case 0x21:
            return 12;
        case 0x24:
        case 0x25:
            return 8;
        case 0xEE:
            return 2;
        case 0x28:
            return long(GetBe16(cdb, 7)) * kBlockSize;
        case 0x20:
        case 0x22:
        case 0x23:
        case 0x5A:
        case 0xEF:
        case 0xF2:
        case 0xFC:
            return GetBe16(cdb, 7);
        default:
            return -1;
    }
}

bool ControllerEngine::PartnerAvailable() {
    const ControllerModel& p = Partner();
    return p.present && !p.failed;
}

bool ControllerEngine::Silent(int key) {
    const auto& s = Self().silentPages;
    return std::find(s.begin(), s.end(), key) != s.end();
}

SimReply ControllerEngine::Execute(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    if (cdb.empty())
        return Illegal(0x20);
    const std::uint8_t op = cdb[0];
    // Group 0 opcodes are 6-byte CDBs; everything else here is 10 bytes.
    const std::size_t need = op < 0x20 ? 6 : 10;
    if (cdb.size() < need)
        return Illegal();
    if (auto early = FirmwareRules::Gate(cab_, slot_, cmd, changed))
        return *early;
    if (Silent(0x100 + op))
        return CheckCondition(kKeyHardwareError, 0x44, 0);

    // A restarting controller answers only its identity and state.
    if (cab_.state == kSubsysStarting && op != 0x12 && op != 0x20 && op != 0x03 && op != 0x00) {
        return CheckCondition(kKeyNotReady, 0x04, 0x01);
    }
    switch (op) {
        case 0x00:
        case 0x04:
        case 0x1B:
        case 0x25:
        case 0x28:
        case 0x2A:
        case 0x2E:
        case 0x2F:
            return LunCommand(cmd, changed);
        case 0x03:
            // Sense travels with its CHECK CONDITION (autosense); afterwards
            // there is nothing left to report.
            return DataReply(MakeSense(kKeyNoSense, 0, 0), cdb[4]);
        case 0x12:
            return Inquiry(cmd);
        case 0x20:
            return StateBlock(cmd);
        case 0x21:
            return DriveState(cmd);
        case 0x22:
            return DriveList(cmd);
        case 0x23:
            return LunTable(cmd);
        case 0x24:
            return Capacity(cmd);
        case 0x26:
            return Rebuild(cmd, changed);
        case 0x27:
            return SendRequest(cmd);
        case 0x29:
        case 0xF3:
        case 0xF4:
            return ExchangeReply(cmd, changed);
        case 0x3B:
            return WriteBuffer(cmd, changed);
        case 0x55:
            return ModeSelect(cmd, changed);
        case 0x5A:
            return ModeSense(cmd);
        case 0xE0:
        case 0xE1:
        case 0xE6:
        case 0xE7:
            return DriveManagement(cmd, changed);
        case 0xE2:
        case 0xE3:
        case 0xE4:
        case 0xE5:
            return LunManagement(cmd, changed);
        case 0xE8:
        case 0xE9:
        case 0xF0:
            return SubsystemControl(cmd, changed);
        case 0xEE:
            return HostSequence(cmd, changed);
        case 0xEF:
            return RawPage(cmd);
        case 0xF2:
            return ControllerPages(cmd, changed);
        case 0xFA:
        case 0xFC:
        case 0xFD:
            return Identifiers(cmd, changed);
        default:
            return Illegal(0x20);
    }
}

SimReply ControllerEngine::Inquiry(const SimCommand& cmd) {
    const auto& cdb = cmd.cdb;
    const std::uint32_t alloc = GetBe16(cdb, 3);
    const ControllerModel& self = Self();
    if (!(cdb[1] & 0x01)) {
        if (cdb[2] != 0)
            return Illegal();
        std::vector<std::uint8_t> p(36, 0);
        const std::uint8_t lun = CdbLun(cdb);
        if (lun != 0 && !cab_.luns[lun].present)
            p[0] = 0x7F;
        p[2] = 2;
        p[3] = 2;
        p[4] = 31;
        PutText(p, 8, 8, self.vendor);
        PutText(p, 16, 16, self.productId);
        PutText(p, 32, 4, self.revision);
        return DataReply(p, alloc);
    }
    const std::uint8_t page = cdb[2];
    if (Silent(page))
        return CheckCondition(kKeyHardwareError, 0x44, 0);
    std::vector<std::uint8_t> p;
    switch (page) {
        case 0x00:
            p = {0, 0x00, 0, 4, 0x00, 0x80, 0xC0, 0xE0};
            break;
        case 0xE0:
            p.assign(68, 0);
            p[1] = 0xE0;
            p[3] = 64;
            PutText(p, 8, 10, ProductCode(self.formatLevel));
            PutText(p, 18, 10, self.firmwareRevision);
            break;
        case 0x80:
            p.assign(48, 0);
            p[1] = 0x80;
            p[2] = cab_.activeSlot == slot_ ? 1 : 0;
            p[3] = 44;
            PutText(p, 4, 16, self.serial);
            PutText(p, 20, 16, Partner().present ? Partner().serial : std::string());
            PutText(p, 36, 12, cab_.serial);
            break;
        case 0xC0:
            p.assign(36, 0);
            p[1] = 0xC0;
            p[3] = 32;
            for (int l = 0; l < kMaxLuns; ++l)
                p[4 + l] = cab_.luns[l].present ? 1 : 0;
            break;
        default:
            return Illegal();
    }
    return DataReply(p, alloc);
}

SimReply ControllerEngine::ModeSense(const SimCommand& cmd) {
    const auto& cdb = cmd.cdb;
    const std::uint8_t page = cdb[2] & 0x3F;
    if (Silent(page))
        return CheckCondition(kKeyHardwareError, 0x44, 0);
    const std::vector<std::uint8_t>* src = nullptr;
    if (page == 0x08)
        src = &cab_.page08;
    if (page == 0x21)
        src = &cab_.page21;
    if (page == 0x22)
        src = &cab_.page22;
    if (!src || (cdb[2] & 0xC0) != 0)
        return Illegal();
    std::vector<std::uint8_t> p(8, 0);
    p.insert(p.end(), src->begin(), src->end());
    PutBe16(p, 0, static_cast<std::uint32_t>(p.size() - 2));
    p[8] = static_cast<std::uint8_t>(0x80 | page);  // PS: the page can be saved
    // What the controller reports of itself overrides the stored bytes.
    const bool rebuilding =
        CabinetRules::Running(cab_, OperationKind::kRebuild) && !cab_.rebuildStopped;
    if (page == 0x21) {
        p[10] = FirmwareRules::ReportedState(cab_, slot_);
        p[11] = static_cast<std::uint8_t>((p[11] & ~0x10u) | (rebuilding ? 0x10 : 0));
        p[18] = CabinetRules::Progress(cab_, OperationKind::kRebuild);
    }
    if (page == 0x22) {
        bool running = false;
        std::uint8_t percent = 0;
        RecoveryRules::PageProgress(cab_, &running, &percent);
        p[21] = static_cast<std::uint8_t>((p[21] & ~1u) | (running ? 1 : 0));
        p[22] = percent;
    }
    // The allocation governs, as everywhere: a shorter read (the header
    // alone, to learn the length) gets the first bytes, a longer one zeros.
    return DataReply(p, GetBe16(cdb, 7));
}

SimReply ControllerEngine::ModeSelect(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint32_t len = GetBe16(cdb, 7);
    const auto& d = cmd.dataOut;
    if (len < 10 || d.size() < len)
        return CheckCondition(kKeyIllegalRequest, 0x26, 0);
    // The header's mode data length and the PS bit are not checked: hosts
    // echo back what MODE SENSE gave them.
    const std::uint32_t bdl = GetBe16(d, 6);
    const std::size_t at = 8 + bdl;
    if (at + 2 > len)
        return CheckCondition(kKeyIllegalRequest, 0x26, 0);
    const std::uint8_t page = d[at] & 0x3F;
    const std::uint8_t plen = d[at + 1];
    const std::uint8_t want = page == 0x08 ? 10 : page == 0x21 ? 12 : page == 0x22 ? 32 : 0;
    if (want == 0 || plen != want || at + 2 + plen != len) {
        return CheckCondition(kKeyIllegalRequest, 0x26, 0);
    }
    std::vector<std::uint8_t> bytes(d.begin() + long(at), d.begin() + long(at + 2 + plen));
    if (auto refused = ModeSelectRules::Store(cab_, page, std::move(bytes)))
        return *refused;
    *changed = true;
    return {};
}

SimReply ControllerEngine::StateBlock(const SimCommand& cmd) {
    const auto& cdb = cmd.cdb;
    if ((cdb[1] & 0x02) && !PartnerAvailable())
        return Illegal();
    std::vector<std::uint8_t> block = CabinetRules::StateBlock(cab_);
    block[1] = FirmwareRules::ReportedState(cab_, (cdb[1] & 0x02) ? 1 - slot_ : slot_);
    return DataReply(block, GetBe16(cdb, 7));
}

SimReply ControllerEngine::DriveState(const SimCommand& cmd) {
    const std::uint8_t slot = cmd.cdb[4];
    if (slot >= kDriveSlots)
        return Illegal();
    const DriveModel& d = cab_.drives[slot];
    std::vector<std::uint8_t> p(12, 0);
    p[1] = d.present ? d.state : static_cast<std::uint8_t>(kDriveEmpty);
    p[2] = d.present ? d.further : 0;
    if (d.present) {
        PutBe16(p, 4, d.errorCounters[0]);
        PutBe16(p, 6, d.errorCounters[1]);
        PutBe16(p, 8, d.errorCounters[2]);
        PutBe16(p, 10, d.nonMediumErrors);
    }
    return DataReply(p, 12);
}

SimReply ControllerEngine::DriveList(const SimCommand& cmd) {
    const std::size_t size = cab_.shortDriveList ? kShortEntrySize : kDriveEntrySize;
    std::vector<std::uint8_t> p(3, 0);
    p[2] = static_cast<std::uint8_t>(size);
    for (int s = 0; s < kDriveSlots; ++s) {
        const DriveModel& d = cab_.drives[s];
        if (!d.present)
            continue;
        std::vector<std::uint8_t> e(kDriveEntrySize, 0);
        e[0] = static_cast<std::uint8_t>(s);
        PutText(e, 1, 16, d.volumeSetId);
        PutText(e, 17, 16, d.driveId);
        e[33] = d.state;
        e[34] = d.further;
        e[35] = 0;  // peripheral device type
        e[36] = 2;  // version
        PutText(e, 43, 16, d.product);
        PutText(e, 59, 4, d.revision);
        PutBe32(e, 63, d.blocks);
        PutText(e, 67, 12, d.serial);
        PutBe16(e, 79, d.errorCounters[0]);
        PutBe16(e, 81, d.errorCounters[1]);
        PutBe16(e, 83, d.errorCounters[2]);
        PutBe16(e, 85, d.nonMediumErrors);
        e[87] = d.predictiveFailure && Self().formatLevel >= 3 ? 1 : 0;
        e.resize(size);
        p.insert(p.end(), e.begin(), e.end());
    }
    PutBe16(p, 0, static_cast<std::uint32_t>(p.size() - 2));
    return DataReply(p, GetBe16(cmd.cdb, 7));
}

SimReply ControllerEngine::LunTable(const SimCommand& cmd) {
    // CDB byte 2 selects the list: 0 the LUN table, 1 the missing drives.
    const auto& cdb = cmd.cdb;
    std::vector<std::uint8_t> p(3, 0);
    if (cdb[2] == 0) {
        p[2] = 8;
        for (int l = 0; l < kMaxLuns; ++l) {
            const LunModel& lun = cab_.luns[l];
            std::vector<std::uint8_t> e(8, 0);
            e[0] = static_cast<std::uint8_t>(l);
            e[1] = lun.present ? lun.state : 0;
            PutBe32(e, 2, lun.present ? lun.blocks : 0);
            p.insert(p.end(), e.begin(), e.end());
        }
    } else if (cdb[2] == 1) {
        p[2] = kMissingEntrySize;
        for (const auto& m : cab_.missing) {
            std::vector<std::uint8_t> e(kMissingEntrySize, 0);
            e[0] = 1;
            PutText(e, 1, 16, m.product);
            PutText(e, 17, 16, m.driveId);
            PutText(e, 33, 12, m.serial);
            PutText(e, 45, 8, m.vendor);
            PutText(e, 53, 16, m.volumeSetId);
            PutBe32(e, 69, m.blocks);
            p.insert(p.end(), e.begin(), e.end());
        }
    } else {
        return Illegal();
    }
    PutBe16(p, 0, static_cast<std::uint32_t>(p.size() - 2));
    return DataReply(p, GetBe16(cdb, 7));
}

SimReply ControllerEngine::Capacity(const SimCommand&) {
    std::vector<std::uint8_t> p(8, 0);
    PutBe32(p, 0, CabinetRules::FreeBlocks(cab_));
    PutBe32(p, 4, kBlockSize);
    return DataReply(p, 8);
}

SimReply ControllerEngine::Rebuild(const SimCommand& cmd, bool* changed) {
    const bool start = cmd.cdb[1] & 0x01;
    const bool running = CabinetRules::Running(cab_, OperationKind::kRebuild);
    if (!start) {
        if (!running || cab_.rebuildStopped)
            return Refused(kCodeNoRebuild);
        cab_.rebuildStopped = true;
        *changed = true;
        return {};
    }
    if (running) {
        if (cab_.rebuildStopped) {
            cab_.rebuildStopped = false;
            *changed = true;
        }
        return {};
    }
    if (cab_.rebuildNeeded) {
        // A spare first, else a drive that is not a member.
        for (std::uint8_t want : {std::uint8_t(kDriveSpare), std::uint8_t(kDriveNew)}) {
            for (int s = 0; s < kDriveSlots; ++s) {
                const DriveModel& d = cab_.drives[s];
                if (d.present && d.state == want) {
                    CabinetRules::StartRebuildOnto(cab_, s);
                    *changed = true;
                    return {};
                }
            }
        }
    }
    return Refused(kCodeSubsystemState);
}

SimReply ControllerEngine::SendRequest(const SimCommand& cmd) {
    const auto& cdb = cmd.cdb;
    const std::uint8_t dir = cdb[1] & 0x1F;
    const std::uint8_t slot = cdb[2];
    const std::uint8_t innerLen = cdb[4];
    const std::uint32_t length = GetBe32(cdb, 5);
    if (dir < 1 || dir > 3 || slot >= kDriveSlots || innerLen < 6 || innerLen > 16 ||
        cmd.dataOut.size() < innerLen || (dir == 1 && length != 0)) {
        session_.pending = {};
        return Illegal();
    }
    PendingExchange& p = session_.pending;
    p.valid = true;
    p.slot = slot;
    p.lun = CdbLun(cdb);
    p.direction = dir;
    p.length = length;
    p.cdb.assign(cmd.dataOut.begin(), cmd.dataOut.begin() + innerLen);
    return {};
}

SimReply ControllerEngine::ExchangeReply(const SimCommand& cmd, bool* changed) {
    PendingExchange p = session_.pending;
    session_.pending = {};
    const std::uint8_t op = cmd.cdb[0];
    const std::uint8_t want = op == 0x29 ? 1 : (op == 0xF3 ? 2 : 3);
    if (!p.valid || p.direction != want)
        return CheckCondition(kKeyIllegalRequest, 0x2C, 0);
    DriveModel& drive = cab_.drives[p.slot];
    if (!drive.present)
        return CheckCondition(kKeyNotReady, 0x04, 0x03);
    // A data-out phase must bring all the data the request announced: the
    // drive never writes bytes the host did not send.
    if (want == 2 && cmd.dataOut.size() < p.length)
        return CheckCondition(kKeyIllegalRequest, 0x1A, 0);
    std::uint32_t maxIn = std::min(p.length, cmd.transferLength);
    std::vector<std::uint8_t> data = cmd.dataOut;
    if (want == 2 && data.size() > p.length)
        data.resize(p.length);
    DriveEngine engine(drive);
    SimReply r = engine.Execute(p.cdb, data, want == 3 ? maxIn : 0, changed);
    if (r.status == kStatusCheckCondition && r.sense.size() >= 14 && r.sense[12] != 0x80) {
        // The controller reports the drive's sense in its own form, and
        // logs a medium error with the block it hit.
        const std::optional<std::uint32_t> block = DriveMedia::FailedBlock(r.sense);
        const std::uint8_t key = r.sense[2] & 0x0F;
        r.sense = MakeDriveSense(key, r.sense[12], r.sense[13], p.slot);
        if (block) {
            r.sense[0] |= 0x80;
            PutBe32(r.sense, 3, *block);
        }
        if (key == kKeyMediumError) {
            CabinetRules::LogDriveEvent(cab_, kEventMediumError, p.slot, ticks_, block.value_or(0));
            *changed = true;
        }
        r.dataIn.clear();
        r.bytesMoved = 0;
    }
    return r;
}

SimReply ControllerEngine::DriveManagement(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint8_t slot = cdb[4];
    if (slot >= kDriveSlots)
        return Illegal();
    DriveModel& d = cab_.drives[slot];
    if (!d.present)
        return Illegal();
    switch (cdb[0]) {
        case 0xE0:  // include the drive
            if (d.state == kDriveMember)
                return Refused(kCodeSubsystemState);
            if (d.state != kDriveNew && d.state != kDriveDowned && d.state != kDriveForeign) {
                return Refused(kCodeDriveState);
            }
            d.volumeSetId = cab_.volumeSetId;
            if (cab_.rebuildNeeded) {
                CabinetRules::StartRebuildOnto(cab_, slot);
            } else {
                d.state = kDriveMember;
                CabinetRules::RecomputeState(cab_);
            }
            CabinetRules::LogDriveEvent(cab_, 101, slot, ticks_);
            *changed = true;
            return {};
        case 0xE1: {  // down the drive
            if (d.state == kDriveDowned)
                return {};
            const bool member = d.state == kDriveMember || d.state == kDriveRebuilding;
            if (!member && d.state != kDriveSpare)
                return Refused(kCodeDriveState);
            const std::uint8_t allowance = cdb[1] & 0x03;
            // With redundancy already lost, downing a member loses data: only
            // an allowance above 0 accepts that.
            const bool redundant =
                !cab_.rebuildNeeded && !CabinetRules::Running(cab_, OperationKind::kRebuild);
            if (member && !redundant && allowance == 0)
                return Refused(kCodeDownRefused);
            d.state = kDriveDowned;
            if (member)
                CabinetRules::MemberLost(cab_, slot);
            CabinetRules::RecomputeState(cab_);
            CabinetRules::LogDriveEvent(cab_, 102, slot, ticks_);
            *changed = true;
            return {};
        }
        case 0xE6:  // reset: a down or failed drive comes back as not a member
            d.unitAttention = true;
            d.errorCounters.fill(0);
            d.nonMediumErrors = 0;
            if (d.state == kDriveDowned || d.state == kDriveFailed || d.state == kDriveInitFailed) {
                d.state = kDriveNew;
            }
            *changed = true;
            return {};
        default:  // 0xE7 spins the drive up; a running drive stays as it is
            return {};
    }
}

SimReply ControllerEngine::LunManagement(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const bool running = cab_.state == kSubsysReady || cab_.state == kSubsysConditions;
    switch (cdb[0]) {
        case 0xE2: {
            if (cmd.dataOut.size() < 6)
                return CheckCondition(kKeyIllegalRequest, 0x26, 0);
            const auto& d = cmd.dataOut;
            const std::uint8_t lun = d[0];
            const std::uint32_t units = GetBe32(d, 1);
            if (lun >= kMaxLuns || units == 0)
                return CheckCondition(kKeyIllegalRequest, 0x26, 0);
            if (cab_.luns[lun].present)
                return Refused(kCodeLunState);
            if (!running)
                return Refused(kCodeSubsystemState);
            const std::uint64_t blocks = std::uint64_t(units) * 1024;
            if (blocks > CabinetRules::FreeBlocks(cab_))
                return Refused(kCodeNoCapacity);
            LunModel& l = cab_.luns[lun];
            l = LunModel{};
            l.present = true;
            l.units = units;
            l.blocks = static_cast<std::uint32_t>(blocks);
            CabinetRules::RecomputeState(cab_);
            *changed = true;
            return {};
        }
        case 0xE3: {
            const std::uint8_t lun = cdb[2];
            if (lun >= kMaxLuns)
                return Illegal();
            if (!cab_.luns[lun].present)
                return Refused(kCodeLunState);
            if (cab_.luns[lun].deleting)
                return {};
            cab_.luns[lun].deleting = true;
            cab_.operations.push_back({OperationKind::kDeleteLun, lun, CabinetRules::kDeleteLunMs,
                                       CabinetRules::kDeleteLunMs});
            *changed = true;
            return {};
        }
        case 0xE4:
            if (cdb[8] > 1)
                return Illegal();
            if (cab_.state == kSubsysShutDown || cab_.state == kSubsysShuttingDown ||
                cab_.state == kSubsysFormatting || CabinetRules::MemberCount(cab_) < 2) {
                return Refused(kCodeFormatRefused);
            }
            for (auto& l : cab_.luns)
                l = LunModel{};
            cab_.missing.clear();
            cab_.operations.clear();
            cab_.rebuildNeeded = false;
            cab_.rebuildStopped = false;
            for (auto& d : cab_.drives) {
                if (d.present && d.state == kDriveRebuilding)
                    d.state = kDriveMember;
            }
            cab_.state = kSubsysFormatting;
            cab_.operations.push_back(
                {OperationKind::kFormat, cdb[8], CabinetRules::kFormatMs, CabinetRules::kFormatMs});
            *changed = true;
            return {};
        default: {  // 0xE5
            const std::uint8_t from = cdb[2], to = cdb[4];
            if (from >= kMaxLuns || to >= kMaxLuns)
                return Illegal();
            if (!cab_.luns[from].present || cab_.luns[from].deleting)
                return Refused(kCodeLunState);
            if (from == to)
                return {};
            if (cab_.luns[to].present)
                return Refused(kCodeRenumberInUse);
            cab_.luns[to] = std::move(cab_.luns[from]);
            cab_.luns[from] = LunModel{};
            *changed = true;
            return {};
        }
    }
}

SimReply ControllerEngine::SubsystemControl(const SimCommand& cmd, bool* changed) {
    switch (cmd.cdb[0]) {
        case 0xE8:
            if (cab_.state == kSubsysShutDown || cab_.state == kSubsysShuttingDown)
                return {};
            cab_.state = kSubsysShuttingDown;
            cab_.operations.push_back({OperationKind::kShutdown, 0, CabinetRules::kShutdownMs,
                                       CabinetRules::kShutdownMs});
            *changed = true;
            return {};
        case 0xE9:
            if (cab_.activeSlot != slot_) {
                cab_.activeSlot = slot_;
                *changed = true;
            }
            return {};
        default:  // 0xF0: every value of byte 1 restarts the controllers
            CabinetRules::StartRestart(cab_);
            *changed = true;
            return {};
    }
}

SimReply ControllerEngine::HostSequence(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const bool force = cdb[1] != 0;
    const std::uint16_t current = GetBe16(cdb, 2);
    const std::uint16_t next = GetBe16(cdb, 4);
    CabinetModel& self = cab_;
    std::vector<std::uint8_t> data(2, 0);
    auto refuse = [&](std::uint16_t number) {
        PutBe16(data, 0, number);
        SimReply r = DataReply(data, 2);
        r.status = kStatusCheckCondition;
        r.sense = MakeSense(kKeyIllegalRequest, 0x80, 0x28);
        return r;
    };
    if (!force && self.refuseCount > 0) {
        --self.refuseCount;
        *changed = true;
        return refuse(self.refuseNumber);
    }
    if (!force && self.hostSequence != 0 && current != self.hostSequence) {
        return refuse(self.hostSequence);
    }
    if (self.hostSequence != next) {
        self.hostSequence = next;
        *changed = true;
    }
    PutBe16(data, 0, self.hostSequence);
    return DataReply(data, 2);
}

SimReply ControllerEngine::ControllerPages(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint32_t alloc = GetBe16(cdb, 7);
    const bool flag = cdb[1] & 0x02;
    switch (cdb[3]) {
        case 1: {
            std::vector<std::uint8_t> p(3, 0);
            p[0] = 1;
            std::size_t total = 0;
            for (const auto& e : cab_.controllerLog)
                total += e.size();
            PutBe16(p, 1, static_cast<std::uint32_t>(std::min<std::size_t>(total, 0xFFFF)));
            // Only entries that fit whole are handed over, and only those are
            // cleared: a later entry was not seen by the host.
            std::size_t returned = 0;
            for (const auto& e : cab_.controllerLog) {
                if (alloc < 3)
                    break;
                if (p.size() + e.size() > alloc)
                    break;
                p.insert(p.end(), e.begin(), e.end());
                ++returned;
            }
            if (flag && returned > 0) {
                cab_.controllerLog.erase(cab_.controllerLog.begin(),
                                         cab_.controllerLog.begin() + long(returned));
                *changed = true;
            }
            return DataReply(p, alloc);
        }
        case 2: {
            if (flag && !PartnerAvailable())
                return Illegal();
            std::vector<std::uint8_t> p(19, 0);
            p[0] = 2;
            PutBe16(p, 1, 16);
            for (int i = 0; i < 4; ++i)
                PutBe32(p, 3 + 4 * i, cab_.usage[i]);
            return DataReply(p, alloc);
        }
        case 3: {
            if (flag && !PartnerAvailable())
                return Illegal();
            const std::uint8_t level = flag ? Partner().formatLevel : Self().formatLevel;
            const std::size_t total = level >= 3 ? 244 : 184;
            std::vector<std::uint8_t> p(total, 0);
            p[0] = 3;
            PutBe16(p, 1, static_cast<std::uint32_t>(total - 3));
            if (cab_.attention) {
                p[1] |= 0x80;
                cab_.attention = false;
                *changed = true;
            }
            for (std::size_t k = 1; k < 42 && k < cab_.cabinetWords.size(); ++k) {
                PutBe32(p, 3 + 4 * k, cab_.cabinetWords[k]);
            }
            PutBe32(p, 3, CabinetRules::Raid1Blocks(cab_));
            p[171] = kDriveSlots;
            for (int s = 0; s < kDriveSlots; ++s) {
                const DriveModel& d = cab_.drives[s];
                p[172 + s] = !d.present                                                 ? 0
                             : (d.state == kDriveFailed || d.state == kDriveInitFailed) ? 2
                                                                                        : 1;
            }
            if (level >= 3) {
                for (std::size_t k = 0; k < 15 && k < cab_.cabinetExtra.size(); ++k) {
                    PutBe32(p, 184 + 4 * k, cab_.cabinetExtra[k]);
                }
            }
            return DataReply(p, alloc);
        }
        default:
            return Illegal();
    }
}

SimReply ControllerEngine::RawPage(const SimCommand& cmd) {
    std::vector<std::uint8_t> p(3, 0);
    p[2] = static_cast<std::uint8_t>(slot_);
    auto tlv = [&p](std::uint8_t tag, const std::vector<std::uint8_t>& values) {
        p.push_back(tag);
        p.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(values.size(), 255)));
        p.insert(p.end(), values.begin(),
                 values.begin() + std::min<long>(long(values.size()), 255));
    };
    // A working controller is good whichever role it has.
    auto status = [this](int k) -> std::uint8_t {
        const ControllerModel& c = cab_.controllers[k];
        if (!c.present)
            return kCtlAbsent;
        if (c.failed)
            return kCtlOffline;
        if (c.statusValue != 0)
            return c.statusValue;
        return kCtlGood;
    };
    const ControllerModel& x = cab_.controllers[0];
    const ControllerModel& y = cab_.controllers[1];
    tlv(0, cab_.hardware1);
    tlv(1, cab_.hardware2);
    tlv(2, {status(0), status(1)});
    tlv(3, {});
    tlv(4, x.dram);
    tlv(5, x.nvram);
    tlv(6, y.dram);
    tlv(7, y.nvram);
    tlv(8, x.battery);
    tlv(9, y.battery);
    PutBe16(p, 0, static_cast<std::uint32_t>(p.size() - 2));
    return DataReply(p, GetBe16(cmd.cdb, 7));
}

SimReply ControllerEngine::Identifiers(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint32_t len = GetBe16(cdb, 7);
    switch (cdb[0]) {
        case 0xFA: {
            if (len != 16 || cmd.dataOut.size() < 16)
                return Illegal();
            return RecoveryRules::WriteVolumeSetId(cab_, cmd.dataOut, changed);
        }
        case 0xFD: {
            if (len == 0 || len > 16 || cmd.dataOut.size() < len)
                return Illegal();
            std::string alias(cmd.dataOut.begin(), cmd.dataOut.begin() + len);
            alias = alias.substr(0, strnlen(alias.c_str(), alias.size()));
            cab_.alias = alias;
            *changed = true;
            return {};
        }
        default: {
            std::vector<std::uint8_t> p(16, 0);
            PutText(p, 0, 16, cab_.alias, 0);
            return DataReply(p, len);
        }
    }
}

SimReply ControllerEngine::LunCommand(const SimCommand& cmd, bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint8_t op = cdb[0];
    if (cab_.state == kSubsysFormatting)
        return CheckCondition(kKeyNotReady, 0x04, 0x04);
    if (cab_.state == kSubsysShutDown || cab_.state == kSubsysShuttingDown) {
        return CheckCondition(kKeyNotReady, 0x04, 0x02);
    }
    if (cab_.state == kSubsysStarting)
        return CheckCondition(kKeyNotReady, 0x04, 0x01);
    if (op == 0x00 || op == 0x1B)
        return {};
    const std::uint8_t lunNo = CdbLun(cdb);
    LunModel& lun = cab_.luns[lunNo];
    if (!lun.present)
        return CheckCondition(kKeyIllegalRequest, 0x25, 0);
    if (lun.deleting)
        return CheckCondition(kKeyNotReady, 0x04, 0x00);
    if (lun.state == kLunFailed && op != 0x25)
        return CheckCondition(kKeyHardwareError, 0x44, 0);
    if (op == 0x04) {
        lun.data.Clear();
        *changed = true;
        return {};
    }
    if (op == 0x25) {
        std::vector<std::uint8_t> p(8, 0);
        PutBe32(p, 0, lun.blocks ? lun.blocks - 1 : 0);
        PutBe32(p, 4, kBlockSize);
        return DataReply(p, 8);
    }
    // READ/WRITE/VERIFY on the LUN's blocks: the same store a drive keeps.
    DriveModel view;
    view.present = true;
    view.state = kDriveMember;
    view.blocks = lun.blocks;
    view.data = std::move(lun.data);
    DriveEngine engine(view);
    std::uint32_t count = GetBe16(cdb, 7);
    if ((op == 0x2A || op == 0x2E) && cmd.dataOut.size() < std::size_t(count) * kBlockSize) {
        lun.data = std::move(view.data);
        return Illegal();
    }
    SimReply r = engine.Execute(cdb, cmd.dataOut, cmd.transferLength, changed);
    lun.data = std::move(view.data);
    if (r.status == kStatusGood) {
        if (op == 0x28)
            cab_.usage[1] += count;
        if (op == 0x2A || op == 0x2E)
            cab_.usage[2] += count;
    }
    return r;
}

SimReply ControllerEngine::WriteBuffer(const SimCommand& cmd, bool* changed) {
    return FirmwareRules::WriteBuffer(cab_, slot_, cmd, changed);
}

}  // namespace sim
