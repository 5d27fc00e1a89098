// The time arguments of the performance displays.
#include <gtest/gtest.h>

#include "cli/dkview/TimeWindow.h"

namespace dkview {
namespace {

constexpr int kYear2026 = 126;

std::vector<int> Items(const std::vector<TimeFault>& faults) {
    std::vector<int> items;
    for (const TimeFault& fault : faults) {
        items.push_back(fault.item);
    }
    return items;
}

TEST(TimeWindowTest, EightDigitsTakeTheCurrentYearAndTenDigitsTheirOwn) {
    TimeStamp stamp;
    EXPECT_TRUE(TimeWindow::Parse("12312359", kYear2026, stamp).empty());
    EXPECT_EQ(stamp.month, 12);
    EXPECT_EQ(stamp.day, 31);
    EXPECT_EQ(stamp.hour, 23);
    EXPECT_EQ(stamp.minute, 59);
    EXPECT_EQ(stamp.year, kYear2026);
    EXPECT_TRUE(TimeWindow::Parse("0101000069", kYear2026, stamp).empty());
    EXPECT_EQ(stamp.year + 1900, 2069);
    EXPECT_TRUE(TimeWindow::Parse("0101000070", kYear2026, stamp).empty());
    EXPECT_EQ(stamp.year + 1900, 1970);
}

TEST(TimeWindowTest, FebruaryTheTwentyNinthOnlyInLeapYears) {
    TimeStamp stamp;
    EXPECT_TRUE(TimeWindow::Parse("0229000096", kYear2026, stamp).empty());
    EXPECT_TRUE(TimeWindow::Parse("0229000000", kYear2026, stamp).empty());  // 2000
    EXPECT_EQ(Items(TimeWindow::Parse("0229000001", kYear2026, stamp)), std::vector<int>{105});
    EXPECT_EQ(Items(TimeWindow::Parse("02290000", kYear2026, stamp)), std::vector<int>{105});
    EXPECT_EQ(TimeWindow::DaysInMonth(2, 0), 28);  // 1900
}

TEST(TimeWindowTest, EveryFieldOutOfRangeIsReportedBeforeTheExit) {
    TimeStamp stamp;
    const std::vector<TimeFault> faults = TimeWindow::Parse("04312460", kYear2026, stamp);
    ASSERT_EQ(Items(faults), (std::vector<int>{105, 106, 107}));
    EXPECT_TRUE(faults[0].showsRange);
    EXPECT_EQ(faults[0].high, 30);
    EXPECT_EQ(faults[0].value, 31);
    const std::vector<TimeFault> month = TimeWindow::Parse("13010000", kYear2026, stamp);
    ASSERT_EQ(Items(month), std::vector<int>{104});
    EXPECT_EQ(month[0].low, 1);
    EXPECT_EQ(month[0].high, 12);
    EXPECT_EQ(month[0].value, 13);
}

TEST(TimeWindowTest, WrongLengthsAndNonDigitsAreOneFault) {
    TimeStamp stamp;
    for (const char* text : {"0101000", "010100000", "01010000123", "0101a000", "", "-1010000"}) {
        EXPECT_EQ(Items(TimeWindow::Parse(text, kYear2026, stamp)), std::vector<int>{109}) << text;
    }
}

TEST(TimeWindowTest, TheTextIsHourMinuteAndTheDateWithFourDigits) {
    TimeStamp stamp;
    ASSERT_TRUE(TimeWindow::Parse("0705093005", kYear2026, stamp).empty());
    EXPECT_EQ(TimeWindow::Text(TimeWindow::CalendarTime(stamp)), "09:30 07/05/2005");
}

}  // namespace
}  // namespace dkview
