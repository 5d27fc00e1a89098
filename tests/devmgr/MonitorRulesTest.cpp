// The monitor's rules that need no controller: the host-sequence range,
// the timer intervals from the environment, and the controller-log walk
// over literal log bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "coresys/server/monitor/ControllerLogWalk.h"
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

// --- controller log walk ---

// Entry images as the log lays them out: kind, 0, ticks BE32, 0, code BE16,
// count, then the kind's own bytes.
std::vector<unsigned char> Kind0(unsigned char slot) {
    return {0, 0, 0, 0, 0, 9, 0, 0x00, 0x66, 1, slot, 0, 0, 0, 0, 0, 0x12, 0x34};
}
std::vector<unsigned char> Kind1() {
    return {1, 0, 2, 0, 0, 9, 0, 0x00, 0x9C, 1, 0, 0x81, 0x00, 0x05};
}
std::vector<unsigned char> Kind2() {
    std::vector<unsigned char> e(28, 0);
    e[0] = 2;
    e[7] = 0x00;
    e[8] = 0x90;
    e[10] = 3;
    return e;
}

std::vector<unsigned char> Log(std::uint32_t announced,
                               const std::vector<std::vector<unsigned char>>& entries) {
    std::vector<unsigned char> log = {1, static_cast<unsigned char>(announced >> 8),
                                      static_cast<unsigned char>(announced)};
    for (const auto& e : entries) {
        log.insert(log.end(), e.begin(), e.end());
    }
    return log;
}

TEST(ControllerLogWalk, WalksEveryKindInOrder) {
    std::vector<unsigned char> log = Log(60, {Kind0(4), Kind1(), Kind2()});
    ControllerLogWalk walk(log.data(), static_cast<std::uint32_t>(log.size()), 60);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.kind, 0u);
    EXPECT_EQ(entry.length, 18u);
    EXPECT_EQ(entry.EventCode(), 102u);
    EXPECT_EQ(entry.bytes[10], 4);
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.kind, 1u);
    EXPECT_EQ(entry.EventCode(), 156u);
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.kind, 2u);
    EXPECT_EQ(entry.EventCode(), 144u);
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_FALSE(walk.Damaged());
}

TEST(ControllerLogWalk, SecondHeaderCannotWidenTheFirst) {
    // The first read announced one entry; the full read claims two.
    std::vector<unsigned char> log = Log(36, {Kind0(1), Kind0(2)});
    ControllerLogWalk walk(log.data(), static_cast<std::uint32_t>(log.size()), 18);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.bytes[10], 1);
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_FALSE(walk.Damaged());
    EXPECT_EQ(walk.End(), 21u);
}

TEST(ControllerLogWalk, NeverPassesTheBytesReceived) {
    std::vector<unsigned char> log = Log(36, {Kind0(1), Kind0(2)});
    // Only 30 bytes arrived: the second entry is cut off.
    ControllerLogWalk walk(log.data(), 30, 36);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_TRUE(walk.Damaged());
    EXPECT_FALSE(walk.UnknownKind());
}

TEST(ControllerLogWalk, UnknownKindEndsTheWalk) {
    std::vector<unsigned char> bad(18, 0);
    bad[0] = 7;
    std::vector<unsigned char> log = Log(36, {Kind0(1), bad});
    ControllerLogWalk walk(log.data(), static_cast<std::uint32_t>(log.size()), 36);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_TRUE(walk.UnknownKind());
}

TEST(ControllerLogWalk, HeaderOnlyOrLessIsEmpty) {
    std::vector<unsigned char> log = {1, 0, 0};
    ControllerLogWalk walk(log.data(), 3, 0);
    ControllerLogWalk::Entry entry;
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_FALSE(walk.Damaged());
    ControllerLogWalk shortLog(log.data(), 2, 100);
    EXPECT_FALSE(shortLog.Next(entry));
    EXPECT_EQ(shortLog.End(), 0u);
}

}  // namespace
