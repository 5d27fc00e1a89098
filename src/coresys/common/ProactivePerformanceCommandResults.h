// The result of the service's own performance review: a value and the
// recommendations it produced.
#pragma once

#include <cstdint>
#include <memory>

#include "coresys/common/CommandResults.h"
#include "coresys/common/PerfRecs.h"

class ProactivePerformanceCommandResults : public CommandResults {
  public:
    std::int32_t perfValue = 0;
    PerfRecs recs;

    ProactivePerformanceCommandResults() {
        type = PROACTIVE_PERFORMANCE_COMMAND_RESULTS;
        code = MC_ProactivePerformance;
    }
    ProactivePerformanceCommandResults(std::int32_t value, const PerfRecs& records, std::int32_t r);

    // Wire: the CommandResults part, perfValue, recs.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::unique_ptr<CommandResults> Clone() const override {
        return std::make_unique<ProactivePerformanceCommandResults>(*this);
    }
    void Assign(const CommandResults& other) override;
};
