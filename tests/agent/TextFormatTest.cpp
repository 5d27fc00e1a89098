// Catalog texts filled without trusting them.
#include <gtest/gtest.h>

#include "netmgmt/agent/TextFormat.h"

namespace {

using oruagent::FormatText;

TEST(TextFormat, FillsTheConversionsWithTheValuesInOrder) {
    EXPECT_EQ(FormatText("slot %s state %u", {"A2", 4u}, 256), "slot A2 state 4");
    EXPECT_EQ(FormatText("%c%d", {'B', -3}, 256), "B-3");
    EXPECT_EQ(FormatText("[%5s|%-4u|%03d|%x]", {"ab", 7u, 5, 255u}, 256), "[   ab|7   |005|ff]");
    EXPECT_EQ(FormatText("%.3s", {"abcdef"}, 256), "abc");
    EXPECT_EQ(FormatText("100%% done", {}, 256), "100% done");
}

TEST(TextFormat, MoreConversionsThanValuesGiveNothingForTheRest) {
    EXPECT_EQ(FormatText("a %s b %s c %d", {"x"}, 256), "a x b  c ");
}

TEST(TextFormat, ConversionsItDoesNotFillStayAsWritten) {
    EXPECT_EQ(FormatText("x%ny %p %f %*d", {1u, 2u}, 256), "x%ny %p %f %*d");
    EXPECT_EQ(FormatText("ends with %", {}, 256), "ends with %");
}

TEST(TextFormat, ValuesOfAnotherKindAreConverted) {
    EXPECT_EQ(FormatText("%s/%u/%d", {17u, "text", "more"}, 256), "17/text/more");
    EXPECT_EQ(FormatText("%c", {65u}, 256), "A");
}

TEST(TextFormat, TheResultIsCutToTheLimit) {
    EXPECT_EQ(FormatText("%s", {std::string(300, 'x')}, 256), std::string(255, 'x'));
    EXPECT_EQ(FormatText("%99s", {"a"}, 10).size(), 9u);
    // A width beyond 99 is held at 99.
    EXPECT_EQ(FormatText("%1000000d", {1}, 4096).size(), 99u);
    EXPECT_EQ(FormatText("abc", {}, 0), "");
}

}  // namespace
