// Shared pieces of the array-state tests: literal controller replies written
// from the layout tables of docs/controller-interface.md, a scripted
// controller pair served in-process, and a monitor twin that records what
// the state build and the preventive check ask of it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedDevice.h"
#include "SenseBytes.h"
#include "TempRoot.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"

namespace srvstatetest {

using scsitest::Answer;
using scsitest::Bytes;
using scsitest::Script;
using scsitest::SenseBytes;

// --- CDBs of the state build (LUN 0) ---
inline const Bytes kInquiryCdb = {0x12, 0x00, 0x00, 0x00, 0x24, 0x00};
inline const Bytes kIdentityCdb = {0x12, 0x01, 0xE0, 0x00, 0x1C, 0x00};
inline const Bytes kSerialCdb = {0x12, 0x01, 0x80, 0x00, 0x30, 0x00};
inline const Bytes kPage21Cdb = {0x5A, 0x08, 0x21, 0x00, 0x00, 0x00, 0x00, 0x00, 0x16, 0x00};
inline const Bytes kPage08Cdb = {0x5A, 0x08, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00};
inline const Bytes kPage22Cdb = {0x5A, 0x08, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x00};
inline const Bytes kStateCdb = {0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00};
inline const Bytes kCabinet244Cdb = {0xF2, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0xF4, 0x00};
inline const Bytes kCabinet184Cdb = {0xF2, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0xB8, 0x00};
inline const Bytes kVirtualCdb = {0x24, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kAliasCdb = {0xFC, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};
inline const Bytes kRequestSenseCdb = {0x03, 0x00, 0x00, 0x00, 0x1A, 0x00};

// The CDB of one read of a two-step list (0x22, 0x23, 0xEF).
inline Bytes TwoStepCdb(std::uint8_t opcode, std::uint8_t select, std::uint32_t allocation) {
    return {opcode,
            0x00,
            select,
            0x00,
            0x00,
            0x00,
            0x00,
            static_cast<std::uint8_t>(allocation >> 8),
            static_cast<std::uint8_t>(allocation),
            0x00};
}

inline void PutText(Bytes& b, std::size_t at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
}
inline void PutBe16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutBe16(b, at, v >> 16);
    PutBe16(b, at + 2, v & 0xFFFF);
}

// Standard INQUIRY, 36 bytes (3.1).
inline Bytes Inquiry(const std::string& vendor, const std::string& product,
                     const std::string& revision) {
    Bytes b(36, 0);
    b[2] = 2;
    b[3] = 2;
    b[4] = 31;
    PutText(b, 8, vendor, 8);
    PutText(b, 16, product, 16);
    PutText(b, 32, revision, 4);
    return b;
}

// Identity page 0xE0, first 28 bytes (3.2).
inline Bytes Identity(const std::string& code, const std::string& firmware) {
    Bytes b(28, 0);
    b[1] = 0xE0;
    b[3] = 64;
    PutText(b, 8, code, 10);
    PutText(b, 18, firmware, 10);
    return b;
}

// Unit serial page 0x80, 48 bytes (3.3).
inline Bytes Serial(bool active, const std::string& serial, const std::string& partner,
                    const std::string& backplane) {
    Bytes b(48, 0);
    b[1] = 0x80;
    b[2] = active ? 1 : 0;
    b[3] = 44;
    PutText(b, 4, serial, 16);
    PutText(b, 20, partner, 16);
    PutText(b, 36, backplane, 12);
    return b;
}

// A MODE SENSE(10) reply: 8-byte header, page code (PS set) and length, body.
inline Bytes ModePage(std::uint8_t code, std::uint8_t pageLength, const Bytes& body) {
    Bytes b(10 + pageLength, 0);
    PutBe16(b, 0, static_cast<std::uint32_t>(b.size() - 2));
    b[8] = static_cast<std::uint8_t>(code | 0x80);
    b[9] = pageLength;
    for (std::size_t i = 0; i < body.size() && i < pageLength; ++i) {
        b[10 + i] = body[i];
    }
    return b;
}

// A two-step list reply: BE16 L = 1 + n x S, S, the entries.
inline Bytes List(std::uint8_t entrySize, const std::vector<Bytes>& entries) {
    Bytes b(3, 0);
    PutBe16(b, 0, static_cast<std::uint32_t>(1 + entries.size() * entrySize));
    b[2] = entrySize;
    for (const Bytes& e : entries) {
        Bytes sized = e;
        sized.resize(entrySize, 0);
        b.insert(b.end(), sized.begin(), sized.end());
    }
    return b;
}

// A long drive-list entry (5.3, S = 88).
inline Bytes DriveEntry(std::uint8_t slot, const std::string& volumeSet, const std::string& id,
                        std::uint8_t state, std::uint8_t further, const std::string& product,
                        const std::string& revision, std::uint32_t blocks,
                        const std::string& serial, bool predictive) {
    Bytes e(88, 0);
    e[0] = slot;
    PutText(e, 1, volumeSet, 16);
    PutText(e, 17, id, 16);
    e[33] = state;
    e[34] = further;
    e[35] = 0;
    e[36] = 2;
    PutText(e, 43, product, 16);
    PutText(e, 59, revision, 4);
    PutBe32(e, 63, blocks);
    PutText(e, 67, serial, 12);
    PutBe16(e, 79, 1);
    PutBe16(e, 81, 2);
    PutBe16(e, 83, 3);
    PutBe16(e, 85, 4);
    e[87] = predictive ? 1 : 0;
    return e;
}

// Every reply one controller gives to the state build. The defaults are a
// ready level-3 controller X, active, of cabinet "CAB000000001".
struct ControllerReplies {
    Bytes inquiry = Inquiry("STROVANE", "QRVZX ARRAY", "0301");
    Bytes identity = Identity("QRVZX-4003", "F301.00.00");
    Bytes serial = Serial(true, "CTLX000000000001", "CTLY000000000001", "CAB000000001");
    Bytes page21;
    Bytes page08 = ModePage(0x08, 10, {0x05});
    Bytes page22;
    Bytes state = Bytes(32, 0);
    Bytes cabinet;
    Bytes driveList;
    Bytes lunTable;
    Bytes missing;
    Bytes rawPage;
    Bytes virtualCapacity;
    Bytes alias;
    // What every drive answers to a standard INQUIRY through the exchange.
    Bytes driveInquiry = Inquiry("QDISK", "QD-9100", "0102");

    // Serves every reply as a standing answer of script.
    void Install(Script& script) const;
};

inline void AnswerTwoStep(Script& script, std::uint8_t opcode, std::uint8_t select,
                          const Bytes& reply) {
    Answer head;
    head.dataIn.assign(reply.begin(), reply.begin() + (reply.size() < 2 ? reply.size() : 2));
    script.standing[TwoStepCdb(opcode, select, 2)] = head;
    if (reply.size() >= 2) {
        const std::uint32_t total = ((static_cast<std::uint32_t>(reply[0]) << 8) | reply[1]) + 2;
        Answer whole;
        whole.dataIn = reply;
        script.standing[TwoStepCdb(opcode, select, total)] = whole;
    }
}

inline void ControllerReplies::Install(Script& script) const {
    std::lock_guard<std::mutex> lock(script.mutex);
    auto answer = [&](const Bytes& cdb, const Bytes& data) {
        Answer a;
        a.dataIn = data;
        script.standing[cdb] = a;
    };
    answer(kInquiryCdb, inquiry);
    answer(kIdentityCdb, identity);
    answer(kSerialCdb, serial);
    answer(kPage21Cdb, page21);
    answer(kPage08Cdb, page08);
    answer(kPage22Cdb, page22);
    answer(kStateCdb, state);
    answer(kCabinet244Cdb, cabinet);
    answer(kCabinet184Cdb, Bytes(cabinet.begin(), cabinet.begin() + 184));
    answer(kVirtualCdb, virtualCapacity);
    answer(kAliasCdb, alias);
    answer(kRequestSenseCdb, SenseBytes(0, 0, 0));
    // The drive exchange of a standard INQUIRY (36 bytes in), for every slot.
    for (std::uint8_t slot = 0; slot < 12; ++slot) {
        script.standing[{0x27, 0x03, slot, 0x00, 0x06, 0x00, 0x00, 0x00, 0x24, 0x00}] = Answer{};
    }
    answer({0xF4, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, driveInquiry);
    AnswerTwoStep(script, 0x22, 0, driveList);
    AnswerTwoStep(script, 0x23, 0, lunTable);
    AnswerTwoStep(script, 0x23, 1, missing);
    AnswerTwoStep(script, 0xEF, 0, rawPage);
}

// Page 0x21 body (bytes 10..21) of the standard cabinet: state 0; byte 11
// bits 6, 4, 0; byte 12 bits 7, 6, 0; target ids X 7, Y 6; byte 15 0xA3;
// threshold 0x1234; progress 55; interval 0x0102; type id as given.
inline Bytes StandardPage21(std::uint8_t typeId) {
    return ModePage(0x21, 12,
                    {0x00, 0x51, 0xC1, 0x07, 0x06, 0xA3, 0x12, 0x34, 55, 0x01, 0x02, typeId});
}

// Page 0x22 body (bytes 10..41).
inline Bytes StandardPage22() {
    return ModePage(
        0x22, 32, {0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x0B, 0x04, 0x05, 0x59, 42, 7});
}

// Cabinet status, 244 bytes (5.7 page 3): RAID 1 blocks 0x00300000.
inline Bytes StandardCabinet() {
    Bytes b(244, 0);
    b[0] = 3;
    PutBe16(b, 1, 0x8000 | 241);
    PutBe32(b, 3, 0x00300000);
    PutBe32(b, 7, 1);
    b[171] = 12;
    b[172] = 1;
    b[175] = 1;
    b[183] = 2;
    PutBe32(b, 184, 77);
    return b;
}

// Raw page (5.6): every tag, plus an unknown tag 10 of length 3 in between.
inline Bytes StandardRawPage(std::uint8_t answeringSlot) {
    Bytes body = {answeringSlot,
                  0,
                  4,
                  1,
                  1,
                  2,
                  3,  // hardware first list
                  1,
                  2,
                  1,
                  2,  // hardware second list
                  10,
                  3,
                  9,
                  9,
                  9,  // unknown tag, skipped
                  2,
                  2,
                  1,
                  2,  // controller status X good, Y failed
                  3,
                  0,  // reserved
                  4,
                  1,
                  1,  // DRAM of X
                  5,
                  2,
                  1,
                  2,  // NVRAM of X
                  6,
                  1,
                  3,  // DRAM of Y
                  7,
                  2,
                  1,
                  1,  // NVRAM of Y
                  8,
                  1,
                  1,  // batteries of X
                  9,
                  1,
                  2};  // batteries of Y
    Bytes b(2 + body.size(), 0);
    PutBe16(b, 0, static_cast<std::uint32_t>(body.size()));
    std::copy(body.begin(), body.end(), b.begin() + 2);
    return b;
}

// The standard cabinet's controller X (active) or Y.
inline ControllerReplies StandardController(int slot) {
    ControllerReplies r;
    if (slot == 1) {
        r.inquiry = Inquiry("STROVANE", "QRVZX ARRAY", "0302");
        r.identity = Identity("QRVZX-4003", "F302.00.00");
        r.serial = Serial(false, "CTLY000000000001", "CTLX000000000001", "CAB000000001");
    }
    r.page21 = StandardPage21(slot == 0 ? 12 : 13);
    r.page22 = StandardPage22();
    r.state[1] = 0;   // ready
    r.state[10] = 1;  // value 4: battery low
    r.state[14] = 1;  // value 8
    r.state[30] = 1;  // value 24
    r.cabinet = StandardCabinet();
    r.driveList = List(88, {DriveEntry(0, "VOLSET-000000001", "QDISK QD-9100", 0, 0, "QD-9100",
                                       "0102", 2097152, "D1S00000000", false),
                            DriveEntry(3, "VOLSET-000000001", "QDISK QD-9200", 8, 1, "QD-9200",
                                       "0103", 4194304, "D1S03000000", false),
                            DriveEntry(11, "VOLSET-000000002", "QDISK QD-9300", 4, 2, "QD-9300",
                                       "0104", 0, "D1S11000000", true)});
    Bytes lun0 = {0, 1, 0x00, 0x08, 0x00, 0x00};
    Bytes lun2 = {2, 2, 0x00, 0x04, 0x00, 0x00};
    std::vector<Bytes> luns;
    for (std::uint8_t l = 0; l < 8; ++l) {
        luns.push_back(l == 0 ? lun0 : l == 2 ? lun2 : Bytes{l, 0, 0, 0, 0, 0});
    }
    r.lunTable = List(8, luns);
    Bytes gone(76, 0);
    gone[0] = 1;
    PutText(gone, 1, "QD-9100", 16);
    PutText(gone, 17, "QDISK QD-9100", 16);
    PutText(gone, 33, "D1S05000000", 12);
    PutText(gone, 45, "QDISK", 8);
    PutText(gone, 53, "VOLSET-000000001", 16);
    PutBe32(gone, 69, 2097152);
    r.missing = List(76, {gone});
    r.rawPage = StandardRawPage(static_cast<std::uint8_t>(slot));
    r.virtualCapacity = Bytes{0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    r.alias = Bytes(16, 0);
    std::memcpy(r.alias.data(), "ACCOUNTS", 8);
    return r;
}

// Makes cdb answer CHECK CONDITION with the given sense, every time.
inline void Refuse(Script& script, const Bytes& cdb, std::uint8_t key = 5,
                   std::uint8_t asc = 0x24) {
    std::lock_guard<std::mutex> lock(script.mutex);
    Answer a;
    a.status = 0x02;
    a.sense = SenseBytes(key, asc, 0);
    script.standing[cdb] = a;
}

// Number of times cdb went to the device.
inline std::size_t Sent(Script& script, const Bytes& cdb) {
    std::size_t n = 0;
    for (const Bytes& c : script.Opcodes()) {
        n += c == cdb ? 1 : 0;
    }
    return n;
}

// The monitor as the state build sees it.
class FakeMonitor : public ServerDiskArrayState::Source {
  public:
    StorSys* slot[2] = {nullptr, nullptr};
    int active = 0;
    std::string backplane = "CAB000000001";
    std::uint32_t sequence = 1;
    std::uint32_t suspended = 0;
    std::uint32_t diag[12] = {};
    int selects = 0;
    std::vector<std::string> notices;
    int invalidSets = 0;
    bool invalid = false;
    int compares = 0;
    int logReads = 0;
    std::vector<Bytes> written;

    int SelectActiveController() override {
        ++selects;
        return slot[active] != nullptr ? active : (slot[1 - active] != nullptr ? 1 - active : -1);
    }
    int ActiveController() const override { return active; }
    StorSys* Controller(int s) override { return s == 0 || s == 1 ? slot[s] : nullptr; }
    const char* BackplaneId() const override { return backplane.c_str(); }
    std::uint32_t SequenceFlag() const override { return sequence; }
    std::uint32_t LogSuspended() const override { return suspended; }
    std::uint32_t DriveDiagnosticState(std::uint32_t s) const override {
        return s < 12 ? diag[s] : 0;
    }
    void Notice(const char* text) override { notices.emplace_back(text); }
    void SetStateInvalid(bool value) override {
        ++invalidSets;
        invalid = value;
    }
    bool CompareStates(const ServerDiskArrayState&, ServerDiskArrayState&) override {
        ++compares;
        return false;
    }
    void ReadControllerLog() override { ++logReads; }
    void WriteLogRecord(const unsigned char* bytes, std::uint32_t length) override {
        written.emplace_back(bytes, bytes + length);
    }
};

// Two controller paths STROVANE0 (X) and STROVANE1 (Y) served from scripts,
// found by the scan and bound to StorSys objects.
class ControllerPair {
  public:
    std::shared_ptr<Script> x;
    std::shared_ptr<Script> y;
    std::unique_ptr<StorSys> storX;
    std::unique_ptr<StorSys> storY;

    // withY false: only STROVANE0 exists.
    explicit ControllerPair(bool withY = true) {
        x = scsitest::ServeController("STROVANE0", "CTLX000000000001", "CAB000000001");
        if (withY) {
            y = scsitest::ServeController("STROVANE1", "CTLY000000000001", "CAB000000001");
        }
        OpenArrayDevices(list_, result_);
        if (list_ != nullptr) {
            storX = std::make_unique<StorSys>(list_);
            if (withY && list_->next != nullptr) {
                storY = std::make_unique<StorSys>(list_->next);
            }
        }
    }
    ~ControllerPair() {
        storX.reset();
        storY.reset();
        CloseArrayDevices(list_);
    }
    ControllerPair(const ControllerPair&) = delete;
    ControllerPair& operator=(const ControllerPair&) = delete;

    void Bind(FakeMonitor& monitor) {
        monitor.slot[0] = storX.get();
        monitor.slot[1] = storY.get();
    }

  private:
    DeviceRecord* list_ = nullptr;
    ScsiResult result_;
};

}  // namespace srvstatetest
