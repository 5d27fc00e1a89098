#include "sim/ModeSelectRules.h"

namespace sim {

namespace {

// Offsets within a stored page (the page code at 0): MODE SENSE reply
// offset minus the 8-byte header.
constexpr std::size_t kState21 = 2;             // reply byte 10: subsystem state
constexpr std::size_t kFlags21 = 3;             // reply byte 11 (bit 4: rebuild in progress)
constexpr std::size_t kTargetX21 = 5;           // reply byte 13
constexpr std::size_t kTargetY21 = 6;           // reply byte 14
constexpr std::size_t kRebuildProgress21 = 10;  // reply byte 18
constexpr std::size_t kTypeId21 = 13;           // reply byte 21
constexpr std::uint8_t kRebuildBit = 0x10;

constexpr std::size_t kOperation22 = 13;  // reply byte 21 (bit 0: long operation)
constexpr std::size_t kProgress22 = 14;   // reply byte 22

bool TargetIdValid(std::uint8_t id) {
    return id <= ModeSelectRules::kLargestTargetId || id == ModeSelectRules::kAnyTargetId;
}

// A byte the controller reports of itself: what the host sends is ignored.
void KeepByte(std::vector<std::uint8_t>& page, const std::vector<std::uint8_t>& stored,
              std::size_t at, std::uint8_t mask = 0xFF) {
    const std::uint8_t own = at < stored.size() ? stored[at] : 0;
    page[at] = static_cast<std::uint8_t>((page[at] & ~mask) | (own & mask));
}

}  // namespace

std::optional<SimReply> ModeSelectRules::Store(CabinetModel& cab, std::uint8_t page,
                                               std::vector<std::uint8_t> bytes) {
    bytes[0] = page;
    switch (page) {
        case 0x21: {
            const std::uint8_t x = bytes[kTargetX21];
            const std::uint8_t y = bytes[kTargetY21];
            // Two controllers on one bus cannot answer to one id.
            if (!TargetIdValid(x) || !TargetIdValid(y) || (x == y && x != kAnyTargetId)) {
                return CheckCondition(kKeyIllegalRequest, 0x26, 0x02);
            }
            KeepByte(bytes, cab.page21, kState21);
            KeepByte(bytes, cab.page21, kFlags21, kRebuildBit);
            KeepByte(bytes, cab.page21, kRebuildProgress21);
            KeepByte(bytes, cab.page21, kTypeId21);
            cab.page21 = std::move(bytes);
            break;
        }
        case 0x22:
            KeepByte(bytes, cab.page22, kOperation22, 0x01);
            KeepByte(bytes, cab.page22, kProgress22);
            cab.page22 = std::move(bytes);
            break;
        default:
            cab.page08 = std::move(bytes);
            break;
    }
    return std::nullopt;
}

}  // namespace sim
