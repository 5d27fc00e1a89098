// The request rows, time-outs, expected reply kinds and progress lines.
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "cli/common/CommandDescriptorTable.h"

namespace {

class CommandDescriptorTableTest : public CliTest {};

TEST(CommandDescriptorTable, RowsStandInTheirFixedOrderUpToTheEndRow) {
    const std::vector<std::int32_t> codes = {1,  2,  47, 3,  4,  5,  7,  6,  8,  9,  10, 11, 12,
                                             13, 0,  14, 15, 16, 17, 20, 21, 19, 22, 51, 53, 55,
                                             36, 23, 24, 25, 37, 26, 27, 28, 29, 30, 31, 32, 33,
                                             34, 35, 38, 39, 40, 41, 43, 44, 48, 49, 52, 54};
    std::size_t i = 0;
    for (; CommandDescriptorTable[i].name[0] != '\0'; ++i) {
        ASSERT_LT(i, codes.size());
        EXPECT_EQ(CommandDescriptorTable[i].code, codes[i]) << i;
    }
    EXPECT_EQ(i, codes.size());
    EXPECT_EQ(CommandDescriptorTable[i].code, 0);
    EXPECT_EQ(CommandDescriptorTable[i].argumentCount, 0);
}

TEST(CommandDescriptorTable, LookupByCode) {
    struct Row {
        std::uint32_t code;
        const char* name;
        std::int32_t args;
    };
    const Row rows[] = {
        {1, "AddPhysicalDrive", 1},
        {7, "DownPhysicalDrive", 3},
        {10, "GetPerfMetric", 4},
        {12, "GetState", 0},
        {0, "Invalid", 0},
        {32, "SetSDTR", 1},
        {34, "SetWDTR", 1},
        {36, "Set_PrimaryController", 1},
        {37, "Set_ControllerAddress", 2},
        {47, "ClearDiagInfo", 2},
        {55, "Set_ResiliencyParameters", 2},
        {54, "Set_CreateLunLimit", 1},
    };
    for (const Row& row : rows) {
        const CommandDescriptor* found = FindCommandDescriptor(row.code);
        ASSERT_NE(found, nullptr) << row.code;
        EXPECT_STREQ(found->name, row.name);
        EXPECT_EQ(found->argumentCount, row.args) << row.name;
    }
    for (std::uint32_t code : {18u, 42u, 45u, 46u, 50u, 56u, 57u, 1000u}) {
        EXPECT_EQ(FindCommandDescriptor(code), nullptr) << code;
    }
}

TEST(CommandDescriptorTable, TimeoutsCoverTheLongRequests) {
    EXPECT_EQ(CommandTimeoutSeconds(9), 7500u);
    EXPECT_EQ(CommandTimeoutSeconds(5), 1400u);
    EXPECT_EQ(CommandTimeoutSeconds(19), 600u);
    EXPECT_EQ(CommandTimeoutSeconds(36), 600u);
    EXPECT_EQ(CommandTimeoutSeconds(18), 360u);
    for (std::uint32_t code : {0u, 1u, 4u, 8u, 12u, 21u, 38u, 56u, 99u}) {
        EXPECT_EQ(CommandTimeoutSeconds(code), 300u) << code;
    }
}

TEST(CommandDescriptorTable, ExpectedReplyKinds) {
    constexpr std::uint32_t kOk = 1, kError = 10, kState = 5, kMetrics = 7, kRecs = 8, kBuffer = 9;
    EXPECT_TRUE(IsExpectedReplyKind(12, kState));
    EXPECT_FALSE(IsExpectedReplyKind(12, kOk));
    EXPECT_TRUE(IsExpectedReplyKind(10, kMetrics));
    EXPECT_FALSE(IsExpectedReplyKind(10, kRecs));
    EXPECT_TRUE(IsExpectedReplyKind(11, kRecs));
    for (std::uint32_t code : {14u, 15u, 16u}) {
        EXPECT_TRUE(IsExpectedReplyKind(code, kBuffer)) << code;
        EXPECT_FALSE(IsExpectedReplyKind(code, kOk)) << code;
    }
    for (std::uint32_t code : {13u, 41u, 45u, 46u, 57u, 200u}) {
        EXPECT_TRUE(IsExpectedReplyKind(code, kError)) << code;
        EXPECT_TRUE(IsExpectedReplyKind(code, kOk)) << code;
    }
    EXPECT_FALSE(IsExpectedReplyKind(0, kOk));
    EXPECT_FALSE(IsExpectedReplyKind(0, 0));
    for (std::uint32_t code : {1u, 9u, 18u, 27u, 54u, 55u, 56u}) {
        EXPECT_TRUE(IsExpectedReplyKind(code, kOk)) << code;
        EXPECT_FALSE(IsExpectedReplyKind(code, kError)) << code;
        EXPECT_FALSE(IsExpectedReplyKind(code, kState)) << code;
    }
}

TEST_F(CommandDescriptorTableTest, ProgressLinesNameTheRequestArgumentsAndStatus) {
    std::ostringstream out;
    const CommandArgument down[] = {{ARG_DECIMAL, 5}, {ARG_ALLOWANCE, 1}, {ARG_BOOLEAN, 0}};
    PrintCommandProgress(7, 1, down, out);
    EXPECT_EQ(out.str(), "DownPhysicalDrive(5, DT_ALLOW_REDUNDANCY, " + Mark(10, 11) + " FALSE) " +
                             Mark(10, 13) + " complete\n");

    out.str("");
    const CommandArgument recs[] = {{ARG_HEX, 0x1A2B}, {ARG_HEX, -1}};
    PrintCommandProgress(11, 2, recs, out);
    EXPECT_EQ(out.str(), "GetPerfRecs(0x1a2b, 0xffffffff) " + Mark(10, 14) + " started\n");

    out.str("");
    PrintCommandProgress(12, 3, {}, out);
    EXPECT_EQ(out.str(), "GetState() " + Mark(10, 15) + " accepted\n");

    out.str("");
    PrintCommandProgress(12, 4, {}, out);
    EXPECT_EQ(out.str(), "GetState() " + Mark(10, 16) + " held\n");

    out.str("");
    PrintCommandProgress(12, 9, {}, out);
    EXPECT_EQ(out.str(), "GetState() " + Mark(10, 17) + " status 9\n");
}

TEST_F(CommandDescriptorTableTest, ProgressLinesOfOddArgumentsAndCodes) {
    std::ostringstream out;
    const CommandArgument odd[] = {{ARG_ALLOWANCE, 2}, {ARG_ALLOWANCE, 3}, {99, 1}};
    PrintCommandProgress(7, 1, odd, out);
    EXPECT_EQ(out.str(), "DownPhysicalDrive(DT_ALLOW_ALL, , " + Mark(10, 12) + " ?) " +
                             Mark(10, 13) + " complete\n");

    // No more arguments than the row names, and no more than were given.
    out.str("");
    const CommandArgument many[] = {{ARG_DECIMAL, 1}, {ARG_DECIMAL, 2}, {ARG_DECIMAL, 3}};
    PrintCommandProgress(5, 1, many, out);
    EXPECT_EQ(out.str(), "DeleteLUN(1) " + Mark(10, 13) + " complete\n");
    out.str("");
    PrintCommandProgress(7, 1, std::span<const CommandArgument>(many, 1), out);
    EXPECT_EQ(out.str(), "DownPhysicalDrive(1) " + Mark(10, 13) + " complete\n");

    out.str("");
    PrintCommandProgress(18, 2, many, out);
    EXPECT_EQ(out.str(), Mark(10, 30) + " request 18 " + Mark(10, 14) + " started\n");
}

}  // namespace
