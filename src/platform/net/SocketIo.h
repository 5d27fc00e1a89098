// Reading and writing on the suite's TCP sockets, for the service and the
// client library alike: the big-endian words of the wire, the session frame's
// constants, single non-blocking attempts that say what happened, exact
// transfers within a time budget, and a connect within a time limit.
//
// Budgets and limits are nominal times of the suite's clock seam: a test
// speed factor (ORU_TIME_SCALE) shortens them. A transfer that finds the
// socket not ready waits for it to become ready (at most 20 ms at a time),
// so it goes on as soon as the bytes arrive or room is free. Thread-safe;
// one socket is used by one thread at a time.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace netio {

// Session frames: a type word, and for a message a length word and the
// message itself (big-endian words).
inline constexpr std::uint32_t kFrameMessage = 0;
inline constexpr std::uint32_t kFrameDisconnect = 1;
inline constexpr std::size_t kFrameHeaderSize = 8;
// The bounds of a message's length: a message header, and 1 MiB.
inline constexpr std::uint32_t kMinFrameLength = 20;
inline constexpr std::uint32_t kMaxFrameLength = 1u << 20;
// The budget of every exchange on a session or listener connection.
inline constexpr int kBudgetSeconds = 300;
// The longest single wait of a transfer for its socket to become ready.
inline constexpr std::uint64_t kReadyWaitMs = 20;

void PutBe32(unsigned char* at, std::uint32_t value);
std::uint32_t GetBe32(const unsigned char* at);

// The message frame of `length` bytes of message (at most kMaxFrameLength),
// ready to go out in one write.
std::vector<unsigned char> EncodeFrame(const unsigned char* message, std::size_t length);

// The monotonic time (platform::MonotonicMs) at which `seconds` of the
// scaled clock from now have passed.
std::uint64_t DeadlineAfterSeconds(int seconds);

// What one non-blocking attempt did.
enum class IoKind {
    MOVED,        // count bytes went through
    WOULD_BLOCK,  // nothing now (or an interrupted call): try again later
    CLOSED,       // the peer closed its end (a receive of no bytes)
    FAILED,       // any other error (in error)
};
struct IoResult {
    IoKind kind = IoKind::WOULD_BLOCK;
    std::size_t count = 0;
    int error = 0;
};
IoResult ReceiveSome(int fd, void* bytes, std::size_t count);
IoResult SendSome(int fd, const void* bytes, std::size_t count);

// Waits up to timeoutMs (real milliseconds) for fd to become ready for
// `events` (POLLIN, POLLOUT). True when it is, or when it has an error or
// hang-up that the next attempt will report.
bool WaitReady(int fd, short events, std::uint64_t timeoutMs);

// Send / receive exactly count bytes on a non-blocking socket within
// budgetSeconds, trying again only while the socket is not ready. True when
// every byte went through; a closed connection or any other error fails at
// once.
bool SendAll(int fd, const void* bytes, std::size_t count, int budgetSeconds);
bool ReceiveAll(int fd, void* bytes, std::size_t count, int budgetSeconds);

// Connects a non-blocking socket within `seconds`. True when connected.
bool ConnectWithin(int fd, const sockaddr_in& address, int seconds);

// Switches a socket to non-blocking mode; false when that fails.
bool SetNonBlocking(int fd);
// Sends small writes at once instead of waiting for the peer's delayed
// acknowledgement of the previous one (requests and replies follow one
// another closely). Failures are ignored.
void SetNoDelay(int fd);
// Holds small writes back until the socket is closed (or the hold is
// lifted), so that the last bytes and the end of the connection leave in
// one segment. Failures are ignored.
void SetCork(int fd);
// True when the peer has ended the connection and nothing is left to read
// before that end; never waits.
bool PeerHasClosed(int fd);

}  // namespace netio
