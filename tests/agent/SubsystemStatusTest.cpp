// The status number of a subsystem, folded from its gross status.
#include <gtest/gtest.h>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/GrossStatus.h"
#include "netmgmt/agent/SubsystemStatus.h"
#include "support/SoundArrayState.h"

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
    // g1 above 1: 10 for 9, 11 and above 13, else 4; nothing else counts.
    const std::pair<std::uint32_t, std::int32_t> kStates[] = {
        {2, 4},  {3, 4},   {4, 4},  {5, 4},  {6, 4},   {7, 4},   {8, 4},   {9, 10},
        {10, 4}, {11, 10}, {12, 4}, {13, 4}, {14, 10}, {15, 10}, {255, 10}};
    for (const auto& [state, status] : kStates) {
        EXPECT_EQ(SubsystemStatus(Gross({{1, state}})), status) << "g1 = " << state;
        // A state above 1 hides every other value.
        EXPECT_EQ(SubsystemStatus(Gross({{1, state}, {8, 1}, {20, 1}, {2, 1}})), status)
            << "g1 = " << state;
    }
}

TEST(SubsystemStatus, AHealthySubsystemIsTwo) {
    EXPECT_EQ(SubsystemStatus(Gross({})), 2);
    EXPECT_EQ(SubsystemStatus(Gross({{1, 1}})), 2);
}

// Every condition the status folds in, each alone on a valid subsystem
// whose state is 0 or 1, and what it makes of it.
TEST(SubsystemStatus, EachConditionFoldsInItsStatus) {
    struct Case {
        std::uint32_t g;
        std::int32_t status;
    };
    const Case kCases[] = {// Not ready: the start is 4 instead of 2.
                           {2, 4},
                           // Faults.
                           {8, 7},
                           {3, 7},
                           {10, 7},
                           {9, 7},
                           {11, 7},
                           {12, 7},
                           {13, 7},
                           {4, 7},
                           {18, 7},
                           // Needs attention.
                           {17, 3},
                           {19, 3},
                           {23, 3},
                           {24, 3},
                           {5, 3},
                           {16, 3},
                           {22, 3},
                           // Busy.
                           {20, 6},
                           {14, 6},
                           // Balancing and optimizing leave it good.
                           {25, 2},
                           {26, 2},
                           // Drive states 4 and 7 on a quiet subsystem need attention.
                           {31, 3},
                           {34, 3},
                           // Drive states 2, 5 and 6 leave it good.
                           {29, 2},
                           {32, 2},
                           {33, 2}};
    for (const std::uint32_t state : {0u, 1u}) {
        for (const Case& c : kCases) {
            EXPECT_EQ(SubsystemStatus(Gross({{1, state}, {c.g, 1}})), c.status)
                << "g" << c.g << " with g1 = " << state;
        }
    }
    // Conditions that are not folded in.
    for (const std::uint32_t g : {6u, 7u, 15u, 21u, 27u, 28u, 30u, 35u}) {
        EXPECT_EQ(SubsystemStatus(Gross({{g, 1}})), 2) << "g" << g;
    }
}

// Over a full state whose only fault is one drive in a failed state: the
// gross status the service sends counts that drive, and the subsystem's
// status says that it needs attention.
TEST(SubsystemStatus, ADriveThatOnlyFailedCountsInTheStatusOfTheState) {
    struct Case {
        std::uint32_t slot;
        std::uint32_t driveState;  // the drive's new state
        std::uint32_t g;           // the gross-status value that counts it
        std::uint32_t count;
        std::int32_t status;
    };
    const Case kCases[] = {
        {0, 0, 27, 6, 2},                    // nothing changed: good
        {1, 4, 31, 1, 3}, {6, 4, 31, 1, 3},  // the spare
        {1, 7, 34, 1, 3}, {1, 2, 29, 1, 2},  // not included: still good
    };
    for (const Case& c : kCases) {
        DiskArrayState state = testsupport::SoundArrayState();
        state.drives[c.slot].driveState = c.driveState;
        const GrossStatus gross(state);
        EXPECT_EQ(gross.G(c.g), c.count) << "slot " << c.slot << " in state " << c.driveState;
        EXPECT_EQ(SubsystemStatus(gross), c.status)
            << "slot " << c.slot << " in state " << c.driveState;
    }
}

TEST(SubsystemStatus, ValuesFoldInByPrecedence) {
    // 4 comes before 7, 7 before 3, 3 before 6 in the precedence list.
    EXPECT_EQ(SubsystemStatus(Gross({{2, 1}, {8, 1}})), 4);
    EXPECT_EQ(SubsystemStatus(Gross({{17, 1}, {8, 1}})), 7);
    EXPECT_EQ(SubsystemStatus(Gross({{20, 1}, {5, 1}})), 3);
    EXPECT_EQ(SubsystemStatus(Gross({{14, 1}, {25, 1}})), 6);
}

TEST(SubsystemStatus, DriveStatesCountOnlyOnAQuietSubsystem) {
    // Any of g3, g16, g2, g8 and g14 silences the drive states g31 and g34.
    for (const std::uint32_t drives : {31u, 34u}) {
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {3, 1}})), 7) << drives;
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {16, 1}})), 3) << drives;
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {2, 1}})), 4) << drives;
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {8, 1}})), 7) << drives;
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {14, 1}})), 6) << drives;
        // Another condition does not.
        EXPECT_EQ(SubsystemStatus(Gross({{drives, 1}, {20, 1}})), 3) << drives;
    }
}

}  // namespace
