// The command line of dksalvage: modes and switches, the faults that end in
// the usage exit, the extended help, the check-point trace, and the exits
// that come before any array is opened.
#include <gtest/gtest.h>

#include <sstream>

#include "SalvageTestSupport.h"
#include "cli/common/CliConfig.h"
#include "coresys/common/ReportError.h"
#include "tools/recover/SalvageRun.h"

namespace {

using namespace salvagetest;
using salvage::RecoveryOptions;

const std::string kId = "QXSALVAGE001";
const std::string kSet = "SALVAGE-VOLSET-A";

class CommandLineTest : public SalvageTest {
  protected:
    struct Parsed {
        int exitCode = -1;  // -1: the command line is good
        RecoveryOptions options;
        std::string out;
        std::string err;
    };

    Parsed Parse(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "dksalvage");
        std::vector<char*> argv;
        for (std::string& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::istringstream in;
        std::ostringstream out, err;
        salvage::SalvageRun run(salvage::Console{in, out, err});
        Parsed parsed;
        InitCliConfig(0, nullptr);
        run.SetupUsage();
        try {
            EXPECT_EQ(run.ParseArgs(static_cast<int>(argv.size() - 1), argv.data()), 1);
        } catch (const salvage::SalvageExit& exit) {
            parsed.exitCode = exit.code;
        }
        ReleaseCliConfig();
        parsed.options = run.options;
        parsed.out = out.str();
        parsed.err = err.str();
        return parsed;
    }
};

TEST_F(CommandLineTest, HelpAnywhereEndsAtOnceWithoutTheArray) {
    for (const auto& line : {std::vector<std::string>{"-?"},
                             std::vector<std::string>{"-s", "-t", "-?x", "NOSUCHARRAY1"}}) {
        RunResult run = Run(line);
        EXPECT_EQ(run.exitCode, 0);
        for (int item = 100; item <= 121; ++item) {
            EXPECT_NE(run.out.find(Mark(200, item)), std::string::npos) << item;
        }
        EXPECT_EQ(Count(run.out, "\n"), 22u);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CommandLineTest, AnArrayIdAloneIsTheInteractiveModeThatFollowsTheWork) {
    Parsed p = Parse({kId});
    EXPECT_EQ(p.exitCode, -1);
    EXPECT_EQ(p.options.mode, salvage::MODE_INTERACTIVE);
    EXPECT_TRUE(p.options.pollCycle);
    EXPECT_FALSE(p.options.continuous);
    EXPECT_EQ(p.options.arrayId, kId);
}

TEST_F(CommandLineTest, EachSwitchSetsItsMode) {
    EXPECT_EQ(Parse({"-s", kId}).options.mode, salvage::CHECK_STATUS);
    EXPECT_EQ(Parse({"-p", kId}).options.mode, salvage::DEFAULT_VOL_SET);
    EXPECT_EQ(Parse({"-t", kId}).options.mode, salvage::PARITY_SCAN_ONLY);
    Parsed logs = Parse({"-l", kId});
    EXPECT_EQ(logs.options.mode, salvage::DUMP_LOGS);
    EXPECT_FALSE(logs.options.clearLog);
    EXPECT_TRUE(Parse({"-lc", kId}).options.clearLog);
    Parsed follow = Parse({"-C", "-s", "-override", kId});
    EXPECT_TRUE(follow.options.pollCycle);
    EXPECT_TRUE(follow.options.continuous);
    EXPECT_TRUE(follow.options.override);
    EXPECT_FALSE(Parse({"-s", kId}).options.pollCycle);
    Parsed volume = Parse({"-v", kSet, kId});
    EXPECT_EQ(volume.exitCode, -1);
    EXPECT_EQ(volume.options.mode, salvage::VOL_SET_SPECIFIED);
    EXPECT_STREQ(volume.options.volumeSetId, kSet.c_str());
}

TEST_F(CommandLineTest, FaultsEndInTheUsageExit) {
    const std::vector<std::vector<std::string>> faults = {
        {"-s", "-t", kId},    // two modes
        {"-c", "-C", kId},    // two poll switches
        {"-c", "-c", kId},    //
        {"-p", kSet, kId},    // a volume set id without -v
        {"-v", kId},          // -v without one
        {"-lx", kId},         //
        {"-lcc", kId},        //
        {"-l", "-s", kId},    //
        {"-s"},               // no array id: a switch in the last place
        {"-s", kId, "-c"},    //
        {"-ss", kId},         // switches stand alone
        {"-overrides", kId},  //
        {"-debugging", kId},  //
        {"-o", kId},          //
        {""},                 // an empty array id
    };
    for (const auto& line : faults) {
        Parsed p = Parse(line);
        EXPECT_EQ(p.exitCode, 2) << testing::PrintToString(line);
        EXPECT_NE(p.err.find(Mark(200, 1)), std::string::npos) << testing::PrintToString(line);
    }
}

TEST_F(CommandLineTest, AVolumeSetIdHasSixteenCharacters) {
    for (const std::string& id : {std::string(15, 'V'), std::string(17, 'V')}) {
        Parsed p = Parse({"-v", id, kId});
        EXPECT_EQ(p.exitCode, 2);
        EXPECT_NE(p.err.find(Mark(201, 2) + " A volume set id has exactly 16 characters: \"" + id),
                  std::string::npos);
        EXPECT_LT(p.err.find(Mark(201, 2)), p.err.find(Mark(200, 1)));
    }
}

TEST_F(CommandLineTest, AnUnknownLetterIsNamed) {
    Parsed p = Parse({"-x", kId});
    EXPECT_EQ(p.exitCode, 2);
    EXPECT_NE(p.err.find(Mark(9, 163) + " Unknown or malformed switch: \"x\""), std::string::npos);
    Parsed bare = Parse({"-", kId});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_NE(bare.err.find(Mark(9, 163)), std::string::npos);
}

TEST_F(CommandLineTest, DebugTracesEveryStepFromWhereItStands) {
    Parsed p = Parse({"-debug", "-s", "-c", kId});
    EXPECT_EQ(p.exitCode, -1);
    EXPECT_EQ(p.out,
              "\ndksalvage: CP 13: Debug Mode enabled.\n"
              "\ndksalvage: CP 10: Mode set to CHECK_STATUS\n"
              "\ndksalvage: CP 11: pollCycle set to TRUE\n"
              "\ndksalvage: CP 2: array id: QXSALVAGE001 \n\n");
    // What stands before -debug is not traced.
    Parsed late = Parse({"-s", "-debug", kId});
    EXPECT_EQ(late.out.find("CP 10"), std::string::npos);
    EXPECT_NE(late.out.find("CP 2"), std::string::npos);
    // A fault after -debug traces the usage exit.
    Parsed fault = Parse({"-debug", "-s", "-t", kId});
    EXPECT_NE(fault.out.find("\ndksalvage: CP 5: In function Fail\n"), std::string::npos);
}

TEST_F(CommandLineTest, ATraceLineIsCutToItsBuffer) {
    const std::string id(400, 'Q');
    Parsed p = Parse({"-debug", id});
    const std::string head = "\ndksalvage: CP 2: array id: ";
    const auto at = p.out.find(head);
    ASSERT_NE(at, std::string::npos);
    const std::string line = p.out.substr(at + 12, p.out.find('\n', at + 1) - at - 12);
    EXPECT_EQ(line.size(), 254u);
    // The interactive mode is announced after the array id.
    EXPECT_NE(p.out.find("CP 7: Interactive mode on."), std::string::npos);
}

TEST_F(CommandLineTest, WithoutCatalogsTheToolSaysSoAndEnds) {
    ::setenv("ORU_NLSPATH", (root.Path() + "/no-catalogs").c_str(), 1);
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Unable to open string catalog files.\n"), std::string::npos);
}

TEST_F(CommandLineTest, AnArrayThatIsNotThereCannotBeRead) {
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Mark(201, 20) + " Array QXSALVAGE001 could not be opened and read.\n");
}

TEST(FatalErrorTest, TheSharedLibrariesEndThroughTheToolsSink) {
    EXPECT_EXIT(
        {
            SetFatalErrorSink(salvage::FatalError);
            ReportError("CodedBuff::Grow", "cannot grow");
        },
        testing::ExitedWithCode(3), "dksalvage: CodedBuff::Grow cannot grow");
}

}  // namespace
