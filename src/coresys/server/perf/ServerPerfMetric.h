// The service's form of a performance metric: one PerfMetric as the client
// receives it, with the raw value of every 900-second slot of the window
// and the arithmetic that turns preventive records (class 2, code 4) into
// values.
//
// Compute reads the payload words P[k] (record offset 60 + 4k) of one
// slot's record and answers the slot's raw value, or no data (0xFFFFFFFF)
// for a slot without a record, a record whose validity word P[0] is not 1,
// or a record too short to hold a word the metric reads. Summarize groups
// the raw values G at a time into the V values; Aggregate is the grouping
// rule (the rounded mean of the present values; metric 1 has its own).
//
// Arithmetic runs in 64 bits and a value is at most 0xFFFFFFFE, so a large
// counter never wraps into a small plausible value nor into "no data".
//
//     auto metric = ServerPerfMetric::Make(8);          // nullptr for 0, 17, ...
//     metric->Prepare(start, end, G, V, N);             // N raw slots, V values
//     for (k = 0; k < N; ++k) metric->SetRaw(k, metric->Compute(record_of_slot_k));
//     metric->Summarize();                              // metric->values
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "coresys/common/PerfMetric.h"
#include "coresys/server/log/LogBlock.h"

class ServerPerfMetric : public PerfMetric {
  public:
    // The largest value a metric holds: one below "no data".
    static constexpr std::uint32_t kLargestValue = 0xFFFFFFFEu;
    // The validity word P[0] of a record that carries data.
    static constexpr std::uint32_t kValidRecord = 1;

    // The metric of an identifier 1..16 with its threshold, scale and
    // operator; nullptr for any other identifier.
    static std::unique_ptr<ServerPerfMetric> Make(std::uint32_t identifier);
    // The threshold of an identifier 1..16; 0 for any other identifier.
    static std::uint32_t ThresholdOf(std::uint32_t identifier);

    // The window, the grouping and room for slots raw values (all no data)
    // and valueCount values. Throws std::bad_alloc when the room cannot be
    // had.
    void Prepare(std::uint32_t start, std::uint32_t end, std::uint32_t slotsPerValueG,
                 std::uint32_t valueCount, std::uint32_t slots);

    // The raw value of one slot's record (none: an empty slot). A valid
    // record also sets the extra words the metric keeps (metric 2: P[3] in
    // extra1; metric 5: P[31] in extra2).
    std::uint32_t Compute(const std::optional<LogRecordView>& record);
    void SetRaw(std::uint32_t slot, std::uint32_t value) {
        if (slot < raw_.size()) {
            raw_[slot] = value;
        }
    }
    // values[i] = Aggregate(G, raw values i*G .. i*G + G - 1), i < V.
    void Summarize();
    // One value from G raw values.
    std::uint32_t Aggregate(std::uint32_t groupSize, const std::uint32_t* raw) const;

    // The first value (the recommendations' one value over the window); no
    // data when there is none.
    std::uint32_t Value() const { return values.empty() ? kNoData : values.front(); }
    const std::vector<std::uint32_t>& Raw() const { return raw_; }

    // K(count, unit): a count of units of unit bytes in kilobytes.
    static std::uint64_t Kilobytes(std::uint64_t count, std::uint64_t unit);

  private:
    ServerPerfMetric(PERF_METRIC identifier, std::uint32_t thresholdValue, std::uint32_t scaleValue,
                     RELATIONAL_OPERATOR op)
        : PerfMetric(identifier, thresholdValue, scaleValue, op) {}

    // The value of a valid record; none when a word it reads is missing.
    std::optional<std::uint64_t> Formula(const LogRecordView& record);
    std::uint32_t AggregateState(std::uint32_t groupSize, const std::uint32_t* raw) const;

    std::vector<std::uint32_t> raw_;
};
