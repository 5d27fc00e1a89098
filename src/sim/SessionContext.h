// What the controller keeps per open connection (per host handle): the
// drive command waiting for its data phase and the logical-unit changes the
// host has been told of. Two processes using one cabinet never see each
// other's exchange.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct PendingExchange {
    bool valid = false;
    std::uint8_t slot = 0;
    std::uint8_t lun = 0;
    std::uint8_t direction = 1;  // 1 none, 2 out, 3 in
    std::uint32_t length = 0;
    std::vector<std::uint8_t> cdb;
};

// Which change of a cabinet's logical-unit set this connection has heard of
// (LunSetAttention keeps the changes; cabinet -1 until the first command).
struct LunSetView {
    int cabinet = -1;
    std::uint64_t seen = 0;
};

struct SessionContext {
    PendingExchange pending;
    LunSetView lunSet;
};

}  // namespace sim
