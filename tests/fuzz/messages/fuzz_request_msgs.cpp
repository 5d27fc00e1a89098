// Feeds arbitrary bytes to the request decoders. A request that decodes must
// code back to a message that decodes to the same values.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/RequestMsgs.h"

namespace {

template <typename Msg, typename Same>
void RoundTrip(Msg& msg, Same same) {
    unsigned char* bytes = msg.EncodeMsg();
    const std::uint32_t length = msg.length;
    Msg again;
    if (!again.DecodeMsg(bytes, length) || !same(msg, again) || length % 4 != 0) {
        __builtin_trap();
    }
    CodedBuff::FreeData(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    // An exactly-sized copy, so a read past the input is caught.
    std::vector<unsigned char> input(data, data + size);
    unsigned char* bytes = input.empty() ? nullptr : input.data();
    const auto length = static_cast<std::uint32_t>(size);

    HeaderandValueMsg value;
    if (value.DecodeMsg(bytes, length)) {
        RoundTrip(value, [](const HeaderandValueMsg& a, const HeaderandValueMsg& b) {
            return a.code == b.code && a.version == b.version && a.handle == b.handle &&
                   a.value1 == b.value1 && a.value2 == b.value2 && a.value3 == b.value3 &&
                   a.value4 == b.value4;
        });
    }
    HeaderandStringMsg text;
    if (text.DecodeMsg(bytes, length)) {
        if (text.text == nullptr || text.text[text.textLength] != '\0') {
            __builtin_trap();
        }
        RoundTrip(text, [](const HeaderandStringMsg& a, const HeaderandStringMsg& b) {
            return a.Text() == b.Text() && a.value1 == b.value1 && a.value2 == b.value2;
        });
    }
    HeaderandPerfArrayMsg perf;
    if (perf.DecodeMsg(bytes, length)) {
        RoundTrip(perf, [](const HeaderandPerfArrayMsg& a, const HeaderandPerfArrayMsg& b) {
            if (a.MetricCount() != b.MetricCount()) {
                return false;
            }
            for (std::uint32_t i = 0; i < a.MetricCount(); ++i) {
                if (a.MetricId(i) != b.MetricId(i)) {
                    return false;
                }
            }
            return true;
        });
    }
    return 0;
}
