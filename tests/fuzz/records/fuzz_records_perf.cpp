// Fuzzes the performance record decoders. Byte 0 picks the record: even a
// PerfMetric, odd a PerfRecs. A decoded record must code to exactly the bytes
// it was decoded from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"

namespace {

template <typename Record>
void Run(std::vector<unsigned char>& body) {
    Record record;
    CodedBuff buff;
    buff.SetupDecode(body.empty() ? nullptr : body.data(), static_cast<std::uint32_t>(body.size()),
                     4);
    record.Decode(buff);
    if (buff.Failed()) {
        return;
    }
    const std::uint32_t used = buff.position;
    CodedBuff out;
    out.Setup(4);
    record.Encode(out);
    const bool same = out.position == used && std::memcmp(out.data, body.data(), used) == 0;
    CodedBuff::FreeData(out.TakeData());
    if (!same) {
        std::abort();
    }
    Record copy = record;  // copies own their values
    Record assigned;
    assigned = copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::vector<unsigned char> body(data + 1, data + size);
    if ((data[0] & 1) == 0) {
        Run<PerfMetric>(body);
    } else {
        Run<PerfRecs>(body);
    }
    return 0;
}
