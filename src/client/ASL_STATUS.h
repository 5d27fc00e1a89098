// Result of the subsystem-list operations (OruSubsystemList).
#pragma once

#include <cstdint>

enum ASL_STATUS : std::uint32_t {
    ASL_GOOD = 0,
    ASL_SCAN_FAILED = 1,           // discovery, list or rescan failed
    ASL_DG_INITIALIZE_FAILED = 2,  // the datagram socket could not be set up
    ASL_SECURE_SUCCESS = 3,
    ASL_INSUFFICIENT_PERMISSION = 4,
    ASL_NO_SUCH_USER_PASSWORD = 5,
    ASL_NPI_OK = 6,
    ASL_NO_NWNETAPI = 7,
    ASL_NO_NWTLIWIN = 8,
    ASL_WRONG_API = 9,
    ASL_WRONG_TLI = 10,
};
