// A full subsystem state (2 controllers, 8 LUNs, 12 drive slots, 6 missing-
// drive entries) built twice from the same literal values: once as records,
// once as the bytes the layout tables give for it, in version 3 or 4.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "MessageBytes.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"

namespace msgtest {

inline void SetText(char* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    std::memcpy(field, text, std::min(width, std::strlen(text)));
}

inline std::uint32_t DriveStateOf(std::uint32_t slot) {
    return slot < 9 ? 0u : 1u;  // nine drives, three empty slots
}

inline DiskArrayState MakeFullState() {
    DiskArrayState s;
    for (std::uint32_t c = 0; c < 2; ++c) {
        ControllerInfo info;
        info.active = c == 0 ? 1 : 0;
        SetText(info.serialNumber, 17, c == 0 ? "CTLA00000001" : "CTLB00000002");
        SetText(info.pairedSerialNumber, 17, c == 0 ? "CTLB00000002" : "CTLA00000001");
        SetText(info.vendor, 9, "STROVANE");
        SetText(info.productId, 17, "RAID CTL 5");
        SetText(info.productRev, 5, "0412");
        SetText(info.fwRev, 11, "FW 4.12");
        SetText(info.mfgProdCode, 11, "MPC-77");
        info.bkplSlot = c;
        info.targetId = 6 + c;
        info.controllerStatus = c == 0 ? 1 : 3;
        info.statusExtra = 40 + c;
        info.batteryStatus = {1};
        info.dramStatus = {1, 2};
        info.nvramStatus = {};
        s.controllers.push_back(info);
    }
    SubsystemStateInfo ssi;
    for (std::uint32_t i = 0; i < 24; ++i) {
        ssi.values[i] = 100 + i;
    }
    s.subsystemState = ssi;
    ModeSubsystemPage mss;
    mss.subsystem_state = 201;
    mss.rebuild_in_progress = 1;
    mss.log_full_warn = 1;
    mss.balancing = 208;
    mss.optimizing = 210;
    mss.rebuild_progress = 75;
    mss.subsys_type_id = 227;
    s.modeSubsystem = mss;
    ModeCachePage mc;
    mc.write_cache_enable = 1;
    mc.read_cache_enable = 0;
    s.modeCache = mc;
    ModeExtensionPage mext;
    for (std::uint32_t i = 0; i < 16; ++i) {
        mext.values[i] = 300 + i;
    }
    s.modeExtension = mext;
    s.raid1Capacity = BlockCapacity(1000, 512);
    s.virtualRemaining = BlockCapacity(2000, 512);
    for (std::uint32_t l = 0; l < 8; ++l) {
        LUN lun;
        lun.status = l % 2;
        lun.capacity = BlockCapacity(l * 10, 512);
        s.luns.push_back(lun);
    }
    for (std::uint32_t d = 0; d < 12; ++d) {
        Physical_Drive drive;
        char text[32];
        std::snprintf(text, sizeof text, "IDENT-%u", d);
        SetText(drive.identityText1, 17, text);
        SetText(drive.volSetSerialNumber, 17, "VS0000000042");
        SetText(drive.identityText2, 17, "DISK 9GB");
        SetText(drive.vendor, 9, "SEAGRAVE");
        SetText(drive.productRev, 5, "0007");
        std::snprintf(text, sizeof text, "DSN%09u", d);
        SetText(drive.serialNumber, 13, text);
        drive.capacity = BlockCapacity(17000000 + d, 512);
        drive.driveValue1 = d;
        drive.driveState = DriveStateOf(d);
        drive.driveValue2 = 2 * d;
        SetText(drive.driveText, 11, "OK");
        drive.driveValue3 = 500 + d;
        drive.driveValue4 = 600 + d;
        s.drives.push_back(drive);
    }
    for (std::uint32_t m = 0; m < 6; ++m) {
        Missing_Drive entry;
        entry.present = m < 2 ? 1 : 0;
        if (m < 2) {
            SetText(entry.productId, 17, "DISK 9GB");
            SetText(entry.driveIdNumber, 17, "DRV-ID-7");
            SetText(entry.serialNumber, 13, "DSN999999999");
            SetText(entry.vendor, 9, "SEAGRAVE");
            SetText(entry.volSetSerialNumber, 17, "VS0000000042");
            entry.capacity = BlockCapacity(17000000, 512);
        }
        s.missing.push_back(entry);
    }
    Hardware hw;
    hw.values1 = {7, 8};
    hw.values2 = {9};
    s.hardware = hw;
    s.stateValue1 = 11;
    s.stateValue2 = 12;
    s.stateValue3 = 13;
    s.stateValue4 = 1;  // valid state data
    s.stateValue5 = 15;
    s.stateValue6 = 2;  // format level 2: no derived user parameters
    s.stateValue7 = 17;
    SetText(s.serialNumber, 13, "SN0000000042");
    SetText(s.aliasName, 13, "NIGHTOWL");
    SetText(s.serverName, 17, "hostalpha");
    s.arrayType = 5;
    s.ownsLock = 1;
    return s;
}

// The layout of the state above, field by field.
inline Bytes FullStateBytes(std::uint32_t version) {
    const bool v4 = version >= 4;
    Bytes out = Words({2});
    for (std::uint32_t c = 0; c < 2; ++c) {
        out =
            Cat({out, Words({c == 0 ? 1u : 0u}), Text(c == 0 ? "CTLA00000001" : "CTLB00000002", 17),
                 Text(c == 0 ? "CTLB00000002" : "CTLA00000001", 17), Text("STROVANE", 9),
                 Text("RAID CTL 5", 17), Text("0412", 5), Text("FW 4.12", 11), Text("MPC-77", 11),
                 Words({c, 6 + c, c == 0 ? 1u : 3u, 40 + c}), Words({1, 1}), Words({2, 1, 2}),
                 Words({0})});
    }
    for (std::uint32_t i = 0; i < (v4 ? 24u : 19u); ++i) {
        out = Cat({out, Words({100 + i})});
    }
    // Mode subsystem page: 27 values in table order.
    out = Cat({out, Words({201, 0, 0, 1, 0, 0, 1, 208, 0, 210, 0,  0, 0,  0,
                           0,   0, 0, 0, 0, 0, 0, 0,   0, 0,   75, 0, 227})});
    out = Cat({out, Words({1, 0})});
    for (std::uint32_t i = 0; i < (v4 ? 16u : 6u); ++i) {
        out = Cat({out, Words({300 + i})});
    }
    out = Cat({out, Words({1000, 512, 2000, 512, 8})});
    for (std::uint32_t l = 0; l < 8; ++l) {
        out = Cat({out, Words({l % 2, l * 10, 512})});
    }
    out = Cat({out, Words({12})});
    for (std::uint32_t d = 0; d < 12; ++d) {
        char ident[32];
        char serial[32];
        std::snprintf(ident, sizeof ident, "IDENT-%u", d);
        std::snprintf(serial, sizeof serial, "DSN%09u", d);
        out = Cat({out, Text(ident, 17), Text("VS0000000042", 17), Text("DISK 9GB", 17),
                   Text("SEAGRAVE", 9), Text("0007", 5), Text(serial, 13),
                   Words({17000000 + d, 512, d, DriveStateOf(d), 2 * d}), Text("OK", 11)});
        if (v4) {
            out = Cat({out, Words({500 + d, 600 + d})});
        }
    }
    out = Cat({out, Words({6})});
    for (std::uint32_t m = 0; m < 6; ++m) {
        if (m < 2) {
            out = Cat({out, Words({1}), Text("DISK 9GB", 17), Text("DRV-ID-7", 17),
                       Text("DSN999999999", 13), Text("SEAGRAVE", 9), Text("VS0000000042", 17),
                       Words({17000000, 512})});
        } else {
            out = Cat({out, Words({0}), Bytes(17 + 17 + 13 + 9 + 17, 0), Words({0, 0})});
        }
    }
    out = Cat({out, Words({2, 7, 8, 1, 9}), Words({11, 12, 13, 1, 15, 2, 17}),
               Text("SN0000000042", 13), Text("hostalpha", 17), Words({5, 1})});
    if (v4) {
        out = Cat({out, Text("NIGHTOWL", 13), Words({0, 0, 0})});
    }
    return out;
}

}  // namespace msgtest
