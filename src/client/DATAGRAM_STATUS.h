// Result of sending or taking one subsystem datagram (OruSubsystemList).
#pragma once

#include <cstdint>

enum DATAGRAM_STATUS : std::uint32_t {
    DATAGRAM_SUCCESS = 0,  // a datagram was taken or sent
    DATAGRAM_NONE = 1,     // none
};
