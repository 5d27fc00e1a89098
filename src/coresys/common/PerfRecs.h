// Performance recommendations over a time window: 48 values filled by the
// service's review rules.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class PerfRecs : public OruXdr {
  public:
    static constexpr std::uint32_t kRecommendations = 16;
    static constexpr std::uint32_t kMetricChecks = 17;  // one per metric identifier 0..16
    static constexpr std::uint32_t kConditions = 13;
    static constexpr std::uint32_t kWireSize =
        4 * (2 + kRecommendations + kMetricChecks + kConditions);

    std::uint32_t valueA = 0;
    std::uint32_t valueB = 0;
    std::uint32_t recommendations[kRecommendations] = {};
    std::uint32_t metricChecks[kMetricChecks] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::uint32_t conditions[kConditions] = {};  // conditions and room flags

    PerfRecs() = default;
    PerfRecs(const PerfRecs&) = default;
    PerfRecs& operator=(const PerfRecs&) = default;
    // The service derives its review record from this one.
    ~PerfRecs() override = default;

    // Wire: valueA, valueB, recommendations, metricChecks, conditions.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;
};
