// Management authorization by secure file: the answers to the session
// preamble, the event-log texts, and that no file outside the
// administration directory is ever touched.
#include <gtest/gtest.h>

#include "NetServerFixture.h"

namespace netsrvtest {
namespace {

constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;
constexpr std::uint32_t kBadSerialNo = 0;

using AuthorizationTest = NetServerTest;

TEST_F(AuthorizationTest, WithoutAnAdministrationPathEverySessionIsRefusedWithOneReport) {
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("ABC"), &answer));
    EXPECT_EQ(answer, kNotAuthorized);
    EXPECT_TRUE(probe.WaitClosed(kLimitMs));
    const std::string report =
        "Warning - Unauthorized Management Access Attempted to Strovane: ABC from ip: 127.0.0.1.";
    EXPECT_TRUE(testsupport::WaitForEventLogText(report, kLimitMs));
    EXPECT_EQ(CountRecords(report), 1);
}

TEST_F(AuthorizationTest, NoSecureFileMeansNotAuthorizedAfterTheWait) {
    std::string admin = ConfigureAdministration();
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("SER000000001"), &answer));
    EXPECT_EQ(answer, kNotAuthorized);
    EXPECT_TRUE(probe.WaitClosed(kLimitMs));
    EXPECT_EQ(CountRecords("Warning - Unauthorized Management Access Attempted to Strovane: "
                           "SER000000001 from ip: 127.0.0.1."),
              1);
}

TEST_F(AuthorizationTest, AnUnknownSerialWithItsSecureFileGetsBadSerialAndTheFileIsDeleted) {
    std::string admin = ConfigureAdministration();
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::string file = admin + "/NOSUCHARRAY.local." + std::to_string(probe.LocalPort());
    ASSERT_TRUE(Touch(file));
    std::uint32_t answer = 1;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("NOSUCHARRAY"), &answer));
    EXPECT_EQ(answer, kBadSerialNo);
    EXPECT_TRUE(probe.WaitClosed(kLimitMs));
    EXPECT_FALSE(Exists(file)) << "the secure file was left behind";
    for (const std::string& record : testsupport::EventLogTexts()) {
        EXPECT_EQ(record.find("NOSUCHARRAY"), std::string::npos) << record;
    }
}

TEST_F(AuthorizationTest, APerSerialDirectoryHoldsTheSecureFile) {
    std::string admin = ConfigureAdministration();
    ASSERT_EQ(::mkdir((admin + "/ARRAYDIR").c_str(), 0755), 0);
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::string file = admin + "/ARRAYDIR/local." + std::to_string(probe.LocalPort());
    ASSERT_TRUE(Touch(file));
    std::uint32_t answer = 1;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("ARRAYDIR"), &answer));
    EXPECT_EQ(answer, kBadSerialNo);
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(Exists(admin + "/ARRAYDIR")) << "the directory itself must stay";
}

TEST_F(AuthorizationTest, ARemoteClientIsNamedByItsAddressNotLocal) {
    std::string admin = ConfigureAdministration(root_.File("c/oru_admin"));
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp, "127.0.0.2"));
    std::string port = std::to_string(probe.LocalPort());
    // A "local" file does not prove anything for a client on another address.
    std::string localFile = admin + "/REMOTEARRAY.local." + port;
    ASSERT_TRUE(Touch(localFile));
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("REMOTEARRAY"), &answer));
    EXPECT_EQ(answer, kNotAuthorized);
    EXPECT_TRUE(Exists(localFile));
    EXPECT_TRUE(testsupport::WaitForEventLogText(
        "Warning - Unauthorized Management Access Attempted to Strovane: REMOTEARRAY from ip: "
        "127.0.0.2.",
        kLimitMs));

    TcpProbe second;
    ASSERT_TRUE(second.Connect(ports_.tcp, "127.0.0.2"));
    std::string remoteFile = admin + "/REMOTEARRAY.127.0.0.2." + std::to_string(second.LocalPort());
    ASSERT_TRUE(Touch(remoteFile));
    answer = 1;
    ASSERT_TRUE(AskForSession(second, SessionPreamble("REMOTEARRAY"), &answer));
    EXPECT_EQ(answer, kBadSerialNo);
    EXPECT_FALSE(Exists(remoteFile));
}

TEST_F(AuthorizationTest, ASerialThatIsNoPlainNameIsRefusedWithoutTouchingAnyFile) {
    std::string admin = ConfigureAdministration();
    StartServer();
    struct Case {
        Bytes field;
        std::string reported;
    };
    const std::vector<Case> cases = {
        {Bytes{'.', '.', '/', 'v', 'i', 'c', 't', 'i', 'm'}, "../victim"},
        {Bytes{'.', '.', '\\', 'v', 'i', 'c', 't', 'i', 'm'}, "..\\victim"},
        {Bytes{'A', '/', 'B'}, "A/B"},
        {Bytes{'.', '.'}, ".."},
        {Bytes{}, ""},
        {Bytes{'A', 'B', 0x01, 'C'}, "AB?C"},
        {Bytes(13, 'Z'), "ZZZZZZZZZZZZ"},
    };
    for (const Case& c : cases) {
        TcpProbe probe;
        ASSERT_TRUE(probe.Connect(ports_.tcp));
        std::string port = std::to_string(probe.LocalPort());
        // What a traversal would reach: files the service must never delete.
        std::string victim = root_.File("c/victim.local." + port);
        std::string victimDir = root_.File("c/victim");
        ASSERT_TRUE(Touch(victim));
        std::uint32_t answer = 0;
        ASSERT_TRUE(AskForSession(probe, SessionPreamble(c.field), &answer)) << c.reported;
        EXPECT_EQ(answer, kNotAuthorized) << c.reported;
        EXPECT_TRUE(Exists(victim)) << c.reported;
        EXPECT_FALSE(Exists(victimDir)) << c.reported;
        EXPECT_TRUE(testsupport::WaitForEventLogText(
            "Warning - Unauthorized Management Access Attempted to Strovane: " + c.reported +
                " from ip: 127.0.0.1.",
            kLimitMs))
            << c.reported;
    }
}

TEST_F(AuthorizationTest, ALinkIsNoSecureFileAndIsNeverFollowed) {
    std::string admin = ConfigureAdministration();
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::string target = root_.File("precious");
    ASSERT_TRUE(Touch(target));
    std::string link = admin + "/LINKARRAY.local." + std::to_string(probe.LocalPort());
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("LINKARRAY"), &answer));
    EXPECT_EQ(answer, kNotAuthorized);
    EXPECT_TRUE(Exists(target));
}

}  // namespace
}  // namespace netsrvtest
