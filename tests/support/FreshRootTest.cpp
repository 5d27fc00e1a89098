// The machine root a test gets: the ports it announces are the ones the
// service really listens on, whatever its services file holds.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "support/FreshRoot.h"
#include "support/ServerProcess.h"

namespace {

constexpr int kLimitMs = 60000;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

class FreshRootTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (started_ && server_.Process().Running()) {
            server_.Process().Signal(SIGTERM);
            EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
        }
    }
    void StartServer() {
        ASSERT_TRUE(server_.Start()) << server_.Process().StartError();
        started_ = true;
        ASSERT_TRUE(server_.WaitUntilRunning(kLimitMs)) << server_.Process().Stderr();
    }

    testsupport::FreshRoot root_;
    testsupport::ServerProcess server_{root_, ORU_BIN_DIR};
    bool started_ = false;
};

TEST_F(FreshRootTest, TheServiceAnswersDiscoveryOnUdpPort) {
    ASSERT_NE(root_.UdpPort(), 0);
    StartServer();

    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    timeval limit{kLimitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in to = Loopback(root_.UdpPort());
    const unsigned char discovery = 0x01;
    ASSERT_EQ(::sendto(fd, &discovery, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 1);
    unsigned char reply[512];
    ssize_t got = ::recv(fd, reply, sizeof reply, 0);
    ::close(fd);
    // The answer is the host name in its 49-byte field.
    EXPECT_EQ(got, 49) << "no discovery answer on UdpPort() " << root_.UdpPort();
}

TEST_F(FreshRootTest, TheServiceAcceptsConnectionsOnTcpPort) {
    ASSERT_NE(root_.TcpPort(), 0);
    StartServer();

    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    timeval limit{kLimitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in to = Loopback(root_.TcpPort());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    // A subsystem-list request of revision 4: the service answers with the
    // list's record count (none without arrays), then closes.
    const unsigned char listRequest[4] = {0x00, 0x04, 0x00, 0x01};
    ASSERT_EQ(::send(fd, listRequest, sizeof listRequest, MSG_NOSIGNAL), 4);
    unsigned char answer[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ssize_t got = ::recv(fd, answer, sizeof answer, MSG_WAITALL);
    ::close(fd);
    EXPECT_EQ(got, 4);
    EXPECT_EQ(answer[0] | answer[1] | answer[2] | answer[3], 0);
}

// Tests run side by side: a port one of them was handed is handed to no
// other process, nor a second time to the same one, while it lives.
TEST(FreePortTest, APortHandedOutIsHeldForTheProcess) {
    const std::uint16_t port = testsupport::FreePort(SOCK_STREAM);
    ASSERT_NE(port, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(testsupport::FreePortIn(SOCK_STREAM, port, port + 1u) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "another process was handed port " << port;
    EXPECT_EQ(testsupport::FreePortIn(SOCK_STREAM, port, port + 1u), 0);
    EXPECT_EQ(testsupport::FreePortIn(SOCK_DGRAM, port, port + 1u), 0);
}

}  // namespace
