// The logical drives of the Logical Drives page: the table read from the
// state, the size a new logical drive is created with, and the capacity
// text of the Create Logical Drive dialog.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class DiskArrayState;

namespace oru {

struct LunEntry {
    std::uint32_t number = 0;    // its place in the state's LUN list
    std::uint32_t capacity = 0;  // hundredths of a GB
};

struct LunTable {
    std::vector<LunEntry> present;
    std::vector<std::uint32_t> free;  // numbers of the absent entries
    std::uint32_t unallocated = 0;    // hundredths of a GB
    std::uint32_t largest = 0;        // the largest listed capacity (0: none)
    // The unallocated space exactly, for a drive that takes all of it.
    std::uint32_t unallocatedLastBlock = 0;
    std::uint32_t unallocatedBlockSize = 0;

    static LunTable FromState(const DiskArrayState& state);
};

// The size argument of CreateLUN (units of 2^19 bytes) for a drive of
// `hundredths` of a GB: the unallocated space's exact bytes / 2^19 when it
// takes all of it, else hundredths x 20.48; truncated, at most 2^32 - 1.
std::uint32_t CreateLunSize(std::uint32_t hundredths, const LunTable& table);

// The capacity field as typed: digits, one ".", at most two digits after
// it; every other character is dropped. `changed` tells whether anything
// was dropped.
struct CleanedText {
    QString text;
    bool changed = false;
};
CleanedText CleanCapacityText(const QString& typed);

// A cleaned capacity text in hundredths of a GB: the part before the "."
// (0 when the text starts with it) x 100 plus the first two digits after it
// (padded with 0). Empty when the number passes 2^32 - 1 hundredths.
std::optional<std::uint32_t> CapacityHundredths(const QString& text);

}  // namespace oru
