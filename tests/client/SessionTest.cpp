// Sessions against a peer that answers as the service does: the session
// request and its answers, the secure file, framed messages both ways, and
// peers that lie, stall or vanish.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>

#include "ClientFixture.h"
#include "WireBytes.h"
#include "client/OruSubsystemList.h"
#include "client/Session.h"
#include "platform/Clock.h"
#include "platform/Root.h"

namespace clienttest {
namespace {

unsigned char* NewBody(const std::string& bytes) {
    auto* body = new unsigned char[bytes.size()];
    std::memcpy(body, bytes.data(), bytes.size());
    return body;
}

std::size_t FilesIn(const std::string& dir) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        (void)entry;
        ++count;
    }
    return count;
}

class SessionTest : public ClientFixture {
  protected:
    void SetUp() override {
        ClientFixture::SetUp();
        peer_->SetListAnswer(ListAnswer({LocalRecord("ABC"), LocalRecord("SERIAL000001")}));
        peer_->SetKnownSerials({"ABC", "SERIAL000001"});
        ASSERT_EQ(list_.Update("127.0.0.1", 0, 0), ASL_GOOD);
        ASSERT_EQ(list_.Size(), 2);
    }

    OruSubsystem* Abc() { return list_.FindSubsystem("ABC"); }

    // Polls GetMsg until it returns something other than "nothing waiting"
    // (real-time limit, far beyond what the test needs).
    SESSION_STATUS NextMessage(Session& session, std::string* bytes) {
        void* body = nullptr;
        unsigned long length = 0;
        SESSION_STATUS status = SESS_NO_MESSAGE_WAITING;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (status == SESS_NO_MESSAGE_WAITING && std::chrono::steady_clock::now() < deadline) {
            status = session.GetMsg(&body, &length);
            if (status == SESS_NO_MESSAGE_WAITING) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        if (status == SESS_SUCCESS) {
            bytes->assign(static_cast<char*>(body), length);
            delete[] static_cast<unsigned char*>(body);
        } else {
            EXPECT_EQ(body, nullptr);
            EXPECT_EQ(length, 0u);
        }
        return status;
    }

    OruSubsystemList list_{0};
};

TEST_F(SessionTest, ALocalClientProvesItsRightsAndGetsTheNextIds) {
    peer_->SetFirstSessionId(7);
    Session first(4);
    ASSERT_EQ(first.Connect(Abc()), SESS_SUCCESS);
    EXPECT_EQ(first.SessionID(), 7u);
    EXPECT_EQ(first.State(), 2);
    EXPECT_EQ(Abc()->IsSecure(), 1);

    // The request: connect word 00 04 00 00 and the serial's 13 bytes as stored.
    const auto requests = peer_->SessionRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], std::string("\x00\x04\x00\x00"
                                       "ABC",
                                       7) +
                               std::string(10, '\0'));
    EXPECT_EQ(requests[0].size(), 17u);
    // The peer found the file under the name it builds itself ("local" and
    // the client's port), and took it.
    ASSERT_EQ(peer_->SecureFilesFound().size(), 1u);
    EXPECT_NE(peer_->SecureFilesFound()[0].find(AdminDir() + "/ABC.local."), std::string::npos);
    EXPECT_EQ(FilesIn(AdminDir()), 0u);

    Session second(4);
    ASSERT_EQ(second.Connect(list_.FindSubsystem("SERIAL000001")), SESS_SUCCESS);
    EXPECT_EQ(second.SessionID(), 8u);
    EXPECT_EQ(second.Connect(Abc()), SESS_ALREADY_CONNECTED);
}

TEST_F(SessionTest, RefusalsCloseTheSessionAndLeaveNoSecureFileBehind) {
    struct Case {
        std::uint32_t answer;
        SESSION_STATUS status;
    };
    for (const Case c :
         {Case{0xFFFFFFFFu, SESS_AUTHENTIFICATION_FAILED}, Case{0u, SESS_CONNECTION_FAILED}}) {
        SCOPED_TRACE(c.answer);
        peer_->ForceAnswer(c.answer);
        Session session(4);
        EXPECT_EQ(session.Connect(Abc()), c.status);
        EXPECT_EQ(session.State(), 0);
        EXPECT_EQ(session.Socket(), -1);
        // The peer never took the file: the client removed its own.
        EXPECT_EQ(FilesIn(AdminDir()), 0u);
    }
}

TEST_F(SessionTest, AnUnknownSerialIsRefusedAfterTheFileWasTaken) {
    ListRecord stranger = LocalRecord("STRANGER0001");
    peer_->SetListAnswer(ListAnswer({stranger}));
    ASSERT_EQ(list_.Update("127.0.0.1", 0, 0), ASL_GOOD);
    Session session(4);
    EXPECT_EQ(session.Connect(list_.FindSubsystem("STRANGER0001")), SESS_CONNECTION_FAILED);
    EXPECT_EQ(peer_->SecureFilesFound().size(), 1u);
}

TEST_F(SessionTest, AFileTheServiceCannotSeeEndsInRefusalAfterItsWait) {
    // The service looks elsewhere: 30 waits of 500 ms (sped up), then refusal.
    ASSERT_EQ(platform::MakeDirs(root_.File("elsewhere")), 0);
    peer_->SetAdminDir(root_.File("elsewhere"));
    Session session(4);
    EXPECT_EQ(session.Connect(Abc()), SESS_AUTHENTIFICATION_FAILED);
    EXPECT_EQ(peer_->SecureFilesMissed().size(), 1u);
    EXPECT_EQ(FilesIn(AdminDir()), 0u);
}

TEST_F(SessionTest, NoWayToCreateTheSecureFileSendsNoRequest) {
    std::filesystem::remove_all(AdminDir());
    Session session(4);
    EXPECT_EQ(session.Connect(Abc()), SESS_USER_LACKS_SECURITY);
    EXPECT_EQ(session.State(), 0);
    EXPECT_EQ(Abc()->IsSecure(), 0);
    EXPECT_TRUE(peer_->SessionRequests().empty());
}

TEST_F(SessionTest, NoServiceListeningFailsTheConnection) {
    OruSubsystem* abc = Abc();
    abc->serverAddress.sin_port = htons(testsupport::FreePort(SOCK_STREAM));
    Session session(4);
    EXPECT_EQ(session.Connect(abc), SESS_CONNECTION_FAILED);
    EXPECT_EQ(FilesIn(AdminDir()), 0u);
}

TEST_F(SessionTest, FramedMessagesTravelBothWaysAndGoodbyeIsOneWord) {
    // The peer's thread owns its ends of these (captured by value), so none
    // is destroyed under it when the test ends.
    std::promise<void> clientReady;
    auto fromClient = std::make_shared<std::promise<std::string>>();
    std::shared_future<void> ready = clientReady.get_future().share();
    auto received = fromClient->get_future();
    const std::string reply = BareReply(1, 7);
    const std::string request =
        Be(36) + Be(4) + Be(3) + Be(1) + Be(7) + Be(0) + Be(0) + Be(0) + Be(0);
    peer_->SetSessionScript([ready, fromClient, reply](int fd) {
        ready.wait();
        SendAll(fd, Be(0) + Be(24) + reply);
        // The client's frame (8 + 36 bytes), then its disconnect word.
        fromClient->set_value(ReadBytes(fd, 8 + 36 + 4, 10000));
    });
    peer_->SetFirstSessionId(7);

    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    void* body = reinterpret_cast<void*>(1);
    unsigned long length = 99;
    EXPECT_EQ(session.GetMsg(&body, &length), SESS_NO_MESSAGE_WAITING);
    EXPECT_EQ(body, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(session.State(), 2);
    clientReady.set_value();

    std::string got;
    ASSERT_EQ(NextMessage(session, &got), SESS_SUCCESS);
    EXPECT_EQ(got, reply);
    EXPECT_EQ(session.SendMsg(NewBody(request), request.size()), SESS_SUCCESS);
    EXPECT_EQ(session.Disconnect(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.State(), 0);
    EXPECT_EQ(received.get(), Be(0) + Be(36) + request + Be(1));
}

TEST_F(SessionTest, AMessageInSeveralPiecesIsReceivedWhole) {
    const std::string frame = Be(0) + Be(28) + BareReply(2, 1) + Be(0xCAFEF00D);
    peer_->SetSessionScript([frame](int fd) {
        // Cut inside the type word, the length word and the body.
        const std::size_t cuts[] = {0, 2, 6, 17, frame.size()};
        for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
            SendAll(fd, frame.substr(cuts[i], cuts[i + 1] - cuts[i]));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        SeesClose(fd, 10000);
    });
    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    std::string got;
    ASSERT_EQ(NextMessage(session, &got), SESS_SUCCESS);
    EXPECT_EQ(got, frame.substr(8));
}

TEST_F(SessionTest, FrameLengthsAtTheirBoundsAreAccepted) {
    const std::string smallest = std::string(20, '\x01');
    const std::string largest = std::string(1u << 20, '\x02');
    peer_->SetSessionScript([smallest, largest](int fd) {
        SendAll(fd, Be(0) + Be(20) + smallest + Be(0) + Be(1u << 20) + largest);
        SeesClose(fd, 20000);
    });
    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    std::string got;
    ASSERT_EQ(NextMessage(session, &got), SESS_SUCCESS);
    EXPECT_EQ(got, smallest);
    ASSERT_EQ(NextMessage(session, &got), SESS_SUCCESS);
    EXPECT_EQ(got.size(), largest.size());
    EXPECT_EQ(got, largest);
}

TEST_F(SessionTest, LyingOrForeignFramesBreakTheConnection) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"disconnect frame", Be(1)},
        {"unknown frame type", Be(2) + Be(24) + BareReply(1, 1)},
        {"length 0xFFFFFFFF", Be(0) + Be(0xFFFFFFFFu) + BareReply(1, 1)},
        {"length below a header", Be(0) + Be(4) + Be(0)},
        {"length above 1 MiB", Be(0) + Be((1u << 20) + 1) + BareReply(1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto closed = std::make_shared<std::promise<bool>>();
        auto peerSawClose = closed->get_future();
        peer_->SetSessionScript([closed, bytes = c.bytes](int fd) {
            SendAll(fd, bytes);
            // The client gives up the connection: it says goodbye and closes
            // (a close with our bytes still unread there may reset the
            // connection and take the goodbye word with it).
            std::string rest = ReadBytes(fd, 4, 10000);
            closed->set_value((rest == Be(1) || rest.empty()) && SeesClose(fd, 10000));
        });
        Session session(4);
        ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
        std::string got;
        EXPECT_EQ(NextMessage(session, &got), SESS_CONNECTION_UNINITIALIZED);
        EXPECT_EQ(session.State(), 0);
        EXPECT_TRUE(peerSawClose.get());
    }
}

TEST_F(SessionTest, APeerThatVanishesMidMessageEndsTheSession) {
    // At the full 300 s budget: a client that waited for the rest of a
    // message from a closed connection would not get past the test's limit.
    platform::SetTimeScale(1);
    peer_->SetSessionScript([](int fd) { SendAll(fd, Be(0) + Be(100) + std::string(10, 'x')); });
    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    std::string got;
    EXPECT_EQ(NextMessage(session, &got), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.State(), 0);
}

TEST_F(SessionTest, APeerThatStallsMidMessageEndsTheSessionAfterTheBudget) {
    // 300 s of budget at a speed factor of 1000: 0.3 s.
    platform::SetTimeScale(1000);
    std::promise<void> done;
    std::shared_future<void> finished = done.get_future().share();
    peer_->SetSessionScript([finished](int fd) {
        SendAll(fd, Be(0) + Be(100) + std::string(10, 'x'));
        finished.wait();  // keeps the connection open, sends nothing more
    });
    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    std::string got;
    EXPECT_EQ(NextMessage(session, &got), SESS_CONNECTION_UNINITIALIZED);
    done.set_value();
}

TEST_F(SessionTest, SendingToAVanishedPeerFailsInsteadOfKillingTheProcess) {
    // At the full budget, so a client that kept retrying a broken connection
    // would never get here; without MSG_NOSIGNAL the process would die.
    platform::SetTimeScale(1);
    // Goes away as soon as the client has sent something.
    peer_->SetSessionScript([](int fd) {
        char byte = 0;
        (void)::recv(fd, &byte, 1, 0);
    });
    Session session(4);
    ASSERT_EQ(session.Connect(Abc()), SESS_SUCCESS);
    const std::string big(256 * 1024, 'z');
    SESSION_STATUS status = SESS_SUCCESS;
    for (int attempt = 0; attempt < 20 && status == SESS_SUCCESS; ++attempt) {
        status = session.SendMsg(NewBody(big), big.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(status, SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.State(), 0);
}

TEST(SessionClosedTest, SendingOnAClosedSessionStillFreesTheBody) {
    Session session(4);
    EXPECT_EQ(session.SendMsg(new unsigned char[24](), 24), SESS_CONNECTION_UNINITIALIZED);
    void* body = nullptr;
    unsigned long length = 0;
    EXPECT_EQ(session.GetMsg(&body, &length), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_EQ(session.Disconnect(), SESS_CONNECTION_UNINITIALIZED);
}

TEST_F(SessionTest, AnAcceptedSessionCountsItselfAndRemovesItsSecureFile) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const std::uint32_t countBefore = Session::sessionCount;
    const std::uint32_t openBefore = Session::connectCount;
    const std::string fileHere = AdminDir() + "/ABC.local.4242";
    ASSERT_TRUE(root_.Write("c/oru_admin/ABC.local.4242", ""));

    auto* accepted = new Session(4);
    ASSERT_EQ(accepted->Connect(ends[0]), SESS_SUCCESS);
    EXPECT_EQ(accepted->State(), 1);
    EXPECT_EQ(accepted->SessionID(), countBefore + 1);
    EXPECT_EQ(Session::sessionCount, countBefore + 1);
    EXPECT_EQ(Session::connectCount, openBefore + 1);
    accepted->SetSecureFile("C:\\oru_admin\\ABC.local.4242");

    // The service reads the client's frames the same way.
    ASSERT_TRUE(SendAll(ends[1], Be(0) + Be(24) + BareReply(5, 1)));
    std::string got;
    ASSERT_EQ(NextMessage(*accepted, &got), SESS_SUCCESS);
    EXPECT_EQ(got, BareReply(5, 1));

    delete accepted;  // disconnects
    EXPECT_EQ(Session::connectCount, openBefore);
    struct stat st {};
    EXPECT_NE(lstat(fileHere.c_str(), &st), 0);
    // The service side sends no goodbye word: the client sees the close only.
    EXPECT_TRUE(SeesClose(ends[1], 5000));
    close(ends[1]);
}

}  // namespace
}  // namespace clienttest
