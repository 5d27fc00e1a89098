#include "coresys/server/net/ServerSession.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "coresys/server/net/ServerEventHook.h"
#include "platform/Clock.h"
#include "platform/Trace.h"
#include "platform/net/SocketIo.h"

namespace {

// Changed on the session manager's thread only.
std::uint32_t g_sessionCount = 0;
std::uint32_t g_connectCount = 0;

}  // namespace

ServerSession::ServerSession(int socket, std::uint32_t revision, std::string secureFile)
    : socket_(socket),
      revision_(revision),
      sessionId_(g_sessionCount + 1),
      secureFile_(std::move(secureFile)) {
    ++g_sessionCount;
    ++g_connectCount;
}

ServerSession::~ServerSession() {
    Close();
}

std::uint32_t ServerSession::SessionCount() {
    return g_sessionCount;
}

std::uint32_t ServerSession::ConnectCount() {
    return g_connectCount;
}

std::uint64_t ServerSession::BudgetMs() {
    return platform::ScaledMs(static_cast<std::uint64_t>(netio::kBudgetSeconds) * 1000);
}

void ServerSession::Close() {
    if (socket_ < 0) {
        return;
    }
    ::close(socket_);
    socket_ = -1;
    out_.Clear();
    if (!secureFile_.empty()) {
        platform::Trace("Removing secureFile - %s\n", secureFile_.c_str());
        ::unlink(secureFile_.c_str());
    }
    --g_connectCount;
}

void ServerSession::Drop(unsigned event) {
    Close();
    // Closed first: the session that broke off never gets its own event.
    if (event != 0) {
        RaiseServerEvent(event);
    }
}

ServerSession::ReadResult ServerSession::Read(std::vector<unsigned char>* message,
                                              std::uint64_t nowMs) {
    message->clear();
    if (!Open()) {
        return ReadResult::CLOSED;
    }
    switch (reader_.Read(socket_, nowMs)) {
        case netio::FrameReader::Result::NOTHING:
            return ReadResult::NOTHING;
        case netio::FrameReader::Result::MESSAGE:
            *message = reader_.TakeMessage();
            return ReadResult::MESSAGE;
        case netio::FrameReader::Result::DISCONNECT:
        case netio::FrameReader::Result::GONE:
            Drop(0);
            break;
        case netio::FrameReader::Result::NO_LENGTH:
            Drop(kSessionEventNoLength);
            break;
        case netio::FrameReader::Result::NO_BODY:
            Drop(kSessionEventNoBody);
            break;
        case netio::FrameReader::Result::BAD_TYPE:
            Drop(kSessionEventBadType);
            break;
    }
    return ReadResult::CLOSED;
}

bool ServerSession::SendRaw(std::vector<unsigned char> bytes, std::uint64_t nowMs) {
    if (!Open()) {
        return false;
    }
    if (!out_.Push(std::move(bytes), nowMs)) {
        platform::Trace("ServerSession - session %u reads too little: closed\n", sessionId_);
        Drop(0);
        return false;
    }
    return Flush(nowMs);
}

bool ServerSession::Send(const unsigned char* message, std::size_t length, std::uint64_t nowMs) {
    if (!Open()) {
        return false;
    }
    // A frame larger than the receiver takes cannot go out (it would refuse
    // it as a broken connection): the session closes, so the client learns
    // that no reply is coming.
    if (length > netio::kMaxFrameLength) {
        platform::Trace("ServerSession - session %u reply of %zu bytes too large: closed\n",
                        sessionId_, length);
        Drop(0);
        return false;
    }
    return SendRaw(netio::EncodeFrame(message, length), nowMs);
}

bool ServerSession::Flush(std::uint64_t nowMs) {
    if (!Open()) {
        return false;
    }
    if (out_.Write(socket_, nowMs) == netio::SendQueue::Flush::FAILED) {
        Drop(0);
        return false;
    }
    return true;
}

bool ServerSession::CloseIfStalled(std::uint64_t nowMs) {
    if (!Open()) {
        return false;
    }
    const std::uint64_t budget = BudgetMs();
    switch (reader_.Expired(nowMs, budget)) {
        case netio::FrameReader::Result::NO_LENGTH:
            Drop(kSessionEventNoLength);
            return true;
        case netio::FrameReader::Result::NO_BODY:
            Drop(kSessionEventNoBody);
            return true;
        default:
            break;
    }
    if (out_.Stalled(nowMs, budget)) {
        platform::Trace("ServerSession - session %u read nothing for the budget: closed\n",
                        sessionId_);
        Drop(0);
        return true;
    }
    return false;
}
