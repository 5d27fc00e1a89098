// Literal wire bytes for the client tests, written from the layout tables of
// the protocol (never produced by the library under test): 32-bit words
// big-endian, text fields at their full width, device addresses as the
// service host's raw little-endian image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clienttest {

inline std::string Be(std::uint32_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
}

inline std::string Le(std::uint32_t value) {
    return std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                       static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
}

// text padded with zero bytes to width (a text of exactly width bytes has no
// terminator, as a careless peer may send it).
inline std::string Field(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, '\0');
    return field;
}

// One Device_Addr image of 152 bytes: major, minor, 16 (major, minor) pairs,
// then 16 bytes that carry nothing (filled with `rest`).
inline std::string DeviceImage(std::uint32_t major, std::uint32_t minor,
                               const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs,
                               char rest = '\0') {
    std::string image = Le(major) + Le(minor);
    for (std::size_t i = 0; i < 16; ++i) {
        if (i < pairs.size()) {
            image += Le(pairs[i].first) + Le(pairs[i].second);
        } else {
            image += Le(0) + Le(0);
        }
    }
    return image + std::string(16, rest);
}

struct ListRecord {
    std::string release = std::string("A.04.15\0", 8);
    std::string serverName;
    std::string serial;
    std::string alias;  // sent only for release 04
    std::uint32_t type = 0;
    std::string device0 = std::string(152, '\0');
    std::string device1 = std::string(152, '\0');
    std::uint32_t secureMethod = 0;
    std::string securePath;
};

// ssListRel 8, serverName 49, serialNumber 13, aliasName 13 (04 only),
// ssType word, deviceAddr 2 x 152, ssSecureMethod word, securePath 261.
inline std::string RecordBytes(const ListRecord& r) {
    std::string bytes = r.release;
    bytes += Field(r.serverName, 49);
    bytes += Field(r.serial, 13);
    if (r.release.compare(0, 4, "A.04") == 0) {
        bytes += Field(r.alias, 13);
    }
    bytes += Be(r.type);
    bytes += r.device0 + r.device1;
    bytes += Be(r.secureMethod);
    bytes += Field(r.securePath, 261);
    return bytes;
}

inline std::string ListAnswer(const std::vector<ListRecord>& records) {
    std::string bytes = Be(static_cast<std::uint32_t>(records.size()));
    for (const ListRecord& r : records) {
        bytes += RecordBytes(r);
    }
    return bytes;
}

// A bare reply (kind 1, status 0): length 24, version 4, kind, sequence,
// session id, status.
inline std::string BareReply(std::uint32_t sequence, std::uint32_t sessionId) {
    return Be(24) + Be(4) + Be(1) + Be(sequence) + Be(sessionId) + Be(0);
}

}  // namespace clienttest
