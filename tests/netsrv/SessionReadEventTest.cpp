// Sessions that break off in the middle of a frame, against the real
// service: the session is closed, every revision-4 session is told with a
// server-software event naming the step, and the service goes on serving
// the others.
#include <gtest/gtest.h>

#include "NetServerFixture.h"
#include "platform/Clock.h"

namespace netsrvtest {
namespace {

constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;

// The event reply for a failed session read: kind 3, status 5, one event
// of major 13 (server software), minor 2, arguments 3 and the step; no
// state piece.
Bytes ServerSoftwareEvent(unsigned char step) {
    return {0, 0, 0, 44,  // length
            0, 0, 0, 4,   // version
            0, 0, 0, 3,   // kind: event reply
            0, 0, 0, 0,   // handle: sequence
            0, 0, 0, 0,   // handle: session
            0, 0, 0, 5,   // status
            0, 0, 0, 1,   // event count
            0, 0, 0, 13,  // major
            0, 0, 0, 2,   // minor
            0, 0, 0, 3,   // argument 1
            0, 0, 0, step};
}

class SessionReadEventTest : public NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        admin_ = ConfigureAdministration();
        StartServer();
        serial_ = FirstSerial();
        ASSERT_FALSE(serial_.empty()) << "no subsystem listed";
    }

    // The serial of the first subsystem in the list.
    std::string FirstSerial() {
        std::vector<ListedSubsystem> entries;
        return ReadListEntries(&entries) && !entries.empty() ? entries.front().serial
                                                             : std::string();
    }

    // Opens an authorized session of that revision to serial_; the id.
    std::uint32_t OpenSession(TcpProbe& probe, unsigned char revision = 4) {
        std::uint32_t answer = NetServerTest::OpenSession(probe, serial_, admin_, "", revision);
        EXPECT_NE(answer, 0u);
        EXPECT_NE(answer, kNotAuthorized);
        return answer == 0 ? kNotAuthorized : answer;
    }

    std::string admin_;
    std::string serial_;
};

TEST_F(SessionReadEventTest, EachBrokenFrameIsToldWithItsStepAndOthersAreStillServed) {
    TcpProbe watcher;
    std::uint32_t watcherId = OpenSession(watcher);
    ASSERT_NE(watcherId, kNotAuthorized);
    TcpProbe old;
    ASSERT_NE(OpenSession(old, 3), kNotAuthorized);

    struct Case {
        const char* what;
        Bytes bytes;
        bool closeAfter;
        unsigned char step;
    };
    Bytes cutBody = Frame(Request(45, 1, 0));
    cutBody.resize(8 + 20);
    const std::vector<Case> cases = {
        {"a type word 0, then closed before the length", {0, 0, 0, 0}, true, 4},
        {"closed without a word", {}, true, 4},
        {"a body cut short, then closed", cutBody, true, 5},
        {"a length above 1 MiB", {0, 0, 0, 0, 0x00, 0x10, 0x00, 0x01}, false, 5},
        {"an unknown type word", {0, 0, 0, 7}, false, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcpProbe broken;
        ASSERT_NE(OpenSession(broken), kNotAuthorized);
        ASSERT_TRUE(broken.Send(c.bytes));
        if (c.closeAfter) {
            broken.Close();
        } else {
            EXPECT_TRUE(broken.WaitClosed(kLimitMs)) << "the broken session stayed open";
        }
        Bytes event;
        ASSERT_TRUE(ReadReply(watcher, &event));
        EXPECT_EQ(event, ServerSoftwareEvent(c.step));
    }

    // A client that says goodbye raises nothing: the next event the
    // watcher gets is the one of the unknown type word that follows it.
    TcpProbe leaving;
    ASSERT_NE(OpenSession(leaving), kNotAuthorized);
    ASSERT_TRUE(leaving.Send({0, 0, 0, 1}));
    EXPECT_TRUE(leaving.WaitClosed(kLimitMs));
    TcpProbe unknown;
    ASSERT_NE(OpenSession(unknown), kNotAuthorized);
    ASSERT_TRUE(unknown.Send({0x12, 0x34, 0x56, 0x78}));
    EXPECT_TRUE(unknown.WaitClosed(kLimitMs));
    Bytes event;
    ASSERT_TRUE(ReadReply(watcher, &event));
    EXPECT_EQ(event, ServerSoftwareEvent(6));

    // The watcher's own requests are still answered (received: status 3),
    // and the revision-3 session was told nothing.
    ASSERT_TRUE(watcher.Send(Frame(Request(45, 5, watcherId))));
    Bytes reply;
    ASSERT_TRUE(ReadReply(watcher, &reply));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 8), 1u);
    EXPECT_EQ(Be32At(reply, 12), 5u);
    EXPECT_EQ(Be32At(reply, 20), 3u);
    Bytes nothing;
    EXPECT_FALSE(old.ReadExactly(1, 600, &nothing)) << "a revision-3 session got an event";
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(SessionReadEventTest, AFrameThatStallsForTheBudgetIsClosedAloneAndTheOthersAreTold) {
    TcpProbe watcher;
    std::uint32_t watcherId = OpenSession(watcher);
    ASSERT_NE(watcherId, kNotAuthorized);
    TcpProbe stalled;
    std::uint32_t stalledId = OpenSession(stalled);
    ASSERT_NE(stalledId, kNotAuthorized);
    Bytes frame = Frame(Request(45, 1, stalledId));
    ASSERT_TRUE(stalled.Send(Bytes(frame.begin(), frame.begin() + 20)));
    // The budget (300 s) is 3 s here; the watcher is answered meanwhile.
    ASSERT_TRUE(watcher.Send(Frame(Request(45, 2, watcherId))));
    Bytes reply;
    ASSERT_TRUE(ReadReply(watcher, &reply));
    EXPECT_EQ(Be32At(reply, 12), 2u);
    EXPECT_TRUE(stalled.WaitClosed(kLimitMs)) << "the stalled session stayed open";
    // The rest of the watcher's replies, then the event.
    do {
        ASSERT_TRUE(ReadReply(watcher, &reply));
        ASSERT_GE(reply.size(), 12u);
    } while (Be32At(reply, 8) != 3);
    EXPECT_EQ(reply, ServerSoftwareEvent(5));
}

TEST_F(SessionReadEventTest, ATypeWordSentInPiecesStillFramesTheRequest) {
    TcpProbe client;
    std::uint32_t id = OpenSession(client);
    ASSERT_NE(id, kNotAuthorized);
    Bytes frame = Frame(Request(45, 11, id));
    ASSERT_TRUE(client.Send(Bytes(frame.begin(), frame.begin() + 2)));
    // Give the service a pass or two to find the first half on its own.
    platform::SleepMs(300);
    ASSERT_TRUE(client.Send(Bytes(frame.begin() + 2, frame.end())));
    Bytes reply;
    ASSERT_TRUE(ReadReply(client, &reply));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 12), 11u);
    EXPECT_EQ(Be32At(reply, 16), id);
    EXPECT_EQ(Be32At(reply, 20), 3u);
}

}  // namespace
}  // namespace netsrvtest
