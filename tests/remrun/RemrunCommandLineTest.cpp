// remrun's command line: the usages and their exit codes. None of these
// runs reach the network.
#include "RemrunTestSupport.h"

namespace remruntest {
namespace {

constexpr const char* kShortUsage = "This program must be run under VX Strovane Manager\n";

using RemrunCommandLineTest = RemrunFixture;

TEST_F(RemrunCommandLineTest, TooFewArgumentsGiveTheShortUsage) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"127.0.0.1"},
          std::vector<std::string>{"-h"}}) {
        RemrunResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments.size();
        EXPECT_EQ(result.err, kShortUsage);
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(RemrunCommandLineTest, OptionsWithoutACommandGiveTheShortUsage) {
    RemrunResult result = Run({"127.0.0.1", "-b", "-x"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, std::string("Passed option \"-x\" ignored...\n") + kShortUsage);
}

TEST_F(RemrunCommandLineTest, UserOptionWithoutANameGivesTheShortUsage) {
    RemrunResult last = Run({"127.0.0.1", "-l"});
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_EQ(last.err, kShortUsage);

    // The word after -l is the name; nothing is left for the command.
    RemrunResult nameOnly = Run({"127.0.0.1", "-l", "date"});
    EXPECT_EQ(nameOnly.exitCode, 1);
    EXPECT_EQ(nameOnly.err, kShortUsage);

    RemrunResult emptyName = Run({"127.0.0.1", "-l", "", "date"});
    EXPECT_EQ(emptyName.exitCode, 1);
    EXPECT_EQ(emptyName.err, kShortUsage);
}

TEST_F(RemrunCommandLineTest, HelpPrintsTheLongUsageAndEndsWell) {
    RemrunResult result = Run({"127.0.0.1", "-h", "date"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "usage: remrun host [-l username] [-v] [-h] command\n"
              "\n"
              "   host         -- Specifies the remote host on which to run \"command\".\n"
              "   -l username  -- Specifies the user name to use on the remote host.\n"
              "                -- If omitted, the logon user name is passed to \"host\".\n"
              "   -v           -- Display version information.\n"
              "   -h           -- Display this usage information.\n"
              "   command      -- Specifies the command to run on the host.\n");
}

TEST_F(RemrunCommandLineTest, OptionsAfterTheFirstCommandWordAreCommandWords) {
    // "-h" after the command is the command's, so this is a run, which
    // fails here only because the host is unknown.
    RemrunResult result =
        Run({"no-such-host.invalid", "grep", "-h", "x"}, {"RES_OPTIONS=timeout:1 attempts:1"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.find("usage:"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace remruntest
