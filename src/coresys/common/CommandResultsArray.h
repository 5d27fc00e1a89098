// The results of finished commands of a subsystem, newest first, of the
// three kinds.
//
// On the wire: the number of entries, then for each entry from the head its
// kind word followed by the entry's own coding (which starts with the kind
// again). Decoding puts each entry at the head, so a decoded list is in the
// reverse of the wire order; peers rely on that order, so it is kept.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/common/CommandResults.h"
#include "coresys/common/OruXdr.h"

class CommandResultsArray : public OruXdr {
  public:
    static constexpr std::uint32_t kMaxEntries = 65535;

    CommandResultsArray() = default;
    CommandResultsArray(const CommandResultsArray& other);
    CommandResultsArray& operator=(const CommandResultsArray& other);
    CommandResultsArray(CommandResultsArray&&) = default;
    CommandResultsArray& operator=(CommandResultsArray&&) = default;
    ~CommandResultsArray() override = default;

    // Writes at most kMaxEntries entries from the head.
    void Encode(CodedBuff& buff) override;
    // Reads a list. An entry of an unknown kind ends the decode and marks the
    // buffer failed, since nothing after it can be found; so do short bytes
    // and a count larger than the bytes left. A failed decode leaves the list
    // empty.
    void Decode(CodedBuff& buff) override;

    // Overwrites the fields of an equal entry (keeping its place), else puts
    // a copy of the entry's own kind at the head; an unknown kind is ignored.
    void AddElement(const CommandResults& entry);
    // Removes the first equal entry.
    void RemoveElement(const CommandResults& entry);
    // The equal entry, or nullptr.
    CommandResults* IsMember(const CommandResults& entry);
    // Same kind and code, and for diagnostic results the same drive.
    static bool IsEqual(const CommandResults& a, const CommandResults& b);
    // The i-th entry from the head, or nullptr.
    CommandResults* operator[](unsigned short i);
    const CommandResults* operator[](unsigned short i) const;
    unsigned short Size() const;
    void ClearList() { entries.clear(); }

  private:
    std::vector<std::unique_ptr<CommandResults>> entries;  // [0] is the head
};
