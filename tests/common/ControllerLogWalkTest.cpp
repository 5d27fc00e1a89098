// The controller-log walk and the entry header over literal log bytes.
#include <gtest/gtest.h>

#include <vector>

#include "coresys/common/ControllerLogWalk.h"

namespace {

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

TEST(ControllerLogWalk, KindLengthsAndNoneForOtherKinds) {
    EXPECT_EQ(ControllerLogWalk::KindLength(0), 18u);
    EXPECT_EQ(ControllerLogWalk::KindLength(1), 14u);
    EXPECT_EQ(ControllerLogWalk::KindLength(2), 28u);
    EXPECT_EQ(ControllerLogWalk::KindLength(3), 0u);
    EXPECT_EQ(ControllerLogWalk::KindLength(255), 0u);
}

TEST(ControllerLogWalk, ReadsTheEntryHeader) {
    const std::vector<unsigned char> bytes = {1, 0xAA, 0x01, 0x02, 0x03, 0x04, 0xBB, 0x01, 0x9C, 7};
    ControllerLogWalk::EntryHeader header;
    ASSERT_TRUE(ControllerLogWalk::ReadHeader(bytes.data(), 10, header));
    EXPECT_EQ(header.ticks, 0x01020304u);
    EXPECT_EQ(header.eventCode, 0x019Cu);
    EXPECT_EQ(header.count, 7u);
}

TEST(ControllerLogWalk, NoHeaderIsReadFromFewerBytesThanItTakes) {
    const std::vector<unsigned char> bytes = {1, 0, 0, 0, 0, 9, 0, 0, 0x66, 3};
    ControllerLogWalk::EntryHeader header;
    header.ticks = 5;
    header.eventCode = 6;
    header.count = 7;
    EXPECT_FALSE(ControllerLogWalk::ReadHeader(bytes.data(), 9, header));
    EXPECT_FALSE(ControllerLogWalk::ReadHeader(nullptr, 10, header));
    EXPECT_EQ(header.ticks, 5u);
    EXPECT_EQ(header.eventCode, 6u);
    EXPECT_EQ(header.count, 7u);
    // A default entry has no bytes: its header is all 0.
    EXPECT_EQ(ControllerLogWalk::Entry{}.Header().eventCode, 0u);
}

TEST(ControllerLogWalk, EntriesGiveTheirHeader) {
    std::vector<unsigned char> log = Log(32, {Kind0(4), Kind1()});
    ControllerLogWalk walk(log.data(), static_cast<std::uint32_t>(log.size()), 32);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.Header().ticks, 9u);
    EXPECT_EQ(entry.Header().eventCode, 0x66u);
    EXPECT_EQ(entry.Header().count, 1u);
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.Header().ticks, 0x02000009u);
    EXPECT_EQ(entry.Header().eventCode, 0x9Cu);
}

TEST(ControllerLogWalk, ALogReadOnceIsBoundByItsOwnHeader) {
    std::vector<unsigned char> log = Log(18, {Kind0(1), Kind0(2)});
    ControllerLogWalk walk(log.data(), static_cast<std::uint32_t>(log.size()));
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_EQ(entry.bytes[10], 1);
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_FALSE(walk.Damaged());
    EXPECT_EQ(walk.End(), 21u);
}

TEST(ControllerLogWalk, ALogReadOnceNeverPassesTheBytesReceived) {
    // The header claims the most it can; 30 bytes came.
    std::vector<unsigned char> log = Log(0xFFFF, {Kind0(1), Kind0(2)});
    ControllerLogWalk walk(log.data(), 30);
    EXPECT_EQ(walk.End(), 30u);
    ControllerLogWalk::Entry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_FALSE(walk.Next(entry));
    EXPECT_TRUE(walk.Damaged());
    ControllerLogWalk none(nullptr, 30);
    EXPECT_FALSE(none.Next(entry));
    EXPECT_EQ(none.End(), 0u);
}

}  // namespace
