// dkview -m and -r against the real OruServr over strovsim's cabinets,
// whose log already holds a day of preventive records written by the
// service's own log writer (LogGenerator): the metrics and recommendations
// printed are the ones computed by hand from those records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "DkviewRun.h"
#include "NetServerFixture.h"
#include "PerfTestSupport.h"
#include "support/LogGenerator.h"

namespace dkviewtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::LogGenerator;

// 2023-11-14 22:00:00 UTC; dkview reads its times in the zone of TZ.
constexpr std::uint32_t kT0 = 1699999200;
const std::vector<std::string> kUtc = {"TZ=UTC"};

// A preventive record at rest (every check passes but 13, which never has
// data) with metric 2 (P[9], member drives) at slot % 4 and metric 6
// (P[1] - P[2]) 1 in even hours and 2 in odd ones.
std::vector<std::uint32_t> Words(std::uint32_t slot) {
    return perftest::With(perftest::QuietWords(), {{1, 2 + (slot / 4) % 2}, {9, slot % 4}});
}

class PerfEndToEndTest : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        {
            // A day of records of both cabinets; the second misses 30 of
            // its slots. The log is closed before the service opens it.
            LogGenerator::Options options;
            options.directory = root_.File("c/oru_log");
            options.startTime = kT0;
            LogGenerator log(options);
            LogGenerator::Series day;
            day.serials = LogGenerator::Serials(2);
            day.first = kT0;
            day.count = 96;
            day.words = [](const LogGenerator::Slot& slot) { return Words(slot.index); };
            day.skip = [](const LogGenerator::Slot& slot) {
                return slot.serialIndex == 1 && slot.index % 3 == 0 && slot.index < 90;
            };
            log.WriteSeries(day);
            ASSERT_TRUE(log.Flush());
        }
        ASSERT_TRUE(StartSimulator());
        ConfigureAdministration();
        // The monitors write no records of their own during the test.
        StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    }

    DkviewResult Dkview(const std::vector<std::string>& arguments) {
        return RunDkview(root_, arguments, kUtc);
    }
};

TEST_F(PerfEndToEndTest, MetricsByTheHourInRawForm) {
    // 22:00 to 02:00 the next day, four slots per value.
    const DkviewResult run = Dkview({"-S", "-m", "1114220023", "1115020023", "4", "QX0000000001"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 11u) << run.out;
    // id:start:end:G:scale:threshold:relation:values. Metric 2: (2 + 0 + 1
    // + 2 + 3) / 4 each hour; 6: 1 and 2 by turns; 7: 10 (scale 100); 13
    // is not asked for by dkview.
    const std::string window = ":1699999200:1700013600:4:";
    const std::vector<std::string> expected = {"2" + window + "1:0:0:2:2:2:2",
                                               "6" + window + "1:1:1:1:2:1:2",
                                               "7" + window + "100:20:1:10:10:10:10",
                                               "8" + window + "100:110:1:78:78:78:78",
                                               "9" + window + "1000:200:1:100:100:100:100",
                                               "10" + window + "1:10:1:60:60:60:60",
                                               "11" + window + "100:31:1:20:20:20:20",
                                               "12" + window + "1:64:1:0:0:0:0",
                                               "14" + window + "1:0:0:1024:1024:1024:1024",
                                               "15" + window + "1:0:0:10:10:10:10",
                                               "16" + window + "1:1:0:60:60:60:60"};
    const std::regex head(R"(^PM:[^:]*:[^:]*:(.*)$)");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, head)) << lines[i];
        EXPECT_EQ(m[1].str(), expected[i]);
    }
}

TEST_F(PerfEndToEndTest, MetricsTableInReadableForm) {
    const DkviewResult run = Dkview({"-m", "1114220023", "1115020023", "QX0000000001"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(11, 2)));
    EXPECT_THAT(run.out, HasSubstr("11/14/2023\n"));
    EXPECT_THAT(run.out, HasSubstr("11/15/2023\n"));
    // The rows of 22:00 and 23:00 on each of the three pages (five metrics
    // a page: 2, 6, 7, 8, 9; 10, 11, 12, 14, 15; 16).
    std::vector<std::string> ten, eleven;
    for (const std::string& line : Lines(run.out)) {
        if (line.rfind("22:00", 0) == 0) {
            ten.push_back(line);
        } else if (line.rfind("23:00", 0) == 0) {
            eleven.push_back(line);
        }
    }
    ASSERT_EQ(ten.size(), 3u) << run.out;
    ASSERT_EQ(eleven.size(), 3u) << run.out;
    // Page 1 at 22:00: every value within its threshold.
    EXPECT_THAT(ten[0], Not(HasSubstr("*")));
    EXPECT_THAT(ten[0], HasSubstr("       2.000         1.000         0.100         0.780"));
    // At 23:00 metric 6 is 2, beyond its threshold of 1.
    EXPECT_THAT(eleven[0], HasSubstr("2.000*"));
    // Page 2: metric 10 (60 per hour) is always beyond its threshold of 10.
    EXPECT_THAT(ten[1], HasSubstr("60.000*"));
}

TEST_F(PerfEndToEndTest, RecommendationsOfTheDay) {
    // Over the day the drives are out of balance (metric 6 is 2 on average,
    // above 1), and two member drives on average carry 60 units of work:
    // more than 10 each, with room for a disk.
    const DkviewResult raw = Dkview({"-S", "-r", "1114220023", "1115220023", "QX0000000001"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    const std::vector<std::string> lines = Lines(raw.out);
    ASSERT_EQ(lines.size(), 2u) << raw.out;
    EXPECT_THAT(lines[0], HasSubstr(":1699999200:1700085600:" + Mark(11, 202)));
    EXPECT_THAT(lines[1], HasSubstr(":1699999200:1700085600:" + Mark(11, 205)));
    const DkviewResult readable = Dkview({"-r", "1114220023", "1115220023", "QX0000000001"});
    ASSERT_EQ(readable.exitCode, 0) << readable.err;
    EXPECT_THAT(readable.out, HasSubstr(Mark(11, 1)));
    EXPECT_THAT(readable.out, HasSubstr(Mark(11, 302)));
    EXPECT_THAT(readable.out, HasSubstr(Mark(11, 305)));
    EXPECT_THAT(readable.out, HasSubstr(std::string(80, '-')));
    EXPECT_THAT(readable.out, Not(HasSubstr(Mark(11, 301))));
}

TEST_F(PerfEndToEndTest, ADayWithTooManyMissingSlotsHasNoRecommendation) {
    // The second cabinet missed 30 of 96 slots, more than a quarter.
    const DkviewResult raw = Dkview({"-S", "-r", "1114220023", "1115220023", "QX0000000002"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(Lines(raw.out).size(), 2u) << raw.out;
    EXPECT_THAT(raw.out, HasSubstr(Mark(11, 201)));
    EXPECT_THAT(raw.out, HasSubstr(Mark(11, 409)));
    const DkviewResult readable = Dkview({"-r", "1114220023", "1115220023", "QX0000000002"});
    ASSERT_EQ(readable.exitCode, 0) << readable.err;
    EXPECT_THAT(readable.out, HasSubstr(Mark(11, 301)));
    EXPECT_THAT(readable.out, HasSubstr(Mark(11, 509)));
}

TEST_F(PerfEndToEndTest, WindowsWithoutDataAreRefusedAndTheServiceGoesOn) {
    // A window before the log, and one of a hundred years.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-r", "0101000022", "0102000022", "QX0000000001"},
             {"-m", "0101000070", "0101000069", "1", "QX0000000001"},
             {"-r", "0101000070", "0101000069", "QX0000000001"}}) {
        const DkviewResult run = Dkview(args);
        EXPECT_EQ(run.exitCode, 1) << args[1] << " " << run.out;
        EXPECT_THAT(run.err, HasSubstr(Mark(9, 142))) << run.err;  // no performance data
    }
    const DkviewResult after = Dkview({"-S", "-r", "1114220023", "1115220023", "QX0000000001"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
}

}  // namespace
}  // namespace dkviewtest
