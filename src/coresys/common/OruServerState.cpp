#include "coresys/common/OruServerState.h"

#include <utility>

void OruServerState::Encode(CodedBuff& buff) {
    commandResults.Encode(buff);
    commandsInProgress.Encode(buff);
}

void OruServerState::Decode(CodedBuff& buff) {
    OruServerState fresh;
    fresh.commandResults.Decode(buff);
    fresh.commandsInProgress.Decode(buff);
    if (buff.Failed()) {
        return;
    }
    commandResults = std::move(fresh.commandResults);
    commandsInProgress = std::move(fresh.commandsInProgress);
}
