// Fuzzes the array-state decoder. Byte 0 picks the protocol version (even: 3,
// odd: 4); the rest is a coded DiskArrayState. A decoded state must code
// again, decode from its own bytes and code to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/DiskArrayState.h"

namespace {

std::vector<unsigned char> Encode(DiskArrayState& state, std::uint32_t version) {
    CodedBuff buff;
    buff.Setup(version);
    state.Encode(buff);
    std::vector<unsigned char> out(buff.data, buff.data + buff.position);
    CodedBuff::FreeData(buff.TakeData());
    return out;
}

// Reads every text and element through the bounded accessors.
std::size_t Touch(const DiskArrayState& state) {
    std::size_t sum =
        state.SerialNumber().size() + state.AliasName().size() + state.ServerName().size();
    for (std::uint32_t i = 0; i < 16; ++i) {
        if (const ControllerInfo* c = state.Controller(i)) {
            sum += c->SerialNumber().size() + c->Vendor().size() + c->MfgProdCode().size();
        }
        if (const Physical_Drive* d = state.Drive(i)) {
            sum += d->SerialNumber().size() + d->DriveText().size();
        }
        if (const Missing_Drive* m = state.Missing(i)) {
            sum += m->VolSetSerialNumber().size();
        }
        if (const LUN* l = state.Lun(i)) {
            sum += l->status;
        }
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint32_t version = (data[0] & 1) != 0 ? 4 : 3;
    std::vector<unsigned char> body(data + 1, data + size);
    CodedBuff buff;
    buff.SetupDecode(body.empty() ? nullptr : body.data(), static_cast<std::uint32_t>(body.size()),
                     version);
    DiskArrayState state;
    state.Decode(buff);
    if (buff.Failed()) {
        if (state.ControllerCount() != 0 || state.modeCache.has_value()) {
            std::abort();  // a failed decode must leave the state untouched
        }
        return 0;
    }
    if (Touch(state) == static_cast<std::size_t>(-1)) {
        std::abort();
    }
    std::vector<unsigned char> first = Encode(state, version);
    DiskArrayState again;
    CodedBuff back;
    back.SetupDecode(first.empty() ? nullptr : first.data(),
                     static_cast<std::uint32_t>(first.size()), version);
    again.Decode(back);
    if (back.Failed() || back.position != first.size() || Encode(again, version) != first) {
        std::abort();
    }
    return 0;
}
