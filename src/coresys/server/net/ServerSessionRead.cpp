#include "coresys/server/net/ServerSessionRead.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/server/net/ServerEventHook.h"

namespace {

std::uint32_t GetWord(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | static_cast<std::uint32_t>(at[3]);
}

// Receive errors after which the socket can never deliver a frame again:
// no socket at all, a connection aborted or reset, one shut down or no
// longer connected. Any other error (a transient one, or one the socket
// reports once before it reads as closed) leaves the session to the next
// pass.
bool ConnectionGone(int error) {
    switch (error) {
        case EBADF:
        case ENOTSOCK:
        case ECONNABORTED:
        case ECONNRESET:
        case EPIPE:
        case ESHUTDOWN:
        case ENOTCONN:
            return true;
        default:
            return false;
    }
}

// Closes the session and, for a frame that broke off or made no sense,
// tells the clients which step failed.
SESSION_STATUS Drop(Session& session, unsigned event) {
    SESSION_STATUS status = session.Disconnect();
    if (event != 0) {
        RaiseServerEvent(event);
    }
    return status;
}

}  // namespace

SESSION_STATUS ServerSessionRead(Session& session, void** body, unsigned long* length) {
    *body = nullptr;
    *length = 0;
    const int socket = session.Socket();
    if (session.State() == 0 || socket < 0) {
        return SESS_CONNECTION_UNINITIALIZED;
    }

    unsigned char word[4] = {};
    ssize_t got = recv(socket, word, sizeof word, MSG_DONTWAIT);
    if (got < 0) {
        return ConnectionGone(errno) ? Drop(session, 0) : SESS_NO_MESSAGE_WAITING;
    }
    // A client that closed its end reads as no bytes: a message frame whose
    // length word never comes. Once part of the type word is here the rest
    // of the frame is on its way: take the word whole, or the stream would
    // lose its framing. A word that breaks off is a frame that broke off.
    std::uint32_t type = Session::kFrameMessage;
    bool closed = got == 0;
    if (got > 0) {
        if (got < 4 &&
            !Session::recvNB(socket, word + got, sizeof word - static_cast<std::size_t>(got),
                             Session::kBudgetSeconds)) {
            closed = true;
        } else {
            type = GetWord(word);
        }
    }

    if (type == Session::kFrameDisconnect) {
        return Drop(session, 0);
    }
    if (type != Session::kFrameMessage) {
        return Drop(session, kSessionEventBadType);
    }
    if (closed || !Session::recvNB(socket, word, sizeof word, Session::kBudgetSeconds)) {
        return Drop(session, kSessionEventNoLength);
    }
    const std::uint32_t frameLength = GetWord(word);
    // A length no request can have means the stream is not what it claims;
    // it is refused before anything is allocated for it.
    if (frameLength < Session::kMinFrameLength || frameLength > Session::kMaxFrameLength) {
        return Drop(session, kSessionEventNoBody);
    }
    auto* block = new (std::nothrow) unsigned char[frameLength];
    if (block == nullptr) {
        return Drop(session, kSessionEventNoBody);
    }
    if (!Session::recvNB(socket, block, frameLength, Session::kBudgetSeconds)) {
        CodedBuff::FreeData(block);
        return Drop(session, kSessionEventNoBody);
    }
    *body = block;
    *length = frameLength;
    return SESS_SUCCESS;
}
