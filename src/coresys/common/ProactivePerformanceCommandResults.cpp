#include "coresys/common/ProactivePerformanceCommandResults.h"

ProactivePerformanceCommandResults::ProactivePerformanceCommandResults(std::int32_t value,
                                                                       const PerfRecs& records,
                                                                       std::int32_t r)
    : CommandResults(PROACTIVE_PERFORMANCE_COMMAND_RESULTS, MC_ProactivePerformance, r, nullptr),
      perfValue(value),
      recs(records) {}

void ProactivePerformanceCommandResults::Encode(CodedBuff& buff) {
    CommandResults::Encode(buff);
    EncodeVal(buff, perfValue);
    recs.Encode(buff);
}

void ProactivePerformanceCommandResults::Decode(CodedBuff& buff) {
    CommandResults::Decode(buff);
    DecodeVal(buff, perfValue);
    recs.Decode(buff);
}

void ProactivePerformanceCommandResults::Assign(const CommandResults& other) {
    if (const auto* perf = dynamic_cast<const ProactivePerformanceCommandResults*>(&other)) {
        *this = *perf;
    } else {
        CommandResults::operator=(other);
    }
}
