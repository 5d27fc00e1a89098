// Literal reply bytes for the request-layer tests, written from the layout
// tables of the protocol (never produced by the library's encoders): 32-bit
// words big-endian, text fields at their full width.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "WireBytes.h"

namespace arraytest {

using clienttest::Be;
using clienttest::Field;

inline std::string Zeros(std::size_t words) {
    return std::string(4 * words, '\0');
}

// Header (length, version 4, kind, sequence, session id), status, body; the
// length is the real byte count rounded up to 4 with zero pad bytes.
inline std::string Reply(std::uint32_t kind, std::uint32_t sequence, std::uint32_t session,
                         std::uint32_t status, const std::string& body = "") {
    std::string bytes = Be(0) + Be(4) + Be(kind) + Be(sequence) + Be(session) + Be(status) + body;
    bytes.resize((bytes.size() + 3) & ~std::size_t{3}, '\0');
    return Be(static_cast<std::uint32_t>(bytes.size())) + bytes.substr(4);
}

// A session frame: type 0, length, the message.
inline std::string Frame(const std::string& message) {
    return Be(0) + Be(static_cast<std::uint32_t>(message.size())) + message;
}

// Error record: text (256), senseValid, source, errorClass, detail, oemSet,
// oemItem, extraLength, the extra bytes, errorCode, qualifier, moduleId.
inline std::string ErrorRecord(const std::string& text, std::uint32_t errorCode,
                               std::uint32_t qualifier, std::uint32_t moduleId,
                               const std::string& extra = "") {
    return Field(text, 256) + Be(0) + Be(11) + Be(7) + Be(12) + Be(13) + Be(14) +
           Be(static_cast<std::uint32_t>(extra.size())) + extra + Be(errorCode) + Be(qualifier) +
           Be(moduleId);
}

// One controller record: active, serial (17), paired serial (17), vendor
// (9), product id (17), product rev (5), fw rev (11), mfg code (11),
// backplane slot, target id, status, extra status, then the three counted
// lists (one battery, no DRAM, no NVRAM).
inline std::string ControllerRecord(std::uint32_t active, const std::string& serial,
                                    std::uint32_t battery) {
    return Be(active) + Field(serial, 17) + Field("", 17) + Field("STROVANE", 9) +
           Field("RAID", 17) + Field("0100", 5) + Field("3.10", 11) + Field("", 11) + Be(0) +
           Be(7) + Be(0) + Be(0) + Be(1) + Be(battery) + Be(0) + Be(0);
}

struct StateSpec {
    std::uint32_t subsystemState = 1;
    std::uint32_t writeCache = 1;
    // (status, blocks) per LUN; block size 512.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> luns;
    std::uint32_t validStateData = 1;
    std::string serial = "DASERIAL0001";
    std::string server = "statehost";
    std::string alias = "BIGARRAY";
};

// LUN piece: count, then (status, blocks, block size) each.
inline std::string LunList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& luns) {
    std::string bytes = Be(static_cast<std::uint32_t>(luns.size()));
    for (const auto& [status, blocks] : luns) {
        bytes += Be(status) + Be(blocks) + Be(512);
    }
    return bytes;
}

// A version-4 array state: one controller; the subsystem state record (24
// values); the mode subsystem page (27); the cache page (write, read); the
// extension page (16); raid-1 and virtual capacities; the LUNs; no drives, no
// missing drives; an empty hardware record; state values 1..7 (4 is
// validStateData); serial (13); server (17); array type; owns-lock; alias
// (13); three user parameters.
inline std::string StateBody(const StateSpec& s) {
    std::string b = Be(1) + ControllerRecord(1, "CTLX0001", 5);
    b += Be(s.subsystemState) + Zeros(23);
    b += Zeros(27);
    b += Be(s.writeCache) + Be(1);
    b += Zeros(16);
    b += Be(2000) + Be(512) + Be(1000) + Be(512);
    b += LunList(s.luns);
    b += Be(0) + Be(0);
    b += Be(0) + Be(0);
    b += Zeros(3) + Be(s.validStateData) + Zeros(3);
    b += Field(s.serial, 13) + Field(s.server, 17) + Be(0) + Be(0);
    b += Field(s.alias, 13) + Zeros(3);
    return b;
}

// The server state: no command results, then the commands in progress, each
// handle (sequence, session), code, drive, aux1, aux2.
struct Running {
    std::uint32_t sequence;
    std::uint32_t session;
    std::uint32_t code;
    std::uint32_t drive;
};
inline std::string ServerStateBody(const std::vector<Running>& running) {
    std::string b = Be(0) + Be(static_cast<std::uint32_t>(running.size()));
    for (const Running& r : running) {
        b += Be(r.sequence) + Be(r.session) + Be(r.code) + Be(r.drive) + Be(255) + Be(0);
    }
    return b;
}

// One event: major, minor, data1, data2, then its piece.
inline std::string EventBytes(std::uint32_t major, std::uint32_t minor, std::uint32_t d1,
                              std::uint32_t d2, const std::string& piece = "") {
    return Be(major) + Be(minor) + Be(d1) + Be(d2) + piece;
}

// A performance metric: id, window start and end, slots per value, value
// count, the values, scale, threshold, relop, metric word, extra words.
inline std::string MetricBytes(std::uint32_t id, const std::vector<std::uint32_t>& values) {
    std::string b =
        Be(id) + Be(1000) + Be(4600) + Be(4) + Be(static_cast<std::uint32_t>(values.size()));
    for (std::uint32_t v : values) {
        b += Be(v);
    }
    return b + Be(10) + Be(80) + Be(1) + Be(0) + Be(12) + Be(1);
}

// Performance recommendations: A, B, 16 recommendations, 17 metric checks,
// 13 conditions.
inline std::string PerfRecsBytes() {
    std::string b = Be(21) + Be(22);
    for (std::uint32_t i = 0; i < 16; ++i) {
        b += Be(100 + i);
    }
    for (std::uint32_t i = 0; i < 17; ++i) {
        b += Be(i % 2);
    }
    for (std::uint32_t i = 0; i < 13; ++i) {
        b += Be(200 + i);
    }
    return b;
}

}  // namespace arraytest
