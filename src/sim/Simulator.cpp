#include "sim/Simulator.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "sim/ByteOrder.h"
#include "sim/CabinetRules.h"
#include "sim/ControlWords.h"
#include "sim/ControllerEngine.h"
#include "sim/DriveEngine.h"
#include "sim/DriveMedia.h"
#include "sim/FirmwareRules.h"
#include "sim/ModelJson.h"

namespace sim {

namespace {

bool ParseHexByte(const std::string& s, std::uint64_t* out) {
    std::string t = s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0 ? s.substr(2) : s;
    if (t.empty() || t.size() > 2)
        return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    *out = v;
    return true;
}

// A text made fit for a block file's name.
std::string PlainPart(const std::string& s) {
    std::string t;
    for (char c : s) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        t += plain ? c : '_';
    }
    return t.substr(0, 40);
}

// A drive's or unit's blocks, its medium's size and the name its block file
// gets when it has none: SERIAL-SLOT.blk, SERIAL-unitN.blk, diskN.blk.
struct StoreRef {
    BlockStore* store;
    std::uint32_t blocks;
    std::string base;
};

std::vector<StoreRef> Stores(WorldModel& w) {
    std::vector<StoreRef> v;
    for (std::size_t c = 0; c < w.cabinets.size(); ++c) {
        CabinetModel& cab = w.cabinets[c];
        const std::string serial =
            cab.serial.empty() ? "cabinet" + std::to_string(c) : PlainPart(cab.serial);
        for (int s = 0; s < kDriveSlots; ++s) {
            if (cab.drives[s].present)
                v.push_back(
                    {&cab.drives[s].data, cab.drives[s].blocks, serial + "-" + SlotName(s)});
        }
        for (int l = 0; l < kMaxLuns; ++l) {
            if (cab.luns[l].present)
                v.push_back(
                    {&cab.luns[l].data, cab.luns[l].blocks, serial + "-unit" + std::to_string(l)});
        }
    }
    for (std::size_t d = 0; d < w.plainDisks.size(); ++d) {
        v.push_back({&w.plainDisks[d].drive.data, w.plainDisks[d].drive.blocks,
                     "disk" + std::to_string(d)});
    }
    return v;
}

}  // namespace

Simulator::Simulator(WorldModel world, std::string stateFile)
    : world_(std::move(world)),
      stateFile_(std::move(stateFile)),
      lastRealMs_(platform::MonotonicMs()) {
    if (!stateFile_.empty()) {
        const std::filesystem::path dir = std::filesystem::path(stateFile_).parent_path();
        blocksDir_ = (dir.empty() ? std::filesystem::path("blocks") : dir / "blocks").string();
        // Blocks a scenario or a state file of the earlier form holds leave
        // memory at once; the state file names their files from its next save.
        BindBlocksLocked();
    }
}

int Simulator::BindBlocksLocked() {
    if (blocksDir_.empty())
        return 0;
    std::vector<StoreRef> stores = Stores(world_);
    // A file keeps its store; a name that two stores give goes to the bound
    // one (else the first), and the other gets a file of its own.
    std::set<std::string> used;
    std::vector<StoreRef*> unnamed;
    for (bool bound : {true, false}) {
        for (StoreRef& r : stores) {
            if (r.store->Bound() != bound)
                continue;
            const std::string& name = r.store->FileName();
            if (name.empty() || !used.insert(name).second)
                unnamed.push_back(&r);
        }
    }
    for (StoreRef* r : unnamed) {
        std::string name;
        for (int k = 1;; ++k) {
            name = r->base + (k == 1 ? std::string() : "-" + std::to_string(k)) + ".blk";
            if (used.insert(name).second)
                break;
        }
        // A file of that name belongs to no drive or unit of the world: it
        // is left from one that is gone, and the new store starts empty.
        ::unlink((blocksDir_ + "/" + name).c_str());
        r->store->SetFileName(name);
        if (r->store->Bound()) {
            BlockStore fresh;
            fresh.SetFileName(name);
            *r->store = std::move(fresh);
        }
    }
    int rc = 0;
    for (StoreRef& r : stores) {
        if (r.store->Bound())
            continue;
        const int e = r.store->Bind(blocksDir_, r.blocks);
        if (e != 0 && rc == 0)
            rc = e;
    }
    return rc;
}

void Simulator::RemoveStaleBlocksLocked() {
    std::set<std::string> used;
    for (const StoreRef& r : Stores(world_))
        used.insert(r.store->FileName());
    DIR* d = ::opendir(blocksDir_.c_str());
    if (!d)
        return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (BlockStore::PlainFileName(name) && !used.count(name))
            stale.push_back(name);
    }
    ::closedir(d);
    for (const std::string& name : stale)
        ::unlink((blocksDir_ + "/" + name).c_str());
}

PathModel* Simulator::FindPath(const std::string& name) {
    for (auto& p : world_.paths) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

const PathModel* Simulator::FindPath(const std::string& name) const {
    for (const auto& p : world_.paths) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

bool Simulator::PathOpen(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const PathModel* p = FindPath(path);
    return p && !p->removed;
}

bool Simulator::Address(const std::string& path, PathAddress* a) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const PathModel* p = FindPath(path);
    if (!p || p->removed)
        return false;
    a->port = p->port;
    a->pathId = p->pathId;
    a->target = p->target;
    a->lun = p->lun;
    return true;
}

std::vector<std::string> Simulator::PathNames(bool includeRemoved) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    for (const auto& p : world_.paths) {
        if (includeRemoved || !p.removed)
            names.push_back(p.name);
    }
    return names;
}

std::uint64_t Simulator::PathGeneration() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pathGeneration_;
}

WorldModel Simulator::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return world_;
}

std::string Simulator::Trace(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return trace_.Format(path);
}

void Simulator::Replace(WorldModel world) {
    std::lock_guard<std::mutex> lock(mutex_);
    world_ = std::move(world);
    faults_.Clear();
    ++pathGeneration_;
    SaveLocked();
}

int Simulator::Save() {
    std::lock_guard<std::mutex> lock(mutex_);
    return SaveLocked();
}

int Simulator::SaveLocked() {
    dataWaiting_ = false;
    if (stateFile_.empty())
        return 0;
    // A store that could not be bound keeps its blocks in memory, and the
    // state file holds them as hex until it can.
    BindBlocksLocked();
    const int rc = platform::WriteFileAtomic(stateFile_, ModelJson::ToJson(world_).dump(1) + "\n");
    if (rc == 0)
        RemoveStaleBlocksLocked();
    return rc;
}

void Simulator::AdvanceClockLocked() {
    const std::uint64_t now = platform::MonotonicMs();
    const std::uint64_t real = now - lastRealMs_;
    lastRealMs_ = now;
    // Time scale 0: the simulated clock is wholly virtual and moves only by
    // `advance`, so nothing depends on how fast the host machine runs.
    if (!(world_.timeScale > 0)) {
        return;
    }
    ticks_ += real / 10;
    carryMs_ += double(real) * world_.timeScale;
    const auto whole = static_cast<std::uint64_t>(carryMs_);
    carryMs_ -= double(whole);
    // Progress alone is saved with the next change. An operation that ended
    // changed what the array serves (a deleted unit is gone, a restarted
    // subsystem ready): a strovsim started again from the file must not
    // serve the operation as still running.
    bool ended = false;
    for (auto& c : world_.cabinets) {
        bool cabinetEnded = false;
        CabinetRules::Advance(c, whole, &cabinetEnded);
        ended |= cabinetEnded;
    }
    if (ended)
        SaveLocked();
}

void Simulator::Advance(std::uint64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    AdvanceClockLocked();
    if (AdvanceLocked(ms))
        SaveLocked();
}

bool Simulator::AdvanceLocked(std::uint64_t ms) {
    // On a virtual clock the controllers' log ticks go with it.
    if (!(world_.timeScale > 0))
        ticks_ += ms / 10;
    bool changed = false;
    for (auto& c : world_.cabinets)
        changed |= CabinetRules::Advance(c, ms);
    return changed;
}

SimReply Simulator::PlainDisk(PlainDiskModel& disk, const SimCommand& cmd, bool* changed) {
    // An ordinary disk knows no array identity page.
    if (cmd.cdb.size() >= 6 && cmd.cdb[0] == 0x12 && (cmd.cdb[1] & 1) && cmd.cdb[2] == 0xE0) {
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    }
    DriveEngine engine(disk.drive);
    return engine.Execute(cmd.cdb, cmd.dataOut, cmd.transferLength, changed);
}

SimReply Simulator::Execute(const std::string& path, SessionContext& session, const SimCommand& cmd,
                            std::uint64_t* delayMs) {
    if (delayMs)
        *delayMs = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    AdvanceClockLocked();
    SimReply reply;
    TraceEntry entry;
    entry.cdb = cmd.cdb;
    if (cmd.direction == SimDirection::kOut)
        entry.dataOut = CommandTrace::DataSummary(cmd.dataOut);
    PathModel* p = FindPath(path);
    const std::uint8_t op = cmd.cdb.empty() ? 0 : cmd.cdb[0];
    std::optional<FaultRule> fault;
    if (p && !p->removed)
        fault = faults_.Take(path, op);
    bool changed = false;
    if (!p || p->removed) {
        reply.systemError = ENODEV;
    } else if (fault && fault->kind == FaultKind::kSystemError) {
        reply.systemError = static_cast<int>(fault->value);
    } else if (fault && fault->kind == FaultKind::kBusy) {
        reply.status = kStatusBusy;
    } else if (fault && fault->kind == FaultKind::kCheck) {
        reply = CheckCondition(fault->key, fault->asc, fault->ascq);
    } else if (fault && fault->kind == FaultKind::kShort && cmd.direction == SimDirection::kOut &&
               fault->value < cmd.dataOut.size()) {
        // The device stopped taking data early and did nothing: the host
        // counts the transfer as short and sends the command again, which
        // must not find it half done.
        reply.bytesMoved = fault->value;
    } else if (p->plainDisk >= 0) {
        reply = PlainDisk(world_.plainDisks[p->plainDisk], cmd, &changed);
    } else {
        CabinetModel& cab = world_.cabinets[p->cabinet];
        ControllerModel& ctl = cab.controllers[p->controller];
        if (!ctl.present) {
            reply.systemError = ENODEV;
        } else if (ctl.failed) {
            reply.systemError = EIO;
        } else {
            if (auto attention = lunSetAttention_.Before(p->cabinet, cab, session, cmd)) {
                reply = std::move(*attention);
            } else {
                ControllerEngine engine(cab, p->controller, session,
                                        static_cast<std::uint32_t>(ticks_));
                reply = engine.Execute(cmd, &changed);
                lunSetAttention_.After(p->cabinet, cab, session);
            }
            cab.usage[0] += 1;
            if (reply.status == kStatusCheckCondition)
                cab.usage[3] += 1;
        }
    }
    // A data-out command that the device accepted took the whole transfer,
    // unless its engine reported taking fewer bytes.
    if (cmd.direction == SimDirection::kOut && reply.systemError == 0 &&
        reply.status == kStatusGood && reply.bytesMoved == 0) {
        reply.bytesMoved = static_cast<std::uint32_t>(cmd.dataOut.size());
    }
    if (fault && fault->kind == FaultKind::kShort && reply.systemError == 0) {
        if (reply.dataIn.size() > fault->value) {
            reply.dataIn.resize(fault->value);
            reply.bytesMoved = fault->value;
        }
        if (cmd.direction == SimDirection::kOut && reply.bytesMoved > fault->value)
            reply.bytesMoved = fault->value;
    }
    if (fault && fault->kind == FaultKind::kDelay && delayMs)
        *delayMs = fault->value;
    // Data-in never exceeds what the host's buffer holds.
    if (reply.dataIn.size() > cmd.transferLength) {
        reply.dataIn.resize(cmd.transferLength);
        reply.bytesMoved = cmd.transferLength;
    }
    if (cmd.direction != SimDirection::kIn) {
        reply.dataIn.clear();
        if (cmd.direction == SimDirection::kNone)
            reply.bytesMoved = 0;
    }
    entry.status = reply.status;
    entry.systemError = reply.systemError;
    trace_.Add(path, std::move(entry));
    if (changed) {
        // The host-sequence number moves with every heartbeat of every host;
        // writing the whole world for it would make a host's start-up cost
        // grow with the square of the cabinets. It is saved with the next
        // other change, or when the server stops. A drive command through
        // the exchange (its blocks are in the drive's block file already,
        // its counts in the world) is saved the same way, or once it has
        // waited kDataSaveDelayMs: a drive test sends chunk after chunk.
        if (op == 0xF3) {
            if (!dataWaiting_) {
                dataWaiting_ = true;
                dataSince_ = platform::MonotonicMs();
            }
        } else if (op != 0xEE) {
            SaveLocked();
        }
    }
    if (dataWaiting_ && platform::MonotonicMs() - dataSince_ >= kDataSaveDelayMs)
        SaveLocked();
    return reply;
}

bool Simulator::Control(const std::string& line, std::string* answer) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    std::lock_guard<std::mutex> lock(mutex_);
    AdvanceClockLocked();
    bool changed = false;
    answer->clear();
    if (words.empty()) {
        *answer = "empty request";
        return false;
    }
    bool ok = ControlLocked(words, answer, &changed);
    if (ok && changed) {
        int rc = SaveLocked();
        if (rc != 0) {
            *answer = "state file not written: errno " + std::to_string(rc);
            return false;
        }
    }
    return ok;
}

bool Simulator::ControlLocked(const std::vector<std::string>& w, std::string* answer,
                              bool* changed) {
    const std::string& verb = w[0];
    auto need = [&](std::size_t n, const char* usage) {
        if (w.size() != n) {
            *answer = std::string("usage: ") + usage;
            return false;
        }
        return true;
    };
    auto cabinet = [&](const std::string& ref, CabinetModel** out) {
        for (auto& c : world_.cabinets) {
            if (c.serial == ref) {
                *out = &c;
                return true;
            }
        }
        std::uint64_t n = 0;
        if (ParseNumber(ref, 1000, &n) && n < world_.cabinets.size()) {
            *out = &world_.cabinets[n];
            return true;
        }
        *answer = "no cabinet " + ref;
        return false;
    };
    auto slotOf = [&](const std::string& ref, int* slot) {
        if (SlotIndexOf(ref, slot))
            return true;
        *answer = "no drive slot " + ref + " (A1..B6 or 0..11)";
        return false;
    };
    auto controllerOf = [&](const std::string& ref, int* k) {
        if (ControllerIndexOf(ref, k))
            return true;
        *answer = "no controller " + ref + " (X or Y)";
        return false;
    };
    CabinetModel* cab = nullptr;
    int slot = 0, k = 0;
    std::uint64_t n = 0, m = 0;

    if (verb == "help") {
        *answer =
            "show | pull CAB SLOT | insert CAB SLOT [SERIAL] | fail-drive CAB SLOT\n"
            "fail-controller CAB X|Y | remove-controller CAB X|Y | restore-controller CAB X|Y\n"
            "remove-path NAME | add-path NAME | silence CAB X|Y PAGE | silence-op CAB X|Y OP\n"
            "unsilence CAB X|Y | refuse CAB X|Y COUNT NUMBER | log CAB CODE SLOT\n"
            "fault PATH|* OP|* COUNT busy|check KEY ASC ASCQ|short BYTES|syserr ERRNO|delay MS\n"
            "media-error CAB SLOT LBA [COUNT] [read|write|corrupt] | clear-media-errors CAB SLOT\n"
            "clear-faults | trace PATH | clear-trace PATH | advance MS | timescale FACTOR\n"
            "firmware CAB [show | interrupt | stall | release | revision X|Y REV | init-fail "
            "SLOT]\n";
        return true;
    }
    if (verb == "show") {
        std::ostringstream o;
        for (std::size_t i = 0; i < world_.cabinets.size(); ++i) {
            const CabinetModel& c = world_.cabinets[i];
            o << "cabinet " << i << " " << c.serial << " state " << int(c.state) << " active "
              << (c.activeSlot == 0 ? "X" : "Y") << " sequence " << c.hostSequence << " alias \""
              << c.alias << "\"\n";
            for (int j = 0; j < 2; ++j) {
                const ControllerModel& ctl = c.controllers[j];
                o << "  controller " << (j == 0 ? "X" : "Y") << " " << ctl.serial
                  << (ctl.present ? "" : " absent") << (ctl.failed ? " failed" : "") << " level "
                  << int(ctl.formatLevel) << "\n";
            }
            for (int s = 0; s < kDriveSlots; ++s) {
                const DriveModel& d = c.drives[s];
                if (!d.present)
                    continue;
                o << "  drive " << SlotName(s) << " " << d.serial << " state " << int(d.state)
                  << " blocks " << d.blocks << "\n";
            }
            for (int l = 0; l < kMaxLuns; ++l) {
                const LunModel& lun = c.luns[l];
                if (!lun.present)
                    continue;
                o << "  lun " << l << " raid " << int(lun.raidLevel) << " state " << int(lun.state)
                  << " blocks " << lun.blocks << "\n";
            }
            for (const auto& op : c.operations) {
                o << "  operation " << static_cast<int>(op.kind) << " target " << op.target
                  << " remaining " << op.remainingMs << " ms\n";
            }
        }
        for (const auto& p : world_.paths) {
            o << "path " << p.name << " -> ";
            if (p.plainDisk >= 0) {
                o << "plain disk " << p.plainDisk;
            } else {
                o << "cabinet " << p.cabinet << " controller " << (p.controller == 0 ? "X" : "Y");
            }
            o << (p.removed ? " removed" : "") << "\n";
        }
        *answer = o.str();
        return true;
    }
    if (verb == "pull" || verb == "fail-drive") {
        if (!need(3, "pull|fail-drive CAB SLOT") || !cabinet(w[1], &cab) || !slotOf(w[2], &slot)) {
            return false;
        }
        DriveModel& d = cab->drives[slot];
        if (!d.present) {
            *answer = "slot " + SlotName(slot) + " is empty";
            return false;
        }
        const bool member = d.state == kDriveMember || d.state == kDriveRebuilding;
        if (verb == "pull") {
            if (member && cab->missing.size() < kMaxMissingDrives) {
                cab->missing.push_back({static_cast<std::uint8_t>(slot), d.vendor, d.product,
                                        d.driveId, d.serial, d.volumeSetId, d.blocks});
            }
            d = DriveModel{};
            cab->attention = true;
            CabinetRules::LogDriveEvent(*cab, 104, slot, static_cast<std::uint32_t>(ticks_));
        } else {
            d.state = kDriveFailed;
            d.errorCounters[0] += 1;
            cab->attention = true;
            CabinetRules::LogDriveEvent(*cab, 102, slot, static_cast<std::uint32_t>(ticks_));
        }
        if (member)
            CabinetRules::MemberLost(*cab, slot);
        CabinetRules::RecomputeState(*cab);
        *changed = true;
        return true;
    }
    if (verb == "insert") {
        if ((w.size() != 3 && w.size() != 4) || !cabinet(w[1], &cab) || !slotOf(w[2], &slot)) {
            if (answer->empty())
                *answer = "usage: insert CAB SLOT [SERIAL]";
            return false;
        }
        DriveModel& d = cab->drives[slot];
        if (d.present) {
            *answer = "slot " + SlotName(slot) + " is not empty";
            return false;
        }
        d = StockDrive(
            kDriveNew,
            w.size() == 4 ? w[3].substr(0, 12) : cab->serial.substr(6) + "N" + SlotName(slot) + "0",
            std::string(), 2097152);
        cab->attention = true;
        // A drive that comes back is no longer missing.
        std::erase_if(cab->missing, [&](const MissingDrive& md) { return md.serial == d.serial; });
        CabinetRules::LogDriveEvent(*cab, 105, slot, static_cast<std::uint32_t>(ticks_));
        *changed = true;
        return true;
    }
    if (verb == "fail-controller" || verb == "remove-controller" || verb == "restore-controller") {
        if (!need(3, "fail-controller|remove-controller|restore-controller CAB X|Y") ||
            !cabinet(w[1], &cab) || !controllerOf(w[2], &k)) {
            return false;
        }
        ControllerModel& ctl = cab->controllers[k];
        if (verb == "restore-controller") {
            ctl.present = true;
            ctl.failed = false;
        } else {
            if (verb == "fail-controller")
                ctl.failed = true;
            if (verb == "remove-controller")
                ctl.present = false;
            const ControllerModel& other = cab->controllers[1 - k];
            if (cab->activeSlot == k && other.present && !other.failed)
                cab->activeSlot = 1 - k;
        }
        CabinetRules::RecomputeState(*cab);
        *changed = true;
        return true;
    }
    if (verb == "remove-path" || verb == "add-path") {
        if (!need(2, "remove-path|add-path NAME"))
            return false;
        PathModel* p = FindPath(w[1]);
        if (!p) {
            *answer = "no path " + w[1];
            return false;
        }
        p->removed = verb == "remove-path";
        ++pathGeneration_;
        *changed = true;
        return true;
    }
    if (verb == "silence" || verb == "silence-op" || verb == "unsilence") {
        if (verb == "unsilence") {
            if (!need(3, "unsilence CAB X|Y") || !cabinet(w[1], &cab) || !controllerOf(w[2], &k)) {
                return false;
            }
            cab->controllers[k].silentPages.clear();
        } else {
            if (!need(4, "silence|silence-op CAB X|Y HEX") || !cabinet(w[1], &cab) ||
                !controllerOf(w[2], &k)) {
                return false;
            }
            if (!ParseHexByte(w[3], &n)) {
                *answer = "not a hex page or opcode: " + w[3];
                return false;
            }
            cab->controllers[k].silentPages.push_back(
                static_cast<int>(verb == "silence-op" ? 0x100 + n : n));
        }
        *changed = true;
        return true;
    }
    if (verb == "refuse") {
        if (!need(5, "refuse CAB X|Y COUNT NUMBER") || !cabinet(w[1], &cab) ||
            !controllerOf(w[2], &k)) {
            return false;
        }
        if (!ParseNumber(w[3], 1000000, &n) || !ParseNumber(w[4], 0xFFFF, &m)) {
            *answer = "COUNT and NUMBER are numbers (NUMBER at most 65535)";
            return false;
        }
        (void)k;
        cab->refuseCount = static_cast<std::uint32_t>(n);
        cab->refuseNumber = static_cast<std::uint16_t>(m);
        *changed = true;
        return true;
    }
    if (verb == "log") {
        if (!need(4, "log CAB CODE SLOT") || !cabinet(w[1], &cab) || !slotOf(w[3], &slot)) {
            return false;
        }
        if (!ParseNumber(w[2], 0xFFFF, &n)) {
            *answer = "CODE is a number up to 65535";
            return false;
        }
        CabinetRules::LogDriveEvent(*cab, static_cast<std::uint16_t>(n), slot,
                                    static_cast<std::uint32_t>(ticks_));
        *changed = true;
        return true;
    }
    if (verb == "media-error" || verb == "clear-media-errors") {
        if (w.size() < 3 || !cabinet(w[1], &cab) || !slotOf(w[2], &slot)) {
            if (answer->empty())
                *answer = "usage: " + verb + " CAB SLOT ...";
            return false;
        }
        DriveModel& d = cab->drives[slot];
        if (!d.present) {
            *answer = "slot " + SlotName(slot) + " is empty";
            return false;
        }
        if (!DriveMedia::Control(d, verb, {w.begin() + 3, w.end()}, answer))
            return false;
        *changed = true;
        return true;
    }
    if (verb == "fault") {
        if (w.size() < 5) {
            *answer = "usage: fault PATH|* OP|* COUNT busy|check K A Q|short N|syserr E|delay MS";
            return false;
        }
        FaultRule r;
        r.path = w[1];
        if (r.path != "*" && !FindPath(r.path)) {
            *answer = "no path " + r.path;
            return false;
        }
        if (w[2] != "*") {
            if (!ParseHexByte(w[2], &n)) {
                *answer = "not a hex opcode: " + w[2];
                return false;
            }
            r.opcode = static_cast<int>(n);
        }
        if (!ParseNumber(w[3], 1000000, &n) || n == 0) {
            *answer = "COUNT is a number from 1";
            return false;
        }
        r.count = static_cast<std::uint32_t>(n);
        const std::string& kind = w[4];
        if (kind == "busy" && w.size() == 5) {
            r.kind = FaultKind::kBusy;
        } else if (kind == "check" && w.size() == 8) {
            std::uint64_t key = 0, asc = 0, ascq = 0;
            if (!ParseHexByte(w[5], &key) || key > 15 || !ParseHexByte(w[6], &asc) ||
                !ParseHexByte(w[7], &ascq)) {
                *answer = "check KEY ASC ASCQ are hex bytes (KEY 0..f)";
                return false;
            }
            r.kind = FaultKind::kCheck;
            r.key = static_cast<std::uint8_t>(key);
            r.asc = static_cast<std::uint8_t>(asc);
            r.ascq = static_cast<std::uint8_t>(ascq);
        } else if ((kind == "short" || kind == "syserr" || kind == "delay") && w.size() == 6) {
            if (!ParseNumber(w[5], kind == "delay" ? 600000 : 1u << 20, &n) ||
                (kind == "syserr" && (n == 0 || n > 4095))) {
                *answer = kind + " takes a number in range";
                return false;
            }
            r.kind = kind == "short"    ? FaultKind::kShort
                     : kind == "syserr" ? FaultKind::kSystemError
                                        : FaultKind::kDelay;
            r.value = static_cast<std::uint32_t>(n);
        } else {
            *answer = "unknown fault " + kind;
            return false;
        }
        faults_.Add(r);
        return true;
    }
    if (verb == "clear-faults") {
        faults_.Clear();
        return true;
    }
    if (verb == "trace" || verb == "clear-trace") {
        if (!need(2, "trace|clear-trace PATH"))
            return false;
        if (!FindPath(w[1])) {
            *answer = "no path " + w[1];
            return false;
        }
        if (verb == "trace") {
            *answer = trace_.Format(w[1]);
        } else {
            trace_.Clear(w[1]);
        }
        return true;
    }
    if (verb == "firmware") {
        if (w.size() < 2 || !cabinet(w[1], &cab)) {
            if (answer->empty())
                *answer = "usage: firmware CAB [what]";
            return false;
        }
        return FirmwareRules::Control(*cab, w, answer, changed);
    }
    if (verb == "advance") {
        if (!need(2, "advance MS") || !ParseNumber(w[1], 1ull << 40, &n)) {
            if (answer->empty())
                *answer = "MS is a number";
            return false;
        }
        *changed |= AdvanceLocked(n);
        return true;
    }
    if (verb == "timescale") {
        if (!need(2, "timescale FACTOR"))
            return false;
        char* end = nullptr;
        double f = std::strtod(w[1].c_str(), &end);
        if (*end != '\0' || !(f >= 0) || f > 1e6) {
            *answer = "FACTOR is a number from 0 (virtual time) up to 1000000";
            return false;
        }
        world_.timeScale = f;
        *changed = true;
        return true;
    }
    *answer = "unknown request " + verb + " (try help)";
    return false;
}

}  // namespace sim
