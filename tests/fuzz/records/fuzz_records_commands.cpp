// Fuzzes the command bookkeeping decoders. Byte 0 picks the record: 0 the
// results list, 1 the running-command list, 2 the server state (both lists),
// 3 the error record. A decoded list, coded and decoded twice, must code to
// the same bytes again (each round trip reverses a list).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/CommandInProgressArray.h"
#include "coresys/common/CommandResultsArray.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/oruerr.h"

namespace {

std::vector<unsigned char> Encode(OruXdr& record) {
    CodedBuff buff;
    buff.Setup(4);
    record.Encode(buff);
    std::vector<unsigned char> out(buff.data, buff.data + buff.position);
    CodedBuff::FreeData(buff.TakeData());
    return out;
}

bool Decode(OruXdr& record, std::vector<unsigned char>& bytes) {
    CodedBuff buff;
    buff.SetupDecode(bytes.empty() ? nullptr : bytes.data(),
                     static_cast<std::uint32_t>(bytes.size()), 4);
    record.Decode(buff);
    return !buff.Failed() && buff.position == bytes.size();
}

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
    std::vector<unsigned char> first = Encode(record);
    Record once;
    Record twice;
    if (!Decode(once, first)) {
        std::abort();
    }
    std::vector<unsigned char> second = Encode(once);
    if (!Decode(twice, second) || Encode(twice) != first) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::vector<unsigned char> body(data + 1, data + size);
    switch (data[0] & 3) {
        case 0:
            Run<CommandResultsArray>(body);
            break;
        case 1:
            Run<CommandInProgressArray>(body);
            break;
        case 2:
            Run<OruServerState>(body);
            break;
        default: {
            Run<oruerr>(body);
            oruerr err;
            CodedBuff buff;
            buff.SetupDecode(body.empty() ? nullptr : body.data(),
                             static_cast<std::uint32_t>(body.size()), 4);
            err.Decode(buff);
            // Printers read the text bounded, also when it holds sense data.
            if (err.TextView().size() > err.SenseBytes().size()) {
                std::abort();
            }
            break;
        }
    }
    return 0;
}
