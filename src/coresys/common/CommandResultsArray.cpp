#include "coresys/common/CommandResultsArray.h"

#include <algorithm>

#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/WireWords.h"

namespace {

std::uint32_t DriveOf(const CommandResults& entry) {
    const auto* diag = dynamic_cast<const DiagCommandResults*>(&entry);
    return diag != nullptr ? diag->drive : 255;
}

}  // namespace

CommandResultsArray::CommandResultsArray(const CommandResultsArray& other) : OruXdr(other) {
    entries.reserve(other.entries.size());
    for (const auto& entry : other.entries) {
        entries.push_back(entry->Clone());
    }
}

CommandResultsArray& CommandResultsArray::operator=(const CommandResultsArray& other) {
    if (this != &other) {
        CommandResultsArray copy(other);
        entries = std::move(copy.entries);
    }
    return *this;
}

void CommandResultsArray::Encode(CodedBuff& buff) {
    const std::uint32_t count = Size();
    EncodeVal(buff, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        EncodeVal(buff, static_cast<std::uint32_t>(entries[i]->type));
        entries[i]->Encode(buff);
    }
}

void CommandResultsArray::Decode(CodedBuff& buff) {
    ClearList();
    const std::uint32_t count = WireWords::Read(buff);
    if (buff.Failed()) {
        return;
    }
    // Every entry is at least its kind word and a plain result.
    if (!buff.CanHold(count, 4 + CommandResults::kMinWireSize)) {
        buff.Fail();
        return;
    }
    std::vector<std::unique_ptr<CommandResults>> fresh;
    fresh.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t kind = WireWords::Read(buff);
        std::unique_ptr<CommandResults> entry = CommandResults::Create(kind);
        // Nothing behind an entry of unknown kind can be found again, and an
        // entry whose own kind word disagrees is damaged: stop the message.
        if (buff.Failed() || entry == nullptr) {
            buff.Fail();
            return;
        }
        entry->Decode(buff);
        if (buff.Failed() || static_cast<std::uint32_t>(entry->type) != kind) {
            buff.Fail();
            return;
        }
        fresh.push_back(std::move(entry));
    }
    // Each entry read goes to the head: the last one read is the head.
    std::reverse(fresh.begin(), fresh.end());
    entries = std::move(fresh);
}

bool CommandResultsArray::IsEqual(const CommandResults& a, const CommandResults& b) {
    if (a.type != b.type || a.code != b.code) {
        return false;
    }
    return a.type != DIAG_COMMAND_RESULTS || DriveOf(a) == DriveOf(b);
}

void CommandResultsArray::AddElement(const CommandResults& entry) {
    if (CommandResults* present = IsMember(entry)) {
        present->Assign(entry);
        return;
    }
    // The stored entry is always of the class its kind word names, so that it
    // codes the fields its readers expect even when the caller handed in a
    // plain record carrying another kind.
    std::unique_ptr<CommandResults> copy = CommandResults::Create(entry.type);
    if (copy == nullptr) {
        return;
    }
    copy->Assign(entry);
    entries.insert(entries.begin(), std::move(copy));
}

void CommandResultsArray::RemoveElement(const CommandResults& entry) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&entry](const auto& e) { return IsEqual(*e, entry); });
    if (it != entries.end()) {
        entries.erase(it);
    }
}

CommandResults* CommandResultsArray::IsMember(const CommandResults& entry) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&entry](const auto& e) { return IsEqual(*e, entry); });
    return it != entries.end() ? it->get() : nullptr;
}

CommandResults* CommandResultsArray::operator[](unsigned short i) {
    return i < entries.size() ? entries[i].get() : nullptr;
}

const CommandResults* CommandResultsArray::operator[](unsigned short i) const {
    return i < entries.size() ? entries[i].get() : nullptr;
}

unsigned short CommandResultsArray::Size() const {
    return static_cast<unsigned short>(std::min<std::size_t>(entries.size(), kMaxEntries));
}
