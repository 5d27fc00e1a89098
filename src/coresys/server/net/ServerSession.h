// The service's end of one management session: the accepted socket, the
// session id, the client's protocol revision and its secure file, the frame
// being read and the bytes waiting to go out.
//
// Nothing here waits. Read takes what the socket holds and finishes the
// frame in later calls; Send queues the frame and writes what the socket
// takes now, Flush the rest once the socket has room. So a client that
// stops in the middle of a frame, or stops reading, costs the others
// nothing: it is closed alone once its started frame or its queued replies
// made no progress for the session budget (300 s of the suite's scaled
// clock, CloseIfStalled), and at once when its queue would grow past
// kQueueLimit.
//
// Framing is the session's (type word, length word, message; big-endian).
// A session whose frame broke off, or that sent what is no frame at all, is
// closed and every revision-4 client is told with a server-software event
// (RaiseServerEvent): 4 the length word could not be read (also a
// connection the client closed without a disconnect frame), 5 the body
// could not be read or its length is no message's (below a request header
// or above 1 MiB), 6 the type word is neither message nor disconnect. A
// disconnect frame, or a connection reset or aborted, closes it without an
// event. Used on the session manager's thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/FrameReader.h"
#include "platform/net/SendQueue.h"

class ServerSession {
  public:
    // Replies and broadcasts a client has not read yet, at most.
    static constexpr std::size_t kQueueLimit = 16u << 20;

    // Adopts an accepted, non-blocking socket and assigns the next session
    // id. secureFile: the local path of the client's secure file, removed
    // again when the session closes.
    ServerSession(int socket, std::uint32_t revision, std::string secureFile);
    // Closes an open session.
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    enum class ReadResult {
        NOTHING,  // no whole message yet (the session stays)
        MESSAGE,  // *message holds one
        CLOSED,   // the session is closed (now, or before)
    };
    // Reads what the socket holds, up to the end of one frame. nowMs: the
    // monotonic clock.
    ReadResult Read(std::vector<unsigned char>* message, std::uint64_t nowMs);

    // Queues one message frame and writes what the socket takes now. False
    // when the session is (or had to be) closed; the message is dropped then.
    bool Send(const unsigned char* message, std::size_t length, std::uint64_t nowMs);
    // Queues raw bytes (the session id answer) the same way.
    bool SendRaw(std::vector<unsigned char> bytes, std::uint64_t nowMs);
    // Writes queued bytes as far as the socket takes them. False when the
    // session is (or had to be) closed.
    bool Flush(std::uint64_t nowMs);
    // Closes the session when its started frame or its queued bytes made no
    // progress for the budget. True when it was closed here.
    bool CloseIfStalled(std::uint64_t nowMs);

    // Closes the socket and removes the secure file. Idempotent.
    void Close();

    bool Open() const { return socket_ >= 0; }
    // Bytes wait to go out: the socket is to be watched for room.
    bool WantsWrite() const { return Open() && !out_.Empty(); }
    int Socket() const { return socket_; }
    std::uint32_t SessionID() const { return sessionId_; }
    std::uint32_t Revision() const { return revision_; }
    const std::string& SecureFile() const { return secureFile_; }

    // Sessions ever accepted (the next id is one more) and sessions open.
    static std::uint32_t SessionCount();
    static std::uint32_t ConnectCount();

    // The budget of a started frame and of queued bytes, in real ms.
    static std::uint64_t BudgetMs();

  private:
    // Closes the session and raises the event of a broken frame (0: none).
    void Drop(unsigned event);

    int socket_;
    std::uint32_t revision_;
    std::uint32_t sessionId_;
    std::string secureFile_;
    netio::FrameReader reader_;
    netio::SendQueue out_{kQueueLimit};
};

// The server-software event values of a broken session frame.
inline constexpr unsigned kSessionEventNoLength = 4;
inline constexpr unsigned kSessionEventNoBody = 5;
inline constexpr unsigned kSessionEventBadType = 6;
