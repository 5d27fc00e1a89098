// Shared helpers of the simulator tests: a small scenario with known values,
// a one-call way to send a command block to a simulated path, and one to send
// it through an opened platform device.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/scsi/ScsiDevice.h"
#include "sim/CabinetRules.h"
#include "sim/ModelJson.h"
#include "sim/SessionContext.h"
#include "sim/SimScsi.h"
#include "sim/Simulator.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

// One cabinet CAB000000001 with controllers X (STROVANE0, active) and Y
// (STROVANE1), drives A1, B1, A2 (members, 4096 blocks) and a spare in B2,
// LUN 0 of 2048 blocks; a plain disk on PHYSICALDRIVE0.
inline const char* kScenario = R"({
  "cabinets": [{
    "serial": "CAB000000001",
    "alias": "FIRSTCAB",
    "volumeSetId": "VOLSET0000000001",
    "controllers": [
      {"serial": "CTRLX00000000001", "vendor": "STROVANE", "productId": "ARRAY CTL",
       "revision": "0301", "firmwareRevision": "FW01.02.03"},
      {"serial": "CTRLY00000000001", "vendor": "STROVANE", "productId": "ARRAY CTL",
       "revision": "0301", "firmwareRevision": "FW01.02.03"}],
    "drives": [
      {"slot": "A1", "serial": "DRV000000001", "blocks": 4096, "volumeSetId": "VOLSET0000000001",
       "driveId": "QDISK QD-9100", "defects": [[70000, 3, 123456]]},
      {"slot": "B1", "serial": "DRV000000002", "blocks": 4096, "volumeSetId": "VOLSET0000000001",
       "driveId": "QDISK QD-9100", "badBlocks": [100]},
      {"slot": "A2", "serial": "DRV000000003", "blocks": 4096, "volumeSetId": "VOLSET0000000001",
       "driveId": "QDISK QD-9100"},
      {"slot": "B2", "serial": "DRV000000004", "blocks": 4096, "spare": true,
       "volumeSetId": "VOLSET0000000001", "driveId": "QDISK QD-9100"}],
    "luns": [{"lun": 0, "blocks": 2048}]
  }],
  "plainDisks": [{"serial": "PLAIN0000001", "vendor": "GENERIC", "product": "SYSTEM DISK",
                  "blocks": 8192}],
  "paths": [
    {"name": "PHYSICALDRIVE0", "plainDisk": 0},
    {"name": "STROVANE0", "cabinet": 0, "controller": "X"},
    {"name": "STROVANE1", "cabinet": 0, "controller": "Y"}]
})";

// The scenario on a virtual clock: simulated time passes only by Advance,
// so no test depends on how fast the machine runs it.
inline sim::WorldModel ScenarioWorld() {
    sim::WorldModel w;
    std::string error;
    if (!sim::ModelJson::FromText(kScenario, &w, &error))
        w = {};
    w.timeScale = 0;
    return w;
}

inline std::shared_ptr<sim::Simulator> MakeSim(const std::string& stateFile = "") {
    return std::make_shared<sim::Simulator>(ScenarioWorld(), stateFile);
}

// Sends one command; len is the host's transfer length (data-in buffer or
// data-out size).
inline sim::SimReply Send(sim::Simulator& s, const std::string& path, sim::SessionContext& session,
                          const Bytes& cdb, sim::SimDirection dir = sim::SimDirection::kNone,
                          std::uint32_t len = 0, const Bytes& out = {}) {
    sim::SimCommand c;
    c.cdb = cdb;
    c.direction = dir;
    c.transferLength =
        dir == sim::SimDirection::kOut ? static_cast<std::uint32_t>(out.size()) : len;
    c.dataOut = out;
    return s.Execute(path, session, c);
}

// Sends one command through a device the platform opened; data is the
// transfer buffer (data in or data out by dir), its size the transfer length.
inline platform::ScsiOutcome PassThrough(platform::ScsiDevice& dev, const Bytes& cdb,
                                         platform::ScsiDirection dir, Bytes& data) {
    platform::ScsiRequest r;
    std::copy(cdb.begin(), cdb.end(), r.cdb.begin());
    r.cdbLength = static_cast<std::uint8_t>(cdb.size());
    r.direction = dir;
    r.transferLength = static_cast<std::uint32_t>(data.size());
    r.data = data.empty() ? nullptr : data.data();
    r.timeoutSeconds = 10;
    platform::ScsiOutcome o;
    dev.PassThrough(r, o);
    return o;
}

// The 0x27 request block of a drive command: dir 1 none, 2 out, 3 in.
inline Bytes ExchangeRequestCdb(std::uint8_t dir, std::uint8_t slot, std::uint8_t innerLength,
                                std::uint32_t dataLength) {
    return {0x27,
            dir,
            slot,
            0,
            innerLength,
            static_cast<std::uint8_t>(dataLength >> 24),
            static_cast<std::uint8_t>(dataLength >> 16),
            static_cast<std::uint8_t>(dataLength >> 8),
            static_cast<std::uint8_t>(dataLength),
            0};
}

// WRITE BUFFER in the standard form: buffer id, BE24 offset, BE24 length.
inline Bytes WriteBufferCdb(std::uint8_t mode, std::uint8_t id, std::uint32_t offset,
                            std::uint32_t length) {
    return {0x3B,
            mode,
            id,
            static_cast<std::uint8_t>(offset >> 16),
            static_cast<std::uint8_t>(offset >> 8),
            static_cast<std::uint8_t>(offset),
            static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            0};
}

// The request half of a drive exchange (0x27): dir 1 none, 2 out, 3 in; len
// the data length; inner the drive's CDB.
inline sim::SimReply ExchangeRequest(sim::Simulator& s, sim::SessionContext& session,
                                     std::uint8_t dir, std::uint8_t slot, std::uint32_t len,
                                     const Bytes& inner, const std::string& path = "STROVANE0") {
    const Bytes cdb = ExchangeRequestCdb(dir, slot, static_cast<std::uint8_t>(inner.size()), len);
    return Send(s, path, session, cdb, sim::SimDirection::kOut, 0, inner);
}

// The data phase of a drive exchange: 0x29 (none), 0xF3 (out) or 0xF4 (in);
// the phase carries no length, the pending request's counts.
inline sim::SimReply ExchangeData(sim::Simulator& s, sim::SessionContext& session,
                                  std::uint8_t opcode, std::uint32_t len = 0, const Bytes& out = {},
                                  const std::string& path = "STROVANE0") {
    const sim::SimDirection dir = opcode == 0xF3   ? sim::SimDirection::kOut
                                  : opcode == 0xF4 ? sim::SimDirection::kIn
                                                   : sim::SimDirection::kNone;
    return Send(s, path, session, {opcode, 0, 0, 0, 0, 0, 0, 0, 0, 0}, dir, len, out);
}

inline Bytes Text(const std::string& t) {
    return Bytes(t.begin(), t.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes r;
    for (const auto& p : parts)
        r.insert(r.end(), p.begin(), p.end());
    return r;
}

inline Bytes Zeros(std::size_t n) {
    return Bytes(n, 0);
}

}  // namespace simtest
