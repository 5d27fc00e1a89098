// One performance metric with its values over a time window.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/common/OruXdr.h"
#include "coresys/common/PerfTypes.h"

class PerfMetric : public OruXdr {
  public:
    // Coded size without values; each value adds 4 bytes.
    static constexpr std::uint32_t kFixedWireSize = 11 * 4;
    // A value the service had no data for.
    static constexpr std::uint32_t kNoData = 0xFFFFFFFFu;

    PERF_METRIC id = PERF_METRIC_NONE;
    std::uint32_t windowStart = 0;
    std::uint32_t windowEnd = 0;
    std::uint32_t slotsPerValue = 0;
    std::vector<std::uint32_t> values;  // valueCount on the wire
    std::uint32_t scale = 0;
    std::uint32_t threshold = 0;
    RELATIONAL_OPERATOR relop = RELOP_GREATER;
    std::uint32_t metricWord = 0;
    std::uint32_t extra1 = 12;
    std::uint32_t extra2 = 1;

    PerfMetric() = default;
    PerfMetric(PERF_METRIC metric, std::uint32_t thresholdValue, std::uint32_t scaleValue,
               RELATIONAL_OPERATOR op)
        : id(metric), scale(scaleValue), threshold(thresholdValue), relop(op) {}

    // Wire: id, windowStart, windowEnd, slotsPerValue, valueCount, the
    // values, scale, threshold, relop, metricWord, extra1, extra2: 44 bytes
    // plus 4 per value. Decode fails the buffer when valueCount is larger
    // than the bytes left; the values are then empty.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::uint32_t ValueCount() const { return static_cast<std::uint32_t>(values.size()); }
    std::uint32_t WireSize() const { return kFixedWireSize + 4 * ValueCount(); }
};
