// The recommendation analysis on its own: the record checks and their
// conditions, the metric checks and room flags, and the rule table, with
// the metric values set by hand.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "PerfTestSupport.h"
#include "coresys/server/perf/ServerPerfMetric.h"
#include "coresys/server/perf/ServerPerfRecs.h"

namespace {

using perftest::Counter;
using perftest::QuietWords;
using perftest::RecordBytes;
using perftest::With;
using perftest::Words;

constexpr std::uint32_t kNoData = 0xFFFFFFFFu;
constexpr std::uint32_t kDay = 86400;

// The 13 metric objects of a recommendation request with one value each:
// the quiet values unless given.
class Metrics {
  public:
    explicit Metrics(std::map<std::uint32_t, std::uint32_t> values = {}) {
        std::map<std::uint32_t, std::uint32_t> quiet = {
            {1, 1},   {2, 11},  {4, kNoData}, {5, 1},  {6, 1},        {7, 10}, {8, 78},
            {9, 100}, {10, 60}, {11, 20},     {12, 0}, {13, kNoData}, {16, 60}};
        for (const auto& [id, value] : values) {
            quiet[id] = value;
        }
        for (std::uint32_t id : ServerPerfRecs::kMetricList) {
            auto metric = ServerPerfMetric::Make(id);
            metric->values = {quiet[id]};
            view_.push_back(metric.get());
            owned_.push_back(std::move(metric));
        }
        Get(2).extra1 = 12;
        Get(5).extra2 = 3;
    }
    ServerPerfMetric& Get(std::uint32_t id) {
        for (auto& metric : owned_) {
            if (metric->id == id) {
                return *metric;
            }
        }
        return *owned_.front();
    }
    const ServerPerfMetric* const* Array() const { return view_.data(); }

  private:
    std::vector<std::unique_ptr<ServerPerfMetric>> owned_;
    std::vector<const ServerPerfMetric*> view_;
};

std::vector<std::uint32_t> Recommended(const ServerPerfRecs& recs) {
    std::vector<std::uint32_t> set;
    for (std::uint32_t r = 0; r < PerfRecs::kRecommendations; ++r) {
        if (recs.recommendations[r] != 0) {
            set.push_back(r);
        }
    }
    return set;
}

std::vector<std::uint32_t> Failed(const ServerPerfRecs& recs) {
    std::vector<std::uint32_t> failed;
    for (std::uint32_t id = 0; id < PerfRecs::kMetricChecks; ++id) {
        if (recs.metricChecks[id] == ServerPerfRecs::kCheckFailed) {
            failed.push_back(id);
        }
    }
    return failed;
}

using Ids = std::vector<std::uint32_t>;
using Values = std::map<std::uint32_t, std::uint32_t>;

void Check(ServerPerfRecs& recs, const Words& words) {
    RecordBytes record(words);
    recs.CheckRecord(record.View());
}

TEST(PerfRuleTableTest, RowsAsTheTableReads) {
    ASSERT_EQ(PerfRuleTable.size(), 15u);
    for (std::uint32_t r = 0; r < 14; ++r) {
        EXPECT_EQ(PerfRuleTable[r][0], r + 2);
    }
    const PerfRule& last = PerfRuleTable.back();
    EXPECT_EQ(last[0], 0u);
    for (std::size_t w = 1; w < last.size(); ++w) {
        EXPECT_EQ(last[w], 2u);
    }
    // Rule 6: check 9 failed; 6, 7, 8, 10 passed; memory not full.
    const PerfRule& six = PerfRuleTable[4];
    const PerfRule expected = {6, 2, 2, 2, 2, 2, 2, 0, 0, 0, 1, 0, 2, 2, 2, 2, 2, 2, 0, 2};
    EXPECT_EQ(six, expected);
    // Rule 7: check 8 failed, drive slots full.
    EXPECT_EQ(PerfRuleTable[5][1 + 8], 1u);
    EXPECT_EQ(PerfRuleTable[5][kRuleDrivesFull], 1u);
    EXPECT_EQ(PerfRuleTable[5][kRuleMemoryFull], 2u);
}

TEST(PerfRecsEvaluate, AQuietWindowGetsNoRecommendation) {
    ServerPerfRecs recs(0, kDay);
    Metrics metrics;
    recs.Evaluate(metrics.Array());
    // Only check 13 fails: it never has data. No rule holds on it alone.
    EXPECT_EQ(Failed(recs), Ids({13}));
    EXPECT_EQ(Recommended(recs), Ids{});
    EXPECT_EQ(recs.DrivesFull(), 0u);
    EXPECT_EQ(recs.MemoryFull(), 0u);
    EXPECT_EQ(recs.metricChecks[3], 1u);  // never checked
}

TEST(PerfRecsEvaluate, EachLimitFailsJustAboveIt) {
    const std::pair<std::uint32_t, std::uint32_t> limits[] = {{6, 1},   {7, 20},  {8, 110},
                                                              {9, 200}, {11, 31}, {12, 64}};
    for (const auto& [id, limit] : limits) {
        for (std::uint32_t value : {limit, limit + 1, kNoData}) {
            ServerPerfRecs recs(0, kDay);
            Metrics metrics(Values{{id, value}});
            recs.Evaluate(metrics.Array());
            EXPECT_EQ(recs.metricChecks[id], value > limit ? 2u : 1u) << id << " " << value;
        }
    }
    // Check 13 fails even at 9999999 and below: its metric has no data.
    ServerPerfRecs recs(0, kDay);
    Metrics metrics(Values{{13, 9999999}});
    recs.Evaluate(metrics.Array());
    EXPECT_EQ(recs.metricChecks[13], 1u);
}

TEST(PerfRecsEvaluate, WorkloadAndDemandAreMeasuredAgainstTheDrives) {
    const auto failed = [](std::map<std::uint32_t, std::uint32_t> values) {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(values);
        recs.Evaluate(metrics.Array());
        return Failed(recs);
    };
    // Metric 2 at 3: check 10 passes at 30 and fails at 31.
    EXPECT_EQ(failed({{2, 3}, {10, 30}, {16, 3}}), Ids({13}));
    EXPECT_EQ(failed({{2, 3}, {10, 31}, {16, 3}}), Ids({10, 13}));
    // Check 16 passes when metric 16 equals metric 2, fails below.
    EXPECT_EQ(failed({{2, 3}, {10, 0}, {16, 2}}), Ids({13, 16}));
    // The product wraps: 10 x 0x1999999A is 4 modulo 2^32.
    EXPECT_EQ(failed({{2, 0x1999999A}, {10, 5}, {16, 0x1999999A}}), Ids({10, 13}));
}

TEST(PerfRecsEvaluate, RoomFlagsDecideBetweenADiskAndASubsystem) {
    // Metric 2 at 11 with 12 drive slots: room for a disk.
    {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(Values{{8, 111}});
        recs.Evaluate(metrics.Array());
        EXPECT_EQ(recs.DrivesFull(), 0u);
        EXPECT_EQ(Recommended(recs), Ids({3}));  // add a physical disk
    }
    // At 12: the slots are full, another subsystem is the answer.
    {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(Values{{2, 12}, {8, 111}});
        recs.Evaluate(metrics.Array());
        EXPECT_EQ(recs.DrivesFull(), 1u);
        EXPECT_EQ(Recommended(recs), Ids({7}));
    }
    // The write cache: DRAM while modules are free, else a subsystem.
    {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(Values{{9, 201}});
        recs.Evaluate(metrics.Array());
        EXPECT_EQ(Recommended(recs), Ids({6}));
    }
    {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(Values{{9, 201}, {5, 3}});
        recs.Evaluate(metrics.Array());
        EXPECT_EQ(recs.MemoryFull(), 1u);
        EXPECT_EQ(Recommended(recs), Ids({9}));
    }
}

TEST(PerfRecsEvaluate, RulesOfSeveralChecks) {
    const auto recommended = [](std::map<std::uint32_t, std::uint32_t> values) {
        ServerPerfRecs recs(0, kDay);
        Metrics metrics(values);
        recs.Evaluate(metrics.Array());
        return Recommended(recs);
    };
    // Rule 13 holds exactly when checks 10 and 16 fail (13 always does);
    // rule 5 (workload with room for a disk) holds beside it.
    EXPECT_EQ(recommended({{10, 111}, {16, 5}}), Ids({5, 12, 13}));
    // Unstable working set: 7 failed with 8 and 16 passed.
    EXPECT_EQ(recommended({{7, 21}}), Ids({4}));
    EXPECT_EQ(recommended({{7, 21}, {8, 111}}), Ids({3}));
    // Controller load with everything else passed never holds: check 13
    // fails; but order constraints (11 and 16) do.
    EXPECT_EQ(recommended({{11, 32}}), Ids{});
    EXPECT_EQ(recommended({{11, 32}, {16, 5}}), Ids({14}));
    // Not enough demand: 16 failed with 11 passed.
    EXPECT_EQ(recommended({{16, 5}}), Ids({12}));
    EXPECT_EQ(recommended({{12, 65}}), Ids({15}));
    EXPECT_EQ(recommended({{6, 2}}), Ids({2}));
}

TEST(PerfRecsEvaluate, RuleEvaluationByItself) {
    ServerPerfRecs recs(0, kDay);
    EXPECT_EQ(recs.EvaluateRule(1), 0u);  // no row
    EXPECT_EQ(recs.EvaluateRule(0), 0u);
    EXPECT_EQ(recs.EvaluateRule(16), 0u);
    recs.metricChecks[12] = 2;
    EXPECT_EQ(recs.EvaluateRule(15), 1u);
    EXPECT_EQ(recs.CheckState(12), 1u);
    EXPECT_EQ(recs.CheckState(11), 0u);
    recs.metricChecks[11] = 0;
    EXPECT_EQ(recs.CheckState(11), 2u);
    // A cleared entry satisfies both a "failed" and a "passed" condition.
    recs.metricChecks[16] = 0;
    EXPECT_EQ(recs.EvaluateRule(14), 1u);
}

TEST(PerfRecsCheck, CountersRaiseTheirConditions) {
    struct Case {
        std::uint32_t counter;
        std::uint32_t condition;
        bool finding;
    };
    const Case cases[] = {{1, 8, true},  {2, 0, true}, {3, 1, true},  {4, 2, true}, {5, 3, false},
                          {6, 4, false}, {7, 5, true}, {8, 6, false}, {9, 7, true}, {10, 7, true}};
    for (const Case& c : cases) {
        ServerPerfRecs recs(0, kDay);
        Check(recs, With(QuietWords(), {{Counter(c.counter), 1}}));
        for (std::uint32_t n = 0; n <= PC_REDUNDANCY_LOSS; ++n) {
            EXPECT_EQ(recs.conditions[n], n == c.condition ? 1u : 0u) << "C" << c.counter;
        }
        EXPECT_EQ(recs.recommendations[1], c.finding ? 1u : 0u) << "C" << c.counter;
        EXPECT_EQ(recs.metricChecks[6], c.finding ? 0u : 1u) << "C" << c.counter;
    }
    // Redundancy lost (anything but 1): a finding.
    ServerPerfRecs recs(0, kDay);
    Check(recs, With(QuietWords(), {{perftest::kRedundancy, 2}}));
    EXPECT_EQ(recs.conditions[PC_REDUNDANCY_LOSS], 1u);
    EXPECT_EQ(recs.recommendations[1], 1u);
}

TEST(PerfRecsCheck, ARecordWithoutStatusPollsSaysNothingOfItsCounters) {
    ServerPerfRecs recs(0, kDay);
    Words idle = With(QuietWords(), {{perftest::kStatusPolls, 0}, {Counter(1), 5}});
    Check(recs, idle);
    EXPECT_EQ(recs.conditions[PC_DRIVE_COUNT_CHANGED], 0u);
    EXPECT_EQ(recs.recommendations[1], 0u);
    // The redundancy is read before the poll count: still a finding.
    Check(recs, With(idle, {{perftest::kRedundancy, 0}}));
    EXPECT_EQ(recs.conditions[PC_REDUNDANCY_LOSS], 1u);
}

TEST(PerfRecsCheck, ConditionsWithoutAFindingLeaveTheRulesRunning) {
    ServerPerfRecs recs(0, kDay);
    Check(recs, With(QuietWords(), {{Counter(5), 1}, {Counter(6), 1}, {Counter(8), 2}}));
    Metrics metrics(Values{{6, 2}});
    recs.Evaluate(metrics.Array());
    EXPECT_EQ(recs.conditions[PC_NVRAM_FAILURE], 1u);
    EXPECT_EQ(recs.conditions[PC_DRAM_FAILURE], 1u);
    EXPECT_EQ(recs.conditions[PC_CONTROLLER_FAILOVER], 1u);
    EXPECT_EQ(Recommended(recs), Ids({2}));
}

TEST(PerfRecsCheck, AQuarterOfTheSlotsMayBeMissingOrEmpty) {
    // A 24-hour window: 96 slots, 24 hours.
    ServerPerfRecs recs(0, kDay);
    for (int k = 0; k < 72; ++k) {
        Check(recs, QuietWords());
    }
    for (int k = 0; k < 12; ++k) {
        recs.CheckRecord(std::nullopt);
    }
    for (int k = 0; k < 6; ++k) {
        Check(recs, With(QuietWords(), {{0, 2}}));  // incomplete
    }
    for (int k = 0; k < 6; ++k) {
        Check(recs, With(QuietWords(), {{perftest::kCabinet, 0}}));  // no cabinet data
    }
    EXPECT_EQ(recs.MissingSlots(), 18u);
    EXPECT_EQ(recs.EmptyCabinets(), 6u);
    EXPECT_EQ(recs.conditions[PC_INVALID_RECORDS], 0u);
    EXPECT_EQ(recs.recommendations[1], 0u);
    // The 25th: condition 9 and a finding; the checks are cleared and no
    // rule is evaluated, but the room flags still are.
    recs.CheckRecord(std::nullopt);
    EXPECT_EQ(recs.conditions[PC_INVALID_RECORDS], 1u);
    Metrics metrics(Values{{6, 2}, {2, 12}});
    EXPECT_EQ(recs.Evaluate(metrics.Array()), 1u);
    EXPECT_EQ(Recommended(recs), Ids({1}));
    for (std::uint32_t id = 0; id < PerfRecs::kMetricChecks; ++id) {
        EXPECT_EQ(recs.metricChecks[id], 0u) << id;
    }
    EXPECT_EQ(recs.DrivesFull(), 1u);
}

TEST(PerfRecsCheck, RecordsWithoutStatusPollsMakeNoInsufficientDataTest) {
    // A one-hour window (limit 1): two missing slots, then a record
    // without polls; the count passes the limit but condition 9 waits for
    // a slot that makes the test.
    ServerPerfRecs recs(0, 3600);
    recs.CountMissingSlots(1);
    recs.CheckRecord(std::nullopt);
    EXPECT_EQ(recs.conditions[PC_INVALID_RECORDS], 1u);
    ServerPerfRecs quiet(0, 3600);
    quiet.CountMissingSlots(2);
    Check(quiet, With(QuietWords(), {{perftest::kStatusPolls, 0}}));
    EXPECT_EQ(quiet.conditions[PC_INVALID_RECORDS], 0u);
}

TEST(PerfRecsCheck, AShortRecordIsNoRecord) {
    ServerPerfRecs recs(0, kDay);
    RecordBytes shortRecord(QuietWords(), 256);  // ends where the cabinet status begins
    recs.CheckRecord(shortRecord.View());
    EXPECT_EQ(recs.MissingSlots(), 1u);
    RecordBytes justEnough(QuietWords(), 260);
    recs.CheckRecord(justEnough.View());
    EXPECT_EQ(recs.MissingSlots(), 1u);
}

}  // namespace
