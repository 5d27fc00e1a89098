// Which controller heads a report.
#include <vector>

#include <gtest/gtest.h>

#include "cli/common/ReportController.h"

namespace {

std::vector<ControllerInfo> WithStatuses(std::vector<std::uint32_t> statuses) {
    std::vector<ControllerInfo> controllers(statuses.size());
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        controllers[i].controllerStatus = statuses[i];
    }
    return controllers;
}

TEST(ReportController, BestStateWinsAndTheFirstOnATie) {
    EXPECT_EQ(PickReportController(WithStatuses({4, 1})), 1u);
    EXPECT_EQ(PickReportController(WithStatuses({2, 5})), 0u);
    EXPECT_EQ(PickReportController(WithStatuses({5, 2})), 1u);
    EXPECT_EQ(PickReportController(WithStatuses({6, 4})), 1u);
    EXPECT_EQ(PickReportController(WithStatuses({1, 1})), 0u);
    EXPECT_EQ(PickReportController(WithStatuses({3, 3})), 0u);
    EXPECT_EQ(PickReportController(WithStatuses({})), 0u);
}

TEST(ReportController, FirstExistingControllerOrThree) {
    EXPECT_EQ(FirstExistingController(WithStatuses({1, 2})), 0u);
    EXPECT_EQ(FirstExistingController(WithStatuses({3, 5})), 1u);
    EXPECT_EQ(FirstExistingController(WithStatuses({3, 3})), 3u);
    EXPECT_EQ(FirstExistingController(WithStatuses({})), 3u);
}

}  // namespace
