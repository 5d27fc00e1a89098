#include "netmgmt/agent/TrapCatalog.h"

#include <iterator>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/Event.h"

namespace oruagent {

namespace {

// Catalog sets of the event texts by class.
constexpr int kSetSubsystemState = 15;
constexpr int kSetModeSubsystem = 20;
constexpr int kSetCache = 22;
constexpr int kSetCapacity = 24;
constexpr int kSetLun = 26;
constexpr int kSetDrive = 28;
constexpr int kSetMissing = 30;
constexpr int kSetHardware = 32;
constexpr int kSetSingleValue = 34;
constexpr int kSetProgress = 38;
constexpr int kSetSoftware = 42;
constexpr int kSetExtension = 10;

TrapKey Key(int set, int number) {
    TrapKey key;
    key.set = set;
    key.number = number;
    return key;
}

TrapKey Key(int set, int number, std::uint32_t value) {
    TrapKey key = Key(set, number);
    key.values.push_back(std::to_string(value));
    return key;
}

int Pick(std::uint32_t value, int whenSet, int whenClear) {
    return value != 0 ? whenSet : whenClear;
}

// A: even slots, B: odd ones; the row is slot / 2 + 1.
std::string SlotLabel(std::uint32_t slot) {
    if (slot >= DiskArrayState::kDriveSlots) {
        return "?";
    }
    std::string label(1, slot % 2 == 0 ? 'A' : 'B');
    label += static_cast<char>('1' + slot / 2);
    return label;
}

std::optional<TrapKey> SubsystemStateKey(const DiskArrayState& state, std::uint32_t minor) {
    if (minor >= SubsystemStateInfo::kValues) {
        return std::nullopt;
    }
    // Minor k reports value k + 1 of the record, values[k].
    const std::uint32_t value =
        state.subsystemState.has_value() ? state.subsystemState->values[minor] : 0;
    if (minor == SSS_SUBSYSTEM_STATE) {
        static constexpr int kStateText[] = {10, 11, 12, 13, 14, 15, 16, 17,
                                             18, 0,  20, 0,  22, 23, 24};
        if (value < std::size(kStateText) && kStateText[value] != 0) {
            return Key(kSetSubsystemState, kStateText[value]);
        }
        return Key(kSetSubsystemState, 39, value);
    }
    struct Pair {
        std::uint32_t minor;
        int whenSet;
        int whenClear;
    };
    static constexpr Pair kPairs[] = {
        {1, 40, 50},    {2, 60, 70},    {4, 90, 100},   {7, 130, 140},  {13, 200, 210},
        {15, 230, 231}, {16, 240, 241}, {17, 250, 251}, {19, 270, 271}, {20, 280, 281},
        {21, 290, 291}, {22, 300, 301}, {23, 310, 311},
    };
    for (const Pair& pair : kPairs) {
        if (pair.minor == minor) {
            return Key(kSetSubsystemState, Pick(value, pair.whenSet, pair.whenClear));
        }
    }
    struct Single {
        std::uint32_t minor;
        int number;
    };
    static constexpr Single kSingles[] = {
        {3, 80},   {5, 110},  {6, 120},  {8, 150},  {9, 160},
        {10, 170}, {11, 180}, {12, 190}, {14, 220}, {18, 260},
    };
    for (const Single& single : kSingles) {
        if (single.minor == minor) {
            return Key(kSetSubsystemState, single.number);
        }
    }
    return std::nullopt;
}

std::optional<TrapKey> ModeSubsystemKey(const DiskArrayState& state, std::uint32_t minor) {
    const ModeSubsystemPage page = state.modeSubsystem.value_or(ModeSubsystemPage{});
    // Each pair of texts is chosen by one value of the page.
    switch (minor) {
        case 0:
        case 1:
        case 2:
            return Key(kSetModeSubsystem, Pick(page.rebuild_in_progress, 30, 31));
        case 3:
        case 4:
            return Key(kSetModeSubsystem, Pick(page.auto_include, 50, 51));
        case 5:
            return Key(kSetModeSubsystem, Pick(page.log_full_warn, 60, 61));
        case 6:
            return Key(kSetModeSubsystem, Pick(page.value9, 70, 71));
        default:
            return std::nullopt;
    }
}

std::optional<TrapKey> DriveKey(const DiskArrayState& state, const Event& event) {
    const Physical_Drive* drive = state.Drive(event.data1);
    if (event.minorType == PHYS_STATE) {
        const std::uint32_t s = drive != nullptr ? drive->driveState : 0;
        // States 0..7 and 11..14 have a text each (10 + state); any other
        // state is named by its number.
        if (s <= 7 || (s >= 11 && s <= 14)) {
            return Key(kSetDrive, 10 + static_cast<int>(s));
        }
        return Key(kSetDrive, 49, s);
    }
    const bool identified = drive != nullptr && !drive->IdentityText1().empty();
    TrapKey key = Key(kSetDrive, identified ? 3 : 2);
    key.values.push_back(SlotLabel(event.data1));
    return key;
}

std::optional<TrapKey> HardwareKey(const DiskArrayState& state, const Event& event) {
    if (event.minorType != HW_LIST1 && event.minorType != HW_LIST2) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    if (state.hardware.has_value()) {
        const auto& list =
            event.minorType == HW_LIST1 ? state.hardware->values1 : state.hardware->values2;
        value = event.data1 < list.size() ? list[event.data1] : 0;
    }
    if (event.minorType == HW_LIST1) {
        return Key(kSetHardware, 9, value);
    }
    if (value >= 1 && value <= 3) {
        return Key(kSetHardware, 20 + static_cast<int>(value));
    }
    return Key(kSetHardware, 29, value);
}

std::optional<TrapKey> SoftwareKey(const Event& event) {
    switch (event.minorType) {
        case SSW_CONTROLLERS:
            return Key(kSetSoftware, 19);
        case SSW_DEVICE_NOTICE: {
            // The notice's own text never travels to a client.
            TrapKey key = Key(kSetSoftware, 250);
            key.values.push_back(std::string());
            return key;
        }
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
            return Key(kSetSoftware, 55 + static_cast<int>(event.minorType));
        case 10:
        case 11:
            return Key(kSetSoftware, 60 + static_cast<int>(event.minorType));
        case 12: {
            if (event.data2 == 0) {
                return Key(kSetSoftware, 80);
            }
            TrapKey key = Key(kSetSoftware, 99, event.data1);
            key.values.push_back(std::to_string(event.data2));
            return key;
        }
        case SSW_CONFIGURATION_CHANGED:
            return Key(kSetSoftware, 100);
        default:
            return std::nullopt;
    }
}

std::optional<TrapKey> ExtensionKey(const DiskArrayState& state, std::uint32_t minor) {
    const ModeExtensionPage page = state.modeExtension.value_or(ModeExtensionPage{});
    // Bytes 14-17, 18 bit 1, 18 bit 0, 20 and 21 bit 0 of the page are its
    // words 2, 4, 3, 6 and 14: numbers 19 (a count), 29 (a switch) and 39
    // (a level), each with the new value.
    switch (minor) {
        case 0:
            return Key(kSetExtension, 19, page.Value(2));
        case 1:
            return Key(kSetExtension, 29, page.Value(4));
        case 2:
            return Key(kSetExtension, 29, page.Value(3));
        case 3:
            return Key(kSetExtension, 39, page.Value(6));
        case 4:
            return Key(kSetExtension, 29, page.Value(14));
        default:
            return std::nullopt;
    }
}

std::optional<TrapKey> PairKey(int set, std::uint32_t minor) {
    if (minor > 1) {
        return std::nullopt;
    }
    return Key(set, static_cast<int>(minor) + 1);
}

}  // namespace

std::optional<TrapKey> TrapCatalogKey(const DiskArrayState& state, const Event& event) {
    switch (event.majorType) {
        case SSS:
            return SubsystemStateKey(state, event.minorType);
        case MSS:
            return ModeSubsystemKey(state, event.minorType);
        case MC:
            return PairKey(kSetCache, event.minorType);
        case CAP:
            return PairKey(kSetCapacity, event.minorType);
        case LUN_EVENT:
            return PairKey(kSetLun, event.minorType);
        case PHYS:
            return DriveKey(state, event);
        case MISS:
            if (event.minorType == MISS_PRESENT) {
                return std::nullopt;
            }
            return Key(kSetMissing, 1);
        case HW:
            return HardwareKey(state, event);
        case DAS_MISC:
            return Key(kSetSingleValue, 40);
        case CPRG:
            return PairKey(kSetProgress, event.minorType);
        case SSW:
            return SoftwareKey(event);
        case MEXT:
            return ExtensionKey(state, event.minorType);
        default:
            return std::nullopt;
    }
}

}  // namespace oruagent
