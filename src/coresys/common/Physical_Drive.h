// One drive slot of a subsystem.
//
// Texts are fixed-width fields kept byte-exact; read them through the
// accessors, which never pass the field's width.
#pragma once

#include <cstdint>
#include <string_view>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/FieldText.h"
#include "coresys/common/OruXdr.h"

class Physical_Drive : public OruXdr {
  public:
    // driveState of an empty slot.
    static constexpr std::uint32_t kNoDrive = 1;
    static constexpr std::uint32_t kWireSizeV3 =
        17 + 17 + 17 + 9 + 5 + 13 + BlockCapacity::kWireSize + 3 * 4 + 11;
    static constexpr std::uint32_t kWireSizeV4 = kWireSizeV3 + 2 * 4;

    char identityText1[17] = {};
    char volSetSerialNumber[17] = {};
    char identityText2[17] = {};
    char vendor[9] = {};
    char productRev[5] = {};
    char serialNumber[13] = {};
    BlockCapacity capacity;
    std::uint32_t driveValue1 = 0;
    std::uint32_t driveState = 0;  // 1: no drive in this slot
    std::uint32_t driveValue2 = 0;
    char driveText[11] = {};
    std::uint32_t driveValue3 = 0;  // version 4
    std::uint32_t driveValue4 = 0;  // version 4

    // Wire: the six texts, capacity, driveValue1, driveState, driveValue2,
    // driveText, then from version 4 driveValue3 and driveValue4 (zero when
    // decoding an older version).
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    static std::uint32_t WireSize(std::uint32_t version) {
        return version >= 4 ? kWireSizeV4 : kWireSizeV3;
    }

    bool Present() const { return driveState != kNoDrive; }

    std::string_view IdentityText1() const { return FieldText(identityText1); }
    std::string_view VolSetSerialNumber() const { return FieldText(volSetSerialNumber); }
    std::string_view IdentityText2() const { return FieldText(identityText2); }
    std::string_view Vendor() const { return FieldText(vendor); }
    std::string_view ProductRev() const { return FieldText(productRev); }
    std::string_view SerialNumber() const { return FieldText(serialNumber); }
    std::string_view DriveText() const { return FieldText(driveText); }
};
