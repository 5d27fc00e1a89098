// One entry of the subsystem's missing-drive table.
#pragma once

#include <cstdint>
#include <string_view>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/FieldText.h"
#include "coresys/common/OruXdr.h"

class Missing_Drive : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 4 + 17 + 17 + 13 + 9 + 17 + BlockCapacity::kWireSize;

    std::uint32_t present = 0;  // 0: empty entry
    char productId[17] = {};
    char driveIdNumber[17] = {};
    char serialNumber[13] = {};
    char vendor[9] = {};
    char volSetSerialNumber[17] = {};
    BlockCapacity capacity;

    // Wire: present, productId, driveIdNumber, serialNumber, vendor,
    // volSetSerialNumber, capacity.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    bool Present() const { return present != 0; }

    std::string_view ProductId() const { return FieldText(productId); }
    std::string_view DriveIdNumber() const { return FieldText(driveIdNumber); }
    std::string_view SerialNumber() const { return FieldText(serialNumber); }
    std::string_view Vendor() const { return FieldText(vendor); }
    std::string_view VolSetSerialNumber() const { return FieldText(volSetSerialNumber); }
};
