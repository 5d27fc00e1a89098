#include "sim/DefaultScenario.h"

#include <string>
#include <vector>

#include "sim/CabinetRules.h"

namespace sim {

namespace {

// Mode pages as a user sets up a healthy, redundant array with a hot spare
// (page bytes from the page code on: page byte i is reply byte 8 + i).
std::vector<std::uint8_t> ConfiguredPage21(std::uint8_t targetX, std::uint8_t targetY) {
    std::vector<std::uint8_t> p = DefaultPage21(targetX, targetY);
    // Hot spare wanted, automatic rebuild and include, log full warning.
    p[3] = 0x40 | 0x08 | 0x04 | 0x02;
    // Rebuild priority high (its bit clear: a set bit asks for a low
    // priority); parity, synchronous and wide transfers, terminator power
    // and unit attention on.
    p[4] = 0x10 | 0x08 | 0x04 | 0x02 | 0x01;
    // Capacity warning at 90 percent: (58981 + 1) x 100 / 65535.
    p[8] = 58981 >> 8;
    p[9] = 58981 & 0xFF;
    // Write working set interval.
    p[12] = 30;
    return p;
}

std::vector<std::uint8_t> ConfiguredPage22() {
    std::vector<std::uint8_t> p = DefaultPage22();
    p[5] = 8;   // LUN creation limit (BE32 at reply byte 10)
    p[9] = 64;  // queue full threshold (BE32 at reply byte 14)
    // Single path failover, controller write cache, write cache mirrored.
    p[10] = 0x01 | 0x04 | 0x08;
    // No write-back on one controller, cache battery required, resiliency
    // settings allowed, cache flush level 2, redundancy not enforced. With
    // the write cache mirrored this is the "Normal" resiliency of a
    // two-controller array.
    p[13] = 0x20 | 0x10 | (2 << 2);
    p[15] = 64;  // cache segment size
    return p;
}

CabinetModel MakeCabinet(int index, int members, int luns) {
    CabinetModel c;
    const std::string n = std::to_string(index + 1);
    c.serial = "QX000000000" + n;
    c.volumeSetId = "VOLSET-00000000" + n.substr(0, 1);
    for (int k = 0; k < 2; ++k) {
        c.controllers[k] =
            StockController(static_cast<std::uint8_t>(k),
                            "CTL" + std::string(k == 0 ? "X" : "Y") + "00000000000" + n);
    }
    for (int s = 0; s < members; ++s) {
        c.drives[s] = StockDrive(
            kDriveMember,
            "D" + n + "S" + std::string(s < 10 ? "0" : "") + std::to_string(s) + "000000",
            c.volumeSetId, 2097152);
    }
    c.drives[members] = StockDrive(kDriveSpare, "D" + n + "SPARE00000", c.volumeSetId, 2097152);
    for (int l = 0; l < luns; ++l) {
        c.luns[l].present = true;
        c.luns[l].raidLevel = 5;
        c.luns[l].units = 1024;
        c.luns[l].blocks = 1024 * 1024;
    }
    c.page08 = DefaultPage08();
    c.page21 = ConfiguredPage21(0, 1);
    c.page22 = ConfiguredPage22();
    c.cabinetWords.assign(42, 0);
    // Fans, power supplies and temperatures read as present and good.
    for (int i = 0; i < 6; ++i)
        c.cabinetWords[i] = 1;
    c.cabinetWords[8] = 30;
    c.cabinetExtra.assign(15, 0);
    c.hardware1 = {1, 1, 1, 1};
    c.hardware2 = {1, 1};
    c.alias = "CABINET" + n;
    CabinetRules::RecomputeState(c);
    return c;
}

PathModel Path(const std::string& name, int cabinet, int controller, int plainDisk) {
    PathModel p;
    p.name = name;
    p.cabinet = cabinet;
    p.controller = controller;
    p.plainDisk = plainDisk;
    p.port = static_cast<std::uint8_t>(plainDisk >= 0 ? 0 : 1 + cabinet);
    p.target = static_cast<std::uint8_t>(plainDisk >= 0 ? 0 : controller);
    return p;
}

}  // namespace

WorldModel DefaultScenario::Build() {
    WorldModel w;
    w.cabinets.push_back(MakeCabinet(0, 6, 3));
    w.cabinets.push_back(MakeCabinet(1, 4, 2));
    PlainDiskModel disk;
    disk.drive = StockDrive(kDriveMember, "PLAINDISK001", std::string(16, ' '), 4194304);
    disk.drive.vendor = "GENERIC";
    disk.drive.product = "SYSTEM DISK";
    w.plainDisks.push_back(disk);
    // The plain disk comes first among the disk paths, as a boot disk would.
    w.paths.push_back(Path("PHYSICALDRIVE0", -1, 0, 0));
    int disk_n = 1, array_n = 0;
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 2; ++k) {
            w.paths.push_back(Path("STROVANE" + std::to_string(array_n++), c, k, -1));
            w.paths.push_back(Path("PHYSICALDRIVE" + std::to_string(disk_n++), c, k, -1));
        }
    }
    return w;
}

}  // namespace sim
