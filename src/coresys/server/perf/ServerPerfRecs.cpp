#include "coresys/server/perf/ServerPerfRecs.h"

#include <initializer_list>

#include "coresys/server/perf/ServerPerfMetric.h"

namespace {

// Offsets of the preventive record's words that the checks read.
constexpr std::uint32_t kCompletion = 60;
constexpr std::uint32_t kRedundancy = 140;
constexpr std::uint32_t kStatusPolls = 192;
constexpr std::uint32_t kCounters = 196;  // C1..C10, 4 bytes each
constexpr std::uint32_t kCabinetStatus = 256;
constexpr std::uint32_t kCompleteRecord = 1;
constexpr std::uint32_t kRedundant = 1;
constexpr std::uint32_t kSecondsPerHour = 3600;

constexpr std::uint32_t Counter(int n) {  // offset of C1..C10
    return kCounters + 4 * static_cast<std::uint32_t>(n - 1);
}

// A rule: the checks that must have failed, those that must have passed,
// and the two room flags (2: either).
constexpr PerfRule Rule(std::uint32_t id, std::initializer_list<std::uint32_t> failed,
                        std::initializer_list<std::uint32_t> passed, std::uint32_t drivesFull,
                        std::uint32_t memoryFull) {
    PerfRule row{};
    for (std::uint32_t& word : row) {
        word = 2;
    }
    row[0] = id;
    for (std::uint32_t metric : failed) {
        row[1 + metric] = 1;
    }
    for (std::uint32_t metric : passed) {
        row[1 + metric] = 0;
    }
    row[kRuleMemoryFull] = memoryFull;
    row[kRuleDrivesFull] = drivesFull;
    return row;
}

// The metrics whose threshold is an upper limit: a value above fails (no
// data, 0xFFFFFFFF, always does).
constexpr std::uint32_t kUpperLimited[] = {6, 7, 8, 9, 11, 12, 13};

}  // namespace

const std::array<PerfRule, 15> PerfRuleTable = {
    Rule(2, {6}, {}, 0, 2),
    Rule(3, {8}, {}, 0, 2),
    Rule(4, {7}, {8, 16}, 0, 2),
    Rule(5, {10}, {}, 0, 2),
    Rule(6, {9}, {6, 7, 8, 10}, 2, 0),
    Rule(7, {8}, {}, 1, 2),
    Rule(8, {7}, {8, 16}, 1, 2),
    Rule(9, {9}, {6, 7, 8, 10}, 2, 1),
    Rule(10, {10}, {}, 1, 2),
    Rule(11, {11}, {6, 7, 8, 9, 10, 13, 16}, 2, 2),
    Rule(12, {16}, {11}, 2, 2),
    Rule(13, {10, 13, 16}, {}, 2, 2),
    Rule(14, {11, 16}, {}, 2, 2),
    Rule(15, {12}, {}, 2, 2),
    Rule(0, {}, {}, 2, 2),
};

ServerPerfRecs::ServerPerfRecs(std::uint32_t start, std::uint32_t end) {
    valueA = start;
    valueB = end;
}

void ServerPerfRecs::Raise(std::uint32_t condition, bool finding) {
    conditions[condition] = 1;
    if (finding) {
        SetFinding();
    }
}

std::uint32_t ServerPerfRecs::SetFinding() {
    for (std::uint32_t& check : metricChecks) {
        check = 0;
    }
    recommendations[kFinding] = 1;
    return 0;
}

void ServerPerfRecs::CheckRecord(const std::optional<LogRecordView>& record) {
    // Every word read below must lie in the record: a shorter one is as
    // good as none.
    const bool usable = record && record->Holds(kCabinetStatus, 4) &&
                        record->WordAt(kCompletion) == kCompleteRecord;
    if (!usable) {
        ++missingSlots_;
    } else {
        const auto word = [&record](std::uint32_t offset) { return *record->WordAt(offset); };
        if (word(kCabinetStatus) == 0) {
            ++emptyCabinets_;
        }
        if (word(kRedundancy) != kRedundant) {
            Raise(PC_REDUNDANCY_LOSS, true);
        }
        if (word(kStatusPolls) == 0) {
            // No poll since the record was made: its counters say nothing,
            // and this slot makes no insufficient-data test.
            return;
        }
        const auto raiseIf = [&](bool counted, std::uint32_t condition, bool finding) {
            if (counted) {
                Raise(condition, finding);
            }
        };
        raiseIf(word(Counter(1)) != 0, PC_DRIVE_COUNT_CHANGED, true);
        raiseIf(word(Counter(9)) != 0 || word(Counter(10)) != 0, PC_LONG_DIAGNOSTIC, true);
        raiseIf(word(Counter(2)) != 0, PC_VOLUME_SET_CHANGED, true);
        raiseIf(word(Counter(7)) != 0, PC_DATA_UNAVAILABLE, true);
        raiseIf(word(Counter(3)) != 0, PC_REBUILD_IN_PROGRESS, true);
        raiseIf(word(Counter(4)) != 0, PC_REBUILD_FAILED, true);
        raiseIf(word(Counter(5)) != 0, PC_NVRAM_FAILURE, false);
        raiseIf(word(Counter(6)) != 0, PC_DRAM_FAILURE, false);
        raiseIf(word(Counter(8)) != 0, PC_CONTROLLER_FAILOVER, false);
    }
    // Insufficient data: more slots without a usable record than a quarter
    // of the window's slots.
    if (missingSlots_ + emptyCabinets_ > (valueB - valueA) / kSecondsPerHour) {
        Raise(PC_INVALID_RECORDS, true);
    }
}

std::uint32_t ServerPerfRecs::Evaluate(const ServerPerfMetric* const* metrics) {
    // Identifier -> position in the metric list.
    std::array<int, kMetricChecks> position;
    position.fill(-1);
    for (std::size_t i = 0; i < kMetricList.size(); ++i) {
        if (kMetricList[i] < kMetricChecks) {
            position[kMetricList[i]] = static_cast<int>(i);
        }
    }
    const auto metric = [&](std::uint32_t identifier) -> const ServerPerfMetric* {
        const int at = position[identifier];
        return at < 0 ? nullptr : metrics[at];
    };
    const auto value = [&](std::uint32_t identifier) {
        const ServerPerfMetric* m = metric(identifier);
        return m != nullptr ? m->Value() : PerfMetric::kNoData;
    };
    const auto check = [this](std::uint32_t identifier, bool fails) {
        if (metricChecks[identifier] != 0 && fails) {
            metricChecks[identifier] = kCheckFailed;
        }
    };

    for (const std::uint32_t identifier : kUpperLimited) {
        check(identifier, value(identifier) > ServerPerfMetric::ThresholdOf(identifier));
    }
    const std::uint32_t drives = value(2);
    // The product wraps as it always has: metric 10's threshold is per
    // member drive.
    check(10, value(10) > static_cast<std::uint32_t>(ServerPerfMetric::ThresholdOf(10) * drives));
    check(16, value(16) < drives);

    // Room flags, also after a finding.
    const ServerPerfMetric* drivesMetric = metric(2);
    const ServerPerfMetric* memoryMetric = metric(5);
    conditions[PC_DRIVE_SLOTS_FULL] =
        drivesMetric != nullptr && drivesMetric->Value() < drivesMetric->extra1 ? 0 : 1;
    conditions[PC_MEMORY_FULL] =
        memoryMetric != nullptr && memoryMetric->Value() < memoryMetric->extra2 ? 0 : 1;

    if (recommendations[kFinding] != 0) {
        return recommendations[kFinding];
    }
    std::uint32_t last = 0;
    for (std::uint32_t r = 2; r < kRecommendations; ++r) {
        last = recommendations[r] = EvaluateRule(r);
    }
    return last;
}

std::uint32_t ServerPerfRecs::CheckState(std::uint32_t identifier) const {
    if (identifier >= kMetricChecks) {
        return 2;
    }
    switch (metricChecks[identifier]) {
        case kCheckPassed:
            return 0;
        case kCheckFailed:
            return 1;
        default:
            return 2;
    }
}

std::uint32_t ServerPerfRecs::EvaluateRule(std::uint32_t rule) const {
    if (PerfRuleTable.front()[0] == 0) {
        return 0;
    }
    for (const PerfRule& row : PerfRuleTable) {
        if (row[0] == 0) {
            break;
        }
        if (row[0] != rule) {
            continue;
        }
        // Condition 0 fails on a failed check (state 1), condition 1 on a
        // passed one (state 0); a cleared entry satisfies both.
        for (std::uint32_t identifier = 0; identifier < kMetricChecks; ++identifier) {
            const std::uint32_t wanted = row[1 + identifier];
            const std::uint32_t state = CheckState(identifier);
            if ((wanted == 0 && state == 1) || (wanted == 1 && state == 0)) {
                return 0;
            }
        }
        const auto room = [](std::uint32_t wanted, std::uint32_t flag) {
            return wanted == 2 || (wanted == 0 && flag == 0) || (wanted == 1 && flag != 0);
        };
        return room(row[kRuleMemoryFull], MemoryFull()) && room(row[kRuleDrivesFull], DrivesFull())
                   ? 1
                   : 0;
    }
    return 0;
}
