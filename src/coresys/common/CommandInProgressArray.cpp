#include "coresys/common/CommandInProgressArray.h"

#include <algorithm>

#include "coresys/common/WireWords.h"

void CommandInProgressArray::Encode(CodedBuff& buff) {
    const std::uint32_t count = Size();
    EncodeVal(buff, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        entries[i].Encode(buff);
    }
}

void CommandInProgressArray::Decode(CodedBuff& buff) {
    ClearList();
    const std::uint32_t count = WireWords::Read(buff);
    if (buff.Failed()) {
        return;
    }
    if (!buff.CanHold(count, CommandInProgress::kWireSize)) {
        buff.Fail();
        return;
    }
    std::vector<CommandInProgress> fresh(count);
    for (CommandInProgress& entry : fresh) {
        entry.Decode(buff);
    }
    if (buff.Failed()) {
        return;
    }
    // Each entry read goes to the head: the last one read is the head.
    std::reverse(fresh.begin(), fresh.end());
    entries = std::move(fresh);
}

void CommandInProgressArray::AddElement(const CommandInProgress& entry) {
    if (CommandInProgress* present = IsMember(entry)) {
        *present = entry;
        return;
    }
    entries.insert(entries.begin(), entry);
}

void CommandInProgressArray::RemoveElement(const CommandInProgress& entry) {
    auto it = std::find(entries.begin(), entries.end(), entry);
    if (it != entries.end()) {
        entries.erase(it);
    }
}

void CommandInProgressArray::RemoveDriveElement(unsigned char drive) {
    std::erase_if(entries,
                  [drive](const CommandInProgress& e) { return (e.drive & 0xFFu) == drive; });
}

CommandInProgress* CommandInProgressArray::IsMember(const CommandInProgress& entry) {
    auto it = std::find(entries.begin(), entries.end(), entry);
    return it != entries.end() ? &*it : nullptr;
}

CommandInProgress* CommandInProgressArray::operator[](unsigned short i) {
    return i < entries.size() ? &entries[i] : nullptr;
}

const CommandInProgress* CommandInProgressArray::operator[](unsigned short i) const {
    return i < entries.size() ? &entries[i] : nullptr;
}

unsigned short CommandInProgressArray::Size() const {
    return static_cast<unsigned short>(std::min<std::size_t>(entries.size(), kMaxEntries));
}
