#include "EventTestSupport.h"

#include <cstdio>

#include "coresys/common/FieldText.h"

namespace eventtest {

std::unique_ptr<ServerDiskArrayState> ValidState(BareMonitor& monitor) {
    auto s = std::make_unique<ServerDiskArrayState>(monitor);
    SetFieldText(s->serialNumber, kSerial);
    for (std::uint32_t c = 0; c < 2; ++c) {
        ControllerInfo& info = s->controllers[c];
        SetFieldText(info.serialNumber, c == 0 ? "CTLX00000001" : "CTLY00000001");
        SetFieldText(info.productId, "STROVANE RC-4");
        SetFieldText(info.productRev, "0410");
        info.active = c == 0 ? 1 : 0;
        info.controllerStatus = 1;
        info.batteryStatus = {0};
        info.dramStatus = {1};
        info.nvramStatus = {1};
    }
    s->modeSubsystem.emplace();
    s->modeCache.emplace();
    s->modeExtension.emplace();
    for (std::uint32_t slot = 0; slot < 6; ++slot) {
        Physical_Drive& d = s->drives[slot];
        char serial[13];
        std::snprintf(serial, sizeof serial, "D1S%02u000000", slot);
        SetFieldText(d.serialNumber, serial);
        SetFieldText(d.identityText1, "STRV 9G");
        SetFieldText(d.identityText2, "ST19171W");
        d.driveState = 0;
    }
    s->luns[0].status = 1;
    s->luns[0].capacity = BlockCapacity(100000, 512);
    s->luns[1].status = 1;
    s->luns[1].capacity = BlockCapacity(50000, 512);
    s->hardware->values1 = {1, 1, 1};
    s->hardware->values2 = {1, 1};
    s->stateValue4 = 1;
    return s;
}

}  // namespace eventtest
