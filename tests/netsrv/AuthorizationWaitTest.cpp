// The authorization wait at its real length: a client has about 15 s after
// its serial number to create its secure file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "NetServerFixture.h"
#include "platform/Clock.h"

namespace netsrvtest {
namespace {

using AuthorizationWaitTest = NetServerTest;

TEST_F(AuthorizationWaitTest, ASecureFileMadeAfterTheSerialIsStillFound) {
    std::string admin = ConfigureAdministration();
    StartServer({}, true);
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    ASSERT_TRUE(probe.Send(SessionPreamble("LATEARRAY")));
    platform::SleepMs(2000);
    std::string file = admin + "/LATEARRAY.local." + std::to_string(probe.LocalPort());
    {
        std::ofstream create(file);
        ASSERT_TRUE(static_cast<bool>(create));
    }
    Bytes got;
    ASSERT_TRUE(probe.ReadExactly(4, kLimitMs, &got));
    // Found, and the serial is unknown: BAD_SERIALNO.
    EXPECT_EQ(Be32At(got, 0), 0u);
    struct stat info {};
    EXPECT_NE(::lstat(file.c_str(), &info), 0) << "the secure file stayed";
}

TEST_F(AuthorizationWaitTest, WithoutASecureFileTheRefusalComesAfterTheWholeWait) {
    ConfigureAdministration();
    StartServer({}, true);
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    std::uint64_t sent = platform::MonotonicMs();
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble("NOFILEARRAY"), &answer, 60000));
    EXPECT_EQ(answer, 0xFFFFFFFFu);
    // 30 looks 500 ms apart: never refused before the last one.
    EXPECT_GE(platform::MonotonicMs() - sent, 14500u);
    EXPECT_EQ(CountRecords("Warning - Unauthorized Management Access Attempted to Strovane: "
                           "NOFILEARRAY from ip: 127.0.0.1."),
              1);
}

}  // namespace
}  // namespace netsrvtest
