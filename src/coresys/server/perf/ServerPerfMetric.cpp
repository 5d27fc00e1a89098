#include "coresys/server/perf/ServerPerfMetric.h"

#include <algorithm>
#include <array>

namespace {

struct MetricDefinition {
    std::uint32_t threshold;
    std::uint32_t scale;
    RELATIONAL_OPERATOR relop;
};

// Threshold, scale and operator of identifiers 1..16 (index 0 unused).
constexpr std::array<MetricDefinition, 17> kMetricTable = {{
    {0, 0, RELOP_LESS},
    {0, 1, RELOP_GREATER},        // 1 redundancy state
    {0, 1, RELOP_LESS},           // 2 drives present (member slots)
    {0, 1, RELOP_GREATER},        // 3 virtual remaining capacity, KB
    {0, 1, RELOP_LESS},           // 4 RAID 1 capacity, KB
    {0, 1, RELOP_LESS},           // 5 memory modules in use
    {1, 1, RELOP_GREATER},        // 6 balance of disks on the buses
    {20, 100, RELOP_GREATER},     // 7 work set stability
    {110, 100, RELOP_GREATER},    // 8 work set size
    {200, 1000, RELOP_GREATER},   // 9 write cache
    {10, 1, RELOP_GREATER},       // 10 workload per drive
    {31, 100, RELOP_GREATER},     // 11 controller load
    {64, 1, RELOP_GREATER},       // 12 severity level
    {9999999, 1, RELOP_GREATER},  // 13 bandwidth use (never measured)
    {0, 1, RELOP_LESS},           // 14 order constraints
    {0, 1, RELOP_LESS},           // 15
    {1, 1, RELOP_LESS},           // 16 host demand
}};

constexpr std::uint32_t kSlotSeconds = 900;

// The sum of P[first] .. P[last]; none when the record misses one.
std::optional<std::uint64_t> WordSum(const LogRecordView& record, std::uint32_t first,
                                     std::uint32_t last) {
    std::uint64_t sum = 0;
    for (std::uint32_t k = first; k <= last; ++k) {
        std::optional<std::uint32_t> word = record.PayloadWord(k);
        if (!word) {
            return std::nullopt;
        }
        sum += *word;
    }
    return sum;
}

}  // namespace

std::unique_ptr<ServerPerfMetric> ServerPerfMetric::Make(std::uint32_t identifier) {
    if (identifier < PERF_METRIC_FIRST || identifier > PERF_METRIC_LAST) {
        return nullptr;
    }
    const MetricDefinition& d = kMetricTable[identifier];
    return std::unique_ptr<ServerPerfMetric>(
        new ServerPerfMetric(static_cast<PERF_METRIC>(identifier), d.threshold, d.scale, d.relop));
}

std::uint32_t ServerPerfMetric::ThresholdOf(std::uint32_t identifier) {
    if (identifier < PERF_METRIC_FIRST || identifier > PERF_METRIC_LAST) {
        return 0;
    }
    return kMetricTable[identifier].threshold;
}

void ServerPerfMetric::Prepare(std::uint32_t start, std::uint32_t end, std::uint32_t slotsPerValueG,
                               std::uint32_t valueCount, std::uint32_t slots) {
    windowStart = start;
    windowEnd = end;
    slotsPerValue = slotsPerValueG;
    raw_.assign(slots, kNoData);
    values.assign(valueCount, kNoData);
}

std::uint64_t ServerPerfMetric::Kilobytes(std::uint64_t count, std::uint64_t unit) {
    if (unit < 1024) {
        // unit is never 0 here: a record with a unit of 0 has no data.
        return unit == 0 ? 0 : (count + 1) / (1024 / unit);
    }
    if (unit == 1024) {
        return count;
    }
    return count * (unit / 1024);
}

std::uint32_t ServerPerfMetric::Compute(const std::optional<LogRecordView>& record) {
    if (!record || record->PayloadWord(0) != kValidRecord) {
        return kNoData;
    }
    std::optional<std::uint64_t> value = Formula(*record);
    if (!value) {
        return kNoData;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(*value, kLargestValue));
}

std::optional<std::uint64_t> ServerPerfMetric::Formula(const LogRecordView& record) {
    // P[k] of the record, none when the record is too short for it.
    auto P = [&record](std::uint32_t k) -> std::optional<std::uint64_t> {
        return record.PayloadWord(k);
    };
    const std::uint64_t s = scale;
    switch (static_cast<std::uint32_t>(id)) {
        case 1:
            return P(20);
        case 2: {
            auto member = P(9);
            auto slots = P(3);
            if (!member || !slots) {
                return std::nullopt;
            }
            extra1 = *slots;
            return *member;
        }
        case 3:
        case 4: {
            auto count = P(id == 3 ? 21 : 23);
            auto unit = P(id == 3 ? 22 : 24);
            if (!count || !unit || *unit == 0) {
                return std::nullopt;
            }
            return *count == 0 ? 0 : s * Kilobytes(*count, *unit);
        }
        case 5: {
            auto failed = P(32);
            auto modules = P(31);
            if (!failed || !modules) {
                return std::nullopt;
            }
            extra2 = *modules;
            return *failed;
        }
        case 6: {
            auto high = P(1);
            auto low = P(2);
            if (!high || !low) {
                return std::nullopt;
            }
            // The writer never stores a lowest count above the highest; the
            // difference stays the 32-bit one it always was.
            return static_cast<std::uint32_t>(*high - *low);
        }
        case 7: {
            auto moves = WordSum(record, 51, 53);
            auto rate = P(89);
            if (!moves || !rate || *rate < 128) {
                return std::nullopt;
            }
            return *moves * 5 * 200 / kSlotSeconds * 100 / (*rate / 128);
        }
        case 8: {
            auto workingSet = P(91);
            auto rate = P(89);
            if (!workingSet || !rate || *rate == 0) {
                return std::nullopt;
            }
            return *workingSet * s / *rate;
        }
        case 9:
        case 11: {
            auto amount = id == 9 ? P(81) : WordSum(record, 70, 71);
            auto divisor = P(63);
            if (!amount || !divisor) {
                return std::nullopt;
            }
            const std::uint64_t scaled = *amount * s;
            return *divisor != 0 ? scaled / *divisor : scaled;
        }
        case 10:
        case 16:
            return WordSum(record, 92, 103);
        case 12: {
            auto stalls = P(55);
            if (!stalls) {
                return std::nullopt;
            }
            return *stalls * s;
        }
        case 14:
        case 15: {
            auto amount = id == 14 ? WordSum(record, 59, 60) : WordSum(record, 61, 62);
            if (!amount) {
                return std::nullopt;
            }
            return id == 14 ? *amount / kSlotSeconds * 512 : *amount / kSlotSeconds;
        }
        default:  // 13: never measured
            return std::nullopt;
    }
}

void ServerPerfMetric::Summarize() {
    const std::uint64_t needed = std::uint64_t{values.size()} * slotsPerValue;
    if (slotsPerValue == 0 || needed > raw_.size()) {
        return;  // never prepared so: the values stay "no data"
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = Aggregate(slotsPerValue, raw_.data() + i * slotsPerValue);
    }
}

std::uint32_t ServerPerfMetric::Aggregate(std::uint32_t groupSize, const std::uint32_t* raw) const {
    if (id == 1) {
        return AggregateState(groupSize, raw);
    }
    std::uint32_t missing = 0;
    std::uint64_t sum = 0;
    for (std::uint32_t k = 0; k < groupSize; ++k) {
        if (raw[k] == kNoData) {
            ++missing;
        } else {
            sum += raw[k];
        }
    }
    const std::uint64_t present = groupSize - missing;
    if (missing > groupSize / 4 || present == 0) {
        return kNoData;
    }
    // The rounded mean of values below "no data" stays below it.
    return static_cast<std::uint32_t>((present / 2 + sum) / present);
}

// The redundancy state over a group: 0 as soon as any slot lost redundancy;
// a 2 counts only after a 0 was seen. Missing slots beyond a quarter of the
// group give no data.
std::uint32_t ServerPerfMetric::AggregateState(std::uint32_t groupSize,
                                               const std::uint32_t* raw) const {
    std::uint32_t result = 1;
    std::uint64_t missing = 0;
    for (std::uint32_t k = 0; k < groupSize; ++k) {
        switch (raw[k]) {
            case 0:
                result = 0;
                break;
            case 1:
                break;
            case 2:
                if (result != 1) {
                    result = 2;
                }
                break;
            default:
                // More than G x 0.25, compared exactly.
                if (4 * ++missing > groupSize) {
                    return kNoData;
                }
                break;
        }
    }
    return result;
}
