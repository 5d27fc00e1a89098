#include "cli/common/SwitchParsers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "coresys/common/DiskArrayState.h"

namespace {

constexpr std::int64_t kLargestValue = 2147483647;
constexpr std::size_t kLongestKeywordArgument = 19;
constexpr std::size_t kLongestRealText = 33;
constexpr std::int32_t kHighestExitLevel = 4;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// GetSwitchValue; `holder` is the argument that holds the value.
const char* SwitchValue(char** argv, int& index, int argc, const char** holder = nullptr) {
    const char* argument = argv[index];
    if (std::char_traits<char>::length(argument) > 2) {
        if (holder != nullptr) {
            *holder = argument;
        }
        return argument + 2;
    }
    if (index + 1 >= argc) {
        Usage::Exit();
    }
    ++index;
    if (holder != nullptr) {
        *holder = argv[index];
    }
    return argv[index];
}

// The text after the skipped leading zeros; the last character is kept.
std::string_view SkipLeadingZeros(std::string_view text) {
    std::size_t skip = 0;
    while (skip + 1 < text.size() && text[skip] == '0') {
        ++skip;
    }
    return text.substr(skip);
}

[[noreturn]] void BadNumber(std::string_view shown) {
    PrintProgramMessage(PM_NOT_A_NUMBER, PROG_NONE, std::cerr);
    std::cerr << " \"" << shown << "\"\n";
    Usage::Exit();
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* GetSwitchValue(char** argv, int& index, int argc) {
    return SwitchValue(argv, index, argc);
}

void ExitWithBadSwitch(const char* argument, int programIndex) {
    PrintProgramMessage(PM_BAD_SWITCH, programIndex, std::cerr);
    std::cerr << " \"" << argument << "\"\n";
    Usage::Exit();
}

void ExitOutOfRange(int programIndex) {
    PrintProgramMessage(PM_OUT_OF_RANGE, programIndex, std::cerr);
    std::cerr << '\n';
    Usage::Exit();
}

const char* CommandLineFrame(int argc, char** argv, int least, void (*help)()) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-?") == 0) {
            help();
            std::exit(CLI_EXIT_SUCCESS);
        }
    }
    if (argc - 1 < least) {
        Usage::Exit();
    }
    return argv[argc - 1];
}

void CheckArrayIdStart(const char* id) {
    const unsigned char first = static_cast<unsigned char>(id[0]);
    if (std::isalnum(first) == 0 && first != '.' && first != '/' && first != '~') {
        Usage::Exit();
    }
}

bool ParseDecimalText(std::string_view text, std::int32_t& value) {
    const std::string_view digits = SkipLeadingZeros(text);
    if (digits.empty()) {
        return false;
    }
    std::int64_t sum = 0;
    for (char c : digits) {
        if (!IsDigit(c)) {
            return false;
        }
        sum = sum * 10 + (c - '0');
        if (sum > kLargestValue) {
            return false;
        }
    }
    value = static_cast<std::int32_t>(sum);
    return true;
}

std::int32_t ParseDecimalArg(const char* text) {
    std::int32_t value = 0;
    if (!ParseDecimalText(text, value)) {
        BadNumber(SkipLeadingZeros(text));
    }
    return value;
}

std::int32_t GetNumericSwitchArg(char** argv, int& index, int argc) {
    return ParseDecimalArg(SwitchValue(argv, index, argc));
}

int ParseKeywordSwitchArg(char** argv, int& index, int argc, const char* first,
                          const char* second) {
    const char* holder = nullptr;
    const std::string_view value = SwitchValue(argv, index, argc, &holder);
    if (std::char_traits<char>::length(holder) > kLongestKeywordArgument) {
        Usage::Exit();
    }
    if (EqualsIgnoringCase(value, first)) {
        return 1;
    }
    if (EqualsIgnoringCase(value, second)) {
        return 0;
    }
    Usage::Exit();
}

void CheckSwitchLength(const char* switchText, int programIndex, std::size_t requiredLength) {
    if (std::char_traits<char>::length(switchText) != requiredLength) {
        ExitWithBadSwitch(switchText, programIndex);
    }
}

bool ParseDriveIdText(std::string_view text, std::int32_t& slot) {
    if (text.size() < 2) {
        return false;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter != 'A' && letter != 'B') {
        return false;
    }
    std::int32_t row = 0;
    if (!ParseDecimalText(text.substr(1), row)) {
        return false;
    }
    // In 64 bits: a row near the top of the range would overflow.
    const std::int64_t index = 2 * (static_cast<std::int64_t>(row) - 1) + (letter == 'B' ? 1 : 0);
    slot = index > kLargestValue ? static_cast<std::int32_t>(kLargestValue)
                                 : static_cast<std::int32_t>(index);
    return true;
}

std::int32_t ParseDriveIdSwitchArg(char** argv, int& index, int argc) {
    std::int32_t slot = 0;
    if (!ParseDriveIdText(SwitchValue(argv, index, argc), slot)) {
        Usage::Exit();
    }
    return slot;
}

bool IsDriveSlot(std::int32_t slot) {
    return slot >= 0 && static_cast<std::uint32_t>(slot) < DiskArrayState::kDriveSlots;
}

std::int32_t ParseSlotSwitchArg(char** argv, int& index, int argc, int programIndex) {
    const std::int32_t slot = ParseDriveIdSwitchArg(argv, index, argc);
    if (!IsDriveSlot(slot)) {
        ExitOutOfRange(programIndex);
    }
    return slot;
}

bool ParseRealText(std::string_view text, double& value) {
    std::size_t skip = 0;
    while (skip < text.size() && text[skip] == '0' &&
           !(skip + 1 < text.size() && text[skip + 1] == '.')) {
        ++skip;
    }
    std::string_view rest = text.substr(skip);
    const std::size_t point = rest.find('.');
    if (point != std::string_view::npos) {
        if (rest.find('.', point + 1) != std::string_view::npos) {
            return false;
        }
        while (rest.size() > point + 1 && rest.back() == '0') {
            rest.remove_suffix(1);
        }
    }
    if (rest.size() > kLongestRealText) {
        return false;
    }
    bool digit = false;
    for (char c : rest) {
        if (IsDigit(c)) {
            digit = true;
        } else if (c != '.') {
            return false;
        }
    }
    if (!digit) {
        // Zeros alone were all skipped: the value is zero.
        if (rest.empty() && !text.empty()) {
            value = 0.0;
            return true;
        }
        return false;
    }
    value = std::strtod(std::string(rest).c_str(), nullptr);
    return true;
}

double ParseRealSwitchArg(char** argv, int& index, int argc) {
    const char* text = SwitchValue(argv, index, argc);
    double value = 0.0;
    if (!ParseRealText(text, value)) {
        BadNumber(text);
    }
    return value;
}

std::int32_t GetExitLevelSwitchArg(char** argv, int& index, int argc, int programIndex) {
    const std::int32_t level = GetNumericSwitchArg(argv, index, argc);
    if (level < 0 || level > kHighestExitLevel) {
        ExitOutOfRange(programIndex);
    }
    return level;
}

void ExitWithLevel(std::int32_t exitLevel, int programIndex) {
    PrintProgramMessage(PM_EXIT_LEVEL, programIndex, std::cout);
    std::cout << '\n';
    std::cout.flush();
    std::exit(exitLevel);
}
