#include "coresys/common/PerfRecs.h"

void PerfRecs::Encode(CodedBuff& buff) {
    EncodeVal(buff, valueA);
    EncodeVal(buff, valueB);
    for (std::uint32_t value : recommendations) {
        EncodeVal(buff, value);
    }
    for (std::uint32_t value : metricChecks) {
        EncodeVal(buff, value);
    }
    for (std::uint32_t value : conditions) {
        EncodeVal(buff, value);
    }
}

void PerfRecs::Decode(CodedBuff& buff) {
    DecodeVal(buff, valueA);
    DecodeVal(buff, valueB);
    for (std::uint32_t& value : recommendations) {
        DecodeVal(buff, value);
    }
    for (std::uint32_t& value : metricChecks) {
        DecodeVal(buff, value);
    }
    for (std::uint32_t& value : conditions) {
        DecodeVal(buff, value);
    }
}
