// The state of one subsystem as the service reports it to its clients.
//
// A state reply carries the record whole; event replies carry single pieces
// of it (see Event). The service fills it by reading the controllers; a
// client keeps one copy per connected subsystem.
//
// The coding carries every count and accepts any, so a state may hold fewer
// controllers, LUNs, drive slots or missing-drive entries than a full
// subsystem. Reach elements through the index accessors, which give nullptr
// outside the list instead of reading past it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/ControllerInfo.h"
#include "coresys/common/FieldText.h"
#include "coresys/common/Hardware.h"
#include "coresys/common/LUN.h"
#include "coresys/common/Missing_Drive.h"
#include "coresys/common/ModeCachePage.h"
#include "coresys/common/ModeExtensionPage.h"
#include "coresys/common/ModeSubsystemPage.h"
#include "coresys/common/OruXdr.h"
#include "coresys/common/Physical_Drive.h"
#include "coresys/common/SubsystemStateInfo.h"

class DiskArrayState : public OruXdr {
  public:
    // What the service always fills.
    static constexpr std::uint32_t kControllers = 2;
    static constexpr std::uint32_t kLuns = 8;
    static constexpr std::uint32_t kDriveSlots = 12;
    static constexpr std::uint32_t kMissingEntries = 6;

    std::vector<ControllerInfo> controllers;
    std::optional<SubsystemStateInfo> subsystemState;
    std::optional<ModeSubsystemPage> modeSubsystem;
    std::optional<ModeCachePage> modeCache;
    std::optional<ModeExtensionPage> modeExtension;
    BlockCapacity raid1Capacity;
    BlockCapacity virtualRemaining;
    std::vector<LUN> luns;
    std::vector<Physical_Drive> drives;  // by slot
    std::vector<Missing_Drive> missing;
    std::optional<Hardware> hardware;
    std::uint32_t stateValue1 = 0;
    std::uint32_t stateValue2 = 0;  // drive diagnostics active
    std::uint32_t stateValue3 = 0;
    std::uint32_t stateValue4 = 0;  // validStateData
    std::uint32_t stateValue5 = 0;
    std::uint32_t stateValue6 = 0;  // active controller's format level
    std::uint32_t stateValue7 = 0;  // controller type code
    char serialNumber[13] = {};
    char aliasName[13] = {};  // version 4
    char serverName[17] = {};
    std::uint32_t arrayType = 0;
    std::uint32_t ownsLock = 0;
    std::uint32_t userParam1 = 0;  // derived, version 4
    std::uint32_t userParam2 = 0;
    std::uint32_t userParam3 = 0;

    DiskArrayState() = default;
    DiskArrayState(const DiskArrayState&) = default;
    DiskArrayState& operator=(const DiskArrayState&) = default;
    DiskArrayState(DiskArrayState&&) = default;
    DiskArrayState& operator=(DiskArrayState&&) = default;
    ~DiskArrayState() override = default;

    // Runs SetUserParams, then writes: controllerCount and the controllers;
    // subsystemState; modeSubsystem; modeCache; modeExtension; raid1Capacity;
    // virtualRemaining; lunCount and the LUNs; driveCount and the drives;
    // missingCount and the missing drives; hardware; stateValue1..7;
    // serialNumber (13); serverName (17); arrayType; ownsLock; from version 4
    // aliasName (13) and userParam1..3. A page that is absent is written as
    // an all-zero page so the receiver stays in step.
    void Encode(CodedBuff& buff) override;
    // Reads the same layout. The whole record is decoded aside first: when the
    // bytes are short or a count is larger than the bytes left, the buffer is
    // marked failed and this state is left exactly as it was.
    void Decode(CodedBuff& buff) override;
    // Drops every element record, the four pages and the hardware record.
    virtual void RemoveElements();

    // Derives userParam1..3 from the format level, the controllers present
    // and the cache and extension pages.
    void SetUserParams();

    // Writes a readable dump of the whole record to out (the service's debug
    // trace). Texts are bounded by their field widths.
    void PrintDAS(std::FILE* out) const;

    // Bounds-checked element access: nullptr outside the list.
    ControllerInfo* Controller(std::uint32_t i) {
        return i < controllers.size() ? &controllers[i] : nullptr;
    }
    const ControllerInfo* Controller(std::uint32_t i) const {
        return i < controllers.size() ? &controllers[i] : nullptr;
    }
    LUN* Lun(std::uint32_t i) { return i < luns.size() ? &luns[i] : nullptr; }
    const LUN* Lun(std::uint32_t i) const { return i < luns.size() ? &luns[i] : nullptr; }
    Physical_Drive* Drive(std::uint32_t slot) {
        return slot < drives.size() ? &drives[slot] : nullptr;
    }
    const Physical_Drive* Drive(std::uint32_t slot) const {
        return slot < drives.size() ? &drives[slot] : nullptr;
    }
    Missing_Drive* Missing(std::uint32_t i) { return i < missing.size() ? &missing[i] : nullptr; }
    const Missing_Drive* Missing(std::uint32_t i) const {
        return i < missing.size() ? &missing[i] : nullptr;
    }

    std::uint32_t ControllerCount() const { return static_cast<std::uint32_t>(controllers.size()); }
    std::uint32_t LunCount() const { return static_cast<std::uint32_t>(luns.size()); }
    std::uint32_t DriveCount() const { return static_cast<std::uint32_t>(drives.size()); }
    std::uint32_t MissingCount() const { return static_cast<std::uint32_t>(missing.size()); }

    std::uint32_t ValidStateData() const { return stateValue4; }
    // The room for new logical units, in bytes: the free (virtual remaining)
    // capacity the controller reports, read as every block capacity of the
    // state is, (blocks + 1) x block size. Every figure the programs call
    // unallocated or free is this room (cut toward zero, never rounded up).
    std::uint64_t UnallocatedBytes() const;
    std::string_view SerialNumber() const { return FieldText(serialNumber); }
    std::string_view AliasName() const { return FieldText(aliasName); }
    std::string_view ServerName() const { return FieldText(serverName); }

    // Piece coders shared with the event coding: a counted list of
    // controllers, LUNs, drives or missing drives. The decoders read the whole
    // list aside; on success a list of the same length is overwritten element
    // by element (the element objects stay the same) and a list of another
    // length is replaced. On failure the list is left as it was.
    static void EncodeControllers(CodedBuff& buff, std::vector<ControllerInfo>& list);
    static void DecodeControllers(CodedBuff& buff, std::vector<ControllerInfo>& list);
    static void EncodeLuns(CodedBuff& buff, std::vector<LUN>& list);
    static void DecodeLuns(CodedBuff& buff, std::vector<LUN>& list);
    static void EncodeDrives(CodedBuff& buff, std::vector<Physical_Drive>& list);
    static void DecodeDrives(CodedBuff& buff, std::vector<Physical_Drive>& list);
    static void EncodeMissing(CodedBuff& buff, std::vector<Missing_Drive>& list);
    static void DecodeMissing(CodedBuff& buff, std::vector<Missing_Drive>& list);

  private:
    void DecodeFields(CodedBuff& buff);
};
