#include "client/Session.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "client/ClientTexts.h"
#include "client/OruSubsystem.h"
#include "client/OruSubsystemList.h"
#include "coresys/common/CodedBuff.h"
#include "platform/Clock.h"
#include "platform/Trace.h"

std::uint32_t Session::sessionCount = 0;
std::uint32_t Session::connectCount = 0;

namespace {

using netio::GetBe32;
using netio::PutBe32;

// The name the resolver gives for the local address, else this host's name;
// cut to 48 characters as the host name buffer holds.
std::string ResolvedLocalName(const sockaddr_in& local) {
    char name[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&local), sizeof local, name, sizeof name,
                    nullptr, 0, NI_NAMEREQD) == 0 &&
        name[0] != '\0') {
        std::string resolved(name);
        return resolved.substr(0, OruSubsystemList::kHostNameSize - 1);
    }
    std::string own;
    OruSubsystemList::LocalHostName(&own);
    return own;
}

}  // namespace

Session::Session(unsigned long revision) : revision_(static_cast<std::uint32_t>(revision)) {}

Session::~Session() {
    if (state_ != 0) {
        Disconnect();
    }
    CloseSocket();
}

void Session::CloseSocket() {
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
}

void Session::SetSecureFile(const char* name) {
    std::memset(secureFile_, 0, sizeof secureFile_);
    if (name != nullptr) {
        std::strncpy(secureFile_, name, sizeof secureFile_ - 1);
    }
}

bool Session::sendNB(int socket, const void* buffer, std::size_t count, int budgetSeconds) {
    return netio::SendAll(socket, buffer, count, budgetSeconds);
}

bool Session::recvNB(int socket, void* buffer, std::size_t count, int budgetSeconds) {
    return netio::ReceiveAll(socket, buffer, count, budgetSeconds);
}

SESSION_STATUS Session::Connect(OruSubsystem* subsystem) {
    if (state_ != 0) {
        status_ = SESS_ALREADY_CONNECTED;
        return status_;
    }
    if (subsystem == nullptr) {
        status_ = SESS_CONNECTION_FAILED;
        return status_;
    }
    socket_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        status_ = SESS_CONNECTION_NOT_AVAILABLE;
        return status_;
    }
    netio::SetNoDelay(socket_);
    status_ = SESS_CONNECTION_FAILED;
    if (!netio::ConnectWithin(socket_, subsystem->serverAddress, kConnectSeconds)) {
        CloseSocket();
        return status_;
    }

    sockaddr_in local{};
    socklen_t localLength = sizeof local;
    if (getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        local.sin_family != AF_INET) {
        CloseSocket();
        return status_;
    }

    // The service waits for a file whose name ends with our own view of the
    // connection: the address it sees us at (or "local") and our port.
    std::string fileId(subsystem->securePath,
                       strnlen(subsystem->securePath, sizeof subsystem->securePath));
    const std::uint32_t method = subsystem->secureMethod;
    if (method == 1 || method == 2) {
        fileId += ResolvedLocalName(local);
        fileId += '.';
    }
    if (method == 0) {
        fileId += "local";
    } else {
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &local.sin_addr, dotted, sizeof dotted);
        fileId += dotted;
    }
    fileId += '.';
    fileId += std::to_string(static_cast<int>(ntohs(local.sin_port)));
    if (fileId.size() >= kSecureFileSize || subsystem->MakeSecure(fileId.c_str()) == 0) {
        CloseSocket();
        status_ = SESS_USER_LACKS_SECURITY;
        return status_;
    }

    unsigned char request[kSessionRequestSize] = {};
    PutBe32(request, revision_ << 16 | 0);
    std::memcpy(request + 4, subsystem->serialNumber, OruSubsystem::kSerialSize);
    unsigned char answerBytes[4] = {};
    if (!sendNB(socket_, request, sizeof request, budgetSeconds_) ||
        !recvNB(socket_, answerBytes, sizeof answerBytes, budgetSeconds_)) {
        CloseSocket();
        if (subsystem->list != nullptr) {
            subsystem->list->RemoveSecure(subsystem, fileId.c_str());
        }
        return status_;
    }
    const std::uint32_t answer = GetBe32(answerBytes);
    if (answer == kNotAuthorized || answer == kBadSerialNo) {
        CloseSocket();
        // The service takes the file when it finds it; one it never found
        // must not stay behind to vouch for a later connection on this port.
        if (subsystem->list != nullptr) {
            subsystem->list->RemoveSecure(subsystem, fileId.c_str());
        }
        status_ = answer == kNotAuthorized ? SESS_AUTHENTIFICATION_FAILED : SESS_CONNECTION_FAILED;
        return status_;
    }
    if (netio::PeerHasClosed(socket_)) {
        // A service that has no free session still sends an id, but ends the
        // connection in the same segment: no session came of it.
        CloseSocket();
        status_ = SESS_CONNECTION_NOT_AVAILABLE;
        return status_;
    }
    sessionID_ = answer;
    state_ = 2;
    status_ = SESS_SUCCESS;
    return status_;
}

SESSION_STATUS Session::Connect(int socket) {
    if (state_ != 0) {
        status_ = SESS_ALREADY_CONNECTED;
        return status_;
    }
    socket_ = socket;
    state_ = 1;
    status_ = SESS_SUCCESS;
    sessionID_ = sessionCount + 1;
    ++sessionCount;
    ++connectCount;
    return status_;
}

SESSION_STATUS Session::SendMsg(void* body, unsigned long length) {
    unsigned char* bytes = static_cast<unsigned char*>(body);
    if (state_ == 0) {
        CodedBuff::FreeData(bytes);
        status_ = SESS_CONNECTION_UNINITIALIZED;
        return status_;
    }
    // The frame goes out in one write: a reader that finds the frame header
    // finds the message right behind it and need not pause for it.
    bool sent = length <= kMaxFrameLength;
    if (sent) {
        const std::vector<unsigned char> frame = netio::EncodeFrame(bytes, length);
        sent = sendNB(socket_, frame.data(), frame.size(), budgetSeconds_);
    }
    CodedBuff::FreeData(bytes);
    if (!sent) {
        Disconnect();
        return status_;
    }
    status_ = SESS_SUCCESS;
    return status_;
}

SESSION_STATUS Session::GetMsg(void** body, unsigned long* length) {
    *body = nullptr;
    *length = 0;
    status_ = SESS_NO_MESSAGE_WAITING;
    if (state_ == 0) {
        status_ = SESS_CONNECTION_UNINITIALIZED;
        return status_;
    }
    unsigned char word[4];
    const netio::IoResult got = netio::ReceiveSome(socket_, word, sizeof word);
    if (got.kind == netio::IoKind::WOULD_BLOCK) {
        return status_;  // nothing has arrived
    }
    // Once part of the type word is here the rest of the frame is on its way:
    // take it whole, or the stream would lose its framing.
    if (got.kind != netio::IoKind::MOVED ||
        (got.count < 4 &&
         !recvNB(socket_, word + got.count, sizeof word - got.count, budgetSeconds_)) ||
        GetBe32(word) != kFrameMessage || !recvNB(socket_, word, sizeof word, budgetSeconds_)) {
        return Disconnect();
    }
    const std::uint32_t frameLength = GetBe32(word);
    // A length no message can have means the stream is not what it claims:
    // refuse it before allocating anything for it.
    if (frameLength < kMinFrameLength || frameLength > kMaxFrameLength) {
        return Disconnect();
    }
    auto* block = new (std::nothrow) unsigned char[frameLength];
    if (block == nullptr) {
        return Disconnect();
    }
    if (!recvNB(socket_, block, frameLength, budgetSeconds_)) {
        CodedBuff::FreeData(block);
        return Disconnect();
    }
    *body = block;
    *length = frameLength;
    status_ = SESS_SUCCESS;
    return status_;
}

bool Session::WaitForMessage(unsigned long milliseconds) const {
    if (state_ == 0 || socket_ < 0) {
        return false;
    }
    return netio::WaitReady(socket_, POLLIN, platform::ScaledMs(milliseconds));
}

SESSION_STATUS Session::Disconnect() {
    if (state_ == 2 && socket_ >= 0) {
        unsigned char goodbye[4];
        PutBe32(goodbye, kFrameDisconnect);
        // One attempt: the peer may be gone already.
        (void)send(socket_, goodbye, sizeof goodbye, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    CloseSocket();
    if (state_ == 1) {
        if (secureFile_[0] != '\0') {
            platform::Trace(ClientTexts::kRemovingSecureFile, secureFile_);
            unlink(OruSubsystemList::LocalSecurePath(secureFile_).c_str());
        }
        --connectCount;
    }
    state_ = 0;
    status_ = SESS_CONNECTION_UNINITIALIZED;
    return status_;
}
