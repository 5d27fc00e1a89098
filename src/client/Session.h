// One TCP connection between a client and the array-management service,
// opened for one disk subsystem.
//
// A client opens it with Connect(OruSubsystem*): it proves the user's rights
// with a secure file, sends the session request (the connect word and the
// serial number) and receives the session id. The service wraps an accepted
// socket with Connect(int). Then both sides exchange frames: a type word (0
// message, 1 disconnect), for a message a length word and the coded message.
// Every word is 32-bit big-endian.
//
// Once set up the socket is non-blocking; sends and receives run until done
// or their time budget (300 s of the suite's scaled clock) is spent, and a
// wait for the socket ends as soon as it is ready (the socket helpers of
// platform/net). Received messages are bounded: a length below a message
// header or above 1 MiB is a broken connection. Failures are statuses only;
// nothing is printed. A Session is used by one thread at a time.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "client/SESSION_STATUS.h"
#include "platform/net/SocketIo.h"

class OruSubsystem;

class Session {
  public:
    static constexpr int kBudgetSeconds = netio::kBudgetSeconds;
    static constexpr int kConnectSeconds = 5;
    static constexpr std::uint32_t kMinFrameLength = netio::kMinFrameLength;
    static constexpr std::uint32_t kMaxFrameLength = netio::kMaxFrameLength;
    static constexpr std::size_t kSecureFileSize = 348;
    static constexpr std::size_t kSessionRequestSize = 17;
    static constexpr std::uint32_t kFrameMessage = netio::kFrameMessage;
    static constexpr std::uint32_t kFrameDisconnect = netio::kFrameDisconnect;
    static constexpr std::uint32_t kBadSerialNo = 0;
    static constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;

    // Sessions ever accepted (the next id is sessionCount + 1) and sessions
    // accepted and still open. Changed only by the service's session manager.
    static std::uint32_t sessionCount;
    static std::uint32_t connectCount;

    explicit Session(unsigned long revision);
    // Disconnects an open session.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Client side: opens the session to the subsystem (see the class comment).
    SESSION_STATUS Connect(OruSubsystem* subsystem);
    // Service side: adopts an accepted socket and assigns the next session id.
    SESSION_STATUS Connect(int socket);

    // Sends one message frame. Always takes body (allocated as CodedBuff
    // allocates, freed with CodedBuff::FreeData) and frees it. A failed send
    // disconnects: SESS_CONNECTION_UNINITIALIZED.
    SESSION_STATUS SendMsg(void* body, unsigned long length);
    // Takes one message frame if one is arriving: SESS_SUCCESS with *body a
    // new block (free it with CodedBuff::FreeData) and *length its size;
    // SESS_NO_MESSAGE_WAITING when nothing has arrived. A disconnect frame, an
    // unknown frame type, a length out of bounds, a closed or broken
    // connection disconnect: SESS_CONNECTION_UNINITIALIZED.
    SESSION_STATUS GetMsg(void** body, unsigned long* length);
    // Waits up to milliseconds (of the scaled clock) for bytes to arrive on
    // an open session, ending as soon as they do. True when something (a
    // frame, or the peer's close) waits to be read.
    bool WaitForMessage(unsigned long milliseconds) const;
    // Closes the session (a client says goodbye with a disconnect frame; the
    // service removes the secure file). Returns SESS_CONNECTION_UNINITIALIZED.
    SESSION_STATUS Disconnect();

    std::uint32_t SessionID() const { return sessionID_; }
    SESSION_STATUS Status() const { return status_; }
    // 0 not connected, 1 accepted by the service, 2 connected by a client.
    int State() const { return state_; }
    std::uint32_t Revision() const { return revision_; }
    int Socket() const { return socket_; }
    // Name of the secure file of an accepted session (service side).
    void SetSecureFile(const char* name);
    const char* SecureFile() const { return secureFile_; }

    // Sends / receives exactly count bytes on a non-blocking socket within
    // budgetSeconds (netio::SendAll, netio::ReceiveAll).
    static bool sendNB(int socket, const void* buffer, std::size_t count, int budgetSeconds);
    static bool recvNB(int socket, void* buffer, std::size_t count, int budgetSeconds);

    // The budget of every exchange on this session, in seconds of the
    // suite's clock: kBudgetSeconds unless the owner sets a shorter one.
    void SetBudgetSeconds(int seconds) { budgetSeconds_ = seconds; }

  private:
    void CloseSocket();

    SESSION_STATUS status_ = SESS_SUCCESS;
    int state_ = 0;
    std::uint32_t sessionID_ = 0;
    std::uint32_t revision_ = 4;
    int socket_ = -1;
    int budgetSeconds_ = kBudgetSeconds;
    char secureFile_[kSecureFileSize] = {};
};
