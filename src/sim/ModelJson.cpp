#include "sim/ModelJson.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "sim/CabinetRules.h"
#include "sim/DriveMedia.h"

namespace sim {

using nlohmann::json;

namespace {

// A field fault found while reading; carries the field's name out.
struct Bad {
    std::string what;
};

std::string Hex(const std::vector<std::uint8_t>& v) {
    std::string s;
    char b[3];
    for (std::uint8_t x : v) {
        std::snprintf(b, sizeof b, "%02x", x);
        s += b;
    }
    return s;
}

std::vector<std::uint8_t> Unhex(const std::string& s, const std::string& field) {
    if (s.size() % 2 != 0)
        throw Bad{field + ": odd number of hex digits"};
    std::vector<std::uint8_t> v;
    v.reserve(s.size() / 2);
    auto digit = [&](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw Bad{field + ": not a hex digit"};
    };
    for (std::size_t i = 0; i < s.size(); i += 2) {
        v.push_back(static_cast<std::uint8_t>(digit(s[i]) * 16 + digit(s[i + 1])));
    }
    return v;
}

const json* Field(const json& j, const char* key) {
    auto it = j.find(key);
    return it == j.end() ? nullptr : &*it;
}

std::uint64_t Uint(const json& j, const char* key, std::uint64_t def, std::uint64_t max,
                   const std::string& where) {
    const json* f = Field(j, key);
    if (!f)
        return def;
    if (!f->is_number_unsigned() && !(f->is_number_integer() && f->get<std::int64_t>() >= 0)) {
        throw Bad{where + "." + key + ": not a non-negative integer"};
    }
    std::uint64_t v = f->get<std::uint64_t>();
    if (v > max)
        throw Bad{where + "." + key + ": out of range"};
    return v;
}

bool Bool(const json& j, const char* key, bool def, const std::string& where) {
    const json* f = Field(j, key);
    if (!f)
        return def;
    if (!f->is_boolean())
        throw Bad{where + "." + key + ": not true or false"};
    return f->get<bool>();
}

std::string Text(const json& j, const char* key, const std::string& def, std::size_t maxLen,
                 const std::string& where) {
    const json* f = Field(j, key);
    if (!f)
        return def;
    if (!f->is_string())
        throw Bad{where + "." + key + ": not a text"};
    std::string s = f->get<std::string>();
    if (s.size() > maxLen)
        throw Bad{where + "." + key + ": longer than " + std::to_string(maxLen)};
    for (char c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            throw Bad{where + "." + key + ": not printable"};
        }
    }
    return s;
}

std::vector<std::uint8_t> Bytes(const json& j, const char* key,
                                const std::vector<std::uint8_t>& def, std::size_t maxLen,
                                const std::string& where) {
    const json* f = Field(j, key);
    if (!f)
        return def;
    if (!f->is_array() || f->size() > maxLen) {
        throw Bad{where + "." + key + ": not a list of at most " + std::to_string(maxLen) +
                  " bytes"};
    }
    std::vector<std::uint8_t> v;
    for (const auto& e : *f) {
        if (!e.is_number_integer() || e.get<std::int64_t>() < 0 || e.get<std::int64_t>() > 255) {
            throw Bad{where + "." + key + ": not a byte value"};
        }
        v.push_back(static_cast<std::uint8_t>(e.get<int>()));
    }
    return v;
}

std::vector<std::uint32_t> Words(const json& j, const char* key, std::size_t maxLen,
                                 const std::string& where) {
    const json* f = Field(j, key);
    std::vector<std::uint32_t> v;
    if (!f)
        return v;
    if (!f->is_array() || f->size() > maxLen)
        throw Bad{where + "." + key + ": bad list"};
    for (const auto& e : *f) {
        if (!e.is_number_integer() || e.get<std::int64_t>() < 0 ||
            e.get<std::int64_t>() > 0xFFFFFFFFll) {
            throw Bad{where + "." + key + ": not a 32-bit value"};
        }
        v.push_back(static_cast<std::uint32_t>(e.get<std::int64_t>()));
    }
    return v;
}

// [[first, count, "read"|"write"|"corrupt"], ...], each inside the drive.
std::vector<MediaError> MediaErrorsFromJson(const json& j, std::uint32_t blocks,
                                            const std::string& where) {
    std::vector<MediaError> v;
    const json* f = Field(j, "mediaErrors");
    if (!f)
        return v;
    const std::string at = where + ".mediaErrors";
    if (!f->is_array() || f->size() > DriveMedia::kMaxMediaErrors)
        throw Bad{at + ": bad list"};
    for (const auto& e : *f) {
        MediaError m;
        if (!e.is_array() || e.size() != 3 || !e[0].is_number_unsigned() ||
            !e[1].is_number_unsigned() || !e[2].is_string() ||
            !DriveMedia::KindOf(e[2].get<std::string>(), &m.kind)) {
            throw Bad{at + ": entry not [first, count, kind]"};
        }
        const std::uint64_t first = e[0].get<std::uint64_t>();
        const std::uint64_t count = e[1].get<std::uint64_t>();
        if (count == 0 || first >= blocks || count > blocks - first)
            throw Bad{at + ": blocks outside the drive"};
        m.first = static_cast<std::uint32_t>(first);
        m.count = static_cast<std::uint32_t>(count);
        v.push_back(m);
    }
    return v;
}

int SlotOf(const json& j, const std::string& where) {
    const json* f = Field(j, "slot");
    if (!f)
        throw Bad{where + ".slot: missing"};
    if (f->is_string()) {
        for (int s = 0; s < kDriveSlots; ++s) {
            if (SlotName(s) == f->get<std::string>())
                return s;
        }
        throw Bad{where + ".slot: not a slot name A1..B6"};
    }
    return static_cast<int>(Uint(j, "slot", 0, kDriveSlots - 1, where));
}

// The blocks of a drive or unit: the name of its block file, and (a store
// not bound to a file, or a state file of the earlier form) the blocks
// themselves as hex.
void BlocksToJson(const BlockStore& store, json& j) {
    if (!store.FileName().empty())
        j["blockFile"] = store.FileName();
    if (!store.MemoryBlocks().empty()) {
        json o = json::object();
        for (const auto& [lba, data] : store.MemoryBlocks())
            o[std::to_string(lba)] = Hex(data);
        j["data"] = o;
    }
}

BlockStore BlocksFromJson(const json& j, std::uint32_t blocks, const std::string& where) {
    BlockStore store;
    if (const json* f = Field(j, "blockFile")) {
        if (!f->is_string() || !BlockStore::PlainFileName(f->get<std::string>()))
            throw Bad{where + ".blockFile: not a plain file name ending in .blk"};
        store.SetFileName(f->get<std::string>());
    }
    BlockMap m;
    const json* f = Field(j, "data");
    if (!f)
        return store;
    if (!f->is_object())
        throw Bad{where + ".data: not an object"};
    for (const auto& [k, v] : f->items()) {
        char* end = nullptr;
        unsigned long lba = std::strtoul(k.c_str(), &end, 10);
        if (k.empty() || *end != '\0' || lba >= blocks)
            throw Bad{where + ".data: bad block"};
        if (!v.is_string())
            throw Bad{where + ".data: block is not hex"};
        auto data = Unhex(v.get<std::string>(), where + ".data");
        if (data.size() != kBlockSize)
            throw Bad{where + ".data: block is not 512 bytes"};
        if (std::any_of(data.begin(), data.end(), [](std::uint8_t x) { return x != 0; }))
            m[static_cast<std::uint32_t>(lba)] = std::move(data);
    }
    store.SetMemoryBlocks(std::move(m));
    return store;
}

json DriveToJson(const DriveModel& d) {
    json j;
    j["state"] = d.state;
    j["further"] = d.further;
    j["vendor"] = d.vendor;
    j["product"] = d.product;
    j["revision"] = d.revision;
    j["serial"] = d.serial;
    j["volumeSetId"] = d.volumeSetId;
    j["driveId"] = d.driveId;
    j["predictiveFailure"] = d.predictiveFailure;
    j["badBlocks"] = d.badBlocks;
    json media = json::array();
    for (const MediaError& e : d.mediaErrors)
        media.push_back({e.first, e.count, DriveMedia::KindName(e.kind)});
    j["mediaErrors"] = media;
    j["uncorrectedErrors"] = d.uncorrectedErrors;
    j["blocks"] = d.blocks;
    json defects = json::array();
    for (const auto& e : d.defects)
        defects.push_back({e.cylinder, e.head, e.sector});
    j["defects"] = defects;
    j["errorCounters"] = d.errorCounters;
    j["nonMediumErrors"] = d.nonMediumErrors;
    j["modeSelect"] = Hex(d.modeSelectData);
    json pages = json::object();
    for (const auto& [code, page] : d.modePages)
        pages[Hex({code})] = Hex(page);
    j["modePages"] = pages;
    j["unitAttention"] = d.unitAttention;
    j["initFailNext"] = d.initFailNext;
    BlocksToJson(d.data, j);
    return j;
}

DriveModel DriveFromJson(const json& j, const std::string& where) {
    if (!j.is_object())
        throw Bad{where + ": not an object"};
    DriveModel d;
    d.present = true;
    d.state = static_cast<std::uint8_t>(Uint(j, "state", kDriveMember, 255, where));
    if (d.state == kDriveEmpty)
        throw Bad{where + ".state: 1 is an empty slot"};
    d.further = static_cast<std::uint8_t>(Uint(j, "further", 0, 255, where));
    if (Bool(j, "spare", false, where))
        d.state = kDriveSpare;
    d.vendor = Text(j, "vendor", "QDISK", 8, where);
    d.product = Text(j, "product", "QD-9100", 16, where);
    d.revision = Text(j, "revision", "0102", 4, where);
    d.serial = Text(j, "serial", "", 12, where);
    d.volumeSetId = Text(j, "volumeSetId", std::string(16, 'F'), 16, where);
    d.driveId = Text(j, "driveId", (d.vendor + " " + d.product).substr(0, 16), 16, where);
    d.predictiveFailure = Bool(j, "predictiveFailure", false, where);
    d.blocks = static_cast<std::uint32_t>(Uint(j, "blocks", 2097152, 0xFFFFFFFFu, where));
    if (d.blocks == 0)
        throw Bad{where + ".blocks: 0"};
    if (const json* f = Field(j, "defects")) {
        if (!f->is_array() || f->size() > 4096)
            throw Bad{where + ".defects: bad list"};
        for (const auto& e : *f) {
            if (!e.is_array() || e.size() != 3)
                throw Bad{where + ".defects: entry not [c,h,s]"};
            for (const auto& x : e) {
                if (!x.is_number_unsigned())
                    throw Bad{where + ".defects: not a number"};
            }
            DefectEntry de;
            de.cylinder = e[0].get<std::uint32_t>() & 0xFFFFFF;
            de.head = static_cast<std::uint8_t>(e[1].get<std::uint32_t>());
            de.sector = e[2].get<std::uint32_t>();
            d.defects.push_back(de);
        }
    }
    auto counters = Words(j, "errorCounters", 7, where);
    for (std::size_t i = 0; i < counters.size(); ++i)
        d.errorCounters[i] = counters[i];
    d.nonMediumErrors =
        static_cast<std::uint32_t>(Uint(j, "nonMediumErrors", 0, 0xFFFFFFFFu, where));
    if (const json* f = Field(j, "modeSelect")) {
        if (!f->is_string())
            throw Bad{where + ".modeSelect: not hex"};
        d.modeSelectData = Unhex(f->get<std::string>(), where + ".modeSelect");
    }
    if (const json* f = Field(j, "modePages")) {
        if (!f->is_object())
            throw Bad{where + ".modePages: not an object"};
        for (const auto& [key, value] : f->items()) {
            const auto code = Unhex(key, where + ".modePages");
            if (code.size() != 1 || !value.is_string())
                throw Bad{where + ".modePages: not a page code and its hex bytes"};
            auto page = Unhex(value.get<std::string>(), where + ".modePages." + key);
            if (page.size() < 2 || page[0] != code[0] || page[1] != page.size() - 2)
                throw Bad{where + ".modePages." + key + ": not that page"};
            d.modePages[code[0]] = std::move(page);
        }
    }
    d.unitAttention = Bool(j, "unitAttention", false, where);
    d.initFailNext = Bool(j, "initFailNext", false, where);
    d.data = BlocksFromJson(j, d.blocks, where);
    d.badBlocks = Words(j, "badBlocks", 256, where);
    for (auto b : d.badBlocks) {
        if (b >= d.blocks)
            throw Bad{where + ".badBlocks: past the last block"};
    }
    d.mediaErrors = MediaErrorsFromJson(j, d.blocks, where);
    auto uncorrected = Words(j, "uncorrectedErrors", 3, where);
    for (std::size_t i = 0; i < uncorrected.size(); ++i)
        d.uncorrectedErrors[i] = uncorrected[i];
    return d;
}

std::vector<std::uint8_t> Page(const json& j, const char* key, std::vector<std::uint8_t> def,
                               std::uint8_t code, std::size_t len, const std::string& where) {
    const json* f = Field(j, key);
    if (!f)
        return def;
    if (!f->is_string())
        throw Bad{where + "." + key + ": not hex"};
    auto v = Unhex(f->get<std::string>(), where + "." + key);
    if (v.size() != len || (v[0] & 0x3F) != code || v[1] != len - 2) {
        throw Bad{where + "." + key + ": not page " + std::to_string(code) + " of " +
                  std::to_string(len) + " bytes"};
    }
    return v;
}

}  // namespace

json ModelJson::ToJson(const WorldModel& world) {
    json root;
    root["timeScale"] = world.timeScale;
    json cabs = json::array();
    for (const auto& c : world.cabinets) {
        json jc;
        jc["serial"] = c.serial;
        jc["activeSlot"] = c.activeSlot;
        jc["state"] = c.state;
        jc["stateFlags"] = c.stateFlags;
        jc["rebuildNeeded"] = c.rebuildNeeded;
        jc["rebuildStopped"] = c.rebuildStopped;
        jc["stateBefore"] = c.stateBefore;
        jc["stateValues"] = c.stateValues;
        jc["hostSequence"] = c.hostSequence;
        jc["refuseCount"] = c.refuseCount;
        jc["refuseNumber"] = c.refuseNumber;
        jc["shortDriveList"] = c.shortDriveList;
        jc["attention"] = c.attention;
        json ctls = json::array();
        for (const auto& k : c.controllers) {
            json jk;
            jk["present"] = k.present;
            jk["failed"] = k.failed;
            jk["serial"] = k.serial;
            jk["formatLevel"] = k.formatLevel;
            jk["vendor"] = k.vendor;
            jk["productId"] = k.productId;
            jk["revision"] = k.revision;
            jk["firmwareRevision"] = k.firmwareRevision;
            jk["targetId"] = k.targetId;
            jk["statusValue"] = k.statusValue;
            jk["silentPages"] = k.silentPages;
            jk["dram"] = k.dram;
            jk["nvram"] = k.nvram;
            jk["battery"] = k.battery;
            jk["noCode"] = k.noCode;
            ctls.push_back(jk);
        }
        jc["controllers"] = ctls;
        json drives = json::array();
        for (int s = 0; s < kDriveSlots; ++s) {
            if (!c.drives[s].present)
                continue;
            json jd = DriveToJson(c.drives[s]);
            jd["slot"] = SlotName(s);
            drives.push_back(jd);
        }
        jc["drives"] = drives;
        json luns = json::array();
        for (int l = 0; l < kMaxLuns; ++l) {
            const LunModel& lun = c.luns[l];
            if (!lun.present)
                continue;
            luns.push_back({{"lun", l},
                            {"raidLevel", lun.raidLevel},
                            {"state", lun.state},
                            {"deleting", lun.deleting},
                            {"blocks", lun.blocks},
                            {"units", lun.units},
                            {"lostMembers", lun.lostMembers}});
            BlocksToJson(lun.data, luns.back());
        }
        jc["luns"] = luns;
        json missing = json::array();
        for (const auto& m : c.missing) {
            missing.push_back({{"slot", SlotName(m.slot)},
                               {"vendor", m.vendor},
                               {"driveId", m.driveId},
                               {"product", m.product},
                               {"serial", m.serial},
                               {"volumeSetId", m.volumeSetId},
                               {"blocks", m.blocks}});
        }
        jc["missing"] = missing;
        jc["page08"] = Hex(c.page08);
        jc["page21"] = Hex(c.page21);
        jc["page22"] = Hex(c.page22);
        jc["cabinetWords"] = c.cabinetWords;
        jc["cabinetExtra"] = c.cabinetExtra;
        jc["hardware1"] = c.hardware1;
        jc["hardware2"] = c.hardware2;
        json log = json::array();
        for (const auto& e : c.controllerLog)
            log.push_back(Hex(e));
        jc["controllerLog"] = log;
        jc["usage"] = c.usage;
        jc["alias"] = c.alias;
        jc["volumeSetId"] = c.volumeSetId;
        json ops = json::array();
        for (const auto& o : c.operations) {
            ops.push_back({{"kind", static_cast<int>(o.kind)},
                           {"target", o.target},
                           {"totalMs", o.totalMs},
                           {"remainingMs", o.remainingMs}});
        }
        jc["operations"] = ops;
        cabs.push_back(jc);
    }
    root["cabinets"] = cabs;
    json disks = json::array();
    for (const auto& d : world.plainDisks)
        disks.push_back(DriveToJson(d.drive));
    root["plainDisks"] = disks;
    json paths = json::array();
    for (const auto& p : world.paths) {
        paths.push_back({{"name", p.name},
                         {"cabinet", p.cabinet},
                         {"controller", p.controller == 0 ? "X" : "Y"},
                         {"plainDisk", p.plainDisk},
                         {"removed", p.removed},
                         {"address", {p.port, p.pathId, p.target, p.lun}}});
    }
    root["paths"] = paths;
    return root;
}

bool ModelJson::FromText(const std::string& text, WorldModel* world, std::string* error) {
    json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        *error = "not valid JSON";
        return false;
    }
    return FromJson(j, world, error);
}

bool ModelJson::FromJson(const json& root, WorldModel* out, std::string* error) {
    WorldModel w;
    try {
        if (!root.is_object())
            throw Bad{"top level: not an object"};
        if (const json* f = Field(root, "timeScale")) {
            if (!f->is_number() || !(f->get<double>() >= 0) || f->get<double>() > 1e6) {
                throw Bad{"timeScale: not a number from 0 (virtual time) to 1000000"};
            }
            w.timeScale = f->get<double>();
        }
        // As many cabinets as a full path list can reach, one path for each
        // of their two controllers.
        const json* cabs = Field(root, "cabinets");
        if (cabs && (!cabs->is_array() || cabs->size() > 32)) {
            throw Bad{"cabinets: not a list of at most 32"};
        }
        std::set<std::string> serials;
        for (std::size_t ci = 0; cabs && ci < cabs->size(); ++ci) {
            const json& jc = (*cabs)[ci];
            const std::string where = "cabinets[" + std::to_string(ci) + "]";
            if (!jc.is_object())
                throw Bad{where + ": not an object"};
            CabinetModel c;
            c.serial = Text(jc, "serial", "", 12, where);
            if (c.serial.size() != 12)
                throw Bad{where + ".serial: not 12 characters"};
            if (!serials.insert(c.serial).second)
                throw Bad{where + ".serial: used twice"};
            c.activeSlot = static_cast<int>(Uint(jc, "activeSlot", 0, 1, where));
            const json* ctls = Field(jc, "controllers");
            if (ctls && (!ctls->is_array() || ctls->size() > 2)) {
                throw Bad{where + ".controllers: not a list of at most 2"};
            }
            for (std::size_t k = 0; k < 2; ++k) {
                ControllerModel& m = c.controllers[k];
                const std::string cw = where + ".controllers[" + std::to_string(k) + "]";
                m.serial = c.serial + (k == 0 ? "CX" : "CY") + "00";
                m.targetId = static_cast<std::uint8_t>(k);
                if (!ctls || k >= ctls->size()) {
                    if (ctls)
                        m.present = false;
                    continue;
                }
                const json& jk = (*ctls)[k];
                if (!jk.is_object())
                    throw Bad{cw + ": not an object"};
                m.present = Bool(jk, "present", true, cw);
                m.failed = Bool(jk, "failed", false, cw);
                m.serial = Text(jk, "serial", m.serial, 16, cw);
                if (m.serial.empty())
                    throw Bad{cw + ".serial: empty"};
                m.formatLevel = static_cast<std::uint8_t>(Uint(jk, "formatLevel", 3, 3, cw));
                m.vendor = Text(jk, "vendor", m.vendor, 8, cw);
                m.productId = Text(jk, "productId", m.productId, 16, cw);
                m.revision = Text(jk, "revision", m.revision, 4, cw);
                m.firmwareRevision = Text(jk, "firmwareRevision", m.firmwareRevision, 10, cw);
                m.targetId = static_cast<std::uint8_t>(Uint(jk, "targetId", k, 255, cw));
                m.statusValue = static_cast<std::uint8_t>(Uint(jk, "statusValue", 0, 255, cw));
                for (auto v : Words(jk, "silentPages", 64, cw)) {
                    m.silentPages.push_back(static_cast<int>(v & 0x1FF));
                }
                m.dram = Bytes(jk, "dram", {1}, 32, cw);
                m.nvram = Bytes(jk, "nvram", {1, 1}, 32, cw);
                m.battery = Bytes(jk, "battery", {1}, 32, cw);
                m.noCode = Bool(jk, "noCode", false, cw);
            }
            if (!c.controllers[0].present && !c.controllers[1].present) {
                throw Bad{where + ".controllers: none present"};
            }
            if (!c.controllers[c.activeSlot].present)
                c.activeSlot = 1 - c.activeSlot;
            if (c.controllers[0].serial == c.controllers[1].serial) {
                throw Bad{where + ".controllers: both have one serial"};
            }
            if (const json* f = Field(jc, "drives")) {
                if (!f->is_array() || f->size() > kDriveSlots)
                    throw Bad{where + ".drives: bad list"};
                for (std::size_t di = 0; di < f->size(); ++di) {
                    const std::string dw = where + ".drives[" + std::to_string(di) + "]";
                    int slot = SlotOf((*f)[di], dw);
                    if (c.drives[slot].present)
                        throw Bad{dw + ".slot: used twice"};
                    c.drives[slot] = DriveFromJson((*f)[di], dw);
                    if (c.drives[slot].serial.empty()) {
                        c.drives[slot].serial = c.serial.substr(6) + "D" + SlotName(slot) + "0";
                    }
                }
            }
            if (const json* f = Field(jc, "luns")) {
                if (!f->is_array() || f->size() > kMaxLuns)
                    throw Bad{where + ".luns: bad list"};
                for (std::size_t li = 0; li < f->size(); ++li) {
                    const json& jl = (*f)[li];
                    const std::string lw = where + ".luns[" + std::to_string(li) + "]";
                    if (!jl.is_object())
                        throw Bad{lw + ": not an object"};
                    int n = static_cast<int>(Uint(jl, "lun", li, kMaxLuns - 1, lw));
                    if (c.luns[n].present)
                        throw Bad{lw + ".lun: used twice"};
                    LunModel& l = c.luns[n];
                    l.present = true;
                    l.raidLevel = static_cast<std::uint8_t>(Uint(jl, "raidLevel", 5, 255, lw));
                    l.state = static_cast<std::uint8_t>(Uint(jl, "state", kLunReady, 5, lw));
                    if (l.state == 0)
                        throw Bad{lw + ".state: 0 is no LUN"};
                    l.deleting = Bool(jl, "deleting", false, lw);
                    l.blocks = static_cast<std::uint32_t>(Uint(jl, "blocks", 0, 0xFFFFFFFFu, lw));
                    l.units = static_cast<std::uint32_t>(
                        Uint(jl, "units", l.blocks / 1024, 0xFFFFFFFFu, lw));
                    if (l.blocks == 0)
                        l.blocks = l.units * 1024;
                    if (l.blocks == 0)
                        throw Bad{lw + ": no capacity"};
                    l.lostMembers = static_cast<std::uint8_t>(Uint(jl, "lostMembers", 0, 255, lw));
                    l.data = BlocksFromJson(jl, l.blocks, lw);
                }
            }
            if (const json* f = Field(jc, "missing")) {
                if (!f->is_array() || f->size() > kMaxMissingDrives) {
                    throw Bad{where + ".missing: not a list of at most 6"};
                }
                for (std::size_t mi = 0; mi < f->size(); ++mi) {
                    const std::string mw = where + ".missing[" + std::to_string(mi) + "]";
                    const json& jm = (*f)[mi];
                    if (!jm.is_object())
                        throw Bad{mw + ": not an object"};
                    MissingDrive m;
                    m.slot = static_cast<std::uint8_t>(SlotOf(jm, mw));
                    m.vendor = Text(jm, "vendor", "QDISK", 8, mw);
                    m.product = Text(jm, "product", "QD-9100", 16, mw);
                    m.driveId =
                        Text(jm, "driveId", (m.vendor + " " + m.product).substr(0, 16), 16, mw);
                    m.serial = Text(jm, "serial", "", 12, mw);
                    m.volumeSetId = Text(jm, "volumeSetId", std::string(16, 'F'), 16, mw);
                    m.blocks =
                        static_cast<std::uint32_t>(Uint(jm, "blocks", 2097152, 0xFFFFFFFFu, mw));
                    c.missing.push_back(m);
                }
            }
            c.page08 = Page(jc, "page08", DefaultPage08(), 0x08, 12, where);
            c.page21 = Page(jc, "page21",
                            DefaultPage21(c.controllers[0].targetId, c.controllers[1].targetId),
                            0x21, 14, where);
            c.page22 = Page(jc, "page22", DefaultPage22(), 0x22, 34, where);
            c.cabinetWords = Words(jc, "cabinetWords", 42, where);
            c.cabinetWords.resize(42, 0);
            c.cabinetExtra = Words(jc, "cabinetExtra", 15, where);
            c.cabinetExtra.resize(15, 0);
            c.hardware1 = Bytes(jc, "hardware1", {1, 1, 1, 1}, 64, where);
            c.hardware2 = Bytes(jc, "hardware2", {1, 1}, 64, where);
            if (const json* f = Field(jc, "controllerLog")) {
                if (!f->is_array() || f->size() > 1000)
                    throw Bad{where + ".controllerLog: bad list"};
                std::size_t total = 0;
                for (const auto& e : *f) {
                    if (!e.is_string())
                        throw Bad{where + ".controllerLog: entry not hex"};
                    auto v = Unhex(e.get<std::string>(), where + ".controllerLog");
                    const std::size_t want = v.empty() ? 0 : (v[0] == 0 ? 18 : v[0] == 1 ? 14 : 28);
                    total += v.size();
                    if (v.empty() || v[0] > 2 || v.size() != want) {
                        throw Bad{where + ".controllerLog: entry of a wrong kind or size"};
                    }
                    c.controllerLog.push_back(std::move(v));
                }
                if (total > CabinetRules::kMaxLogBytes) {
                    throw Bad{where + ".controllerLog: more than 4096 bytes"};
                }
            }
            auto usage = Words(jc, "usage", 4, where);
            for (std::size_t i = 0; i < usage.size(); ++i)
                c.usage[i] = usage[i];
            c.alias = Text(jc, "alias", "", 16, where);
            c.volumeSetId = Text(jc, "volumeSetId", std::string(16, 'F'), 16, where);
            c.volumeSetId.resize(16, ' ');
            c.rebuildNeeded = Bool(jc, "rebuildNeeded", false, where);
            c.rebuildStopped = Bool(jc, "rebuildStopped", false, where);
            auto flags = Bytes(jc, "stateFlags", {0, 0, 0}, 3, where);
            for (std::size_t i = 0; i < flags.size(); ++i)
                c.stateFlags[i] = flags[i];
            auto values = Bytes(jc, "stateValues", {}, 32, where);
            for (std::size_t i = 0; i < values.size(); ++i)
                c.stateValues[i] = values[i];
            c.stateBefore = static_cast<std::uint8_t>(Uint(jc, "stateBefore", 0, 255, where));
            c.hostSequence = static_cast<std::uint16_t>(Uint(jc, "hostSequence", 0, 0xFFFF, where));
            c.refuseCount = static_cast<std::uint32_t>(Uint(jc, "refuseCount", 0, 1000000, where));
            c.refuseNumber = static_cast<std::uint16_t>(Uint(jc, "refuseNumber", 0, 0xFFFF, where));
            c.shortDriveList = Bool(jc, "shortDriveList", false, where);
            c.attention = Bool(jc, "attention", false, where);
            if (const json* f = Field(jc, "operations")) {
                if (!f->is_array() || f->size() > 32)
                    throw Bad{where + ".operations: bad list"};
                for (const auto& jo : *f) {
                    if (!jo.is_object())
                        throw Bad{where + ".operations: not an object"};
                    LongOperation o;
                    o.kind = static_cast<OperationKind>(Uint(
                        jo, "kind", 0, int(OperationKind::kParityScan), where + ".operations"));
                    o.target = static_cast<int>(Uint(jo, "target", 0, 255, where + ".operations"));
                    o.totalMs = Uint(jo, "totalMs", 0, 1ull << 40, where + ".operations");
                    o.remainingMs = Uint(jo, "remainingMs", 0, o.totalMs, where + ".operations");
                    c.operations.push_back(o);
                }
            }
            c.state = static_cast<std::uint8_t>(Uint(jc, "state", 0, 255, where));
            // A scenario without a state gets the one its drives and LUNs imply.
            if (!Field(jc, "state"))
                CabinetRules::RecomputeState(c);
            w.cabinets.push_back(std::move(c));
        }
        if (const json* f = Field(root, "plainDisks")) {
            if (!f->is_array() || f->size() > 16)
                throw Bad{"plainDisks: bad list"};
            for (std::size_t i = 0; i < f->size(); ++i) {
                PlainDiskModel d;
                d.drive = DriveFromJson((*f)[i], "plainDisks[" + std::to_string(i) + "]");
                if (d.drive.serial.empty())
                    d.drive.serial = "PLAIN" + std::to_string(i);
                w.plainDisks.push_back(std::move(d));
            }
        }
        if (const json* f = Field(root, "paths")) {
            if (!f->is_array() || f->size() > 64)
                throw Bad{"paths: not a list of at most 64"};
            for (std::size_t i = 0; i < f->size(); ++i) {
                const json& jp = (*f)[i];
                const std::string pw = "paths[" + std::to_string(i) + "]";
                if (!jp.is_object())
                    throw Bad{pw + ": not an object"};
                PathModel p;
                p.name = Text(jp, "name", "", 24, pw);
                if (const json* c = Field(jp, "cabinet")) {
                    if (!c->is_number_integer())
                        throw Bad{pw + ".cabinet: not a number"};
                    p.cabinet = c->get<int>();
                }
                if (const json* c = Field(jp, "plainDisk")) {
                    if (!c->is_number_integer())
                        throw Bad{pw + ".plainDisk: not a number"};
                    p.plainDisk = c->get<int>();
                }
                std::string ctl = Text(jp, "controller", "X", 1, pw);
                if (ctl != "X" && ctl != "Y")
                    throw Bad{pw + ".controller: not X or Y"};
                p.controller = ctl == "X" ? 0 : 1;
                p.removed = Bool(jp, "removed", false, pw);
                auto addr = Bytes(jp, "address", {}, 4, pw);
                if (addr.size() == 4) {
                    p.port = addr[0];
                    p.pathId = addr[1];
                    p.target = addr[2];
                    p.lun = addr[3];
                }
                w.paths.push_back(p);
            }
        }
        if (!Field(root, "paths")) {
            // Without a path list every controller gets a STROVANE path and
            // every plain disk a PHYSICALDRIVE path, numbered in order.
            for (std::size_t c = 0; c < w.cabinets.size(); ++c) {
                for (int k = 0; k < 2; ++k) {
                    if (!w.cabinets[c].controllers[k].present)
                        continue;
                    PathModel p;
                    p.cabinet = static_cast<int>(c);
                    p.controller = k;
                    w.paths.push_back(p);
                }
            }
            for (std::size_t d = 0; d < w.plainDisks.size(); ++d) {
                PathModel p;
                p.plainDisk = static_cast<int>(d);
                w.paths.push_back(p);
            }
        }
    } catch (const Bad& b) {
        *error = b.what;
        return false;
    } catch (const std::exception& e) {
        *error = std::string("unreadable value: ") + e.what();
        return false;
    }
    if (!CheckPaths(&w, error))
        return false;
    *out = std::move(w);
    return true;
}

bool ModelJson::CheckPaths(WorldModel* w, std::string* error) {
    std::set<std::string> names;
    int nextArray = 0, nextDisk = 0;
    for (const auto& p : w->paths) {
        if (p.name.rfind("STROVANE", 0) == 0)
            ++nextArray;
        if (p.name.rfind("PHYSICALDRIVE", 0) == 0)
            ++nextDisk;
    }
    for (std::size_t i = 0; i < w->paths.size(); ++i) {
        PathModel& p = w->paths[i];
        const std::string pw = "paths[" + std::to_string(i) + "]";
        const bool disk = p.plainDisk >= 0;
        if (disk && p.plainDisk >= int(w->plainDisks.size())) {
            *error = pw + ".plainDisk: no such disk";
            return false;
        }
        if (!disk && (p.cabinet < 0 || p.cabinet >= int(w->cabinets.size()))) {
            *error = pw + ".cabinet: no such cabinet";
            return false;
        }
        if (disk)
            p.cabinet = -1;
        if (p.name.empty()) {
            p.name = disk ? "PHYSICALDRIVE" + std::to_string(nextDisk++)
                          : "STROVANE" + std::to_string(nextArray++);
        }
        auto numbered = [&](const std::string& prefix) {
            if (p.name.rfind(prefix, 0) != 0 || p.name.size() == prefix.size())
                return false;
            for (std::size_t k = prefix.size(); k < p.name.size(); ++k) {
                if (p.name[k] < '0' || p.name[k] > '9')
                    return false;
            }
            return p.name.size() - prefix.size() <= 3;
        };
        if (!numbered("STROVANE") && !numbered("PHYSICALDRIVE")) {
            *error = pw + ".name: not STROVANEn or PHYSICALDRIVEn";
            return false;
        }
        if (disk && !numbered("PHYSICALDRIVE")) {
            *error = pw + ".name: a plain disk is a PHYSICALDRIVE";
            return false;
        }
        if (!names.insert(p.name).second) {
            *error = pw + ".name: used twice";
            return false;
        }
        if (p.port == 0 && p.pathId == 0 && p.target == 0 && p.lun == 0) {
            p.port = static_cast<std::uint8_t>(disk ? 0 : 1 + p.cabinet);
            p.target = static_cast<std::uint8_t>(disk ? p.plainDisk : p.controller);
        }
    }
    return true;
}

}  // namespace sim
