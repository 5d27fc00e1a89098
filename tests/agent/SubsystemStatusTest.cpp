// The status number of a subsystem, folded from its gross status.
#include <gtest/gtest.h>

#include "coresys/common/GrossStatus.h"
#include "netmgmt/agent/SubsystemStatus.h"

namespace {

using oruagent::SubsystemStatus;
using oruagent::WorseStatus;

// A valid gross status (g36 = 1) with the given values set.
GrossStatus Gross(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> values) {
    GrossStatus g;
    g.values[35] = 1;
    for (const auto& [n, value] : values) {
        g.values[n - 1] = value;
    }
    return g;
}

TEST(WorseStatus, TheEarlierInThePrecedenceListWins) {
    EXPECT_EQ(WorseStatus(2, 7), 7);
    EXPECT_EQ(WorseStatus(7, 2), 7);
    EXPECT_EQ(WorseStatus(3, 10), 3);
    EXPECT_EQ(WorseStatus(4, 7), 4);
    EXPECT_EQ(WorseStatus(6, 2), 6);
    EXPECT_EQ(WorseStatus(5, 1), 5);
    // Neither is listed: the list's last entry.
    EXPECT_EQ(WorseStatus(8, 9), 1);
    // One is listed: that one.
    EXPECT_EQ(WorseStatus(8, 2), 2);
}

TEST(SubsystemStatus, WithoutValidStateTheStatusIsOne) {
    GrossStatus g;
    g.values[0] = 11;
    EXPECT_EQ(SubsystemStatus(g), 1);
    g.values[35] = 2;
    EXPECT_EQ(SubsystemStatus(g), 1);
}

TEST(SubsystemStatus, TheSubsystemStateDecidesFirst) {
    EXPECT_EQ(SubsystemStatus(Gross({{1, 5}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 2}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 13}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 9}})), 10);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 11}})), 10);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 14}})), 10);
    // A down state hides every other value.
    EXPECT_EQ(SubsystemStatus(Gross({{1, 11}, {8, 1}, {20, 1}})), 10);
}

TEST(SubsystemStatus, AHealthySubsystemIsTwo) {
    EXPECT_EQ(SubsystemStatus(Gross({})), 2);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 1}})), 2);
    // Balancing, optimizing and drive states 2, 5, 6 leave it good.
    EXPECT_EQ(SubsystemStatus(Gross({{25, 1}, {26, 1}, {29, 2}, {32, 1}, {33, 1}})), 2);
}

TEST(SubsystemStatus, ValuesFoldInByPrecedence) {
    EXPECT_EQ(SubsystemStatus(Gross({{2, 1}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{8, 1}})), 7);
    EXPECT_EQ(SubsystemStatus(Gross({{10, 1}})), 7);
    EXPECT_EQ(SubsystemStatus(Gross({{18, 1}})), 7);
    EXPECT_EQ(SubsystemStatus(Gross({{17, 1}})), 3);
    EXPECT_EQ(SubsystemStatus(Gross({{22, 1}})), 3);
    EXPECT_EQ(SubsystemStatus(Gross({{20, 1}})), 6);
    EXPECT_EQ(SubsystemStatus(Gross({{14, 1}})), 6);
    // 4 comes before 7, 7 before 3, 3 before 6 in the precedence list.
    EXPECT_EQ(SubsystemStatus(Gross({{2, 1}, {8, 1}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{17, 1}, {8, 1}})), 7);
    EXPECT_EQ(SubsystemStatus(Gross({{20, 1}, {5, 1}})), 3);
}

TEST(SubsystemStatus, DriveStatesCountOnlyOnAQuietSubsystem) {
    EXPECT_EQ(SubsystemStatus(Gross({{31, 1}})), 3);
    EXPECT_EQ(SubsystemStatus(Gross({{34, 2}})), 3);
    // A rebuild (g14) makes the subsystem busy, and the drive states then
    // say nothing more.
    EXPECT_EQ(SubsystemStatus(Gross({{31, 1}, {14, 1}})), 6);
    EXPECT_EQ(SubsystemStatus(Gross({{34, 1}, {16, 1}})), 3);
}

}  // namespace
