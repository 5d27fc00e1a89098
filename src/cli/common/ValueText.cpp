#include "cli/common/ValueText.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/common/CliConfig.h"

namespace {

constexpr int kUnknownValueItem = 201;  // "%u" of an unknown state, level or mode
constexpr std::uint32_t kNoState = 999;

bool TopBitSet(char c) {
    return (static_cast<unsigned char>(c) & 0x80) != 0;
}

// A field handed over as a view may still hold its terminator and the bytes
// behind it; the text ends at the first zero.
std::string_view UpToZero(std::string_view text) {
    const std::size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

std::string_view TrimRight(std::string_view text) {
    text = UpToZero(text);
    while (!text.empty() && (text.back() == ' ' || TopBitSet(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string TrimLeft(std::string_view text) {
    text = UpToZero(text);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    std::string result;
    if (i < text.size() && TopBitSet(text[i])) {
        while (i < text.size() && TopBitSet(text[i])) {
            ++i;
        }
        result = ".";
    }
    result.append(text.substr(i));
    return result;
}

// The range of states each component type knows: fans, power supplies and
// controllers 1..5, batteries 1..3, memory modules 1..4.
std::uint32_t HighestState(std::uint32_t type) {
    switch (type) {
        case 0:
        case 1:
        case 2:
            return 5;
        case 3:
        case 8:
        case 9:
            return 3;
        default:
            return 4;
    }
}

}  // namespace

const char* ValueText::Put(std::string_view text) {
    const std::size_t n = text.size() < kBufferSize - 1 ? text.size() : kBufferSize - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return buffer;
}

const char* ValueText::Item(int item) {
    return GetCliCatalog().GetStringPrivateBufN(kCliTextSet, item, buffer, kBufferSize);
}

const char* ValueText::ItemWithValue(int item, std::uint32_t value) {
    return GetCliCatalog().GetStringPrivateBufN(kCliTextSet, item, buffer, kBufferSize, value);
}

const char* ValueText::FirstYesNo(std::int32_t flag) {
    return Item(flag != 0 ? 38 : 39);
}
const char* ValueText::SecondYesNo(std::int32_t flag) {
    return Item(flag != 0 ? 40 : 41);
}
const char* ValueText::ThirdYesNo(std::int32_t flag) {
    return Item(flag != 0 ? 188 : 189);
}

const char* ValueText::IdentityText(std::string_view field) {
    const std::string trimmed = TrimLeft(TrimRight(field));
    if (trimmed == "0") {
        return Item(192);
    }
    return Put(trimmed);
}

const char* ValueText::StateWord(std::uint32_t state) {
    if (state <= 8) {
        return Item(175 + static_cast<int>(state));
    }
    switch (state) {
        case 10:
            return Item(184);
        case 12:
            return Item(185);
        case 13:
            return Item(203);
        case 14:
            return Item(204);
        default:
            return ItemWithValue(186, state);
    }
}

const char* ValueText::FanName(std::uint32_t index) {
    return Put("F" + std::to_string(static_cast<std::uint64_t>(index) + 1));
}

const char* ValueText::PowerSupplyName(std::uint32_t index) {
    return Put("PS" + std::to_string(static_cast<std::uint64_t>(index) + 1));
}

const char* ValueText::DriveSlotName(std::uint32_t slot) {
    return Put((slot % 2 == 0 ? "A" : "B") + std::to_string(slot / 2 + 1));
}

const char* ValueText::ControllerName(std::uint32_t index) {
    return Put(index == 0 ? "X" : index == 1 ? "Y" : "?");
}

bool ValueText::ComponentStateInRange(std::uint32_t type, std::uint32_t state) {
    if (type > 9) {
        return true;
    }
    return state >= 1 && state <= HighestState(type);
}

const char* ValueText::ComponentState(std::uint32_t type, std::uint32_t state) {
    if (type > 9 || state == kNoState) {
        return Put("");
    }
    if (ComponentStateInRange(type, state)) {
        switch (type) {
            case 0:
            case 1:
            case 2:
                return Item(189 + static_cast<int>(state));
            case 3:
            case 8:
            case 9: {
                static constexpr int kLevelItems[] = {196, 197, 190};
                return Item(kLevelItems[state - 1]);
            }
            default: {
                static constexpr int kModuleItems[] = {190, 191, 192, 200};
                return Item(kModuleItems[state - 1]);
            }
        }
    }
    return ItemWithValue(kUnknownValueItem, state);
}

const char* ValueText::LevelWord(std::uint32_t level) {
    if (level >= 1 && level <= 4) {
        return Item(195 + static_cast<int>(level));
    }
    return ItemWithValue(kUnknownValueItem, level);
}

const char* ValueText::ModeWord(std::uint32_t mode) {
    if (mode <= 14) {
        return Item(205 + static_cast<int>(mode));
    }
    return ItemWithValue(kUnknownValueItem, mode);
}

const char* ValueText::FiveWayWord(std::uint32_t value) {
    return Item(value <= 4 ? 268 + static_cast<int>(value) : 273);
}

const char* ValueText::LeftTrim(std::string_view field) {
    return Put(TrimLeft(field));
}

const char* ValueText::RightTrim(std::string_view field) {
    return Put(TrimRight(field));
}

const char* ValueText::Trim(std::string_view field) {
    return Put(TrimLeft(TrimRight(field)));
}

const char* ValueText::RightAlign(std::string_view text, std::size_t width) {
    text = UpToZero(text);
    std::string result;
    if (text.size() < width) {
        result.assign(width - text.size(), ' ');
    }
    result.append(text);
    return Put(result);
}

const char* ValueText::GroupedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string result;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            result.push_back(',');
        }
        result.push_back(digits[i]);
    }
    return Put(result);
}
