#include "netmgmt/agent/AgentTexts.h"

#include <iterator>

namespace oruagent {

const char* AslStatusName(std::uint32_t status) {
    static constexpr const char* kNames[] = {
        "- ASL_GOOD",
        "- ASL_SCAN_FAILED",
        "- ASL_DG_INITIALIZE_FAILED",
        "- ASL_SECURE_SUCCESS",
        "- ASL_INSUFFICIENT_PERMISSION",
        "- ASL_NO_SUCH_USER_PASSWORD",
        "- ASL_NPI_OK",
        "- ASL_NO_NWNETAPI",
        "- ASL_NO_NWTLIWIN",
        "- ASL_WRONG_API",
        "- ASL_WRONG_TLI",
    };
    return status < std::size(kNames) ? kNames[status] : "- Unknown";
}

const char* SessionStatusName(std::uint32_t status) {
    static constexpr const char* kNames[] = {
        " - SESS_SUCCESS",
        " - SESS_USER_LACKS_SECURITY",
        " - SESS_ALREADY_CONNECTED",
        " - SESS_CONNECTION_NOT_AVAILABLE",
        " - SESS_CONNECTION_FAILED",
        " - SESS_CONNECTION_DOWN",
        " - SESS_CONNECTION_UNINITIALIZED",
        " - SESS_MESSAGE_WAITING",
        " - SESS_NO_MESSAGE_WAITING",
        " - SESS_DISCONNECT_FAILED",
        " - SESS_FRAME_ERROR",
        " - SESS_AUTHENTIFICATION_FAILED",
    };
    return status < std::size(kNames) ? kNames[status] : " - Unknown";
}

}  // namespace oruagent
