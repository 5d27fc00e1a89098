// Fuzzes the application of an event reply body to a client's state. Byte 0
// picks the protocol version (even: 3, odd: 4); the rest is an event count
// followed by events and their pieces. Whatever was applied must leave a
// state that codes and decodes again.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/EventList.h"
#include "coresys/common/OruServerState.h"

namespace {

DiskArrayState FullState() {
    DiskArrayState state;
    state.controllers.resize(2);
    state.luns.resize(8);
    state.drives.resize(12);
    state.missing.resize(6);
    state.stateValue6 = 3;
    return state;
}

std::vector<unsigned char> Encode(OruXdr& record, std::uint32_t version) {
    CodedBuff buff;
    buff.Setup(version);
    record.Encode(buff);
    std::vector<unsigned char> out(buff.data, buff.data + buff.position);
    CodedBuff::FreeData(buff.TakeData());
    return out;
}

void CheckRecodes(OruXdr& record, OruXdr& scratch, std::uint32_t version) {
    std::vector<unsigned char> bytes = Encode(record, version);
    CodedBuff buff;
    buff.SetupDecode(bytes.empty() ? nullptr : bytes.data(),
                     static_cast<std::uint32_t>(bytes.size()), version);
    scratch.Decode(buff);
    if (buff.Failed() || buff.position != bytes.size()) {
        std::abort();
    }
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
    DiskArrayState state = FullState();
    OruServerState server;
    EventList list;
    const bool ok = list.DecodeAndApply(buff, state, server);
    if (ok == buff.Failed()) {
        std::abort();
    }
    for (unsigned short i = 0; i < list.Count(); ++i) {
        if (list[i] == nullptr) {
            std::abort();
        }
    }
    DiskArrayState stateCopy;
    CheckRecodes(state, stateCopy, version);
    OruServerState serverCopy;
    CheckRecodes(server, serverCopy, version);
    return 0;
}
