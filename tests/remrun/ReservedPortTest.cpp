// The search for a reserved local port, over a range of ordinary ports so
// that the test needs no privilege and leaves the real reserved ports alone;
// the ports lie below the range the system hands out by itself.
#include "tools/remrun/ReservedPort.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>

namespace {

class Sock {
  public:
    Sock() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Sock() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Sock(const Sock&) = delete;
    Sock& operator=(const Sock&) = delete;
    int Fd() const { return fd_; }
    bool Bind(std::uint16_t port) const {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(port);
        return bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    std::uint16_t BoundPort() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

  private:
    int fd_;
};

// The lowest port the system hands out by itself (bind to port 0, connect).
std::uint16_t EphemeralFloor() {
    std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
    unsigned low = 0;
    unsigned high = 0;
    if (!(range >> low >> high) || low <= 2048 || low > 65535) {
        return 32768;  // the kernel's default
    }
    return static_cast<std::uint16_t>(low);
}

// A top port such that top, top-1 and top-2 could all be bound a moment ago.
// The ports lie below the ephemeral range, so no connection the machine
// makes meanwhile can take one of them; ports of other tests' sockets are
// the only ones in use there, and a free triple is easily found.
std::uint16_t FreeTripleTop() {
    const std::uint16_t floor = EphemeralFloor();
    const std::uint16_t first = static_cast<std::uint16_t>(floor - 1 - (getpid() % 997));
    for (std::uint16_t top = first; top > 2048; top -= 7) {
        Sock a, b, c;
        if (a.Bind(top) && b.Bind(top - 1) && c.Bind(top - 2)) {
            return top;
        }
    }
    return 0;
}

TEST(ReservedPortTest, PortsInUseAreSkippedDownward) {
    std::uint16_t top = FreeTripleTop();
    ASSERT_NE(top, 0);
    Sock first, second, client;
    ASSERT_TRUE(first.Bind(top));
    ASSERT_TRUE(second.Bind(top - 1));

    int error = -1;
    std::uint16_t port = remrun::BindReservedPort(client.Fd(), top, top - 3, &error);

    EXPECT_EQ(port, top - 2);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(client.BoundPort(), top - 2);
}

TEST(ReservedPortTest, TheFirstFreePortIsTheTop) {
    std::uint16_t top = FreeTripleTop();
    ASSERT_NE(top, 0);
    Sock client;
    int error = -1;
    EXPECT_EQ(remrun::BindReservedPort(client.Fd(), top, top - 3, &error), top);
    EXPECT_EQ(client.BoundPort(), top);
}

TEST(ReservedPortTest, TheFloorItselfIsNeverTried) {
    std::uint16_t top = FreeTripleTop();
    ASSERT_NE(top, 0);
    Sock first, second, client;
    ASSERT_TRUE(first.Bind(top));
    ASSERT_TRUE(second.Bind(top - 1));

    int error = 0;
    // top - 2 is free but is the floor: the search ends above it.
    EXPECT_EQ(remrun::BindReservedPort(client.Fd(), top, top - 2, &error), 0);
    EXPECT_EQ(error, EADDRINUSE);
    EXPECT_EQ(client.BoundPort(), 0);
}

TEST(ReservedPortTest, AFailureOtherThanPortInUseEndsTheSearch) {
    std::uint16_t top = FreeTripleTop();
    ASSERT_NE(top, 0);
    Sock client;
    // A socket already bound cannot be bound again: that is no reason to try
    // the next port.
    ASSERT_TRUE(client.Bind(top - 2));
    int error = 0;
    EXPECT_EQ(remrun::BindReservedPort(client.Fd(), top, top - 3, &error), 0);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(client.BoundPort(), top - 2);
}

}  // namespace
