// Feeds arbitrary bytes to the client's reply handling: the header decode,
// the choice of class by kind and the poll result, twice over the same
// state so that replacement and in-place updates are both reached.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "coresys/common/PollMsg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    std::vector<unsigned char> input(data, data + size);
    unsigned char* bytes = input.empty() ? nullptr : input.data();
    const auto length = static_cast<std::uint32_t>(size);

    DiskArrayState state;
    OruServerState server;
    for (int pass = 0; pass < 2; ++pass) {
        std::unique_ptr<PollMsg> result = PollMsg::FromReply(bytes, length, state, server);
        if (result == nullptr) {
            continue;
        }
        if (auto* events = dynamic_cast<EventPollMsg*>(result.get())) {
            // Walk the list one past its end.
            for (unsigned short i = 0; i <= events->EventCount() && i < 1000; ++i) {
                (void)(*events)[i];
            }
        }
        // The state stays readable through its bounded accessors.
        for (std::uint32_t slot = 0; slot < 16; ++slot) {
            if (const Physical_Drive* drive = state.Drive(slot)) {
                (void)drive->SerialNumber();
            }
        }
        (void)state.SerialNumber();
        (void)state.AliasName();
    }
    return 0;
}
