#include "sim/FaultTable.h"

namespace sim {

std::optional<FaultRule> FaultTable::Take(const std::string& path, std::uint8_t opcode) {
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->path != "*" && it->path != path)
            continue;
        if (it->opcode >= 0 && it->opcode != opcode)
            continue;
        FaultRule hit = *it;
        if (--it->count == 0)
            rules_.erase(it);
        return hit;
    }
    return std::nullopt;
}

}  // namespace sim
