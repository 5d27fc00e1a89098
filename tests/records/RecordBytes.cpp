#include "RecordBytes.h"

#include <cstring>
#include <memory>
#include <string>

#include "coresys/common/CodedBuff.h"

Bytes& Bytes::Word(std::uint32_t value) {
    v.push_back(static_cast<unsigned char>(value >> 24));
    v.push_back(static_cast<unsigned char>(value >> 16));
    v.push_back(static_cast<unsigned char>(value >> 8));
    v.push_back(static_cast<unsigned char>(value));
    return *this;
}

Bytes& Bytes::Text(std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        v.push_back(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
    }
    return *this;
}

Bytes& Bytes::Raw(const ByteVector& raw) {
    v.insert(v.end(), raw.begin(), raw.end());
    return *this;
}

namespace {

std::string Numbered(const char* stem, std::uint32_t n) {
    return std::string(stem) + std::to_string(n);
}

// The values the golden state holds, shared by the byte writer and the
// record builder below so the two cannot drift apart.
constexpr std::uint32_t kStateValues[7] = {11, 0, 13, 1, 301, 3, 7};
constexpr char kDrive0Serial[] = "ABCDEFGHIJKLM";  // fills all 13 bytes: no terminator

std::uint32_t ExtensionValue(std::uint32_t n) {  // n counted from 1
    return n == 7 || n == 13 ? 0 : 300 + n;
}

void WriteController(Bytes& b, std::uint32_t which) {
    if (which == 0) {
        b.Word(1).Text("CTLX00000001", 17).Text("CTLY00000002", 17).Text("STROVANE", 9);
        b.Text("SV-3000", 17).Text("0310", 5).Text("FW0310", 11).Text("MPC1", 11);
        b.Word(0).Word(6).Word(1).Word(0x11);
        b.Word(2).Word(1).Word(2);  // batteries
        b.Word(1).Word(1);          // DRAM
        b.Word(2).Word(1).Word(1);  // NVRAM
    } else {
        b.Word(0).Text("CTLY00000002", 17).Text("CTLX00000001", 17).Text("STROVANE", 9);
        b.Text("SV-3000", 17).Text("0310", 5).Text("FW0310", 11).Text("MPC1", 11);
        b.Word(1).Word(7).Word(2).Word(0xFFFFFFFF);
        b.Word(0);          // batteries
        b.Word(1).Word(4);  // DRAM
        b.Word(0);          // NVRAM
    }
}

void FillController(ControllerInfo& c, std::uint32_t which) {
    const bool x = which == 0;
    c.active = x ? 1 : 0;
    SetFieldText(c.serialNumber, x ? "CTLX00000001" : "CTLY00000002");
    SetFieldText(c.pairedSerialNumber, x ? "CTLY00000002" : "CTLX00000001");
    SetFieldText(c.vendor, "STROVANE");
    SetFieldText(c.productId, "SV-3000");
    SetFieldText(c.productRev, "0310");
    SetFieldText(c.fwRev, "FW0310");
    SetFieldText(c.mfgProdCode, "MPC1");
    c.bkplSlot = which;
    c.targetId = x ? 6 : 7;
    c.controllerStatus = x ? 1 : 2;
    c.statusExtra = x ? 0x11 : 0xFFFFFFFF;
    c.batteryStatus = x ? std::vector<std::uint32_t>{1, 2} : std::vector<std::uint32_t>{};
    c.dramStatus = x ? std::vector<std::uint32_t>{1} : std::vector<std::uint32_t>{4};
    c.nvramStatus = x ? std::vector<std::uint32_t>{1, 1} : std::vector<std::uint32_t>{};
}

void WriteDrive(Bytes& b, std::uint32_t s, std::uint32_t version) {
    b.Text(Numbered("ID1-", s), 17).Text(Numbered("VOLSET", s), 17).Text(Numbered("ID2-", s), 17);
    b.Text("DRVVEND", 9).Text("R1", 5);
    b.Text(s == 0 ? kDrive0Serial : Numbered("DSN", s), 13);
    b.Word(s < 9 ? 1024 * (s + 1) : 0).Word(s < 9 ? 512 : 0);
    b.Word(s).Word(s < 9 ? 0 : 1).Word(2 * s).Text(Numbered("DT", s), 11);
    if (version >= 4) {
        b.Word(s + 1000).Word(s + 2000);
    }
}

void FillDrive(Physical_Drive& d, std::uint32_t s) {
    SetFieldText(d.identityText1, Numbered("ID1-", s));
    SetFieldText(d.volSetSerialNumber, Numbered("VOLSET", s));
    SetFieldText(d.identityText2, Numbered("ID2-", s));
    SetFieldText(d.vendor, "DRVVEND");
    SetFieldText(d.productRev, "R1");
    if (s == 0) {
        std::memcpy(d.serialNumber, kDrive0Serial, sizeof d.serialNumber);
    } else {
        SetFieldText(d.serialNumber, Numbered("DSN", s));
    }
    d.capacity = BlockCapacity(s < 9 ? 1024 * (s + 1) : 0, s < 9 ? 512 : 0);
    d.driveValue1 = s;
    d.driveState = s < 9 ? 0 : 1;
    d.driveValue2 = 2 * s;
    SetFieldText(d.driveText, Numbered("DT", s));
    d.driveValue3 = s + 1000;
    d.driveValue4 = s + 2000;
}

void WriteControllers(Bytes& b) {
    b.Word(2);
    WriteController(b, 0);
    WriteController(b, 1);
}

void WriteSubsystemState(Bytes& b, std::uint32_t version) {
    for (std::uint32_t i = 0; i < (version >= 4 ? 24u : 19u); ++i) {
        b.Word(100 + i);
    }
}

void WriteCachePage(Bytes& b) {
    b.Word(1).Word(0);
}

void WriteExtensionPage(Bytes& b, std::uint32_t version) {
    for (std::uint32_t n = 1; n <= (version >= 4 ? 16u : 6u); ++n) {
        b.Word(ExtensionValue(n));
    }
}

void WriteMissingDrives(Bytes& b) {
    b.Word(6);
    b.Word(1).Text("MISSPROD", 17).Text("DRVID0001", 17).Text("MSN000001", 13);
    b.Text("DRVVEND", 9).Text("VOLSET9", 17).Word(8191).Word(512);
    for (int e = 1; e < 6; ++e) {
        b.Word(0).Text("", 17).Text("", 17).Text("", 13).Text("", 9).Text("", 17).Word(0).Word(0);
    }
}

void WriteHardware(Bytes& b) {
    b.Word(3).Word(5).Word(6).Word(7).Word(1).Word(8);
}

}  // namespace

ByteVector GoldenStateBytes(std::uint32_t version) {
    const bool v4 = version >= 4;
    Bytes b;
    WriteControllers(b);
    WriteSubsystemState(b, version);
    for (std::uint32_t i = 0; i < 27; ++i) {  // subsystem mode page
        b.Word(200 + i);
    }
    WriteCachePage(b);
    WriteExtensionPage(b, version);
    b.Word(1000).Word(512);  // RAID 1 capacity
    b.Word(2000).Word(512);  // virtual remaining
    b.Word(8);
    for (std::uint32_t n = 0; n < 8; ++n) {
        b.Word(n < 3 ? 1 : 0).Word(n < 3 ? 4096 * (n + 1) : 0).Word(n < 3 ? 512 : 0);
    }
    b.Word(12);
    for (std::uint32_t s = 0; s < 12; ++s) {
        WriteDrive(b, s, version);
    }
    WriteMissingDrives(b);
    WriteHardware(b);
    for (std::uint32_t value : kStateValues) {
        b.Word(value);
    }
    b.Text("SUBSYS000001", 13).Text("hostalpha", 17).Word(2).Word(1);
    if (v4) {
        b.Text("Payroll", 13).Word(1).Word(3).Word(1);
    }
    return b.Get();
}

DiskArrayState GoldenState() {
    DiskArrayState s;
    s.controllers.resize(2);
    FillController(s.controllers[0], 0);
    FillController(s.controllers[1], 1);
    s.subsystemState.emplace();
    for (std::uint32_t i = 0; i < 24; ++i) {
        s.subsystemState->values[i] = 100 + i;
    }
    s.modeSubsystem.emplace();
    ModeSubsystemPage& p = *s.modeSubsystem;
    std::uint32_t* fields[] = {&p.subsystem_state,
                               &p.hot_spare_desired,
                               &p.vs_partition,
                               &p.rebuild_in_progress,
                               &p.auto_rebuild,
                               &p.auto_include,
                               &p.log_full_warn,
                               &p.balancing,
                               &p.value9,
                               &p.optimizing,
                               &p.rebuild_priority,
                               &p.parity,
                               &p.sdtr,
                               &p.wdtr,
                               &p.term_power,
                               &p.unit_attn,
                               &p.ctrl_b_addr,
                               &p.ctrl_a_addr,
                               &p.reserved19,
                               &p.reserved20,
                               &p.format_pattern_fill,
                               &p.disable_remote_reset,
                               &p.language,
                               &p.cap_deplete_thresh,
                               &p.rebuild_progress,
                               &p.write_work_set_int,
                               &p.subsys_type_id};
    for (std::uint32_t i = 0; i < 27; ++i) {
        *fields[i] = 200 + i;
    }
    s.modeCache.emplace();
    s.modeCache->write_cache_enable = 1;
    s.modeCache->read_cache_enable = 0;
    s.modeExtension.emplace();
    for (std::uint32_t n = 1; n <= 16; ++n) {
        s.modeExtension->values[n - 1] = ExtensionValue(n);
    }
    s.raid1Capacity = BlockCapacity(1000, 512);
    s.virtualRemaining = BlockCapacity(2000, 512);
    s.luns.resize(8);
    for (std::uint32_t n = 0; n < 3; ++n) {
        s.luns[n].status = 1;
        s.luns[n].capacity = BlockCapacity(4096 * (n + 1), 512);
    }
    s.drives.resize(12);
    for (std::uint32_t d = 0; d < 12; ++d) {
        FillDrive(s.drives[d], d);
    }
    s.missing.resize(6);
    Missing_Drive& m = s.missing[0];
    m.present = 1;
    SetFieldText(m.productId, "MISSPROD");
    SetFieldText(m.driveIdNumber, "DRVID0001");
    SetFieldText(m.serialNumber, "MSN000001");
    SetFieldText(m.vendor, "DRVVEND");
    SetFieldText(m.volSetSerialNumber, "VOLSET9");
    m.capacity = BlockCapacity(8191, 512);
    s.hardware.emplace();
    s.hardware->values1 = {5, 6, 7};
    s.hardware->values2 = {8};
    s.stateValue1 = kStateValues[0];
    s.stateValue2 = kStateValues[1];
    s.stateValue3 = kStateValues[2];
    s.stateValue4 = kStateValues[3];
    s.stateValue5 = kStateValues[4];
    s.stateValue6 = kStateValues[5];
    s.stateValue7 = kStateValues[6];
    SetFieldText(s.serialNumber, "SUBSYS000001");
    SetFieldText(s.serverName, "hostalpha");
    s.arrayType = 2;
    s.ownsLock = 1;
    SetFieldText(s.aliasName, "Payroll");
    s.userParam1 = 1;
    s.userParam2 = 3;
    s.userParam3 = 1;
    return s;
}

namespace {

// An error record as written on the wire.
void WriteError(Bytes& b, std::string_view text, const std::uint32_t (&words)[6],
                const ByteVector& extra, std::uint32_t code, std::uint32_t qualifier,
                std::uint32_t module) {
    b.Text(text, 256);
    for (std::uint32_t w : words) {  // senseValid, source, errorClass, detail, oemSet, oemItem
        b.Word(w);
    }
    b.Word(static_cast<std::uint32_t>(extra.size())).Raw(extra);
    b.Word(code).Word(qualifier).Word(module);
}

}  // namespace

ByteVector GoldenResultsBytes() {
    Bytes b;
    b.Word(3);
    // Plain result of DeleteLUN with three extra bytes.
    b.Word(1).Word(1).Word(5).Word(1);
    WriteError(b, "LUN deleted", {0, 2, 3, 4, 5, 6}, {0xAA, 0xBB, 0xCC}, 1, 0, 5);
    // Diagnostic result of a verify of drive 3, running.
    b.Word(2).Word(2).Word(44).Word(0);
    WriteError(b, "", {0, 0, 3, 0, 0, 0}, {}, 0, 0, 0);
    b.Word(3).Word(5).Word(10).Word(20).Word(30);
    // Performance result: value -2 and a default recommendations record
    // with A = 9.
    b.Word(3).Word(3).Word(45).Word(1);
    WriteError(b, "", {0, 0, 3, 0, 0, 0}, {}, 0, 0, 0);
    b.Word(0xFFFFFFFE);
    b.Word(9).Word(0);
    for (int i = 0; i < 16; ++i) {
        b.Word(0);
    }
    for (int i = 0; i < 17; ++i) {
        b.Word(1);
    }
    for (int i = 0; i < 13; ++i) {
        b.Word(0);
    }
    return b.Get();
}

ByteVector GoldenInProgressBytes() {
    Bytes b;
    b.Word(3);
    b.Word(1).Word(7).Word(43).Word(2).Word(255).Word(10);
    b.Word(2).Word(7).Word(44).Word(3).Word(255).Word(20);
    b.Word(3).Word(7).Word(7).Word(3).Word(1).Word(0);
    return b.Get();
}

ByteVector GoldenEventBytes(std::uint32_t version) {
    const bool v4 = version >= 4;
    Bytes b;
    b.Word(8);
    // LUN event: all 8 LUNs, LUN 2 grown.
    b.Word(5).Word(1).Word(2).Word(0);
    b.Word(8);
    for (std::uint32_t n = 0; n < 8; ++n) {
        const bool used = n < 3;
        b.Word(used ? 1 : 0)
            .Word(n == 2 ? 65536 : (used ? 4096 * (n + 1) : 0))
            .Word(used ? 512 : 0);
    }
    // Alias changed.
    b.Word(9).Word(3).Word(0).Word(0);
    if (v4) {
        b.Text("Ledger", 13);
    } else {
        b.Word(1);  // the sender's filler: ownsLock
    }
    // Virtual remaining capacity.
    b.Word(4).Word(1).Word(0).Word(0).Word(3000).Word(512);
    // Log suspended: no piece.
    b.Word(12).Word(2).Word(0).Word(0);
    // Command in progress: results empty, one running verify.
    b.Word(11).Word(1).Word(4).Word(50);
    b.Word(0).Word(1).Word(9).Word(77).Word(44).Word(4).Word(255).Word(50);
    // Settings changed: cache and extension pages.
    b.Word(9).Word(4).Word(0).Word(0);
    if (v4) {
        b.Word(1).Word(1);
        for (std::uint32_t n = 1; n <= 16; ++n) {
            b.Word(n == 7 ? 5 : 300 + n);  // value 7 set: userParam1 becomes 0
        }
    } else {
        b.Word(1);
    }
    // Drive diagnostics: one drive slot only.
    b.Word(13).Word(1).Word(0).Word(1);
    if (v4) {
        b.Word(1).Word(1);
        WriteDrive(b, 5, version);
    }
    // A class this release does not know: no piece.
    b.Word(15).Word(0).Word(0).Word(0);
    return b.Get();
}

oruerr GoldenDeleteLunError() {
    oruerr err;
    err.SetText("LUN deleted");
    err.source = 2;
    err.detail = 4;
    err.oemSet = 5;
    err.oemItem = 6;
    err.extraBytes = {0xAA, 0xBB, 0xCC};
    err.errorCode = 1;
    err.moduleId = 5;
    return err;
}

OruServerState GoldenServerState() {
    OruServerState server;
    const oruerr err = GoldenDeleteLunError();
    server.commandResults.AddElement(CommandResults(COMMAND_RESULTS, MC_DeleteLUN, 1, &err));
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(9, 77), MC_VerifyPhysicalDrive, 4, 255, 50));
    return server;
}

ByteVector GoldenPieceEventBytes(std::uint32_t version) {
    const bool v4 = version >= 4;
    Bytes b;
    b.Word(12);
    // Controller status: the controller count and both records.
    b.Word(0).Word(3).Word(1).Word(0);
    WriteControllers(b);
    // Subsystem state (minor 0): the state record.
    b.Word(1).Word(0).Word(0).Word(0);
    WriteSubsystemState(b, version);
    // Capacity minor 0: the RAID 1 capacity.
    b.Word(4).Word(0).Word(0).Word(0).Word(1000).Word(512);
    // Missing drives: the count and all six entries.
    b.Word(7).Word(0).Word(0).Word(0);
    WriteMissingDrives(b);
    // Hardware: both lists.
    b.Word(8).Word(0).Word(0).Word(0);
    WriteHardware(b);
    // Miscellaneous 0, 1, 2: valid state data, owns the lock, state value 1.
    b.Word(9).Word(0).Word(0).Word(0).Word(kPieceValidState);
    b.Word(9).Word(1).Word(0).Word(0).Word(kPieceOwnsLock);
    b.Word(9).Word(2).Word(0).Word(0).Word(11);
    // Miscellaneous 5: cache and extension pages; before version 4 one word.
    b.Word(9).Word(5).Word(0).Word(0);
    if (v4) {
        WriteCachePage(b);
        WriteExtensionPage(b, version);
    } else {
        b.Word(kPieceOwnsLock);  // the sender's filler
    }
    // Command result: the whole server state, results then requests in
    // progress.
    b.Word(10).Word(0).Word(0).Word(0);
    b.Word(1);
    b.Word(1).Word(1).Word(5).Word(1);
    WriteError(b, "LUN deleted", {0, 2, 3, 4, 5, 6}, {0xAA, 0xBB, 0xCC}, 1, 0, 5);
    b.Word(1).Word(9).Word(77).Word(44).Word(4).Word(255).Word(50);
    // Status minor 0: state value 3 and the controllers (version 4 only).
    b.Word(13).Word(0).Word(0).Word(0);
    if (v4) {
        b.Word(13);
        WriteControllers(b);
    }
    // Extension page.
    b.Word(14).Word(0).Word(0).Word(0);
    WriteExtensionPage(b, version);
    return b.Get();
}

ByteVector GoldenPerfMetricBytes() {
    return {
        0x00, 0x00, 0x00, 0x07,  // id 7
        0x5F, 0x00, 0x00, 0x00,  // window start
        0x5F, 0x00, 0x0E, 0x10,  // window end (+3600 s)
        0x00, 0x00, 0x00, 0x04,  // slots per value
        0x00, 0x00, 0x00, 0x03,  // value count
        0x00, 0x00, 0x00, 0x0A,  // 10
        0xFF, 0xFF, 0xFF, 0xFF,  // no data
        0x00, 0x00, 0x00, 0x1E,  // 30
        0x00, 0x00, 0x00, 0x64,  // scale 100
        0x00, 0x00, 0x00, 0x14,  // threshold 20
        0x00, 0x00, 0x00, 0x01,  // relop
        0x00, 0x00, 0x00, 0x00,  // metric word
        0x00, 0x00, 0x00, 0x0C,  // extra 1
        0x00, 0x00, 0x00, 0x01,  // extra 2
    };
}

ByteVector GoldenPerfRecsBytes() {
    Bytes b;
    for (int i = 0; i < 18; ++i) {
        b.Word(0);
    }
    for (int i = 0; i < 17; ++i) {
        b.Word(1);
    }
    for (int i = 0; i < 13; ++i) {
        b.Word(0);
    }
    return b.Get();
}

ByteVector EncodeToBytes(OruXdr& record, std::uint32_t version) {
    CodedBuff buff;
    buff.Setup(version);
    record.Encode(buff);
    ByteVector out(buff.data, buff.data + buff.position);
    CodedBuff::FreeData(buff.TakeData());
    return out;
}

bool DecodeFromBytes(OruXdr& record, const ByteVector& bytes, std::uint32_t version) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
    if (!bytes.empty()) {
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    }
    CodedBuff buff;
    buff.SetupDecode(exact.get(), static_cast<std::uint32_t>(bytes.size()), version);
    record.Decode(buff);
    return !buff.Failed();
}
