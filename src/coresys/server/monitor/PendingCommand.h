// One cancel waiting for the command it names: the canceller, the handle to
// match against later messages, the handle of the cancel itself and when it
// was made (seconds since 1970).
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"

class ServerClient;

struct PendingCommand {
    ServerClient* client = nullptr;
    CommandHandle match;
    CommandHandle origin;
    // Protocol version of the cancel (its reply keeps it).
    std::uint32_t version = 4;
    std::int64_t entered = 0;
};
