#include "coresys/common/PerfMetric.h"

void PerfMetric::Encode(CodedBuff& buff) {
    EncodeVal(buff, static_cast<std::uint32_t>(id));
    EncodeVal(buff, windowStart);
    EncodeVal(buff, windowEnd);
    EncodeVal(buff, slotsPerValue);
    EncodeVal(buff, ValueCount());
    for (std::uint32_t value : values) {
        EncodeVal(buff, value);
    }
    EncodeVal(buff, scale);
    EncodeVal(buff, threshold);
    EncodeVal(buff, static_cast<std::uint32_t>(relop));
    EncodeVal(buff, metricWord);
    EncodeVal(buff, extra1);
    EncodeVal(buff, extra2);
}

void PerfMetric::Decode(CodedBuff& buff) {
    std::uint32_t word = 0;
    DecodeVal(buff, word);
    id = static_cast<PERF_METRIC>(word);
    DecodeVal(buff, windowStart);
    DecodeVal(buff, windowEnd);
    DecodeVal(buff, slotsPerValue);
    std::uint32_t count = 0;
    DecodeVal(buff, count);
    values.clear();
    if (!buff.CanHold(count, 4)) {
        buff.Fail();
    } else {
        values.resize(count);
        for (std::uint32_t& value : values) {
            DecodeVal(buff, value);
        }
    }
    DecodeVal(buff, scale);
    DecodeVal(buff, threshold);
    DecodeVal(buff, word);
    relop = static_cast<RELATIONAL_OPERATOR>(word);
    DecodeVal(buff, metricWord);
    DecodeVal(buff, extra1);
    DecodeVal(buff, extra2);
}
