#include "coresys/common/Hardware.h"

namespace {

// Reads one counted list; the count is checked against the bytes left before
// the list grows.
bool DecodeList(CodedBuff& buff, std::vector<std::uint32_t>& list,
                void (*decodeWord)(CodedBuff&, std::uint32_t&)) {
    std::uint32_t count = 0;
    decodeWord(buff, count);
    list.clear();
    if (!buff.CanHold(count, 4)) {
        buff.Fail();
        return false;
    }
    list.resize(count);
    for (std::uint32_t& value : list) {
        decodeWord(buff, value);
    }
    return !buff.Failed();
}

}  // namespace

void Hardware::Encode(CodedBuff& buff) {
    EncodeVal(buff, Count1());
    for (std::uint32_t value : values1) {
        EncodeVal(buff, value);
    }
    EncodeVal(buff, Count2());
    for (std::uint32_t value : values2) {
        EncodeVal(buff, value);
    }
}

void Hardware::Decode(CodedBuff& buff) {
    auto word = [](CodedBuff& b, std::uint32_t& v) { DecodeVal(b, v); };
    if (!DecodeList(buff, values1, word) || !DecodeList(buff, values2, word)) {
        values1.clear();
        values2.clear();
    }
}
