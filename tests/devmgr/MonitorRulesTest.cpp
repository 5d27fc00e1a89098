// The monitor's rules that need no controller: the host-sequence range and
// the timer intervals from the environment.
#include <gtest/gtest.h>

#include <cstdlib>

#include "coresys/server/monitor/MonitorInterval.h"
#include "coresys/server/monitor/OruLite.h"

namespace {

// --- host sequence ---

TEST(SequenceRange, NumbersUpTo65519WrapIntoOneTo65519) {
    EXPECT_EQ(OruLite::SequenceInRange(0), 1u);
    EXPECT_EQ(OruLite::SequenceInRange(1), 2u);
    EXPECT_EQ(OruLite::SequenceInRange(65518), 65519u);
    EXPECT_EQ(OruLite::SequenceInRange(65519), 1u);
}

TEST(SequenceRange, SignOffIsTheOnlyWayToSendZero) {
    EXPECT_EQ(OruLite::SequenceInRange(65520), 0u);
    EXPECT_EQ(OruLite::SequenceInRange(65521), 65521u);
    EXPECT_EQ(OruLite::SequenceInRange(65535), 65535u);
    // A forced exchange from 65534 or 65535 asks for 65536 or 65537: they
    // must not reach the 16-bit field as 0 (a sign-off) or 1.
    EXPECT_EQ(OruLite::SequenceInRange(65536), 18u);
    EXPECT_EQ(OruLite::SequenceInRange(65537), 19u);
    for (std::uint32_t n = 65536; n < 65536 + 70000; n += 7) {
        ASSERT_NE(OruLite::SequenceInRange(n), 0u) << n;
    }
}

// --- intervals ---

class IntervalEnv : public ::testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        unsetenv("ORU_SMON_INTERVAL");
        unsetenv("ORU_INTERVAL");
        unsetenv("ORU_PLOG_INTERVAL");
    }
};

TEST_F(IntervalEnv, DefaultsWithoutVariables) {
    EXPECT_EQ(MonitorInterval::StatusPoll(), 120000u);
    EXPECT_EQ(MonitorInterval::PreventiveCheck(), 900000u);
}

TEST_F(IntervalEnv, MonitorVariableWinsEvenWhenZero) {
    setenv("ORU_INTERVAL", "7", 1);
    EXPECT_EQ(MonitorInterval::StatusPoll(), 7000u);
    setenv("ORU_SMON_INTERVAL", "0", 1);
    EXPECT_EQ(MonitorInterval::StatusPoll(), 0u);
    setenv("ORU_SMON_INTERVAL", "3", 1);
    EXPECT_EQ(MonitorInterval::StatusPoll(), 3000u);
}

TEST_F(IntervalEnv, PresentButNotANumberSwitchesTheTimerOff) {
    setenv("ORU_PLOG_INTERVAL", "soon", 1);
    EXPECT_EQ(MonitorInterval::PreventiveCheck(), 0u);
    setenv("ORU_PLOG_INTERVAL", "", 1);
    EXPECT_EQ(MonitorInterval::PreventiveCheck(), 0u);
    setenv("ORU_PLOG_INTERVAL", "-5", 1);
    EXPECT_EQ(MonitorInterval::PreventiveCheck(), 0u);
    setenv("ORU_PLOG_INTERVAL", " 2 ", 1);
    EXPECT_EQ(MonitorInterval::PreventiveCheck(), 2000u);
}

TEST(IntervalParse, HugeValuesAreClampedNotWrapped) {
    EXPECT_EQ(MonitorInterval::ParseSeconds("4294968"), 4294967000u);
    EXPECT_EQ(MonitorInterval::ParseSeconds("99999999999999999999999"), 4294967000u);
    EXPECT_EQ(MonitorInterval::ParseSeconds("4294967"), 4294967000u);
    EXPECT_EQ(MonitorInterval::ParseSeconds("12x"), 0u);
}

}  // namespace
