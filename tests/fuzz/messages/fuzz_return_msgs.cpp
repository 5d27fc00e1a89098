// Feeds arbitrary bytes to every reply decoder. A reply that decodes must
// code again without trouble, and decode again from its own bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/ReturnMsgs.h"

namespace {

template <typename Msg>
void Exercise(unsigned char* bytes, std::uint32_t length) {
    Msg msg;
    if (!msg.DecodeMsg(bytes, length)) {
        return;
    }
    unsigned char* again = msg.EncodeMsg();
    Msg decoded;
    if (!decoded.DecodeMsg(again, msg.length)) {
        __builtin_trap();
    }
    CodedBuff::FreeData(again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    std::vector<unsigned char> input(data, data + size);
    unsigned char* bytes = input.empty() ? nullptr : input.data();
    const auto length = static_cast<std::uint32_t>(size);

    Exercise<OkStatus_RtnMsg>(bytes, length);
    Exercise<OruErrStatus_RtnMsg>(bytes, length);
    Exercise<ValueStatus_RtnMsg>(bytes, length);
    Exercise<PerfMetrics_RtnMsg>(bytes, length);
    Exercise<PerfRecs_RtnMsg>(bytes, length);
    Exercise<Buffer_RtnMsg>(bytes, length);
    Exercise<GrossStatus_ReturnMsg>(bytes, length);
    Exercise<State_RtnMsg>(bytes, length);
    // Events decode into scratch records here; their re-encode comes from
    // those same records.
    {
        Event_RtnMsg msg;
        if (msg.DecodeMsg(bytes, length)) {
            DiskArrayState state;
            OruServerState server;
            Event_RtnMsg bound(&state, &server);
            if (!bound.DecodeMsg(bytes, length)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
