// The service's read of a session frame, in-process over a socket pair:
// what it hands on, when the session stays, when it is closed, and which
// server-software event each broken frame raises.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/server/net/ServerEventHook.h"
#include "coresys/server/net/ServerSessionRead.h"
#include "platform/Clock.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::mutex g_eventLock;
std::vector<std::uint32_t> g_events;

void Record(std::uint32_t value) {
    std::lock_guard<std::mutex> hold(g_eventLock);
    g_events.push_back(value);
}

void ForgetEvents() {
    std::lock_guard<std::mutex> hold(g_eventLock);
    g_events.clear();
}

std::vector<std::uint32_t> Events() {
    std::lock_guard<std::mutex> hold(g_eventLock);
    return g_events;
}

// The service's end of a session is `session_`, adopted from one end of a
// stream socket pair; the test plays the client on `peer_`.
class ServerSessionReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetServerEventRaiser(Record);
        Open();
    }

    void TearDown() override {
        SetServerEventRaiser(nullptr);
        ClosePeer();
    }

    // A fresh session and peer; the events seen so far are forgotten.
    void Open() {
        ClosePeer();
        ForgetEvents();
        session_ = std::make_unique<Session>(4);
        int ends[2] = {-1, -1};
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        ASSERT_EQ(session_->Connect(ends[0]), SESS_SUCCESS);
        peer_ = ends[1];
    }

    void Send(const Bytes& bytes) {
        ASSERT_EQ(::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

    void ClosePeer() {
        if (peer_ >= 0) {
            ::close(peer_);
            peer_ = -1;
        }
    }

    // One read; the body (if any) is copied out and freed.
    SESSION_STATUS Read(Bytes* body = nullptr) {
        void* block = nullptr;
        unsigned long length = 0;
        SESSION_STATUS status = ServerSessionRead(*session_, &block, &length);
        if (status != SESS_SUCCESS) {
            EXPECT_EQ(block, nullptr);
            EXPECT_EQ(length, 0u);
        }
        if (block != nullptr) {
            auto* bytes = static_cast<unsigned char*>(block);
            if (body != nullptr) {
                body->assign(bytes, bytes + length);
            }
            CodedBuff::FreeData(bytes);
        }
        return status;
    }

    std::unique_ptr<Session> session_;
    int peer_ = -1;
};

// A 20-byte request header: length 20, version 4, code 45, sequence 9, session 1.
const Bytes kHeader = {0, 0, 0, 20, 0, 0, 0, 4, 0, 0, 0, 45, 0, 0, 0, 9, 0, 0, 0, 1};

Bytes Frame(const Bytes& message) {
    Bytes frame = {0, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(message.size())};
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

TEST_F(ServerSessionReadTest, NothingArrivedLeavesTheSessionWaiting) {
    EXPECT_EQ(Read(), SESS_NO_MESSAGE_WAITING);
    EXPECT_EQ(session_->State(), 1);
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionReadTest, FramesArriveOneByOneWithTheirBodies) {
    Bytes second = kHeader;
    second.insert(second.end(), {0xAA, 0xBB, 0xCC, 0xDD});
    second[3] = 24;
    Bytes both = Frame(kHeader);
    Bytes tail = Frame(second);
    both.insert(both.end(), tail.begin(), tail.end());
    Send(both);

    Bytes body;
    ASSERT_EQ(Read(&body), SESS_SUCCESS);
    EXPECT_EQ(body, kHeader);
    ASSERT_EQ(Read(&body), SESS_SUCCESS);
    EXPECT_EQ(body, second);
    EXPECT_EQ(Read(), SESS_NO_MESSAGE_WAITING);
    EXPECT_EQ(session_->State(), 1);
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionReadTest, ATypeWordInPiecesIsFinishedNotDropped) {
    Bytes frame = Frame(kHeader);
    Send(Bytes(frame.begin(), frame.begin() + 2));
    // The rest comes while the read already holds the first two bytes.
    std::thread rest([&] {
        platform::SleepMs(100);
        (void)::send(peer_, frame.data() + 2, frame.size() - 2, MSG_NOSIGNAL);
    });
    Bytes body;
    SESSION_STATUS status = Read(&body);
    rest.join();
    ASSERT_EQ(status, SESS_SUCCESS);
    EXPECT_EQ(body, kHeader);
    EXPECT_EQ(session_->State(), 1);
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionReadTest, AClosedConnectionIsAFrameWithoutItsLength) {
    ClosePeer();
    EXPECT_EQ(Read(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session_->State(), 0);
    EXPECT_EQ(session_->Socket(), -1);
    EXPECT_EQ(Events(), (std::vector<std::uint32_t>{4}));
    // Closed once: later reads find no session and raise nothing more.
    EXPECT_EQ(Read(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ServerSessionReadTest, BrokenFramesCloseTheSessionWithTheirStep) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool close;
        std::uint32_t event;
    };
    Bytes cutBody = Frame(kHeader);
    cutBody.resize(8 + 11);
    const std::vector<Case> cases = {
        {"type word, then closed", {0, 0, 0, 0}, true, 4},
        {"type word and half a length, then closed", {0, 0, 0, 0, 0, 0}, true, 4},
        {"half a type word, then closed", {0, 0}, true, 4},
        {"body cut short", cutBody, true, 5},
        {"length above 1 MiB", {0, 0, 0, 0, 0, 0x10, 0, 1}, false, 5},
        {"length 0xFFFFFFFF", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, false, 5},
        {"length below a request header", {0, 0, 0, 0, 0, 0, 0, 19}, false, 5},
        {"length 0", {0, 0, 0, 0, 0, 0, 0, 0}, false, 5},
        {"unknown type 2", {0, 0, 0, 2}, false, 6},
        {"unknown type 0x01000000", {1, 0, 0, 0}, false, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        Send(c.bytes);
        if (c.close) {
            ClosePeer();
        }
        EXPECT_EQ(Read(), SESS_CONNECTION_UNINITIALIZED);
        EXPECT_EQ(session_->State(), 0);
        EXPECT_EQ(Events(), (std::vector<std::uint32_t>{c.event}));
    }
}

TEST_F(ServerSessionReadTest, ADisconnectFrameClosesWithoutAnEvent) {
    Send({0, 0, 0, 1});
    EXPECT_EQ(Read(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session_->State(), 0);
    EXPECT_TRUE(Events().empty());
    // The client's end sees the session closed.
    unsigned char byte = 0;
    EXPECT_EQ(::recv(peer_, &byte, 1, 0), 0);
}

TEST_F(ServerSessionReadTest, ASessionNotConnectedIsNotRead) {
    Session idle(4);
    void* block = nullptr;
    unsigned long length = 7;
    EXPECT_EQ(ServerSessionRead(idle, &block, &length), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(Events().empty());
}

TEST(ServerSessionReadErrors, ADescriptorThatIsNoSocketClosesTheSessionQuietly) {
    SetServerEventRaiser(Record);
    ForgetEvents();
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeEnds), 0);
    Session session(4);
    ASSERT_EQ(session.Connect(pipeEnds[0]), SESS_SUCCESS);
    void* block = nullptr;
    unsigned long length = 0;
    EXPECT_EQ(ServerSessionRead(session, &block, &length), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.State(), 0);
    EXPECT_TRUE(Events().empty());
    ::close(pipeEnds[1]);
    SetServerEventRaiser(nullptr);
}

TEST(ServerSessionReadErrors, AResetConnectionClosesTheSessionQuietly) {
    SetServerEventRaiser(Record);
    ForgetEvents();
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    ASSERT_GE(accepted, 0);
    ::close(listener);
    Session session(4);
    ASSERT_EQ(session.Connect(accepted), SESS_SUCCESS);

    // Closing with a zero linger resets the connection.
    linger abort{1, 0};
    ASSERT_EQ(::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    ::close(client);
    pollfd reset{accepted, POLLIN, 0};
    ASSERT_EQ(::poll(&reset, 1, 30000), 1);

    void* block = nullptr;
    unsigned long length = 0;
    EXPECT_EQ(ServerSessionRead(session, &block, &length), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.State(), 0);
    EXPECT_TRUE(Events().empty());
    SetServerEventRaiser(nullptr);
}

}  // namespace
