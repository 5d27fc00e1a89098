#include "cli/common/ControllerLogLines.h"

#include <cstdio>
#include <iterator>

#include "catalog/StringCatalog.h"

namespace cli {

namespace {

constexpr std::uint64_t kSetSize = 1000;

constexpr const char* kSlotNames[] = {"A1", "B1", "A2", "B2", "A3", "B3",
                                      "A4", "B4", "A5", "B5", "A6", "B6"};

// The text of a string id, or false when the catalog has none. The texts
// looked up this way take no arguments.
bool Lookup(StringCatalog& catalog, std::uint64_t id, std::string* text) {
    const std::uint64_t set = id / kSetSize;
    const std::uint64_t number = id % kSetSize;
    if (catalog.OpenResult() != 0 || number == 0 || set > 0x7FFFFFFF) {
        return false;
    }
    *text = catalog.GetStringCommonBuf(static_cast<int>(set), static_cast<int>(number));
    return catalog.CatGetStringErrno() == 0;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

void Line(std::string& out, const ControllerLogTexts& texts, int item, const std::string& value) {
    out += texts.Label(item);
    out += value;
    out += '\n';
}

void Line(std::string& out, const ControllerLogTexts& texts, int item, std::uint32_t value) {
    Line(out, texts, item, std::to_string(value));
}

}  // namespace

const std::string& ControllerLogTexts::FirmwareText(std::uint32_t code) const {
    auto [at, added] = firmwareTexts_.try_emplace(code);
    if (added && !Lookup(firmware_, std::uint64_t{code} + kFirmwareTextBase, &at->second)) {
        at->second = std::to_string(code);
    }
    return at->second;
}

const std::string& ControllerLogTexts::ClientText(std::uint32_t code) const {
    auto [at, added] = clientTexts_.try_emplace(code);
    if (added && !Lookup(console_, std::uint64_t{code} + kClientTextBase, &at->second)) {
        at->second = std::to_string(std::uint64_t{code} + 1);
    }
    return at->second;
}

const std::string& ControllerLogTexts::Label(int item) const {
    auto [at, added] = labels_.try_emplace(item);
    if (added) {
        at->second = console_.GetStringCommonBuf(kControllerLogSet, item);
    }
    return at->second;
}

void AppendDriveEventLines(std::string& out, const ControllerLogTexts& texts,
                           const ControllerLogHeader& header, std::uint32_t slot,
                           const std::uint32_t (&sense)[3], std::uint32_t lba) {
    Line(out, texts, 39, header.ticks);
    Line(out, texts, 40, header.eventCode);
    Line(out, texts, 41, texts.FirmwareText(header.eventCode));
    Line(out, texts, 42, header.count);
    Line(out, texts, 43, slot);
    Line(out, texts, 44, texts.ClientText(slot));
    Line(out, texts, 45, LogSlotName(slot));
    Line(out, texts, 46, Hex(sense[0]));
    Line(out, texts, 47, Hex(sense[1]));
    Line(out, texts, 48, Hex(sense[2]));
    out += ControllerLogTexts::kLbaLabel;
    out += std::to_string(lba);
    out += '\n';
}

void AppendControllerEventLines(std::string& out, const ControllerLogTexts& texts,
                                const ControllerLogHeader& header, std::uint32_t value,
                                std::uint32_t messageCode, const std::uint32_t (&data)[2]) {
    const bool hasData = data[0] != 0 || data[1] != 0;
    Line(out, texts, 50, header.ticks);
    if (hasData) {
        Line(out, texts, 51, header.eventCode);
    } else {
        Line(out, texts, 52, header.eventCode);
        Line(out, texts, 53, texts.FirmwareText(header.eventCode));
    }
    Line(out, texts, 54, header.count);
    Line(out, texts, 55, value);
    Line(out, texts, 56, messageCode);
    Line(out, texts, 57, texts.ClientText(messageCode));
    if (hasData) {
        Line(out, texts, 58, Hex(data[0]) + " " + Hex(data[1]));
    }
}

void AppendChangeEventLines(std::string& out, const ControllerLogTexts& texts,
                            const ControllerLogHeader& header, std::uint32_t messageCode) {
    Line(out, texts, 60, header.ticks);
    Line(out, texts, 61, header.eventCode);
    Line(out, texts, 62, texts.FirmwareText(header.eventCode));
    Line(out, texts, 63, header.count);
    Line(out, texts, 64, messageCode);
    Line(out, texts, 65, texts.ClientText(messageCode));
}

const char* LogSlotName(std::uint32_t slot) {
    return slot < std::size(kSlotNames) ? kSlotNames[slot] : "";
}

}  // namespace cli
