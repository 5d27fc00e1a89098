// Result of a Session operation (Session::Connect, SendMsg, GetMsg, Disconnect).
#pragma once

#include <cstdint>

enum SESSION_STATUS : std::uint32_t {
    SESS_SUCCESS = 0,                   // connected, sent, or one message received
    SESS_USER_LACKS_SECURITY = 1,       // the secure file could not be created
    SESS_ALREADY_CONNECTED = 2,         // Connect on an open session
    SESS_CONNECTION_NOT_AVAILABLE = 3,  // no socket, or the service has no free session
    SESS_CONNECTION_FAILED = 4,         // any other set-up failure, and a refused serial
    SESS_CONNECTION_DOWN = 5,
    SESS_CONNECTION_UNINITIALIZED = 6,  // not connected, or the connection was lost or closed
    SESS_MESSAGE_WAITING = 7,
    SESS_NO_MESSAGE_WAITING = 8,  // GetMsg found nothing to read
    SESS_DISCONNECT_FAILED = 9,
    SESS_FRAME_ERROR = 10,
    SESS_AUTHENTIFICATION_FAILED = 11,  // the service found no proof of the user's rights
};
