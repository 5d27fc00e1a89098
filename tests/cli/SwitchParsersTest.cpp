// Switch values: good values, and every malformed one ending in the usage
// lines and exit code 2.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"

namespace {

using ::testing::ExitedWithCode;

// Death-test pattern of a catalog mark.
std::string MarkPattern(int set, int number) {
    return "\\[" + std::to_string(set) + "\\." + std::to_string(number) + "\\]";
}

const std::string kUsage = "usage line one\nusage line two\n";

class SwitchParsersTest : public CliTest {};

TEST_F(SwitchParsersTest, DecimalTextSkipsZerosAndStopsAtTheLargestValue) {
    std::int32_t value = -1;
    EXPECT_TRUE(ParseDecimalText("0000", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseDecimalText("0000000000000000000000012", value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(ParseDecimalText("2147483647", value));
    EXPECT_EQ(value, 2147483647);

    EXPECT_FALSE(ParseDecimalText("2147483648", value));
    EXPECT_FALSE(ParseDecimalText(std::string(5000, '9'), value));
    EXPECT_FALSE(ParseDecimalText("12a", value));
    EXPECT_FALSE(ParseDecimalText("-1", value));
    EXPECT_FALSE(ParseDecimalText("+1", value));
    EXPECT_FALSE(ParseDecimalText(" 1", value));
    EXPECT_FALSE(ParseDecimalText("", value));
    EXPECT_EQ(value, 2147483647) << "a failure leaves the value alone";
}

TEST_F(SwitchParsersTest, DecimalArgFailureQuotesTheValueWithoutPrefixAndShowsUsage) {
    EXPECT_EXIT(ParseDecimalArg("0012a"), ExitedWithCode(2),
                "^" + MarkPattern(9, 159) + "[^\n]* \"12a\"\n" + kUsage + "$");
    EXPECT_EXIT(ParseDecimalArg("2147483648"), ExitedWithCode(2), "\"2147483648\"");
    EXPECT_EQ(ParseDecimalArg("2147483647"), 2147483647);
}

TEST_F(SwitchParsersTest, NumericValueAttachedOrNext) {
    std::vector<std::string> args = {"prog", "-E3", "-E", "4", "-E"};
    std::vector<char*> argv = Argv(args);
    int index = 1;
    EXPECT_EQ(GetNumericSwitchArg(argv.data(), index, 5), 3);
    EXPECT_EQ(index, 1);
    index = 2;
    EXPECT_EQ(GetNumericSwitchArg(argv.data(), index, 5), 4);
    EXPECT_EQ(index, 3);
    index = 4;
    EXPECT_EXIT(GetNumericSwitchArg(argv.data(), index, 5), ExitedWithCode(2), "^" + kUsage + "$");
}

TEST_F(SwitchParsersTest, ExitLevelMustLieInZeroToFour) {
    std::vector<std::string> args = {"dkview", "-E5", "-E", "-1", "-E0", "-E", "4"};
    std::vector<char*> argv = Argv(args);
    int index = 1;
    EXPECT_EXIT(GetExitLevelSwitchArg(argv.data(), index, 7, PROG_DKVIEW), ExitedWithCode(2),
                "^dkview:  " + MarkPattern(9, 158) + "[^\n]*\n" + kUsage + "$");
    // "-1" is no decimal value at all, so it is refused as not a number.
    index = 2;
    EXPECT_EXIT(GetExitLevelSwitchArg(argv.data(), index, 7, PROG_DKVIEW), ExitedWithCode(2),
                "^" + MarkPattern(9, 159) + "[^\n]* \"-1\"\n" + kUsage + "$");
    index = 4;
    EXPECT_EQ(GetExitLevelSwitchArg(argv.data(), index, 7, PROG_DKVIEW), 0);
    index = 5;
    EXPECT_EQ(GetExitLevelSwitchArg(argv.data(), index, 7, PROG_DKVIEW), 4);
    EXPECT_EQ(index, 6);
}

TEST_F(SwitchParsersTest, ExitWithLevelPrintsMessageSevenOnStandardOutput) {
    // Standard output goes to the pipe the death test reads, standard error
    // to /dev/null: the message must arrive, and on standard output.
    EXPECT_EXIT(
        {
            const int captured = ::dup(2);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::dup2(captured, 1);
            ExitWithLevel(3, PROG_DKTUNE);
        },
        ExitedWithCode(3), "^dktune:  " + MarkPattern(9, 165) + "[^\n]*\n$");
}

TEST_F(SwitchParsersTest, KeywordsIgnoreCaseAndRefuseAnythingElse) {
    std::vector<std::string> args = {"dkmend",
                                     "-aON",
                                     "-a",
                                     "Off",
                                     "-a",
                                     "maybe",
                                     "-a",
                                     "offffffffffffffffffff",
                                     "-aofffffffffffffffffff",
                                     "-Phigh"};
    std::vector<char*> argv = Argv(args);
    const int argc = static_cast<int>(args.size());
    int index = 1;
    EXPECT_EQ(ParseKeywordSwitchArg(argv.data(), index, argc, "on", "off"), 1);
    index = 2;
    EXPECT_EQ(ParseKeywordSwitchArg(argv.data(), index, argc, "on", "off"), 0);
    EXPECT_EQ(index, 3);
    index = 4;
    EXPECT_EXIT(ParseKeywordSwitchArg(argv.data(), index, argc, "on", "off"), ExitedWithCode(2),
                "^" + kUsage + "$");
    index = 6;  // a next argument of 21 characters
    EXPECT_EXIT(ParseKeywordSwitchArg(argv.data(), index, argc, "on", "off"), ExitedWithCode(2),
                "^" + kUsage + "$");
    index = 8;  // an attached value in an argument of 22 characters
    EXPECT_EXIT(ParseKeywordSwitchArg(argv.data(), index, argc, "on", "off"), ExitedWithCode(2),
                "^" + kUsage + "$");
    index = 9;
    EXPECT_EQ(ParseKeywordSwitchArg(argv.data(), index, argc, "low", "high"), 0);
}

TEST_F(SwitchParsersTest, SwitchLengthIsExact) {
    CheckSwitchLength("-S", PROG_DKVIEW);
    EXPECT_EXIT(CheckSwitchLength("-Sx", PROG_DKVIEW), ExitedWithCode(2),
                "^dkview:  " + MarkPattern(9, 163) + "[^\n]* \"-Sx\"\n" + kUsage + "$");
    EXPECT_EXIT(CheckSwitchLength("-", PROG_DKWIPE), ExitedWithCode(2), "^dkwipe:  ");
}

TEST_F(SwitchParsersTest, DriveIdsNameTheTwelveSlots) {
    const char* const names[] = {"A1", "B1", "A2", "B2", "A3", "B3",
                                 "A4", "B4", "A5", "B5", "A6", "B6"};
    for (std::int32_t slot = 0; slot < 12; ++slot) {
        std::int32_t parsed = -99;
        EXPECT_TRUE(ParseDriveIdText(names[slot], parsed)) << names[slot];
        EXPECT_EQ(parsed, slot) << names[slot];
    }
    std::int32_t slot = -99;
    EXPECT_TRUE(ParseDriveIdText("b6", slot));
    EXPECT_EQ(slot, 11);
    EXPECT_TRUE(ParseDriveIdText("a01", slot));
    EXPECT_EQ(slot, 0);
    // Rows outside the cabinet parse; the programs refuse them by range.
    EXPECT_TRUE(ParseDriveIdText("A0", slot));
    EXPECT_EQ(slot, -2);
    EXPECT_TRUE(ParseDriveIdText("B2147483647", slot));
    EXPECT_EQ(slot, INT32_MAX);

    for (const char* bad : {"", "A", "C1", "1A", "A1x", "A-1", "AB1", "A 1"}) {
        EXPECT_FALSE(ParseDriveIdText(bad, slot)) << bad;
    }
}

TEST_F(SwitchParsersTest, DriveIdSwitchRefusesMalformedSlots) {
    std::vector<std::string> args = {"dkprobe", "-dB3", "-D", "a2", "-DC1", "-D"};
    std::vector<char*> argv = Argv(args);
    int index = 1;
    EXPECT_EQ(ParseDriveIdSwitchArg(argv.data(), index, 6), 5);
    index = 2;
    EXPECT_EQ(ParseDriveIdSwitchArg(argv.data(), index, 6), 2);
    EXPECT_EQ(index, 3);
    index = 4;
    EXPECT_EXIT(ParseDriveIdSwitchArg(argv.data(), index, 6), ExitedWithCode(2),
                "^" + kUsage + "$");
    index = 5;
    EXPECT_EXIT(ParseDriveIdSwitchArg(argv.data(), index, 6), ExitedWithCode(2),
                "^" + kUsage + "$");
}

TEST_F(SwitchParsersTest, RealValues) {
    double value = -1;
    EXPECT_TRUE(ParseRealText("12.50", value));
    EXPECT_DOUBLE_EQ(value, 12.5);
    EXPECT_TRUE(ParseRealText("007", value));
    EXPECT_DOUBLE_EQ(value, 7);
    EXPECT_TRUE(ParseRealText("0.25", value));
    EXPECT_DOUBLE_EQ(value, 0.25);
    EXPECT_TRUE(ParseRealText("000", value));
    EXPECT_DOUBLE_EQ(value, 0);
    EXPECT_TRUE(ParseRealText("3.", value));
    EXPECT_DOUBLE_EQ(value, 3);
    // 33 significant characters pass; trailing zeros after the point are cut first.
    EXPECT_TRUE(ParseRealText(std::string(33, '1'), value));
    EXPECT_TRUE(ParseRealText("1." + std::string(31, '1') + std::string(40, '0'), value));

    for (const std::string& bad :
         {std::string("1.2.3"), std::string("1e5"), std::string("-1"), std::string("."),
          std::string(""), std::string("1,5"), std::string(34, '1')}) {
        EXPECT_FALSE(ParseRealText(bad, value)) << bad;
    }
}

TEST_F(SwitchParsersTest, RealSwitchFailureQuotesTheValue) {
    std::vector<std::string> args = {"dklayout", "-a1.5", "-a", "2x"};
    std::vector<char*> argv = Argv(args);
    int index = 1;
    EXPECT_DOUBLE_EQ(ParseRealSwitchArg(argv.data(), index, 4), 1.5);
    index = 2;
    EXPECT_EXIT(ParseRealSwitchArg(argv.data(), index, 4), ExitedWithCode(2),
                "^" + MarkPattern(9, 159) + "[^\n]* \"2x\"\n" + kUsage + "$");
}

}  // namespace
