#include "gui/DeviceStatus.h"

#include <gtest/gtest.h>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/GrossStatus.h"
#include "support/SoundArrayState.h"

namespace {

using oru::ArrayCapacity;
using oru::CapacityHundredthsGB;
using oru::EvaluateArrayStatus;
using oru::EvaluateGrossStatus;
using oru::EvaluateState;

// A valid gross-status record of an array in `state`, values set by their
// position (0-based, as decoded).
GrossStatus Gross(std::uint32_t state, std::initializer_list<std::uint32_t> setPositions = {}) {
    GrossStatus gross;
    gross.values[0] = state;
    for (std::uint32_t position : setPositions) {
        gross.values[position] = 1;
    }
    gross.values[35] = 1;
    return gross;
}

TEST(DeviceStatus, TheArrayStateNamesTheStatusOfAnArrayThatIsNotReady) {
    const auto shutDown = EvaluateArrayStatus(Gross(6));
    EXPECT_EQ(shutDown.value, 2);
    EXPECT_EQ(shutDown.text, "Not in use: Shut Down");
    EXPECT_EQ(EvaluateArrayStatus(Gross(2)).text, "Critical Error: Not Enough Drives");
    EXPECT_EQ(EvaluateArrayStatus(Gross(12)).text, "Warning: Code Mismatch");
    EXPECT_EQ(EvaluateArrayStatus(Gross(7)).value, 2);
    const auto odd = EvaluateArrayStatus(Gross(9));
    EXPECT_EQ(odd.value, 7);
    EXPECT_EQ(odd.text, "Critical Error: Unknown State (9)");
    // Only the state counts for an array that is not ready.
    EXPECT_EQ(EvaluateArrayStatus(Gross(5, {1, 2, 13})).text, "Not in use: Shutting Down");
}

TEST(DeviceStatus, ConditionsOfAReadyArrayAreListedInOrderAndRaiseTheValue) {
    EXPECT_EQ(EvaluateArrayStatus(Gross(0)).text, "Normal");
    EXPECT_EQ(EvaluateArrayStatus(Gross(0)).value, 3);
    EXPECT_EQ(EvaluateArrayStatus(Gross(1)).text, "Warning");

    const auto rebuilding = EvaluateArrayStatus(Gross(0, {13, 24}));
    EXPECT_EQ(rebuilding.value, 4);
    EXPECT_EQ(rebuilding.text, "Warning: Rebuilding, Balancing");

    const auto balancing = EvaluateArrayStatus(Gross(0, {24, 25}));
    EXPECT_EQ(balancing.value, 3);
    EXPECT_EQ(balancing.text, "Normal: Balancing, Optimizing");

    const auto worst = EvaluateArrayStatus(Gross(0, {2, 9, 11, 1}));
    EXPECT_EQ(worst.value, 7);
    EXPECT_EQ(worst.text,
              "Critical Error: Data Unavailable, Not Redundant, Controller Failed, "
              "Fan Failed");
    const auto major = EvaluateArrayStatus(Gross(1, {8}));
    EXPECT_EQ(major.value, 6);
    EXPECT_EQ(major.text, "Major Error: Controller Failed");
}

// A drive in state 4 or 7 is a "Failed Drive" unless one of the five
// conditions that explain it is reported; drives in states 2, 5 and 6 are
// "Unincluded Drive" whatever else is reported.
TEST(DeviceStatus, FailedDrivesCountOnlyWhenNothingElseExplainsThem) {
    constexpr std::uint32_t kNone = 0;
    struct Case {
        std::uint32_t driveState;  // one drive counted in this state
        std::uint32_t reported;    // a condition's position, or kNone
        const char* text;
    };
    const Case cases[] = {
        {4, kNone, "Warning: Failed Drive"},
        {7, kNone, "Warning: Failed Drive"},
        // The conditions that explain a failed drive.
        {4, 2, "Major Error: Not Redundant"},
        {7, 2, "Major Error: Not Redundant"},
        {4, 15, "Warning: Missing Drive"},
        {7, 15, "Warning: Missing Drive"},
        {4, 1, "Critical Error: Data Unavailable"},
        {7, 1, "Critical Error: Data Unavailable"},
        {4, 7, "Critical Error: Rebuild Failed"},
        {7, 7, "Critical Error: Rebuild Failed"},
        {4, 13, "Warning: Rebuilding"},
        {7, 13, "Warning: Rebuilding"},
        // Any other condition does not explain it.
        {4, 11, "Warning: Fan Failed, Failed Drive"},
        {7, 8, "Major Error: Controller Failed, Failed Drive"},
        {4, 24, "Warning: Balancing, Failed Drive"},
        // Drives in no failed state.
        {0, kNone, "Normal"},
        {1, kNone, "Normal"},
        {3, kNone, "Normal"},
        {2, kNone, "Normal: Unincluded Drive"},
        {5, kNone, "Normal: Unincluded Drive"},
        {6, kNone, "Normal: Unincluded Drive"},
        {6, 2, "Major Error: Not Redundant, Unincluded Drive"},
    };
    for (const Case& c : cases) {
        GrossStatus gross = c.reported == kNone ? Gross(0) : Gross(0, {c.reported});
        gross.values[26 + c.driveState] = 1;
        EXPECT_EQ(EvaluateArrayStatus(gross).text, c.text)
            << "drive state " << c.driveState << ", position " << c.reported << " reported";
    }
}

// Over a full state whose only fault is one drive in a failed state: the
// gross status counts that drive in its state, and the window's evaluation
// names it.
TEST(DeviceStatus, ADriveThatOnlyFailedCountsInTheStatusOfTheState) {
    struct Case {
        std::uint32_t slot;
        std::uint32_t driveState;  // the drive's new state
        std::uint32_t g;           // the gross-status value that counts it
        std::uint32_t count;       // ... and its count
        int value;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 27, 6, oru::DS_NORMAL, "Normal"},  // nothing changed
        {1, 4, 31, 1, oru::DS_WARNING, "Warning: Failed Drive"},
        {6, 4, 31, 1, oru::DS_WARNING, "Warning: Failed Drive"},  // the spare
        {1, 7, 34, 1, oru::DS_WARNING, "Warning: Failed Drive"},
        {1, 2, 29, 1, oru::DS_NORMAL, "Normal: Unincluded Drive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("slot " + std::to_string(c.slot) + " in state " +
                     std::to_string(c.driveState));
        DiskArrayState state = testsupport::SoundArrayState();
        state.drives[c.slot].driveState = c.driveState;
        const GrossStatus gross(state);
        EXPECT_EQ(gross.G(c.g), c.count);
        const oru::StatusEvaluation fromGross = EvaluateArrayStatus(gross);
        EXPECT_EQ(fromGross.value, c.value);
        EXPECT_EQ(fromGross.text, c.text);
        const oru::StatusEvaluation fromState = EvaluateState(state);
        EXPECT_EQ(fromState.value, c.value);
        EXPECT_EQ(fromState.text, c.text);
    }
}

TEST(DeviceStatus, AnInvalidRecordOrStateIsUnknown) {
    GrossStatus gross = Gross(0, {1});
    gross.values[35] = 0;
    EXPECT_EQ(EvaluateGrossStatus(gross).value, 10);
    EXPECT_EQ(EvaluateGrossStatus(gross).text, "Unknown");
    DiskArrayState state;
    EXPECT_EQ(EvaluateState(state).value, 10);
    EXPECT_EQ(oru::StatusName(1), "Empty slot");
    EXPECT_EQ(oru::StatusName(8), "Unknown");
}

TEST(DeviceStatus, TheFullStateAddsTheConditionsOnlyItCarries) {
    DiskArrayState state;
    state.stateValue4 = 1;  // valid
    state.subsystemState.emplace();
    state.subsystemState->values[19] = 1;  // value 20: code mismatch
    state.subsystemState->values[22] = 1;  // value 23: single controller
    const auto withMismatch = EvaluateState(state);
    EXPECT_EQ(withMismatch.value, 4);
    EXPECT_EQ(withMismatch.text, "Warning: Code Mismatch, Single controller");
    state.subsystemState->values[23] = 1;  // value 24: map loss
    EXPECT_EQ(EvaluateState(state).value, 7);
}

TEST(DeviceStatus, CapacitiesRoundToTheNearestHundredthOfAGigabyte) {
    EXPECT_EQ(CapacityHundredthsGB(BlockCapacity(5368708, 1)), 1u);  // 5368709 bytes
    EXPECT_EQ(CapacityHundredthsGB(BlockCapacity(5368707, 1)), 0u);  // 5368708 bytes
    EXPECT_EQ(oru::GigabyteText(1), "0.01 GB");
    EXPECT_EQ(oru::GigabyteText(0), "0.00 GB");
    EXPECT_EQ(oru::GigabyteText(1234), "12.34 GB");
    // 8 GiB: far beyond what 32 bits of bytes hold.
    EXPECT_EQ(CapacityHundredthsGB(BlockCapacity(16777215, 512)), 800u);
    EXPECT_EQ(CapacityHundredthsGB(BlockCapacity(0xFFFFFFFFu, 0xFFFFFFFFu)), 0xFFFFFFFFu);
}

// The unallocated space is cut to whole hundredths: a logical drive of the
// figure shown fits in the room the array reports.
TEST(DeviceStatus, TheUnallocatedSpaceIsNeverRoundedUp) {
    DiskArrayState state;
    state.virtualRemaining = BlockCapacity(5368708, 1);  // 5368709 bytes: half a hundredth
    EXPECT_EQ(CapacityHundredthsGB(state.virtualRemaining), 1u);
    EXPECT_EQ(oru::UnallocatedHundredthsGB(state), 0u);
    state.virtualRemaining = BlockCapacity(3999999, 512);  // 190.73 hundredths
    EXPECT_EQ(CapacityHundredthsGB(state.virtualRemaining), 191u);
    EXPECT_EQ(oru::UnallocatedHundredthsGB(state), 190u);
    state.virtualRemaining = BlockCapacity(7340031, 512);  // 3584 MB
    EXPECT_EQ(oru::UnallocatedHundredthsGB(state), 350u);
    state.virtualRemaining = BlockCapacity();
    EXPECT_EQ(oru::UnallocatedHundredthsGB(state), 0u);
    state.virtualRemaining = BlockCapacity(0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_EQ(oru::UnallocatedHundredthsGB(state), 0xFFFFFFFFu);
}

TEST(DeviceStatus, ArrayCapacityCountsDrivesByTheirState) {
    const BlockCapacity oneGb(2097151, 512);  // 2^30 bytes: 100 hundredths
    const BlockCapacity twoGb(4194303, 512);
    DiskArrayState state;
    EXPECT_FALSE(oru::ComputeArrayCapacity(state).has_value());
    state.stateValue4 = 1;
    state.virtualRemaining = BlockCapacity(1048575, 512);  // 50 hundredths
    auto drive = [](std::uint32_t driveState, BlockCapacity capacity) {
        Physical_Drive d;
        d.driveState = driveState;
        d.capacity = capacity;
        return d;
    };
    state.drives = {drive(0, twoGb), drive(0, oneGb),  drive(3, oneGb),
                    drive(4, oneGb), drive(7, oneGb),  drive(2, oneGb),
                    drive(1, twoGb), drive(15, twoGb), drive(12, oneGb)};
    LUN lun;
    lun.status = 1;
    lun.capacity = oneGb;
    state.luns = {lun, LUN()};
    state.modeSubsystem.emplace();
    state.modeSubsystem->hot_spare_desired = 1;
    state.subsystemState.emplace();

    const ArrayCapacity capacity = *oru::ComputeArrayCapacity(state);
    EXPECT_EQ(capacity.total, 800u);       // states 0, 3, 4, 7, 2, 12
    EXPECT_EQ(capacity.failed, 200u);      // states 4 and 7
    EXPECT_EQ(capacity.unincluded, 200u);  // states 2 and 12
    EXPECT_EQ(capacity.unallocated, 50u);
    EXPECT_EQ(capacity.logicalDrives, 100u);
    EXPECT_EQ(capacity.activeSpare, 100u);  // the second largest of 200, 100, 100, 100
    EXPECT_EQ(capacity.dataRedundancy, 800u - (100 + 200 + 200 + 50 + 100));

    state.subsystemState->values[4] = 1;  // active spare unavailable
    EXPECT_EQ(oru::ComputeArrayCapacity(state)->activeSpare, 0u);
}

}  // namespace
