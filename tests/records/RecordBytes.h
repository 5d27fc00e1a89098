// Golden byte vectors of the record layouts, written word by word from the
// layout tables, and the record values they stand for. Nothing here calls a
// record coder: the bytes are what a peer puts on the wire.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "coresys/common/CommandResultsArray.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/OruXdr.h"

using ByteVector = std::vector<unsigned char>;

// Appends big-endian words, fixed-width texts and raw bytes.
class Bytes {
  public:
    Bytes& Word(std::uint32_t value);
    // text, then zeros up to width bytes.
    Bytes& Text(std::string_view text, std::size_t width);
    Bytes& Raw(const ByteVector& raw);
    Bytes& Append(const Bytes& other) { return Raw(other.v); }
    const ByteVector& Get() const { return v; }
    std::size_t Size() const { return v.size(); }

  private:
    ByteVector v;
};

// A full subsystem state: 2 controllers, 8 LUNs, 12 drive slots, 6 missing
// drive entries; in version 4 or 3 layout.
ByteVector GoldenStateBytes(std::uint32_t version);
// The state GoldenStateBytes(4) stands for, filled field by field.
DiskArrayState GoldenState();

// Three results on the wire: plain (DeleteLUN), diagnostic (drive 3),
// performance.
ByteVector GoldenResultsBytes();
// The in-progress list: count 3, handles (1,7), (2,7), (3,7).
ByteVector GoldenInProgressBytes();

// An event list with pieces (version 4 or 3 layout) and the state it is
// applied to.
ByteVector GoldenEventBytes(std::uint32_t version);

// The error record of GoldenResultsBytes' first entry (a DeleteLUN result).
oruerr GoldenDeleteLunError();
// The server state those event pieces carry: one plain result (DeleteLUN,
// the error record of GoldenResultsBytes' first entry) and one
// verify of drive 4 in progress.
OruServerState GoldenServerState();
// One event of each remaining piece, coded from GoldenState() and
// GoldenServerState(): controller status, subsystem state (minor 0),
// capacity minor 0, missing drives, hardware, the miscellaneous minors 0,
// 1, 2 and 5, command result, status minor 0 (SSW) and extension page. The
// state's valid-state word and lock flag are set apart from each other for
// it (both are 1 in GoldenState).
inline constexpr std::uint32_t kPieceValidState = 22;
inline constexpr std::uint32_t kPieceOwnsLock = 21;
ByteVector GoldenPieceEventBytes(std::uint32_t version);

// A performance metric with 3 values: 56 bytes.
ByteVector GoldenPerfMetricBytes();
// The default recommendations record: 192 bytes.
ByteVector GoldenPerfRecsBytes();

// Encodes a record in the given version and returns the coded bytes.
ByteVector EncodeToBytes(OruXdr& record, std::uint32_t version);

// Decodes into record from an exactly sized copy of bytes (so that a read
// past the end is caught by the address checker); returns !Failed().
bool DecodeFromBytes(OruXdr& record, const ByteVector& bytes, std::uint32_t version);
