// One controller position of a subsystem.
//
// Texts are fixed-width fields kept byte-exact; read them through the
// accessors, which stop at the field's width even when a peer sent no
// terminator. The three module lists are counted lists on the wire.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "coresys/common/FieldText.h"
#include "coresys/common/OruXdr.h"

class ControllerInfo : public OruXdr {
  public:
    // controllerStatus of a position without a controller.
    static constexpr std::uint32_t kStatusDoesNotExist = 3;
    // Smallest coded record: every fixed field and three empty lists.
    static constexpr std::uint32_t kMinWireSize =
        4 + 17 + 17 + 9 + 17 + 5 + 11 + 11 + 4 * 4 + 3 * 4;

    std::uint32_t active = 0;  // 1 when this controller is the active one
    char serialNumber[17] = {};
    char pairedSerialNumber[17] = {};
    char vendor[9] = {};
    char productId[17] = {};
    char productRev[5] = {};
    char fwRev[11] = {};
    char mfgProdCode[11] = {};
    std::uint32_t bkplSlot = 0;
    std::uint32_t targetId = 0;
    std::uint32_t controllerStatus = 0;
    std::uint32_t statusExtra = 0;
    std::vector<std::uint32_t> batteryStatus;
    std::vector<std::uint32_t> dramStatus;
    std::vector<std::uint32_t> nvramStatus;

    // Wire: active, the seven texts, bkplSlot, targetId, controllerStatus,
    // statusExtra, then batteryCount and its states, dramCount and its
    // states, nvramCount and its states. Decode fails the buffer on a count
    // larger than the bytes left.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::string_view SerialNumber() const { return FieldText(serialNumber); }
    std::string_view PairedSerialNumber() const { return FieldText(pairedSerialNumber); }
    std::string_view Vendor() const { return FieldText(vendor); }
    std::string_view ProductId() const { return FieldText(productId); }
    std::string_view ProductRev() const { return FieldText(productRev); }
    std::string_view FwRev() const { return FieldText(fwRev); }
    std::string_view MfgProdCode() const { return FieldText(mfgProdCode); }

    std::uint32_t BatteryCount() const { return static_cast<std::uint32_t>(batteryStatus.size()); }
    std::uint32_t DramCount() const { return static_cast<std::uint32_t>(dramStatus.size()); }
    std::uint32_t NvramCount() const { return static_cast<std::uint32_t>(nvramStatus.size()); }

    bool Exists() const { return controllerStatus != kStatusDoesNotExist; }
};
