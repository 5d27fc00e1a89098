// The service's end of a session, in-process over a socket pair: what its
// reads hand on, when the session stays, when it is closed, which
// server-software event each broken frame raises, and how it sends to a
// client that does not read.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "coresys/server/net/ServerEventHook.h"
#include "coresys/server/net/ServerSession.h"
#include "platform/Clock.h"
#include "support/FreshRoot.h"

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

using Result = ServerSession::ReadResult;

// The service's end of a session is `session_`, adopted from one end of a
// stream socket pair; the test plays the client on `peer_`.
class ServerSessionTest : public ::testing::Test {
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
    void Open(const std::string& secureFile = "") {
        ClosePeer();
        ForgetEvents();
        int ends[2] = {-1, -1};
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends), 0);
        session_ = std::make_unique<ServerSession>(ends[0], 4, secureFile);
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

    // One read at `now` (the monotonic clock by default).
    Result Read(Bytes* body = nullptr, std::uint64_t now = platform::MonotonicMs()) {
        Bytes message;
        Result result = session_->Read(&message, now);
        if (result != Result::MESSAGE) {
            EXPECT_TRUE(message.empty());
        }
        if (body != nullptr) {
            *body = message;
        }
        return result;
    }

    std::unique_ptr<ServerSession> session_;
    int peer_ = -1;
};

// A 20-byte request header: length 20, version 4, code 45, sequence 9, session 1.
const Bytes kHeader = {0, 0, 0, 20, 0, 0, 0, 4, 0, 0, 0, 45, 0, 0, 0, 9, 0, 0, 0, 1};

std::uint32_t Be32At(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

Bytes Frame(const Bytes& message) {
    Bytes frame(8 + message.size(), 0);
    frame[7] = static_cast<unsigned char>(message.size());
    std::copy(message.begin(), message.end(), frame.begin() + 8);
    return frame;
}

TEST_F(ServerSessionTest, NothingArrivedLeavesTheSessionWaiting) {
    EXPECT_EQ(Read(), Result::NOTHING);
    EXPECT_TRUE(session_->Open());
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionTest, FramesArriveOneByOneWithTheirBodies) {
    Bytes second = kHeader;
    second.insert(second.end(), {0xAA, 0xBB, 0xCC, 0xDD});
    second[3] = 24;
    Bytes both = Frame(kHeader);
    Bytes tail = Frame(second);
    both.insert(both.end(), tail.begin(), tail.end());
    Send(both);

    Bytes body;
    ASSERT_EQ(Read(&body), Result::MESSAGE);
    EXPECT_EQ(body, kHeader);
    ASSERT_EQ(Read(&body), Result::MESSAGE);
    EXPECT_EQ(body, second);
    EXPECT_EQ(Read(), Result::NOTHING);
    EXPECT_TRUE(session_->Open());
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionTest, AFrameInPiecesIsFinishedByLaterReadsWithoutWaiting) {
    const Bytes frame = Frame(kHeader);
    // Half a type word, the rest of the header, part of the body: each read
    // takes what is there and returns at once.
    std::size_t sent = 0;
    for (std::size_t end : {2, 8, 15}) {
        Send(
            Bytes(frame.begin() + static_cast<long>(sent), frame.begin() + static_cast<long>(end)));
        sent = end;
        EXPECT_EQ(Read(), Result::NOTHING) << end;
    }
    Send(Bytes(frame.begin() + static_cast<long>(sent), frame.end()));
    Bytes body;
    ASSERT_EQ(Read(&body), Result::MESSAGE);
    EXPECT_EQ(body, kHeader);
    EXPECT_TRUE(session_->Open());
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionTest, AClosedConnectionIsAFrameWithoutItsLength) {
    ClosePeer();
    EXPECT_EQ(Read(), Result::CLOSED);
    EXPECT_FALSE(session_->Open());
    EXPECT_EQ(session_->Socket(), -1);
    EXPECT_EQ(Events(), (std::vector<std::uint32_t>{4}));
    // Closed once: later reads find no session and raise nothing more.
    EXPECT_EQ(Read(), Result::CLOSED);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ServerSessionTest, BrokenFramesCloseTheSessionWithTheirStep) {
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
        EXPECT_EQ(Read(), Result::CLOSED);
        EXPECT_FALSE(session_->Open());
        EXPECT_EQ(Events(), (std::vector<std::uint32_t>{c.event}));
    }
}

TEST_F(ServerSessionTest, ADisconnectFrameClosesWithoutAnEvent) {
    Send({0, 0, 0, 1});
    EXPECT_EQ(Read(), Result::CLOSED);
    EXPECT_FALSE(session_->Open());
    EXPECT_TRUE(Events().empty());
    // The client's end sees the session closed.
    unsigned char byte = 0;
    EXPECT_EQ(::recv(peer_, &byte, 1, 0), 0);
}

TEST_F(ServerSessionTest, AStartedFrameThatStallsForTheBudgetIsClosedAloneWithItsStep) {
    const std::uint64_t budget = ServerSession::BudgetMs();
    const std::uint64_t start = 5000;
    Bytes partBody = Frame(kHeader);
    partBody.resize(12);
    struct Case {
        const char* what;
        Bytes bytes;
        std::uint32_t event;
    };
    const std::vector<Case> cases = {
        {"half a type word", {0, 0}, 4},
        {"a type word", {0, 0, 0, 0}, 4},
        {"a header without its body", {0, 0, 0, 0, 0, 0, 0, 20}, 5},
        {"part of the body", partBody, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open();
        Send(c.bytes);
        EXPECT_EQ(Read(nullptr, start), Result::NOTHING);
        EXPECT_FALSE(session_->CloseIfStalled(start + budget));
        EXPECT_TRUE(session_->Open());
        EXPECT_TRUE(session_->CloseIfStalled(start + budget + 1));
        EXPECT_FALSE(session_->Open());
        EXPECT_EQ(Events(), (std::vector<std::uint32_t>{c.event}));
    }
    // Between frames a session may stay silent for as long as it likes.
    Open();
    EXPECT_EQ(Read(nullptr, start), Result::NOTHING);
    EXPECT_FALSE(session_->CloseIfStalled(start + 100 * budget));
    EXPECT_TRUE(session_->Open());
}

TEST_F(ServerSessionTest, RepliesWaitForAClientThatDoesNotReadAndGoOutInOrderWhenItDoes) {
    const int small = 4096;
    ASSERT_EQ(::setsockopt(session_->Socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    ASSERT_EQ(::setsockopt(peer_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    const std::uint64_t start = 5000;
    std::vector<Bytes> messages;
    // Sends never wait: they queue once the socket is full.
    while (!session_->WantsWrite() && messages.size() < 1000) {
        Bytes message(3000, static_cast<unsigned char>(messages.size()));
        messages.push_back(message);
        ASSERT_TRUE(session_->Send(message.data(), message.size(), start));
    }
    ASSERT_TRUE(session_->WantsWrite());
    for (int more = 0; more < 3; ++more) {
        Bytes message(3000, static_cast<unsigned char>(messages.size()));
        messages.push_back(message);
        ASSERT_TRUE(session_->Send(message.data(), message.size(), start));
    }
    EXPECT_FALSE(session_->CloseIfStalled(start + ServerSession::BudgetMs()));

    // The client reads: every frame arrives whole and in order.
    std::size_t next = 0;
    Bytes pending;
    while (next < messages.size()) {
        ASSERT_TRUE(session_->Flush(start + 1));
        unsigned char chunk[8192];
        ssize_t got = ::recv(peer_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            pending.insert(pending.end(), chunk, chunk + got);
        }
        while (pending.size() >= 8 && pending.size() >= 8 + Be32At(pending, 4)) {
            const std::size_t length = Be32At(pending, 4);
            ASSERT_EQ(Be32At(pending, 0), 0u);
            EXPECT_EQ(Bytes(pending.begin() + 8, pending.begin() + 8 + static_cast<long>(length)),
                      messages[next]);
            pending.erase(pending.begin(), pending.begin() + 8 + static_cast<long>(length));
            ++next;
        }
    }
    EXPECT_FALSE(session_->WantsWrite());
    EXPECT_TRUE(session_->Open());
}

TEST_F(ServerSessionTest, RepliesThatNobodyReadsForTheBudgetCloseTheSessionAlone) {
    const int small = 4096;
    ASSERT_EQ(::setsockopt(session_->Socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    const std::uint64_t start = 5000;
    Bytes message(3000, 0x5A);
    for (int i = 0; i < 1000 && !session_->WantsWrite(); ++i) {
        ASSERT_TRUE(session_->Send(message.data(), message.size(), start));
    }
    ASSERT_TRUE(session_->WantsWrite());
    EXPECT_FALSE(session_->CloseIfStalled(start + ServerSession::BudgetMs()));
    EXPECT_TRUE(session_->CloseIfStalled(start + ServerSession::BudgetMs() + 1));
    EXPECT_FALSE(session_->Open());
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServerSessionTest, AQueuePastItsBoundClosesTheSessionAtOnce) {
    Bytes message(1u << 20, 0x11);
    std::size_t queued = 0;
    while (session_->Send(message.data(), message.size(), 5000)) {
        queued += message.size();
        ASSERT_LE(queued, ServerSession::kQueueLimit + message.size()) << "never closed";
    }
    EXPECT_FALSE(session_->Open());
    EXPECT_GE(queued + (1u << 20), ServerSession::kQueueLimit / 2);
}

// A reply larger than a client takes cannot go out: the session closes, so
// the client learns that the connection is gone instead of waiting for a
// reply that never comes.
TEST_F(ServerSessionTest, AReplyTooLargeForOneFrameClosesTheSession) {
    Bytes message(netio::kMaxFrameLength + 1, 0x22);
    EXPECT_FALSE(session_->Send(message.data(), message.size(), 5000));
    EXPECT_FALSE(session_->Open());
}

TEST(ServerSessionFile, ClosingTheSessionRemovesItsSecureFile) {
    testsupport::FreshRoot root;
    ASSERT_TRUE(root.Write("c/oru_admin/A.local.7", ""));
    const std::string file = root.File("c/oru_admin/A.local.7");
    int ends[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends), 0);
    const std::uint32_t before = ServerSession::ConnectCount();
    {
        ServerSession session(ends[0], 4, file);
        EXPECT_EQ(ServerSession::ConnectCount(), before + 1);
        EXPECT_EQ(session.SessionID(), ServerSession::SessionCount());
    }
    EXPECT_EQ(ServerSession::ConnectCount(), before);
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
    ::close(ends[1]);
}

TEST(ServerSessionErrors, ADescriptorThatIsNoSocketClosesTheSessionQuietly) {
    SetServerEventRaiser(Record);
    ForgetEvents();
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ServerSession session(pipeEnds[0], 4, "");
    Bytes message;
    EXPECT_EQ(session.Read(&message, platform::MonotonicMs()), Result::CLOSED);
    EXPECT_FALSE(session.Open());
    EXPECT_TRUE(Events().empty());
    ::close(pipeEnds[1]);
    SetServerEventRaiser(nullptr);
}

TEST(ServerSessionErrors, AResetConnectionClosesTheSessionQuietly) {
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
    ServerSession session(accepted, 4, "");

    // Closing with a zero linger resets the connection.
    linger abort{1, 0};
    ASSERT_EQ(::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    ::close(client);
    pollfd reset{accepted, POLLIN, 0};
    ASSERT_EQ(::poll(&reset, 1, 30000), 1);

    Bytes message;
    EXPECT_EQ(session.Read(&message, platform::MonotonicMs()), Result::CLOSED);
    EXPECT_FALSE(session.Open());
    EXPECT_TRUE(Events().empty());
    SetServerEventRaiser(nullptr);
}

}  // namespace
