#include "coresys/server/state/ServerDiskArrayState.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "coresys/server/state/Labels.h"
#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/state/PreventiveRecord.h"
#include "coresys/server/state/StateTexts.h"
#include "coresys/server/storsys/StorSys.h"
#include "platform/FileOwner.h"
#include "platform/Trace.h"

namespace {

constexpr std::uint8_t kLun0 = 0;
constexpr int kSelf = 0;  // ctl argument: the controller addressed

// Copies a NUL-terminated text of at most N - 1 characters into a field.
template <std::size_t N, std::size_t M>
void CopyField(char (&field)[N], const char (&text)[M]) {
    SetFieldText(field, FieldText(text));
}

// A count the controller reported as "blocks - 1"; a reported 0 would wrap.
std::uint32_t LastBlock(std::uint32_t decoded) {
    return decoded == 0xFFFFFFFFu ? 0 : decoded;
}

std::string SlotName(std::uint32_t slot) {
    Label label = Label::Slot();
    return label.SlotLabel(slot);
}

}  // namespace

ServerDiskArrayState::ServerDiskArrayState(Source& monitor) : monitor_(&monitor) {
    Build();
}

bool ServerDiskArrayState::WantsControllerLog() const {
    return modeSubsystem.has_value() && modeSubsystem->optimizing != 0;
}

void ServerDiskArrayState::Failed(const ScsiResult& result) {
    lastResult_ = result;
    error_ = OruErrFromResult(result);
}

bool ServerDiskArrayState::Fail(BuildStep step) {
    failedStep_ = step;
    stateValue4 = 0;
    return false;
}

void ServerDiskArrayState::Build() {
    // 1. The empty pieces, and what the monitor knows.
    controllers.assign(kControllers, ControllerInfo{});
    luns.assign(kLuns, LUN{});
    drives.assign(kDriveSlots, Physical_Drive{});
    missing.assign(kMissingEntries, Missing_Drive{});
    subsystemState.emplace();
    modeSubsystem.reset();
    modeCache.reset();
    modeExtension.reset();
    hardware.emplace();
    stateValue4 = 0;
    for (std::uint32_t slot = 0; slot < kDriveSlots; ++slot) {
        Physical_Drive& d = drives[slot];
        d.driveState = Physical_Drive::kNoDrive;
        d.driveValue1 = slot;
        SetFieldText(d.driveText, SlotName(slot));
    }
    monitor_->SelectActiveController();
    ownsLock = monitor_->SequenceFlag();
    stateValue1 = monitor_->LogSuspended();

    // 2. Controllers and the raw page.
    if (!BuildControllers()) {
        return;
    }
    StorSys* active = monitor_->Controller(activeSlot_);

    // 3. .. 5. Pages, cabinet and drives; then what the subsystem state allows.
    if (!ReadPages(*active) || !ReadDrives(*active)) {
        return;
    }
    const std::uint32_t state = subsystemState->SubsystemState();
    if (state <= 1 && !ReadLunsAndCapacity(*active)) {
        return;
    }
    if (state <= 2 && !ReadMissing(*active)) {
        return;
    }

    // 6. Drive diagnostics.
    MarkDiagnostics();

    // 7. Host, revision, controller values, alias.
    if (!ReadIdentityValues(*active)) {
        return;
    }

    // 8. A ready subsystem whose partner cannot take over is not fully ready.
    CheckPartner();

    // 9. Derived values; the state is complete.
    SetUserParams();
    stateValue4 = 1;
}

bool ServerDiskArrayState::BuildControllers() {
    for (int slot = 0; slot < 2; ++slot) {
        ControllerInfo& c = controllers[slot];
        c.bkplSlot = static_cast<std::uint32_t>(slot);
        StorSys* controller = monitor_->Controller(slot);
        if (controller == nullptr) {
            c.controllerStatus = kStatusNoController;
            continue;
        }
        ReadControllerIdentity(slot, *controller);
    }

    activeSlot_ = monitor_->SelectActiveController();
    StorSys* active =
        activeSlot_ == 0 || activeSlot_ == 1 ? monitor_->Controller(activeSlot_) : nullptr;
    if (active == nullptr) {
        activeSlot_ = -1;
        return Fail(BuildStep::kNoController);
    }
    // The subsystem's serial is the backplane id the active controller
    // reported; when its page did not answer, the one the monitor knows.
    if (!backplane_[activeSlot_].empty()) {
        SetFieldText(serialNumber, backplane_[activeSlot_]);
    } else if (const char* id = monitor_->BackplaneId(); id != nullptr) {
        SetFieldText(serialNumber, std::string_view(id, strnlen(id, 12)));
    }

    ModePage21Record page;
    ScsiResult result;
    if (active->ReadModePage21(kLun0, page, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kSubsystemPage);
    }
    lastResult_ = result;
    controllers[0].targetId = page.word[18];  // byte 13: controller X
    controllers[1].targetId = page.word[17];  // byte 14: controller Y
    controllers[activeSlot_].statusExtra = page.word[27];

    const int other = 1 - activeSlot_;
    if (StorSys* partner = monitor_->Controller(other); partner != nullptr) {
        ModePage21Record partnerPage;
        ScsiResult partnerResult;
        if (partner->ReadModePage21(kLun0, partnerPage, partnerResult) != 0) {
            controllers[other].statusExtra = partnerPage.word[27];
        } else {
            controllers[other].statusExtra = kUnavailable;
            Failed(partnerResult);
        }
    }

    decoder_ = PageTlvDecoder(*active);
    lastResult_ = decoder_.Result();
    if (!decoder_.Usable()) {
        Failed(decoder_.Result());
        return Fail(BuildStep::kRawPage);
    }
    ApplyRawPage(activeSlot_);
    return true;
}

void ServerDiskArrayState::ReadControllerIdentity(int slot, StorSys& controller) {
    // Each read that answers fills its fields; one that fails leaves them
    // blank, notes its error and lets the build go on.
    ControllerInfo& c = controllers[slot];
    ScsiResult result;
    InquiryData inquiry;
    if (controller.StandardInquiry(kLun0, inquiry, result) != 0) {
        CopyField(c.vendor, inquiry.vendor);
        CopyField(c.productId, inquiry.productId);
        CopyField(c.productRev, inquiry.revision);
    } else {
        Failed(result);
    }
    IdentityPage identity;
    if (controller.ReadIdentityPage(kLun0, identity, result) != 0) {
        CopyField(c.mfgProdCode, identity.productCode);
        CopyField(c.fwRev, identity.firmwareRevision);
    } else {
        Failed(result);
    }
    UnitSerialPage serial;
    if (controller.ReadUnitSerialPage(kLun0, serial, result) != 0) {
        CopyField(c.serialNumber, serial.serial);
        CopyField(c.pairedSerialNumber, serial.partnerSerial);
        c.active = serial.active;
        backplane_[slot].assign(serial.backplaneId, strnlen(serial.backplaneId, 12));
    } else {
        Failed(result);
    }
    lastResult_ = result;
}

void ServerDiskArrayState::ApplyRawPage(int active) {
    const PageTlvDecoder& p = decoder_;
    ControllerInfo& x = controllers[0];
    ControllerInfo& y = controllers[1];
    x.batteryStatus = p.List(PageTlvDecoder::kBatteryX);
    x.dramStatus = p.List(PageTlvDecoder::kDramX);
    x.nvramStatus = p.List(PageTlvDecoder::kNvramX);
    y.batteryStatus = p.List(PageTlvDecoder::kBatteryY);
    y.dramStatus = p.List(PageTlvDecoder::kDramY);
    y.nvramStatus = p.List(PageTlvDecoder::kNvramY);

    controllers[active].controllerStatus = p.ControllerStatus(static_cast<std::uint32_t>(active));

    const int other = 1 - active;
    ControllerInfo& partner = controllers[other];
    // A partner the page does not list reads as 255, which is offline.
    const std::uint32_t s = p.ControllerStatus(static_cast<std::uint32_t>(other));
    if (s == ControllerInfo::kStatusDoesNotExist) {
        partner.controllerStatus = ControllerInfo::kStatusDoesNotExist;
    } else if (partner.statusExtra == kUnavailable) {
        partner.controllerStatus = kStatusOffline;
    } else if (partner.controllerStatus != kStatusNoController) {
        partner.controllerStatus = s == PageTlvDecoder::kMissing ? kStatusOffline : s;
    }
    p.FillHardware(*hardware);
}

bool ServerDiskArrayState::ReadPages(StorSys& active) {
    ScsiResult result;

    unsigned char block[SubsystemStateRecord::kBlockLength] = {};
    if (active.ReadSubsystemState(kSelf, SubsystemStateRecord::kBlockLength, block, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kSubsystemState);
    }
    SubsystemStateRecord record;
    active.DecodeSubsystemState(block, SubsystemStateRecord::kBlockLength, record);
    for (std::uint32_t k = 0; k < SubsystemStateInfo::kValues; ++k) {
        subsystemState->values[k] = record.value[k + 1];
    }

    ModePage21Record page21;
    if (active.ReadModePage21(kLun0, page21, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kModeSubsystem);
    }
    ModeSubsystemPage& m = modeSubsystem.emplace();
    const std::uint32_t* w = page21.word;
    m.subsystem_state = w[1];
    m.hot_spare_desired = w[2];
    m.vs_partition = w[3];
    m.rebuild_in_progress = w[4];
    m.auto_rebuild = w[5];
    m.auto_include = w[6];
    m.log_full_warn = w[7];
    m.balancing = w[8];
    m.value9 = w[9];
    m.optimizing = w[10];
    m.rebuild_priority = w[11];
    m.parity = w[12];
    m.sdtr = w[13];
    m.wdtr = w[14];
    m.term_power = w[15];
    m.unit_attn = w[16];
    m.ctrl_b_addr = w[17];
    m.ctrl_a_addr = w[18];
    m.reserved19 = w[19];
    m.reserved20 = w[20];
    m.format_pattern_fill = w[21];
    m.disable_remote_reset = w[22];
    m.language = w[23];
    m.cap_deplete_thresh = w[24];
    m.rebuild_progress = w[25];
    m.write_work_set_int = w[26];
    m.subsys_type_id = w[27];

    bool wce = false;
    bool rcd = false;
    if (active.ReadCachingPage(kLun0, wce, rcd, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kModeCache);
    }
    ModeCachePage& cache = modeCache.emplace();
    cache.write_cache_enable = wce ? 1 : 0;
    // The page holds the read cache's disable bit (RCD); the record, its
    // events and every client speak of enabling it.
    cache.read_cache_enable = rcd ? 0 : 1;

    ModePage22Record page22;
    if (active.ReadModePage22(kLun0, page22, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kModeExtension);
    }
    ModeExtensionPage& ext = modeExtension.emplace();
    for (std::uint32_t k = 0; k < ModeExtensionPage::kValues; ++k) {
        ext.values[k] = page22.word[k + 1];
    }

    CabinetStatusRecord cabinet;
    if (active.ReadCabinetStatus(kSelf, cabinet, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kCabinetStatus);
    }
    raid1Capacity = BlockCapacity(cabinet.word[1], kBlockSize);
    lastResult_ = result;
    return true;
}

bool ServerDiskArrayState::ReadDrives(StorSys& active) {
    ScsiResult result;
    DriveTableEntry table[StorSys::kDriveTableSize];
    std::uint32_t count = 0;
    if (active.ReadPhysicalDriveList(table, &count, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kDriveList);
    }
    lastResult_ = result;
    bool filled[kDriveSlots] = {};
    for (std::uint32_t i = 0; i < count && i < StorSys::kDriveTableSize; ++i) {
        const DriveTableEntry& e = table[i];
        // The entry names its slot; a slot the cabinet does not have, or one
        // already listed, cannot be placed.
        if (e.address >= kDriveSlots || filled[e.address]) {
            char text[128];
            std::snprintf(text, sizeof text,
                          e.address >= kDriveSlots ? state_text::kDriveSlotSkipped
                                                   : state_text::kDriveSlotRepeated,
                          static_cast<unsigned>(e.address));
            monitor_->Notice(text);
            continue;
        }
        filled[e.address] = true;
        Physical_Drive& d = drives[e.address];
        d.driveValue1 = e.address;
        CopyField(d.volSetSerialNumber, e.volumeSetId);
        CopyField(d.identityText1, e.driveId);
        CopyField(d.identityText2, e.productId);
        SetFieldText(d.vendor, active.DriveVendor(e));
        CopyField(d.productRev, e.revision);
        CopyField(d.serialNumber, e.serial);
        d.driveState = e.state;
        d.driveValue2 = e.stateValue;
        d.capacity = BlockCapacity(LastBlock(e.lastBlock), kBlockSize);
        d.driveValue4 = e.predictiveFailure;
    }
    return true;
}

bool ServerDiskArrayState::ReadLunsAndCapacity(StorSys& active) {
    ScsiResult result;
    std::uint32_t blocks = 0;
    std::uint32_t blockSize = 0;
    if (active.ReadVirtualCapacity(blocks, blockSize, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kVirtualCapacity);
    }
    virtualRemaining = BlockCapacity(blocks, blockSize);

    LunTableEntry table[StorSys::kLunTableSize];
    if (active.ReadLunTable(table, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kLunTable);
    }
    for (std::uint32_t i = 0; i < kLuns && i < StorSys::kLunTableSize; ++i) {
        luns[i].status = table[i].status;
        luns[i].capacity = BlockCapacity(table[i].blocks, kBlockSize);
    }
    lastResult_ = result;
    return true;
}

bool ServerDiskArrayState::ReadMissing(StorSys& active) {
    ScsiResult result;
    MissingDriveEntry table[StorSys::kMissingTableSize];
    std::uint32_t count = 0;
    if (active.ReadMissingDrives(table, &count, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kMissingDrives);
    }
    for (std::uint32_t i = 0; i < count && i < kMissingEntries; ++i) {
        const MissingDriveEntry& e = table[i];
        Missing_Drive& m = missing[i];
        m.present = 1;
        CopyField(m.productId, e.productId);
        CopyField(m.driveIdNumber, e.driveId);
        CopyField(m.serialNumber, e.serial);
        CopyField(m.vendor, e.vendor);
        CopyField(m.volSetSerialNumber, e.volumeSetId);
        m.capacity = BlockCapacity(LastBlock(e.lastBlock), kBlockSize);
    }
    lastResult_ = result;
    return true;
}

void ServerDiskArrayState::MarkDiagnostics() {
    stateValue2 = 0;
    for (std::uint32_t slot = 0; slot < kDriveSlots; ++slot) {
        Physical_Drive& d = drives[slot];
        if (d.driveState == Physical_Drive::kNoDrive) {
            continue;
        }
        d.driveValue3 = monitor_->DriveDiagnosticState(slot) == 1 ? 1 : 0;
        if (d.driveValue3 != 0) {
            stateValue2 = 1;
        }
    }
}

bool ServerDiskArrayState::ReadIdentityValues(StorSys& active) {
    SetFieldText(serverName, platform::AccountHostName());
    stateValue5 = kServerRevision;
    stateValue6 = active.FormatLevel();
    stateValue7 = active.PageKind();

    ScsiResult result;
    char alias[17] = {};
    std::uint32_t aliasLength = 0;
    if (active.ReadAlias(alias, aliasLength, result) == 0) {
        Failed(result);
        return Fail(BuildStep::kAlias);
    }
    if (aliasLength <= kMaxAlias) {
        SetFieldText(aliasName, std::string_view(alias, aliasLength));
    }
    lastResult_ = result;
    return true;
}

void ServerDiskArrayState::CheckPartner() {
    if (subsystemState->values[0] != 0) {
        return;
    }
    const ControllerInfo& partner = controllers[1 - activeSlot_];
    const char* text = nullptr;
    if (partner.statusExtra == kUnavailable) {
        text = state_text::kPartnerUnavailable;
    } else if (partner.controllerStatus == kStatusOffline) {
        text = state_text::kPartnerOffline;
    }
    if (text == nullptr) {
        return;
    }
    subsystemState->values[0] = 1;
    subsystemState->values[9] = 1;  // the tenth value: partner unavailable
    platform::Trace(text, std::string(SerialNumber()).c_str());
}

ServerDiskArrayState::RefreshOutcome ServerDiskArrayState::Refresh(
    Source& monitor, std::unique_ptr<ServerDiskArrayState>& current, PreventiveRecord* record) {
    const int slot = monitor.ActiveController();
    StorSys* active = slot == 0 || slot == 1 ? monitor.Controller(slot) : nullptr;
    if (active == nullptr) {
        return RefreshOutcome::kNoAnswer;
    }
    unsigned char block[SubsystemStateRecord::kBlockLength];
    ScsiResult result;
    if (active->ReadSubsystemState(kSelf, SubsystemStateRecord::kBlockLength, block, result) == 0) {
        return RefreshOutcome::kNoAnswer;
    }
    auto fresh = std::make_unique<ServerDiskArrayState>(monitor);
    if (!fresh->Valid()) {
        monitor.SetStateInvalid(true);
        return RefreshOutcome::kInvalid;
    }
    monitor.SetStateInvalid(false);
    if (current) {
        monitor.CompareStates(*current, *fresh);
    }
    if (fresh->WantsControllerLog()) {
        monitor.ReadControllerLog();
    }
    if (record != nullptr && current && current->Valid()) {
        record->CountPoll(*current, *fresh, monitor);
    }
    current = std::move(fresh);
    return RefreshOutcome::kReplaced;
}
