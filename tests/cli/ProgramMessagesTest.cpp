// Program names, program messages and the exits that print them.
#include <cstring>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"

namespace {

using ::testing::ExitedWithCode;
using ::testing::StartsWith;

class ProgramMessagesTest : public CliTest {};

TEST_F(ProgramMessagesTest, ProgramNamesByIndex) {
    const char* const names[] = {"",       "dklayout", "dkview",  "dkwipe",  "dkjournal",
                                 "dktune", "dkmend",   "dkprobe", "dkwatch", "dkledger"};
    for (int i = 0; i <= 9; ++i) {
        EXPECT_EQ(ProgramName(i), names[i]) << i;
    }
    EXPECT_THAT(ProgramName(10), StartsWith(Mark(9, 157)));
    EXPECT_THAT(ProgramName(-1), StartsWith(Mark(9, 157)));
}

TEST_F(ProgramMessagesTest, MessageTextsBySetNineItem) {
    struct Case {
        int message;
        int item;
    };
    const Case cases[] = {{0, 158},  {1, 159},  {6, 164},  {7, 165},  {12, 170},
                          {13, 139}, {14, 140}, {18, 172}, {19, 173}, {20, 174}};
    for (const Case& c : cases) {
        const ProgramMessageLines& lines = GetProgramMessage(c.message, PROG_DKVIEW);
        EXPECT_THAT(std::string(lines.line[0]), StartsWith("dkview:  " + Mark(9, c.item)))
            << c.message;
    }
    for (int message : {15, 16, 17, 21, -1}) {
        const std::string line = GetProgramMessage(message, PROG_DKWATCH).line[0];
        EXPECT_EQ(line, "dkwatch:  " + Mark(9, 171) + " Program message " +
                            std::to_string(message) + ".");
    }
}

TEST_F(ProgramMessagesTest, IndexZeroHasNoPrefixAndOnlyLineZeroIsFilled) {
    std::strcpy(GetProgramMessage(4, PROG_DKLAYOUT).line[3], "left over");
    const ProgramMessageLines& lines = GetProgramMessage(3, PROG_NONE);
    EXPECT_THAT(std::string(lines.line[0]), StartsWith(Mark(9, 161)));
    for (std::size_t i = 1; i < ProgramMessageLines::kLineCount; ++i) {
        EXPECT_EQ(lines.line[i][0], '\0') << i;
    }
}

TEST_F(ProgramMessagesTest, ExitWithMessagesStopsAtTheFirstEmptyLine) {
    EXPECT_EXIT(ExitWithMessages(std::vector<std::string>{"one", "two", "", "three"}, 3),
                ExitedWithCode(3), "^one\ntwo\n$");
    EXPECT_EXIT(
        {
            ProgramMessageLines& lines = GetProgramMessage(2, PROG_DKVIEW);
            std::strcpy(lines.line[2], "not shown: line 1 is empty");
            ExitWithMessages(lines, 1);
        },
        ExitedWithCode(1), "^dkview:  \\[9\\.160\\][^\n]*\n$");
}

TEST_F(ProgramMessagesTest, UsageExitPrintsTheUsageLinesWithCodeTwo) {
    EXPECT_EXIT(Usage::Exit(), ExitedWithCode(2), "^usage line one\nusage line two\n$");
    Usage::Load(kCliCommonSet, 13, 16);
    ASSERT_EQ(Usage::Lines().size(), 4u);
    EXPECT_THAT(Usage::Lines()[0], StartsWith(Mark(10, 13)));
    EXPECT_THAT(Usage::Lines()[3], StartsWith(Mark(10, 16)));
}

TEST_F(ProgramMessagesTest, NoCatalogRecordEndsWithExitOne) {
    ReleaseCliConfig();
    EXPECT_EXIT(GetCliCatalog(), ExitedWithCode(1),
                "^ERROR:  Attempt to access closed StringCatalog \\.\\.\\. exiting\\.\n$");
    ASSERT_NE(InitCliConfig(0, nullptr), nullptr);
    EXPECT_EQ(GetCliConfig()->udpServiceName, "oruUDP");
    EXPECT_EQ(GetCliConfig()->tcpServiceName, "oruTCP");
    EXPECT_EQ(GetCliConfig()->defaultPort, 34604);
}

}  // namespace
