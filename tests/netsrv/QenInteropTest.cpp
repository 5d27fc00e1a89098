// The client library against the real service: list, authorized session by
// secure file, a request and its replies, and the goodbye.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "NetServerFixture.h"
#include "client/OruSubsystemList.h"
#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "platform/Clock.h"

namespace netsrvtest {
namespace {

class QenInteropTest : public NetServerTest {
  protected:
    void SetUp() override {
        // The library reads the machine root from the environment.
        ::setenv("ORU_ROOT", root_.Path().c_str(), 1);
        ASSERT_TRUE(StartSimulator());
        ConfigureAdministration();
        StartServer();
    }
    void TearDown() override {
        NetServerTest::TearDown();
        ::unsetenv("ORU_ROOT");
    }
};

TEST_F(QenInteropTest, TheClientLibraryListsConnectsAndGetsItsReplies) {
    OruSubsystemList list(0);
    ASSERT_EQ(list.Update("127.0.0.1", 0, 0), ASL_GOOD);
    ASSERT_EQ(list.Size(), 2);
    OruSubsystem* subsystem = list[0];
    ASSERT_NE(subsystem, nullptr);
    EXPECT_EQ(std::string(subsystem->ServerName()), AnnouncedHostName());

    Session session(4);
    ASSERT_EQ(session.Connect(subsystem), SESS_SUCCESS);
    std::uint32_t id = session.SessionID();
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(
        testsupport::WaitForEventLogText(std::string("Management Authorization to Strovane: ") +
                                             subsystem->SerialNumber() + " Succeeded for: ",
                                         kLimitMs));

    // Request code 45 (refused by every release): three replies.
    auto* body = new unsigned char[36]();
    const std::uint32_t words[9] = {36, 4, 45, 5, id, 0, 0, 0, 0};
    for (int i = 0; i < 9; ++i) {
        Bytes be = Be32(words[i]);
        std::memcpy(body + 4 * i, be.data(), 4);
    }
    ASSERT_EQ(session.SendMsg(body, 36), SESS_SUCCESS);
    std::vector<std::uint32_t> statuses;
    std::uint64_t deadline = platform::MonotonicMs() + kLimitMs;
    while (statuses.size() < 3 && platform::MonotonicMs() < deadline) {
        void* reply = nullptr;
        unsigned long length = 0;
        SESSION_STATUS status = session.GetMsg(&reply, &length);
        if (status == SESS_NO_MESSAGE_WAITING) {
            platform::SleepMs(20);
            continue;
        }
        ASSERT_EQ(status, SESS_SUCCESS);
        Bytes bytes(static_cast<unsigned char*>(reply),
                    static_cast<unsigned char*>(reply) + length);
        CodedBuff::FreeData(static_cast<unsigned char*>(reply));
        ASSERT_GE(bytes.size(), 24u);
        EXPECT_EQ(Be32At(bytes, 12), 5u);
        EXPECT_EQ(Be32At(bytes, 16), id);
        statuses.push_back(Be32At(bytes, 20));
    }
    EXPECT_EQ(statuses, (std::vector<std::uint32_t>{3, 2, 1}));
    session.Disconnect();

    Session second(4);
    ASSERT_EQ(second.Connect(subsystem), SESS_SUCCESS);
    EXPECT_EQ(second.SessionID(), id + 1);
}

}  // namespace
}  // namespace netsrvtest
