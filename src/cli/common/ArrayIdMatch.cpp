#include "cli/common/ArrayIdMatch.h"

#include <string>

#include "cli/common/CliConfig.h"
#include "coresys/common/FieldText.h"

namespace {

constexpr std::size_t kSerialLength = 12;
constexpr int kAmbiguousSerialItem = 40;
constexpr int kAmbiguousNameItem = 41;

std::string_view UpToZero(std::string_view text) {
    const std::size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

}  // namespace

ArrayIdMatch MatchArrayId(std::string_view id, std::span<const ArrayIdEntry> entries) {
    ArrayIdMatch match;
    const std::string_view wanted = TrimTrailingBlanks(id);
    std::string serial(id.substr(0, kSerialLength));
    serial.resize(kSerialLength, ' ');
    // Every entry is looked at: the identifier may name one array by its
    // alias and another by its serial number, or two by one alias, and then
    // it names neither.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool byAlias =
            !wanted.empty() && TrimTrailingBlanks(UpToZero(entries[i].alias)) == wanted;
        const bool bySerial = entries[i].serial.substr(0, kSerialLength) == serial;
        if (!byAlias && !bySerial) {
            continue;
        }
        match.byAlias = match.byAlias || byAlias;
        if (match.result == ArrayIdResult::FOUND) {
            match.result = ArrayIdResult::AMBIGUOUS;
        } else if (match.result == ArrayIdResult::NOT_FOUND) {
            match.result = ArrayIdResult::FOUND;
            match.index = i;
        }
    }
    return match;
}

std::optional<std::size_t> FindArrayById(std::string_view id, std::span<const ArrayIdEntry> entries,
                                         std::ostream& out) {
    const ArrayIdMatch match = MatchArrayId(id, entries);
    switch (match.result) {
        case ArrayIdResult::FOUND:
            return match.index;
        case ArrayIdResult::AMBIGUOUS:
            out << CliText(kCliCommonSet, match.byAlias ? kAmbiguousNameItem : kAmbiguousSerialItem)
                << '\n';
            return std::nullopt;
        case ArrayIdResult::NOT_FOUND:
            break;
    }
    return std::nullopt;
}
