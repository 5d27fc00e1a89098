#include "coresys/common/EventTextNumbers.h"

#include <cstddef>

#include "coresys/common/EventTypes.h"
#include "coresys/common/ModeSubsystemPage.h"

namespace event_text {

namespace {

struct StateText {
    int number;     // 0: the state has no text of its own
    bool trapOnly;  // the event log names the state by its number
};

// Subsystem states 0 to 14.
constexpr StateText kSubsystemStates[] = {
    {10, false}, {11, true},  {12, false}, {13, false}, {14, false},
    {15, false}, {16, false}, {17, false}, {18, false}, {0, false},
    {20, false}, {0, false},  {22, true},  {23, true},  {24, true},
};

// Drive states 0 to 14.
constexpr StateText kDriveStates[] = {
    {10, false}, {11, true},  {12, true},  {13, true},  {14, false},
    {15, false}, {16, false}, {17, false}, {0, false},  {0, false},
    {0, false},  {21, false}, {22, false}, {23, false}, {24, false},
};

template <std::size_t N>
int StateNumber(const StateText (&table)[N], std::uint32_t value, Teller teller) {
    if (value >= N) {
        return 0;
    }
    const StateText& text = table[value];
    return text.trapOnly && teller == Teller::kEventLog ? 0 : text.number;
}

struct Pair {
    std::uint32_t minor;
    int whenSet;
    int whenClear;
};

constexpr Pair kSubsystemStatePairs[] = {
    {1, 40, 50},    {2, 60, 70},    {4, 90, 100},   {7, 130, 140},  {13, 200, 210},
    {15, 230, 231}, {16, 240, 241}, {17, 250, 251}, {19, 270, 271}, {20, 280, 281},
    {21, 290, 291}, {22, 300, 301}, {23, 310, 311},
};

struct PagePair {
    std::uint32_t minor;
    std::uint32_t ModeSubsystemPage::*value;
    int whenSet;
    int whenClear;
};

constexpr PagePair kModeSubsystemPairs[] = {
    {2, &ModeSubsystemPage::rebuild_in_progress, 30, 31},
    {4, &ModeSubsystemPage::auto_include, 50, 51},
    {5, &ModeSubsystemPage::log_full_warn, 60, 61},
    {6, &ModeSubsystemPage::value9, 70, 71},
};

}  // namespace

int SubsystemStateText(std::uint32_t value, Teller teller) {
    return StateNumber(kSubsystemStates, value, teller);
}

std::optional<int> SubsystemStatePairText(std::uint32_t minor, std::uint32_t value) {
    for (const Pair& pair : kSubsystemStatePairs) {
        if (pair.minor == minor) {
            return Pick(value, pair.whenSet, pair.whenClear);
        }
    }
    return std::nullopt;
}

std::optional<int> ModeSubsystemPairText(std::uint32_t minor, const ModeSubsystemPage& page) {
    for (const PagePair& pair : kModeSubsystemPairs) {
        if (pair.minor == minor) {
            return Pick(page.*pair.value, pair.whenSet, pair.whenClear);
        }
    }
    return std::nullopt;
}

int DriveStateText(std::uint32_t state, Teller teller) {
    return StateNumber(kDriveStates, state, teller);
}

int SoftwareText(std::uint32_t minor) {
    switch (minor) {
        case SSW_CONTROLLERS:
            return 19;
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
            return 55 + static_cast<int>(minor);
        case 10:
        case 11:
            return 60 + static_cast<int>(minor);
        case SSW_CONFIGURATION_CHANGED:
            return 100;
        default:
            return 0;
    }
}

}  // namespace event_text
