// The small pieces beside the drive tests: the chunk bit map, the event
// repeat tracker and the label helpers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "coresys/server/diag/BitMap.h"
#include "coresys/server/diag/RepeatTracker.h"
#include "coresys/server/state/Labels.h"

namespace {

TEST(BitMapTest, BitsLieLeastSignificantFirstAndIndexesBeyondTheCountAreIgnored) {
    BitMap map(10);
    EXPECT_EQ(map.Count(), 10u);
    map.Set(9);
    map.Set(10);  // beyond: ignored
    EXPECT_TRUE(map.Test(9));
    EXPECT_FALSE(map.Test(10));
    map.Clear(9);
    EXPECT_FALSE(map.Test(9));
    // ChkSet: a clear bit is set (1), a set one answers 0, beyond answers 1.
    EXPECT_EQ(map.ChkSet(3), 1);
    EXPECT_EQ(map.ChkSet(3), 0);
    EXPECT_EQ(map.ChkSet(12), 1);
    EXPECT_TRUE(map.Test(3));
}

TEST(BitMapTest, NextFreeGoesUpwardsThenWrapsAndNeverGivesAnIndexTwice) {
    BitMap map(20);
    map.Set(5);
    map.Set(6);
    EXPECT_EQ(map.NextFree(5), 7);
    EXPECT_EQ(map.NextFree(19), 19);
    EXPECT_EQ(map.NextFree(19), 0);  // wrapped
    EXPECT_EQ(map.NextFree(45), 8);  // start taken modulo the count
    std::set<std::int64_t> seen = {5, 6, 7, 19, 0, 8};
    for (int i = 0; i < 14; ++i) {
        const std::int64_t next = map.NextFree(static_cast<std::uint64_t>(i * 7));
        ASSERT_GE(next, 0);
        EXPECT_TRUE(seen.insert(next).second) << next;
    }
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_EQ(map.NextFree(3), -1);
}

TEST(BitMapTest, AnEmptyMapHasNoFreeIndex) {
    BitMap none(0);
    EXPECT_EQ(none.Count(), 0u);
    EXPECT_EQ(none.NextFree(0), -1);
    BitMap map(9);
    map.Release();
    EXPECT_EQ(map.Count(), 0u);
    EXPECT_EQ(map.NextFree(4), -1);
}

TEST(RepeatTrackerTest, TwoNotesWithinTheWindowRaiseTheFlag) {
    RepeatTracker tracker;
    tracker.Note(0, 1000);
    EXPECT_FALSE(tracker.Raised(0));
    tracker.Note(0, 1000 + 237305);
    EXPECT_TRUE(tracker.Raised(0));

    tracker.Note(1, 1000);
    tracker.Note(1, 1000 + 237306);  // too late: counts as a first note
    EXPECT_FALSE(tracker.Raised(1));
    EXPECT_EQ(tracker.At(1).count, 1u);
    EXPECT_EQ(tracker.At(1).firstTime, 1000u + 237306u);
    tracker.Note(1, 1000 + 237306 + 5);
    EXPECT_TRUE(tracker.Raised(1));
    tracker.Note(1, 999999999);  // every further note raises it too
    EXPECT_TRUE(tracker.Raised(1));

    tracker.Clear(0);
    EXPECT_FALSE(tracker.Raised(0));
    EXPECT_EQ(tracker.At(0).count, 0u);
    tracker.ClearAll();
    EXPECT_FALSE(tracker.Raised(1));
    tracker.Note(7, 1);  // no such entry
    EXPECT_FALSE(tracker.Raised(7));
}

TEST(LabelTest, IndexesBecomeTheirCharactersAndOthersQuestionMarks) {
    Label slot = Label::Slot();
    EXPECT_STREQ(slot.SlotLabel(0), "A1");
    EXPECT_STREQ(slot.SlotLabel(3), "B2");
    EXPECT_STREQ(slot.SlotLabel(11), "B6");
    EXPECT_STREQ(slot.SlotLabel(15), "B8");
    EXPECT_STREQ(slot.SlotLabel(16), "??");
    Label controller = Label::Controller();
    EXPECT_STREQ(controller.ControllerLabel(0), "X");
    EXPECT_STREQ(controller.ControllerLabel(1), "Y");
    EXPECT_STREQ(controller.ControllerLabel(2), "?");
    Label unit = Label::Unit();
    EXPECT_STREQ(unit.UnitLabel(3), "4");
    EXPECT_STREQ(unit.UnitLabel(4), "?");
}

}  // namespace
