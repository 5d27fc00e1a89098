// Reply kinds and exit codes of finished requests.
#include <sstream>

#include "CliTestSupport.h"
#include "cli/common/CommandOutcome.h"
#include "coresys/common/OruErrors.h"

namespace {

using ::testing::HasSubstr;

class CommandOutcomeTest : public CliTest {};

TEST_F(CommandOutcomeTest, ExpectedKindPrintsNothing) {
    std::ostringstream out;
    EXPECT_EQ(CheckReplyKind(ReplyView{5, nullptr}, false, 12, {}, out), 0);
    EXPECT_EQ(CheckReplyKind(ReplyView{1, nullptr}, false, 27, {}, out), 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommandOutcomeTest, RefusedAliasOrResiliencyIsAFailure) {
    oruerr error;
    error.errorCode = ERR_COMMAND_FAILED;
    error.qualifier = INVALID_PARAMETER;
    error.moduleId = DEVICEMGR;
    for (std::uint32_t code : {55u, 56u}) {
        std::ostringstream out;
        EXPECT_EQ(CheckReplyKind(ReplyView{10, &error}, false, code, {}, out), 1) << code;
        EXPECT_THAT(out.str(), HasSubstr("INVALID_PARAMETER"));
        EXPECT_EQ(FailedRequestExitCode(ReplyView{10, &error}), 1);
    }
}

TEST_F(CommandOutcomeTest, ClassSevenEndsWithFour) {
    oruerr error;
    error.errorClass = 7;
    EXPECT_EQ(FailedRequestExitCode(ReplyView{10, &error}), 4);
    error.errorClass = 3;
    EXPECT_EQ(FailedRequestExitCode(ReplyView{10, &error}), 1);
    EXPECT_EQ(FailedRequestExitCode(ReplyView{1, nullptr}), 1);
}

}  // namespace
