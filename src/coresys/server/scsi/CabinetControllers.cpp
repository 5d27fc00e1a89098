#include "coresys/server/scsi/CabinetControllers.h"

#include <algorithm>

namespace {

// The page's fields are blank-padded (and may end in NULs).
std::string TrimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

bool ControllersOfOneCabinet(const std::vector<std::pair<std::string, std::string>>& controllers) {
    std::vector<std::pair<std::string, std::string>> distinct;  // serial, partner
    for (const auto& controller : controllers) {
        const std::string serial = TrimmedRight(controller.first);
        const bool seen =
            !serial.empty() && std::any_of(distinct.begin(), distinct.end(),
                                           [&](const auto& d) { return d.first == serial; });
        if (!seen) {
            distinct.emplace_back(serial, TrimmedRight(controller.second));
        }
    }
    if (distinct.size() != 2) {
        return distinct.size() < 2;
    }
    const auto& [first, firstPartner] = distinct[0];
    const auto& [second, secondPartner] = distinct[1];
    return (!second.empty() && firstPartner == second) ||
           (!first.empty() && secondPartner == first);
}
