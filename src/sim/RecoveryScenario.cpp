#include "sim/RecoveryScenario.h"

#include <utility>

#include "sim/ByteOrder.h"
#include "sim/CabinetRules.h"
#include "sim/RecoveryRules.h"

namespace sim {

namespace {

constexpr std::uint8_t kDriveOtherKind = 6;

// The common header of a controller log entry: kind, ticks, event code, count.
std::vector<std::uint8_t> LogEntry(std::uint8_t kind, std::size_t size, std::uint32_t ticks,
                                   std::uint16_t code, std::uint8_t count) {
    std::vector<std::uint8_t> e(size, 0);
    e[0] = kind;
    PutBe32(e, 2, ticks);
    PutBe16(e, 7, code);
    e[9] = count;
    return e;
}

// One entry of each kind, and a second controller entry that carries data.
std::vector<std::vector<std::uint8_t>> ControllerLog() {
    auto drive = LogEntry(0, 18, 1000, 102, 1);
    drive[10] = 2;  // A2
    drive[11] = 0x03;
    drive[12] = 0x11;
    drive[13] = 0x00;
    PutBe32(drive, 14, 123456);
    auto module = LogEntry(1, 14, 1500, 156, 1);
    module[10] = 1;
    module[11] = 130;
    auto data = LogEntry(1, 14, 1600, 157, 2);
    data[11] = 131;
    data[12] = 0x12;
    data[13] = 0x34;
    auto change = LogEntry(2, 28, 2000, 200, 1);
    change[10] = 5;  // B3
    PutText(change, 12, 16, "CONFIG-CHANGE-01");
    return {drive, module, data, change};
}

DriveModel Drive(int slot, std::uint8_t state, const std::string& volumeSet) {
    return StockDrive(state, "SLV" + SlotName(slot) + "0000000", volumeSet, 2097152);
}

// The cabinet every scenario starts from: ready, six members of set A, two
// logical units, a hot spare.
CabinetModel BaseCabinet() {
    CabinetModel c;
    c.serial = RecoveryScenario::kSerial;
    c.volumeSetId = RecoveryScenario::kSetA;
    for (int k = 0; k < 2; ++k) {
        c.controllers[k] =
            StockController(static_cast<std::uint8_t>(k),
                            std::string("SALVAGECTL") + (k == 0 ? "X" : "Y") + "00001");
    }
    for (int s = 0; s < 6; ++s)
        c.drives[s] = Drive(s, kDriveMember, RecoveryScenario::kSetA);
    c.drives[6] = Drive(6, kDriveSpare, RecoveryScenario::kSetA);
    for (int l = 0; l < 2; ++l) {
        c.luns[l].present = true;
        c.luns[l].units = 1024;
        c.luns[l].blocks = 1024 * 1024;
    }
    c.page08 = DefaultPage08();
    c.page21 = DefaultPage21(0, 1);
    c.page22 = DefaultPage22();
    c.cabinetWords.assign(42, 0);
    c.cabinetExtra.assign(15, 0);
    c.hardware1 = {1, 1, 1, 1};
    c.hardware2 = {1, 1};
    c.controllerLog = ControllerLog();
    return c;
}

// The configuration is lost: the drives of set A (A1..B2) are foreign,
// B3 holds a drive of another kind, and a volume set is to be chosen.
void NeedsRecovery(CabinetModel& c) {
    for (auto& d : c.drives)
        d = DriveModel{};
    for (int s = 0; s < 4; ++s)
        c.drives[s] = Drive(s, kDriveForeign, RecoveryScenario::kSetA);
    c.drives[5] = Drive(5, kDriveOtherKind, "");
    c.state = kSubsysNeedsRecovery;
}

// Byte b (3, 4 or 5) of the state block gets bit n.
void SetFlag(CabinetModel& c, int byte, int bit) {
    c.stateFlags[byte - 3] = static_cast<std::uint8_t>(c.stateFlags[byte - 3] | (1u << bit));
}

// Turns the base cabinet into the scenario's.
using Shaper = void (*)(CabinetModel&);

const std::vector<std::pair<std::string, Shaper>>& Table() {
    static const std::vector<std::pair<std::string, Shaper>> table = {
        {"needs-recovery", [](CabinetModel& c) { NeedsRecovery(c); }},
        {"several-sets",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             c.drives[5] = DriveModel{};
             for (int s = 4; s < 8; ++s)
                 c.drives[s] = Drive(s, kDriveForeign, RecoveryScenario::kSetB);
         }},
        {"unassigned",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             c.drives[5] = DriveModel{};
             for (int s = 4; s < 8; ++s)
                 c.drives[s] = Drive(s, kDriveMember, RecoveryScenario::kSetHome);
         }},
        {"parity-scan", [](CabinetModel& c) { c.stateFlags[0] = RecoveryRules::kFlagScanWanted; }},
        {"severe",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             SetFlag(c, 5, 0);  // F101
             SetFlag(c, 5, 6);  // F107
         }},
        {"conditions",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             SetFlag(c, 4, 0);  // F109
             SetFlag(c, 3, 2);  // F119
         }},
        {"recovery-stopped",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             SetFlag(c, 4, 4);  // F113
         }},
        {"in-progress",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             c.operations.push_back({OperationKind::kRecovery, 0, RecoveryRules::kRecoveryMs,
                                     RecoveryRules::kRecoveryMs});
         }},
        {"old-firmware",
         [](CabinetModel& c) {
             NeedsRecovery(c);
             for (auto& m : c.controllers) {
                 m.formatLevel = 2;
                 m.firmwareRevision = "F201.00.00";
             }
         }},
        {"healthy", [](CabinetModel&) {}},
    };
    return table;
}

PathModel Path(const std::string& name, int controller) {
    PathModel p;
    p.name = name;
    p.cabinet = 0;
    p.controller = controller;
    p.port = 1;
    p.target = static_cast<std::uint8_t>(controller);
    return p;
}

}  // namespace

const std::vector<std::string>& RecoveryScenario::Names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& entry : Table())
            n.push_back(entry.first);
        return n;
    }();
    return names;
}

bool RecoveryScenario::Build(const std::string& name, WorldModel* world) {
    for (const auto& [entryName, shape] : Table()) {
        if (entryName != name)
            continue;
        WorldModel w;
        CabinetModel c = BaseCabinet();
        shape(c);
        CabinetRules::RecomputeState(c);
        w.cabinets.push_back(std::move(c));
        w.paths.push_back(Path("STROVANE0", 0));
        w.paths.push_back(Path("STROVANE1", 1));
        *world = std::move(w);
        return true;
    }
    return false;
}

}  // namespace sim
