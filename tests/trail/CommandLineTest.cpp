// dktrail's command line: its times, every mistake with its text and exit
// code 2 (before the service is asked anything), the help, and the verbose
// level that is said and taken as 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "TrailTestSupport.h"
#include "catalog/StringCatalog.h"
#include "tools/trail/TrailCommandLine.h"
#include "tools/trail/TrailOutput.h"

namespace trailtest {
namespace {

using trail::ParseLogTime;

class CommandLineTest : public TrailTest {
  protected:
    void SetUp() override {
        TrailTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(LogDir()));
    }
    // The short usage that ends every mistake.
    static std::string ShortUsage() {
        return Mark(184) + "usage: dktrail [-a array-id] [-d log-directory] [-s start] [-e end]\n" +
               Mark(185) + "               [-t kind,...] [-v 1|2] [-?]\n" + Mark(186) +
               "dktrail -? explains the options.\n";
    }
    // Runs a command line that must be refused with the text given.
    void ExpectRefused(const std::vector<std::string>& arguments, const std::string& said) {
        const RunResult run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, said + "\n" + ShortUsage());
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(refreshes, 0) << "nothing is asked of the service after a mistake";
    }
};

TEST_F(CommandLineTest, TimesAreMonthDayHourMinuteAndAnOptionalYear) {
    EXPECT_EQ(ParseLogTime("0101000095", 2024), 788918400);     // 1995-01-01 00:00
    EXPECT_EQ(ParseLogTime("0101000089", 2024), 3755376000);    // 2089-01-01 00:00
    EXPECT_EQ(ParseLogTime("0101000090", 2024), 631152000);     // 1990
    EXPECT_EQ(ParseLogTime("1231235900", 2024), 978307140);     // 2000-12-31 23:59
    EXPECT_EQ(ParseLogTime("02291200", 2024), 1709208000);      // this year's 29 February
    EXPECT_EQ(ParseLogTime("0229120000", 2024), 951825600);     // 2000 was a leap year
    EXPECT_EQ(ParseLogTime("0230120000", 2024), std::nullopt);  // 30 February
    EXPECT_EQ(ParseLogTime("02291200", 2023), std::nullopt);
    EXPECT_EQ(ParseLogTime("0229120001", 2024), std::nullopt);
    for (const char* bad :
         {"1301000024", "0001000024", "0100000024", "0132000024", "0101240024", "0101006024",
          "010100002", "01010000241", "0101000", "01O1000024", "+101000024", ""}) {
        EXPECT_EQ(ParseLogTime(bad, 2024), std::nullopt) << bad;
    }
    // Local time: an hour east of UTC the same digits are an hour earlier.
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_EQ(ParseLogTime("0101000095", 2024), 788918400 - 3600);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

TEST_F(CommandLineTest, TheHelpComesFirstAndEndsWell) {
    const RunResult run = Run({"-x", "-?", "-a"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[0], Mark(163) +
                            "usage: dktrail [-a array-id] [-d log-directory] [-s start] [-e end] "
                            "[-t kind,...] [-v 1|2] [-?]");
    for (int i = 1; i < 21; ++i) {
        EXPECT_EQ(lines[i].rfind(Mark(163 + i), 0), 0u) << lines[i];
    }
    EXPECT_EQ(refreshes, 0);
}

TEST_F(CommandLineTest, EachMistakeIsSaidWithItsOwnText) {
    ExpectRefused({"-a", "QX1", "-a", "QX2"},
                  Mark(10) + "An array id has exactly 12 characters: QX1");
    ExpectRefused({"-aQX0000000001", "-a", "QX0000000001"},
                  Mark(8) + "The option -a may be given once.");
    ExpectRefused({"-a"}, Mark(9) +
                              "The option -a needs an array id (its 12-character serial "
                              "number).");
    ExpectRefused({"-d", LogDir(), "-d", LogDir()}, Mark(11) + "The option -d may be given once.");
    ExpectRefused({"-d"}, Mark(12) + "The option -d needs a log directory.");
    ExpectRefused({"-d", root.File("nowhere")},
                  root.File("nowhere") + Mark(13) + ": not a directory.");
    ExpectRefused({"-s", "0101000024", "-s", "0101000024"},
                  Mark(14) + "The option -s may be given once.");
    ExpectRefused({"-s"}, Mark(15) + "The option -s needs a start time (MMDDhhmm or MMDDhhmmYY).");
    ExpectRefused({"-s", "0230120000"},
                  Mark(16) + "Not a start time (MMDDhhmm or MMDDhhmmYY): 0230120000");
    ExpectRefused({"-s0230120000"}, Mark(17) +
                                        "The start time attached to -s is not a time "
                                        "(MMDDhhmm or MMDDhhmmYY): 0230120000");
    ExpectRefused({"-e", "0101000024", "-e0101000024"},
                  Mark(18) + "The option -e may be given once.");
    ExpectRefused({"-e"}, Mark(19) + "The option -e needs an end time (MMDDhhmm or MMDDhhmmYY).");
    ExpectRefused({"-e", "tomorrow"},
                  Mark(20) + "Not an end time (MMDDhhmm or MMDDhhmmYY): tomorrow");
    ExpectRefused({"-t"}, Mark(21) +
                              "The option -t needs record kinds: usage, disk, ctrlr, "
                              "change, perf.");
    ExpectRefused({"-t", "disk,drive"}, Mark(22) + "The option -t knows no record kind 'drive'");
    ExpectRefused({"-t", "disk,,perf"}, Mark(22) + "The option -t knows no record kind ''");
    ExpectRefused({"-x"}, Mark(24) + "Unknown argument: -x");
    ExpectRefused({"QX0000000001"}, Mark(24) + "Unknown argument: QX0000000001");
    ExpectRefused({"-"}, Mark(24) + "Unknown argument: -");
    ExpectRefused({"-1"}, Mark(24) + "Unknown argument: -1");
    ExpectRefused({"-s", "0102000024", "-e", "0101000024"},
                  Mark(25) + "The start time is not before the end time.");
}

TEST_F(CommandLineTest, AWrongVerboseLevelIsSaidAndTakenAsOne) {
    RunResult run = Run({"-v", "3"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, Mark(23) + "The option -v takes 1 or 2; verbose level 1 is used.\n");
    EXPECT_NE(run.out.find("TotalLogSize = 0 in 0 files."), std::string::npos) << run.out;
    EXPECT_EQ(refreshes, 1);

    // Standing alone before another option, -v has no level.
    run = Run({"-v", "-a", "QX0000000001"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Count(run.err, Mark(23)), 1u);
    EXPECT_NE(run.out.find("TotalLogSize"), std::string::npos);
    run = Run({"-v"});
    EXPECT_EQ(Count(run.err, Mark(23)), 1u);
    EXPECT_EQ(Run({"-v2"}).err, "");
}

TEST_F(CommandLineTest, TheLogDirectoryLosesOneTrailingSlashAndMayBeADrivePath) {
    RunResult run = Run({"-d", LogDir() + "/"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Log catalog " + LogDir() + "/LOGCATLG\n"), std::string::npos)
        << run.out;
    run = Run({"-dC:\\oru_log\\"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Log catalog " + LogDir() + "/LOGCATLG\n"), std::string::npos)
        << run.out;
}

TEST_F(CommandLineTest, KindsStartAllChosenAndTheFirstKeywordChoosesAnew) {
    trail::TrailOptions options;
    std::ostringstream sink;
    trail::TrailOutput err(sink);
    StringCatalog catalog("vxraidcl.cat");
    ASSERT_EQ(trail::ParseTrailCommandLine({}, 2024, catalog, err, &options),
              trail::ParseOutcome::kRun);
    for (bool kind : options.kinds) {
        EXPECT_TRUE(kind);
    }
    EXPECT_EQ(options.startTime, 0);
    EXPECT_EQ(options.endTime, 0xFFFFFFFFll) << "without -e every stamp counts";
    ASSERT_EQ(
        trail::ParseTrailCommandLine({"-t", "perf", "-tusage,disk"}, 2024, catalog, err, &options),
        trail::ParseOutcome::kRun);
    EXPECT_TRUE(options.kinds[trail::LRK_USAGE]);
    EXPECT_TRUE(options.kinds[trail::LRK_DISK]);
    EXPECT_FALSE(options.kinds[trail::LRK_CTRLR]);
    EXPECT_FALSE(options.kinds[trail::LRK_CHANGE]);
    EXPECT_TRUE(options.kinds[trail::LRK_PERF]);
}

}  // namespace
}  // namespace trailtest
