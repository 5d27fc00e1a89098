#include "gui/Wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using oru::WildcardMatch;

TEST(Wildcard, APatternWithoutStarMatchesTextsThatBeginWithIt) {
    EXPECT_TRUE(WildcardMatch("QX00", "QX0000000001"));
    EXPECT_TRUE(WildcardMatch("qx00", "QX0000000001"));  // case is not looked at
    EXPECT_TRUE(WildcardMatch("QX0000000001", "QX0000000001"));
    EXPECT_FALSE(WildcardMatch("QX0000000001X", "QX0000000001"));
    EXPECT_FALSE(WildcardMatch("QY", "QX0000000001"));
    EXPECT_TRUE(WildcardMatch("", "anything"));
}

TEST(Wildcard, AStarStandsForAnyRunTheEmptyOneIncluded) {
    EXPECT_TRUE(WildcardMatch("name*", "name"));
    EXPECT_TRUE(WildcardMatch("name*", "names"));
    EXPECT_TRUE(WildcardMatch("*name", "the name of it"));
    EXPECT_TRUE(WildcardMatch("*NAME", "surname"));
    EXPECT_FALSE(WildcardMatch("*name", "nam"));
    EXPECT_TRUE(WildcardMatch("C*T01", "CABINET01"));
    EXPECT_FALSE(WildcardMatch("C*T02", "CABINET01"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("**", "x"));
    EXPECT_FALSE(WildcardMatch("a", ""));
    // The run after a star must take more than the first place the next
    // character fits.
    EXPECT_TRUE(WildcardMatch("*ab", "aab"));
    EXPECT_TRUE(WildcardMatch("*a*b*c", "xaxxbxxxc"));
    EXPECT_FALSE(WildcardMatch("*a*b*c", "xaxxbxxx"));
}

TEST(Wildcard, ManyStarsOverALongTextEndQuickly) {
    const std::string text(20000, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", text));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a", text));
}

}  // namespace
