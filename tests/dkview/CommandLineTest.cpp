// dkview's command line: every malformed one ends with the usage lines and
// exit code 2, before any service is asked; the help, the -E exit, and a
// host where no service listens.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "DkviewRun.h"

namespace dkviewtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Nothing listens on the ports of this root's services file.
class CommandLineTest : public ::testing::Test {
  protected:
    void ExpectUsage(const std::vector<std::string>& arguments) {
        const DkviewResult run = RunDkview(root_, arguments);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(arguments) << run.err;
        EXPECT_THAT(run.err, HasSubstr(Mark(12, 1))) << ::testing::PrintToString(arguments);
        EXPECT_THAT(run.err, HasSubstr(Mark(12, 4)));
        EXPECT_EQ(run.out, "");
    }
    testsupport::FreshRoot root_;
};

TEST_F(CommandLineTest, MalformedCommandLinesGetTheUsageAndExitTwo) {
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"-a"},                                   // no array identifier
        {"-a", "-c", "ARRAY"},                    // two displays
        {"-l", "-s", "ARRAY"},                    // two displays
        {"-i", "ARRAY"},                          // the list takes no identifier
        {"-R", "ARRAY"},                          // nor does the rescan
        {"ONE", "-a", "TWO"},                     // an identifier that is not last
        {"-S", "-V"},                             // no identifier
        {"-E"},                                   // no value
        {"-m", "01010000"},                       // no end time
        {"-r", "0101x000", "01020000", "ARRAY"},  // not digits
        {"-m", "01010000", "ARRAY"},              // the identifier is no end time
    };
    for (const auto& arguments : lines) {
        ExpectUsage(arguments);
    }
}

// An unknown switch is named by its letter; an overlong known one (the
// common library's length check) by the whole argument.
TEST_F(CommandLineTest, AnUnknownOrOverlongSwitchIsNamed) {
    const std::pair<std::string, std::string> cases[] = {
        {"-x", "x"}, {"-xyz", "x"}, {"-", ""}, {"-aa", "-aa"}, {"-SV", "-SV"}};
    for (const auto& [bad, named] : cases) {
        const DkviewResult run = RunDkview(root_, {bad, "ARRAY"});
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_THAT(run.err,
                    HasSubstr(Mark(9, 163) + " Unknown or malformed switch: \"" + named + "\"\n"))
            << run.err;
        EXPECT_THAT(run.err, HasSubstr(Mark(12, 1)));
    }
}

TEST_F(CommandLineTest, BadNumbersSayWhy) {
    const DkviewResult notNumber = RunDkview(root_, {"-lx", "ARRAY"});
    EXPECT_EQ(notNumber.exitCode, 2);
    EXPECT_THAT(notNumber.err, HasSubstr(Mark(9, 159)));
    EXPECT_THAT(notNumber.err, HasSubstr("\"x\""));
    const DkviewResult tooLarge = RunDkview(root_, {"-l2147483648", "ARRAY"});
    EXPECT_EQ(tooLarge.exitCode, 2);
    EXPECT_THAT(tooLarge.err, HasSubstr(Mark(9, 159)));
    const DkviewResult negative = RunDkview(root_, {"-l-3", "ARRAY"});
    EXPECT_EQ(negative.exitCode, 2);
    EXPECT_THAT(negative.err, HasSubstr(Mark(9, 158)));
    for (const char* level : {"5", "-1"}) {
        const DkviewResult run = RunDkview(root_, {"-E", level, "ARRAY"});
        EXPECT_EQ(run.exitCode, 2) << level;
        EXPECT_THAT(run.err, HasSubstr(Mark(12, 1)));
    }
    const DkviewResult outOfRange = RunDkview(root_, {"-E5", "ARRAY"});
    EXPECT_THAT(outOfRange.err, HasSubstr(Mark(9, 158)));
}

TEST_F(CommandLineTest, BadTimesNameTheFieldAndExitTwo) {
    const DkviewResult month = RunDkview(root_, {"-r", "13010000", "12310000", "ARRAY"});
    EXPECT_EQ(month.exitCode, 2);
    EXPECT_THAT(month.err, HasSubstr("dkview: " + Mark(16, 104)));
    EXPECT_THAT(month.err, HasSubstr("[01-12]: 13\n"));
    const DkviewResult fields = RunDkview(root_, {"-m", "01322460", "01010000", "ARRAY"});
    EXPECT_EQ(fields.exitCode, 2);
    for (int item : {105, 106, 107}) {
        EXPECT_THAT(fields.err, HasSubstr(Mark(16, item))) << item;
    }
    EXPECT_THAT(fields.err, HasSubstr("[01-31]: 32\n"));
    const DkviewResult form = RunDkview(root_, {"-r", "010100", "01020000", "ARRAY"});
    EXPECT_EQ(form.exitCode, 2);
    EXPECT_THAT(form.err, HasSubstr(Mark(16, 109)));
    const DkviewResult order = RunDkview(root_, {"-r", "0102000025", "0101000025", "ARRAY"});
    EXPECT_EQ(order.exitCode, 2);
    EXPECT_THAT(order.err, HasSubstr(Mark(16, 108)));
}

TEST_F(CommandLineTest, TheHelpGoesToStandardOutputAndEndsWithZero) {
    const DkviewResult run = RunDkview(root_, {"-a", "-?", "-x"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, HasSubstr(Mark(13, 900)));
    EXPECT_THAT(run.out, HasSubstr(Mark(13, 925)));
    EXPECT_EQ(run.err, "");
}

TEST_F(CommandLineTest, TheExitLevelEndsAtOnceWithoutAskingAnyService) {
    const DkviewResult run = RunDkview(root_, {"-E", "4", "-a", "ARRAY"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.out, "dkview:  " + Mark(9, 165) + " Exiting with the level given by -E.\n");
    const DkviewResult zero = RunDkview(root_, {"-E0", "ARRAY"});
    EXPECT_EQ(zero.exitCode, 0);
}

TEST_F(CommandLineTest, AHostWithoutServiceIsAListFailureOfExitThree) {
    const DkviewResult run = RunDkview(root_, {"ARRAY"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 261)));
    const DkviewResult list = RunDkview(root_, {"-i"});
    EXPECT_EQ(list.exitCode, 3);
    EXPECT_THAT(list.err, HasSubstr(Mark(9, 261)));
}

TEST_F(CommandLineTest, AUnitNumberAsTheLastArgumentIsTheArrayIdentifier) {
    // Parsed as "-l" with the identifier "5": the run goes on to the
    // (missing) service instead of ending in the usage exit.
    const DkviewResult run = RunDkview(root_, {"-l", "5"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_THAT(run.err, Not(HasSubstr(Mark(12, 1))));
}

}  // namespace
}  // namespace dkviewtest
