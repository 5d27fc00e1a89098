#include "sim/CabinetModel.h"

namespace sim {

std::string SlotName(int slot) {
    if (slot < 0 || slot >= kDriveSlots)
        return "?";
    std::string s;
    s += (slot % 2 == 0) ? 'A' : 'B';
    s += static_cast<char>('1' + slot / 2);
    return s;
}

std::vector<std::uint8_t> DefaultPage08() {
    // Caching page: write cache on, read cache on.
    std::vector<std::uint8_t> p(12, 0);
    p[0] = 0x08;
    p[1] = 10;
    p[2] = 0x04;
    return p;
}

std::vector<std::uint8_t> DefaultPage21(std::uint8_t targetX, std::uint8_t targetY) {
    std::vector<std::uint8_t> p(14, 0);
    p[0] = 0x21;
    p[1] = 12;
    p[2] = 1;  // page first value
    p[5] = targetX;
    p[6] = targetY;
    p[13] = 12;  // subsystem type id
    return p;
}

std::vector<std::uint8_t> DefaultPage22() {
    std::vector<std::uint8_t> p(34, 0);
    p[0] = 0x22;
    p[1] = 32;
    p[11] = 3;  // byte 19 of the reply
    p[12] = 3;  // byte 20
    return p;
}

DriveModel StockDrive(std::uint8_t state, const std::string& serial, const std::string& volumeSetId,
                      std::uint32_t blocks) {
    DriveModel d;
    d.present = true;
    d.state = state;
    d.vendor = "QDISK";
    d.product = "QD-9100";
    d.revision = "0102";
    d.serial = serial;
    d.driveId = "QDISK QD-9100";
    d.volumeSetId = volumeSetId;
    d.blocks = blocks;
    return d;
}

ControllerModel StockController(std::uint8_t targetId, const std::string& serial) {
    ControllerModel m;
    m.serial = serial;
    m.targetId = targetId;
    m.dram = {1};
    m.nvram = {1, 1};
    m.battery = {1};
    return m;
}

}  // namespace sim
