// The service's read of one message frame from an accepted session, as the
// session manager's poll uses it. It frames exactly as the client library's
// Session::GetMsg does (type word, length word, body; big-endian), but it
// answers for the service: a session that broke off in the middle of a
// frame, or that sent what is no frame at all, is closed and every
// revision-4 client is told with a server-software event (RaiseServerEvent):
//   4  the length word could not be read (a connection the client closed
//      counts as a message frame whose length never came);
//   5  the body could not be read, or its length is no message's length
//      (below a request header or above 1 MiB);
//   6  the type word is neither message (0) nor disconnect (1).
// A disconnect frame closes the session without an event.
//
// Results: SESS_SUCCESS with *body a new block (free it with
// CodedBuff::FreeData) and *length its size; SESS_NO_MESSAGE_WAITING when
// nothing has arrived, or a receive error left the connection standing (the
// session stays); SESS_CONNECTION_UNINITIALIZED when the session is not
// connected or was closed here. Runs on the session manager's thread only.
#pragma once

#include "client/SESSION_STATUS.h"

class Session;

SESSION_STATUS ServerSessionRead(Session& session, void** body, unsigned long* length);

// The server-software event values of a failed session read.
inline constexpr unsigned kSessionEventNoLength = 4;
inline constexpr unsigned kSessionEventNoBody = 5;
inline constexpr unsigned kSessionEventBadType = 6;
