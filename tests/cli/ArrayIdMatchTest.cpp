// Finding an array by alias or serial number.
#include <sstream>
#include <vector>

#include "CliTestSupport.h"
#include "cli/common/ArrayIdMatch.h"

namespace {

class ArrayIdMatchTest : public CliTest {};

// Fields as the subsystem list holds them: the alias blank-padded to 12,
// the serial 12 characters and a terminator.
const char kAliasFoo[13] = "FOO         ";
const char kAliasNone[13] = "";
const char kSerialAbc[13] = "ABC         ";
const char kSerialFull[13] = "SN0123456789";
const char kSerialFoo[13] = "FOO         ";

const std::string kAmbiguousName =
    " More than one array has that name (an alias or a serial number); no array was changed.\n";

std::string_view View(const char (&field)[13]) {
    return std::string_view(field, 13);
}

TEST(ArrayIdMatch, AliasesCompareWithoutTrailingBlanksAndCaseAsStored) {
    const std::vector<ArrayIdEntry> list = {{View(kAliasNone), View(kSerialFull)},
                                            {View(kAliasFoo), View(kSerialAbc)}};
    ArrayIdMatch match = MatchArrayId("FOO", list);
    EXPECT_EQ(match.result, ArrayIdResult::FOUND);
    EXPECT_EQ(match.index, 1u);
    EXPECT_EQ(MatchArrayId("FOO  ", list).index, 1u);
    EXPECT_EQ(MatchArrayId("foo", list).result, ArrayIdResult::NOT_FOUND);
    EXPECT_EQ(MatchArrayId("FO", list).result, ArrayIdResult::NOT_FOUND);
    // An empty identifier matches no empty alias.
    EXPECT_EQ(MatchArrayId("", list).result, ArrayIdResult::NOT_FOUND);
}

TEST(ArrayIdMatch, SerialsCompareTwelveCharactersCutOrPadded) {
    const std::vector<ArrayIdEntry> list = {{View(kAliasNone), View(kSerialAbc)},
                                            {View(kAliasNone), View(kSerialFull)}};
    EXPECT_EQ(MatchArrayId("ABC", list).index, 0u);
    EXPECT_EQ(MatchArrayId("ABC", list).result, ArrayIdResult::FOUND);
    EXPECT_EQ(MatchArrayId("SN0123456789", list).index, 1u);
    EXPECT_EQ(MatchArrayId("SN0123456789EXTRA", list).index, 1u);
    EXPECT_EQ(MatchArrayId("SN012345678", list).result, ArrayIdResult::NOT_FOUND);
    EXPECT_EQ(MatchArrayId("abc", list).result, ArrayIdResult::NOT_FOUND);
}

// An identifier that names two arrays, whichever way, names none: the one
// array it was meant for cannot be told from the other.
TEST_F(ArrayIdMatchTest, IdentifierOfTwoArraysIsAmbiguousWhicheverWayItMatches) {
    std::ostringstream out;
    // One array's alias is the other one's serial number, in either order.
    const std::vector<ArrayIdEntry> aliasFirst = {{View(kAliasFoo), View(kSerialAbc)},
                                                  {View(kAliasNone), View(kSerialFoo)}};
    const std::vector<ArrayIdEntry> serialFirst = {{View(kAliasNone), View(kSerialFoo)},
                                                   {View(kAliasFoo), View(kSerialAbc)}};
    EXPECT_EQ(MatchArrayId("FOO", aliasFirst).result, ArrayIdResult::AMBIGUOUS);
    EXPECT_EQ(MatchArrayId("FOO", serialFirst).result, ArrayIdResult::AMBIGUOUS);
    EXPECT_EQ(FindArrayById("FOO", serialFirst, out), std::nullopt);
    // Two arrays share one alias.
    const std::vector<ArrayIdEntry> sharedAlias = {{View(kAliasFoo), View(kSerialAbc)},
                                                   {View(kAliasFoo), View(kSerialFull)}};
    EXPECT_EQ(MatchArrayId("FOO  ", sharedAlias).result, ArrayIdResult::AMBIGUOUS);
    EXPECT_EQ(FindArrayById("FOO", sharedAlias, out), std::nullopt);
    EXPECT_EQ(out.str(), Mark(10, 41) + kAmbiguousName + Mark(10, 41) + kAmbiguousName);
    // The serial numbers still name their arrays, and an array whose alias
    // is its own serial number is one array.
    EXPECT_EQ(MatchArrayId("ABC", sharedAlias).index, 0u);
    EXPECT_EQ(MatchArrayId("SN0123456789", sharedAlias).index, 1u);
    const std::vector<ArrayIdEntry> ownSerial = {{View(kAliasNone), View(kSerialAbc)},
                                                 {View(kAliasFoo), View(kSerialFoo)}};
    const ArrayIdMatch own = MatchArrayId("FOO", ownSerial);
    EXPECT_EQ(own.result, ArrayIdResult::FOUND);
    EXPECT_EQ(own.index, 1u);
}

TEST_F(ArrayIdMatchTest, DuplicateSerialIsAmbiguousButAliasStillFinds) {
    const std::vector<ArrayIdEntry> list = {{View(kAliasNone), View(kSerialAbc)},
                                            {View(kAliasFoo), View(kSerialAbc)}};
    std::ostringstream out;
    EXPECT_EQ(FindArrayById("ABC", list, out), std::nullopt);
    EXPECT_EQ(out.str(),
              Mark(10, 40) + " More than one array has that serial number; use its alias.\n");
    out.str("");
    EXPECT_EQ(FindArrayById("FOO", list, out), 1u);
    EXPECT_EQ(FindArrayById("XYZ", list, out), std::nullopt);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
