#include "cli/common/ReportController.h"

namespace {

constexpr std::uint32_t kNoExistingController = 3;

int Rank(std::uint32_t status) {
    switch (status) {
        case 1:
            return 100;
        case 2:
            return 90;
        case 5:
            return 80;
        case 4:
            return 70;
        default:
            return 60;
    }
}

}  // namespace

std::uint32_t PickReportController(const std::vector<ControllerInfo>& controllers) {
    std::uint32_t best = 0;
    int bestRank = -1;
    for (std::uint32_t i = 0; i < controllers.size(); ++i) {
        const int rank = Rank(controllers[i].controllerStatus);
        if (rank > bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

std::uint32_t FirstExistingController(const std::vector<ControllerInfo>& controllers) {
    for (std::uint32_t i = 0; i < controllers.size(); ++i) {
        if (controllers[i].controllerStatus != ControllerInfo::kStatusDoesNotExist) {
            return i;
        }
    }
    return kNoExistingController;
}
