#include "platform/net/SocketIo.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/Clock.h"

namespace netio {
namespace {

bool NotReady(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

IoResult Classify(ssize_t moved, int error) {
    IoResult result;
    if (moved > 0) {
        result.kind = IoKind::MOVED;
        result.count = static_cast<std::size_t>(moved);
    } else if (moved == 0) {
        result.kind = IoKind::CLOSED;
    } else if (NotReady(error)) {
        result.kind = IoKind::WOULD_BLOCK;
    } else {
        result.kind = IoKind::FAILED;
        result.error = error;
    }
    return result;
}

// Moves exactly count bytes with `attempt`, waiting for `events` between
// attempts that found the socket not ready, until the deadline.
template <class Attempt>
bool TransferAll(int fd, std::size_t count, int budgetSeconds, short events, Attempt attempt) {
    const std::uint64_t deadline = DeadlineAfterSeconds(budgetSeconds);
    const std::uint64_t longestWait = platform::ScaledMs(kReadyWaitMs);
    std::size_t done = 0;
    while (done < count) {
        const IoResult result = attempt(done);
        if (result.kind == IoKind::MOVED) {
            done += result.count;
            continue;
        }
        if (result.kind != IoKind::WOULD_BLOCK) {
            return false;
        }
        const std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline) {
            return false;
        }
        const std::uint64_t left = deadline - now;
        WaitReady(fd, events, left < longestWait ? left : longestWait);
    }
    return true;
}

}  // namespace

std::vector<unsigned char> EncodeFrame(const unsigned char* message, std::size_t length) {
    std::vector<unsigned char> frame(kFrameHeaderSize + length);
    PutBe32(frame.data(), kFrameMessage);
    PutBe32(frame.data() + 4, static_cast<std::uint32_t>(length));
    if (length > 0) {
        std::copy(message, message + length, frame.begin() + kFrameHeaderSize);
    }
    return frame;
}

void PutBe32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

std::uint32_t GetBe32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | static_cast<std::uint32_t>(at[3]);
}

std::uint64_t DeadlineAfterSeconds(int seconds) {
    return platform::MonotonicMs() +
           platform::ScaledMs(static_cast<std::uint64_t>(seconds < 0 ? 0 : seconds) * 1000);
}

IoResult ReceiveSome(int fd, void* bytes, std::size_t count) {
    const ssize_t got = ::recv(fd, bytes, count, MSG_DONTWAIT);
    return Classify(got, errno);
}

IoResult SendSome(int fd, const void* bytes, std::size_t count) {
    const ssize_t sent = ::send(fd, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
    // A send of no bytes is no closed connection: nothing was asked for.
    if (sent == 0) {
        return IoResult{IoKind::WOULD_BLOCK, 0, 0};
    }
    return Classify(sent, errno);
}

bool WaitReady(int fd, short events, std::uint64_t timeoutMs) {
    pollfd waiting{fd, events, 0};
    const int limit = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    return ::poll(&waiting, 1, limit) > 0;
}

bool SendAll(int fd, const void* bytes, std::size_t count, int budgetSeconds) {
    const auto* from = static_cast<const unsigned char*>(bytes);
    return TransferAll(fd, count, budgetSeconds, POLLOUT,
                       [&](std::size_t done) { return SendSome(fd, from + done, count - done); });
}

bool ReceiveAll(int fd, void* bytes, std::size_t count, int budgetSeconds) {
    auto* into = static_cast<unsigned char*>(bytes);
    return TransferAll(fd, count, budgetSeconds, POLLIN, [&](std::size_t done) {
        return ReceiveSome(fd, into + done, count - done);
    });
}

bool ConnectWithin(int fd, const sockaddr_in& address, int seconds) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return false;
    }
    const std::uint64_t deadline = DeadlineAfterSeconds(seconds);
    for (;;) {
        const std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline) {
            return false;
        }
        pollfd waiting{fd, POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(deadline - now));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        int error = 0;
        socklen_t length = sizeof error;
        return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
}

bool SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void SetNoDelay(int fd) {
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void SetCork(int fd) {
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

bool PeerHasClosed(int fd) {
    unsigned char byte = 0;
    for (;;) {
        const ssize_t got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got == 0) {
            return true;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
    }
}

}  // namespace netio
