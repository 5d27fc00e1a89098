#include "coresys/common/DiskArrayState.h"

#include <string>
#include <utility>

#include "coresys/common/WireWords.h"

namespace {

template <typename T>
void EncodeList(CodedBuff& buff, std::vector<T>& list) {
    WireWords::EncodeVal(buff, static_cast<std::uint32_t>(list.size()));
    for (T& element : list) {
        element.Encode(buff);
    }
}

// Reads a counted list aside and applies it only when every element decoded.
// A list of unchanged length is overwritten element by element, so whoever
// holds an element keeps a valid object.
template <typename T>
void DecodeList(CodedBuff& buff, std::vector<T>& list, std::uint32_t minWireSize) {
    const std::uint32_t count = WireWords::Read(buff);
    if (buff.Failed()) {
        return;
    }
    if (!buff.CanHold(count, minWireSize)) {
        buff.Fail();
        return;
    }
    std::vector<T> fresh(count);
    for (T& element : fresh) {
        element.Decode(buff);
        if (buff.Failed()) {
            return;
        }
    }
    if (fresh.size() == list.size()) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i] = std::move(fresh[i]);
        }
    } else {
        list = std::move(fresh);
    }
}

template <typename Page>
void EncodePage(CodedBuff& buff, std::optional<Page>& page) {
    if (page) {
        page->Encode(buff);
    } else {
        Page empty;
        empty.Encode(buff);
    }
}

template <typename Page>
void DecodePage(CodedBuff& buff, std::optional<Page>& page) {
    page.emplace();
    page->Decode(buff);
}

// The dump's headings and line formats.
struct DumpTexts {
    const char* validStateData = "Valid State Data: %d\n";
    const char* arrayType = "Arraytype: %d\n";
    const char* ownsLock = "Owns the lock: %d\n";
    const char* subsystemState = "Subsystem State: %d\n";
    const char* controllerHeading = "\nCONTROLLER %d INFORMATION\n\n";
    const char* controllerMissing = "Controller %d Does not exist\n";
    const char* textLine = "%s: %.*s\n";
    const char* valueLine = "%s: %u\n";
    const char* modeSubsystemHeading = "\nMODE SUBSYSTEM PAGE\n\n";
    const char* modeCacheHeading = "\nMODE CACHE PAGE\n\n";
    const char* capacityHeading = "\nCAPACITY\n\n";
    const char* lunHeading = "\nLUN INFORMATION\n\n";
    const char* lunLine = "Lun %d has %d Blocks where BlkSize is %d\n";
    const char* driveHeading = "\nPHYSICAL DRIVE INFO\n\n";
    const char* driveFound = "\nDrive is found in slot %d\n";
    const char* driveNotFound = "\nNo Drive Found in slot %d\n";
    const char* missingHeading = "\nMISSING DRIVE INFO\n\n";
    const char* missingFound = "\nMissing Drive Entry: %d\n";
    const char* missingNotFound = "\nNo Missing Drive Found for entry %d\n";
};
constexpr DumpTexts kDump{};

void PrintText(std::FILE* out, const char* label, std::string_view text) {
    std::fprintf(out, kDump.textLine, label, static_cast<int>(text.size()), text.data());
}

void PrintValue(std::FILE* out, const char* label, std::uint32_t value) {
    std::fprintf(out, kDump.valueLine, label, value);
}

}  // namespace

void DiskArrayState::EncodeControllers(CodedBuff& buff, std::vector<ControllerInfo>& list) {
    EncodeList(buff, list);
}
void DiskArrayState::DecodeControllers(CodedBuff& buff, std::vector<ControllerInfo>& list) {
    DecodeList(buff, list, ControllerInfo::kMinWireSize);
}
void DiskArrayState::EncodeLuns(CodedBuff& buff, std::vector<LUN>& list) {
    EncodeList(buff, list);
}
void DiskArrayState::DecodeLuns(CodedBuff& buff, std::vector<LUN>& list) {
    DecodeList(buff, list, LUN::kWireSize);
}
void DiskArrayState::EncodeDrives(CodedBuff& buff, std::vector<Physical_Drive>& list) {
    EncodeList(buff, list);
}
void DiskArrayState::DecodeDrives(CodedBuff& buff, std::vector<Physical_Drive>& list) {
    DecodeList(buff, list, Physical_Drive::WireSize(buff.version));
}
void DiskArrayState::EncodeMissing(CodedBuff& buff, std::vector<Missing_Drive>& list) {
    EncodeList(buff, list);
}
void DiskArrayState::DecodeMissing(CodedBuff& buff, std::vector<Missing_Drive>& list) {
    DecodeList(buff, list, Missing_Drive::kWireSize);
}

void DiskArrayState::Encode(CodedBuff& buff) {
    SetUserParams();
    EncodeControllers(buff, controllers);
    EncodePage(buff, subsystemState);
    EncodePage(buff, modeSubsystem);
    EncodePage(buff, modeCache);
    EncodePage(buff, modeExtension);
    raid1Capacity.Encode(buff);
    virtualRemaining.Encode(buff);
    EncodeLuns(buff, luns);
    EncodeDrives(buff, drives);
    EncodeMissing(buff, missing);
    EncodePage(buff, hardware);
    EncodeVal(buff, stateValue1);
    EncodeVal(buff, stateValue2);
    EncodeVal(buff, stateValue3);
    EncodeVal(buff, stateValue4);
    EncodeVal(buff, stateValue5);
    EncodeVal(buff, stateValue6);
    EncodeVal(buff, stateValue7);
    EncodeVal(buff, serialNumber, sizeof serialNumber);
    EncodeVal(buff, serverName, sizeof serverName);
    EncodeVal(buff, arrayType);
    EncodeVal(buff, ownsLock);
    if (buff.version >= 4) {
        EncodeVal(buff, aliasName, sizeof aliasName);
        EncodeVal(buff, userParam1);
        EncodeVal(buff, userParam2);
        EncodeVal(buff, userParam3);
    }
}

void DiskArrayState::Decode(CodedBuff& buff) {
    // A client's state must survive a damaged reply: decode aside, then take
    // the result over only when the whole record was there.
    DiskArrayState fresh;
    fresh.DecodeFields(buff);
    if (buff.Failed()) {
        return;
    }
    RemoveElements();
    DiskArrayState::operator=(std::move(fresh));
}

void DiskArrayState::DecodeFields(CodedBuff& buff) {
    DecodeControllers(buff, controllers);
    DecodePage(buff, subsystemState);
    DecodePage(buff, modeSubsystem);
    DecodePage(buff, modeCache);
    DecodePage(buff, modeExtension);
    raid1Capacity.Decode(buff);
    virtualRemaining.Decode(buff);
    DecodeLuns(buff, luns);
    DecodeDrives(buff, drives);
    DecodeMissing(buff, missing);
    DecodePage(buff, hardware);
    DecodeVal(buff, stateValue1);
    DecodeVal(buff, stateValue2);
    DecodeVal(buff, stateValue3);
    DecodeVal(buff, stateValue4);
    DecodeVal(buff, stateValue5);
    DecodeVal(buff, stateValue6);
    DecodeVal(buff, stateValue7);
    DecodeVal(buff, serialNumber, sizeof serialNumber);
    DecodeVal(buff, serverName, sizeof serverName);
    DecodeVal(buff, arrayType);
    DecodeVal(buff, ownsLock);
    SetFieldText(aliasName, {});
    userParam1 = 0;
    userParam2 = 0;
    userParam3 = 0;
    if (buff.version >= 4) {
        DecodeVal(buff, aliasName, sizeof aliasName);
        DecodeVal(buff, userParam1);
        DecodeVal(buff, userParam2);
        DecodeVal(buff, userParam3);
    }
}

void DiskArrayState::RemoveElements() {
    controllers.clear();
    luns.clear();
    drives.clear();
    missing.clear();
    subsystemState.reset();
    modeSubsystem.reset();
    modeCache.reset();
    modeExtension.reset();
    hardware.reset();
}

std::uint64_t DiskArrayState::UnallocatedBytes() const {
    return (static_cast<std::uint64_t>(virtualRemaining.blocks) + 1) * virtualRemaining.blockSize;
}

void DiskArrayState::SetUserParams() {
    userParam2 = 0;
    // Controllers below format level 3 know nothing of these settings.
    if (stateValue6 <= 2) {
        userParam1 = 0;
        userParam3 = 0;
        return;
    }
    std::uint32_t present = 0;
    for (const ControllerInfo& controller : controllers) {
        if (controller.Exists()) {
            ++present;
        }
    }
    if (!modeExtension || !modeCache) {
        return;
    }
    const ModeExtensionPage& ext = *modeExtension;
    userParam3 = ext.Value(9) != 0 && modeCache->write_cache_enable != 0 ? 1 : 0;
    userParam1 = ext.Value(7) == 0 ? 1 : 0;
    if (ext.Value(13) != 0 || ext.Value(10) == 0) {
        return;
    }
    if (userParam1 == 1) {
        if (present == 1) {
            userParam3 = 0;
        }
        userParam2 = 3;
        return;
    }
    if (ext.Value(9) != 0) {
        if (ext.Value(8) == 0) {
            userParam2 = 3;
        }
        return;
    }
    if (ext.Value(8) == 0) {
        return;
    }
    if (ext.Value(16) != 0) {
        if (ext.Value(12) == 2) {
            userParam2 = 2;
        }
    } else if (ext.Value(12) == 0) {
        userParam2 = 1;
    }
}

void DiskArrayState::PrintDAS(std::FILE* out) const {
    if (out == nullptr) {
        return;
    }
    std::fprintf(out, kDump.validStateData, static_cast<int>(stateValue4));
    std::fprintf(out, kDump.arrayType, static_cast<int>(arrayType));
    std::fprintf(out, kDump.ownsLock, static_cast<int>(ownsLock));
    std::fprintf(out, kDump.subsystemState,
                 static_cast<int>(subsystemState ? subsystemState->SubsystemState() : 0));
    for (std::uint32_t i = 0; i < ControllerCount(); ++i) {
        const ControllerInfo& c = controllers[i];
        std::fprintf(out, kDump.controllerHeading, static_cast<int>(i));
        if (!c.Exists()) {
            std::fprintf(out, kDump.controllerMissing, static_cast<int>(i));
            continue;
        }
        PrintValue(out, "Active", c.active);
        PrintText(out, "Serial Number", c.SerialNumber());
        PrintText(out, "Paired Ctrl", c.PairedSerialNumber());
        PrintText(out, "Vendor", c.Vendor());
        PrintText(out, "Product ID", c.ProductId());
        PrintText(out, "Product Rev", c.ProductRev());
        PrintText(out, "FW Rev", c.FwRev());
        PrintText(out, "MFG Prod Code", c.MfgProdCode());
        PrintValue(out, "Backplane Slot", c.bkplSlot);
        PrintValue(out, "Target Id", c.targetId);
        PrintValue(out, "Controller Status", c.controllerStatus);
    }
    if (modeSubsystem) {
        const ModeSubsystemPage& p = *modeSubsystem;
        std::fprintf(out, "%s", kDump.modeSubsystemHeading);
        PrintValue(out, "subsystem state", p.subsystem_state);
        PrintValue(out, "hot_spare_desired", p.hot_spare_desired);
        PrintValue(out, "vs partition", p.vs_partition);
        PrintValue(out, "rebuild_in_progress", p.rebuild_in_progress);
        PrintValue(out, "auto_rebuild", p.auto_rebuild);
        PrintValue(out, "auto_include", p.auto_include);
        PrintValue(out, "log_full_warn", p.log_full_warn);
        PrintValue(out, "balancing", p.balancing);
        PrintValue(out, "optimizing", p.optimizing);
        PrintValue(out, "rebuild_priority", p.rebuild_priority);
        PrintValue(out, "parity", p.parity);
        PrintValue(out, "sdtr", p.sdtr);
        PrintValue(out, "wdtr", p.wdtr);
        PrintValue(out, "term_power", p.term_power);
        PrintValue(out, "unit_attn", p.unit_attn);
        PrintValue(out, "ctrl_b_addr", p.ctrl_b_addr);
        PrintValue(out, "ctrl_a_addr", p.ctrl_a_addr);
        PrintValue(out, "language", p.language);
        PrintValue(out, "cap_deplete_thresh", p.cap_deplete_thresh);
        PrintValue(out, "rebuild_progress", p.rebuild_progress);
        PrintValue(out, "write_work_set_int", p.write_work_set_int);
        PrintValue(out, "subsys_type_id", p.subsys_type_id);
    }
    if (modeCache) {
        std::fprintf(out, "%s", kDump.modeCacheHeading);
        PrintValue(out, "write_cache_enable", modeCache->write_cache_enable);
        PrintValue(out, "read_cache_enable", modeCache->read_cache_enable);
    }
    std::fprintf(out, "%s", kDump.capacityHeading);
    PrintValue(out, "Raid 1 Blocks", raid1Capacity.blocks);
    PrintValue(out, "Raid 1 BlkSize", raid1Capacity.blockSize);
    PrintValue(out, "Virtual Remaining Blocks", virtualRemaining.blocks);
    PrintValue(out, "Virtual Remaining BlkSize", virtualRemaining.blockSize);
    std::fprintf(out, "%s", kDump.lunHeading);
    for (std::uint32_t i = 0; i < LunCount(); ++i) {
        if (luns[i].Exists()) {
            std::fprintf(out, kDump.lunLine, static_cast<int>(i),
                         static_cast<int>(luns[i].capacity.blocks),
                         static_cast<int>(luns[i].capacity.blockSize));
        }
    }
    std::fprintf(out, "%s", kDump.driveHeading);
    for (std::uint32_t i = 0; i < DriveCount(); ++i) {
        const Physical_Drive& d = drives[i];
        if (!d.Present()) {
            std::fprintf(out, kDump.driveNotFound, static_cast<int>(i));
            continue;
        }
        std::fprintf(out, kDump.driveFound, static_cast<int>(i));
        PrintText(out, "Vol Set Serial Number", d.VolSetSerialNumber());
        PrintText(out, "Serial Number", d.SerialNumber());
        PrintText(out, "Vendor", d.Vendor());
        PrintText(out, "Product Rev", d.ProductRev());
        PrintValue(out, "Blocks", d.capacity.blocks);
        PrintValue(out, "BlkSize", d.capacity.blockSize);
        PrintValue(out, "Drive State", d.driveState);
    }
    std::fprintf(out, "%s", kDump.missingHeading);
    for (std::uint32_t i = 0; i < MissingCount(); ++i) {
        const Missing_Drive& m = missing[i];
        if (!m.Present()) {
            std::fprintf(out, kDump.missingNotFound, static_cast<int>(i));
            continue;
        }
        std::fprintf(out, kDump.missingFound, static_cast<int>(i));
        PrintText(out, "Product ID", m.ProductId());
        PrintText(out, "Drive Id Number", m.DriveIdNumber());
        PrintText(out, "Serial Number", m.SerialNumber());
        PrintText(out, "Vendor", m.Vendor());
        PrintText(out, "Vol Set Serial Number", m.VolSetSerialNumber());
    }
}
