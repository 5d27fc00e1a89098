// What a controller does with a mode page that a host sends with MODE
// SELECT, once the command's framing (parameter length, page code, page
// length) has been checked: the values it refuses, the bytes it keeps as
// its own, and the page it stores. Nothing is stored when a value is
// refused, so a refusal never follows a change.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class ModeSelectRules {
  public:
    // SCSI target ids a controller address may take; 255 leaves the choice
    // to the controller.
    static constexpr std::uint8_t kLargestTargetId = 15;
    static constexpr std::uint8_t kAnyTargetId = 255;

    // page: the page code; bytes: the page from its page code on (page
    // length + 2 bytes). Stores the page into cab, or returns the refusal
    // (CHECK CONDITION 5/0x26/0x02, parameter value invalid) and leaves cab
    // as it was.
    static std::optional<SimReply> Store(CabinetModel& cab, std::uint8_t page,
                                         std::vector<std::uint8_t> bytes);
};

}  // namespace sim
