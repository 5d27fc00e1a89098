#include "netmgmt/agent/TrapCatalog.h"

#include <iterator>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/Event.h"
#include "coresys/common/EventTextNumbers.h"

namespace oruagent {

namespace {

// The sets, pairs and numbers the event log and the traps share.
using namespace event_text;

// The traps' other catalog sets.
constexpr int kSetCache = 22;
constexpr int kSetCapacity = 24;
constexpr int kSetLun = 26;
constexpr int kSetMissing = 30;
constexpr int kSetProgress = 38;
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
        const int number = event_text::SubsystemStateText(value, Teller::kTrap);
        if (number != 0) {
            return Key(kSetSubsystemState, number);
        }
        return Key(kSetSubsystemState, event_text::kSubsystemStateByNumber, value);
    }
    if (const auto number = event_text::SubsystemStatePairText(minor, value)) {
        return Key(kSetSubsystemState, *number);
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
    // The traps' minors 0 to 2 tell the pair of the event log's minor 2, 3
    // and 4 that of its minor 4; 5 and 6 are the log's own. Other minors
    // make no trap.
    static constexpr std::uint32_t kLogMinor[] = {2, 2, 2, 4, 4, 5, 6};
    if (minor >= std::size(kLogMinor)) {
        return std::nullopt;
    }
    const ModeSubsystemPage page = state.modeSubsystem.value_or(ModeSubsystemPage{});
    const auto number = event_text::ModeSubsystemPairText(kLogMinor[minor], page);
    if (!number) {
        return std::nullopt;
    }
    return Key(kSetModeSubsystem, *number);
}

std::optional<TrapKey> DriveKey(const DiskArrayState& state, const Event& event) {
    const Physical_Drive* drive = state.Drive(event.data1);
    if (event.minorType == PHYS_STATE) {
        const std::uint32_t s = drive != nullptr ? drive->driveState : 0;
        const int number = event_text::DriveStateText(s, Teller::kTrap);
        if (number != 0) {
            return Key(kSetDrive, number);
        }
        return Key(kSetDrive, event_text::kDriveStateByNumber, s);
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
        case SSW_DEVICE_NOTICE: {
            // The notice's own text never travels to a client.
            TrapKey key = Key(kSetSoftware, 250);
            key.values.push_back(std::string());
            return key;
        }
        case 12: {
            if (event.data2 == 0) {
                return Key(kSetSoftware, 80);
            }
            TrapKey key = Key(kSetSoftware, 99, event.data1);
            key.values.push_back(std::to_string(event.data2));
            return key;
        }
        default: {
            const int number = event_text::SoftwareText(event.minorType);
            if (number == 0) {
                return std::nullopt;
            }
            return Key(kSetSoftware, number);
        }
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
