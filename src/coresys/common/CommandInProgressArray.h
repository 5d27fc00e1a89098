// The commands a subsystem is still running, newest first.
//
// On the wire: the number of entries, then the entries from the head.
// Decoding puts each entry at the head, so a decoded list is in the reverse
// of the wire order and every coding round trip reverses it; peers rely on
// that order, so it is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/common/CommandInProgress.h"
#include "coresys/common/OruXdr.h"

class CommandInProgressArray : public OruXdr {
  public:
    // Entries the coding can count.
    static constexpr std::uint32_t kMaxEntries = 65535;

    // Writes at most kMaxEntries entries from the head.
    void Encode(CodedBuff& buff) override;
    // Reads a list; on short bytes or a count larger than the bytes left the
    // buffer is marked failed and the list is left empty.
    void Decode(CodedBuff& buff) override;

    // Overwrites the fields of an equal entry (keeping its place), else puts
    // a copy at the head.
    void AddElement(const CommandInProgress& entry);
    // Removes the first equal entry.
    void RemoveElement(const CommandInProgress& entry);
    // Removes every entry whose drive, in its low 8 bits, is drive.
    void RemoveDriveElement(unsigned char drive);
    // The equal entry, or nullptr.
    CommandInProgress* IsMember(const CommandInProgress& entry);
    // The i-th entry from the head, or nullptr.
    CommandInProgress* operator[](unsigned short i);
    const CommandInProgress* operator[](unsigned short i) const;
    unsigned short Size() const;
    void ClearList() { entries.clear(); }

  private:
    std::vector<CommandInProgress> entries;  // [0] is the head
};
