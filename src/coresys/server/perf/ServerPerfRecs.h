// The recommendation analysis of one window: the service's form of
// PerfRecs, filled while a recommendation request reads the window's
// preventive records (class 2, code 4) slot by slot.
//
// The 48 values as the service fills them:
//   valueA, valueB     the rounded window (start not advanced over empty slots)
//   recommendations    [1] a finding was made (no recommendation because of a
//                      condition); [r] rule r holds, r = 2..15; [0] always 0
//   metricChecks       per metric identifier: 1 passed or not checked,
//                      2 failed, 0 cleared by a finding
//   conditions         [0..10] the condition flags below, [11] drive slots
//                      full, [12] memory full
//
// CheckRecord sees every slot's record (or none) in slot order and raises
// the conditions; a condition that makes a finding clears every check and
// rules the recommendations out. Evaluate compares the 13 metric values
// with fixed limits and evaluates the rule table (PerfRuleTable). One object
// belongs to one request on its subsystem task.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "coresys/common/PerfRecs.h"
#include "coresys/server/log/LogBlock.h"

class ServerPerfMetric;

// Condition flags and room flags (block 3 indexes).
enum PERF_CONDITION : std::uint32_t {
    PC_VOLUME_SET_CHANGED = 0,
    PC_REBUILD_IN_PROGRESS = 1,
    PC_REBUILD_FAILED = 2,
    PC_NVRAM_FAILURE = 3,
    PC_DRAM_FAILURE = 4,
    PC_DATA_UNAVAILABLE = 5,
    PC_CONTROLLER_FAILOVER = 6,
    PC_LONG_DIAGNOSTIC = 7,
    PC_DRIVE_COUNT_CHANGED = 8,
    PC_INVALID_RECORDS = 9,
    PC_REDUNDANCY_LOSS = 10,
    PC_DRIVE_SLOTS_FULL = 11,
    PC_MEMORY_FULL = 12,
};

// One row of the rule table: the rule id, one check condition per metric
// identifier 0..16, the memory-full condition, the drive-slots-full
// condition. A check condition 0 holds when the check did not fail, 1 when
// it did not pass, 2 always; a room condition 0 holds when the flag is 0,
// 1 when it is set, 2 always.
using PerfRule = std::array<std::uint32_t, 20>;
inline constexpr std::size_t kRuleMemoryFull = 18;
inline constexpr std::size_t kRuleDrivesFull = 19;
// Rules 2..15 in order, then a row of id 0.
extern const std::array<PerfRule, 15> PerfRuleTable;

class ServerPerfRecs : public PerfRecs {
  public:
    // The metrics a recommendation request runs, in this order.
    static constexpr std::array<std::uint32_t, 13> kMetricList = {1, 2,  4,  5,  6,  7, 8,
                                                                  9, 10, 11, 12, 13, 16};
    static constexpr std::uint32_t kFinding = 1;
    static constexpr std::uint32_t kCheckPassed = 1;
    static constexpr std::uint32_t kCheckFailed = 2;

    // Defaults of PerfRecs; A and B the request's window.
    ServerPerfRecs(std::uint32_t start, std::uint32_t end);

    // The rounded window.
    void SetWindow(std::uint32_t start, std::uint32_t end) {
        valueA = start;
        valueB = end;
    }
    // Empty leading slots the preparation stepped over.
    void CountMissingSlots(std::uint32_t slots) { missingSlots_ += slots; }

    // One slot's preventive record, or none for a slot without one. A
    // record too short for the words read here counts as none.
    void CheckRecord(const std::optional<LogRecordView>& record);
    // After every metric's Summarize: metrics holds the 13 metric objects
    // in the order of kMetricList. Returns recommendation 1 when it is set,
    // else rule 15's outcome.
    std::uint32_t Evaluate(const ServerPerfMetric* const* metrics);
    // Clears every check and sets recommendation 1; returns 0.
    std::uint32_t SetFinding();
    // 1 when rule r holds, else 0.
    std::uint32_t EvaluateRule(std::uint32_t rule) const;
    // 0 when identifier's check entry is 1 (passed), 1 when it is 2
    // (failed), 2 for any other value.
    std::uint32_t CheckState(std::uint32_t identifier) const;
    std::uint32_t DrivesFull() const { return conditions[PC_DRIVE_SLOTS_FULL] != 0 ? 1 : 0; }
    std::uint32_t MemoryFull() const { return conditions[PC_MEMORY_FULL] != 0 ? 1 : 0; }

    std::uint32_t MissingSlots() const { return missingSlots_; }
    std::uint32_t EmptyCabinets() const { return emptyCabinets_; }

  private:
    void Raise(std::uint32_t condition, bool finding);

    std::uint32_t emptyCabinets_ = 0;
    std::uint32_t missingSlots_ = 0;
};
