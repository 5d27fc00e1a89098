// The command lines of the seven programs: every malformed one ends with its
// message, the usage lines and exit code 2 before any service is asked; a
// sound one goes on to the service (here there is none: exit 3). The help
// and the -E exit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ProgramRun.h"

namespace clitest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Line = std::vector<std::string>;

// Nothing listens on the ports of this root's services file.
class CommandLinesTest : public ::testing::Test {
  protected:
    // A usage exit: exit 2, the usage line of (set, item) on standard error,
    // nothing on standard output; and the message mark when one is given.
    void ExpectUsage(const std::string& program, const Line& arguments, int set, int item,
                     const std::string& message = "") {
        const ProgramResult run = RunProgram(root_, program, arguments);
        const std::string what = program + " " + ::testing::PrintToString(arguments);
        EXPECT_EQ(run.exitCode, 2) << what << run.err;
        EXPECT_THAT(run.err, HasSubstr(Mark(set, item))) << what;
        EXPECT_THAT(run.err, HasSubstr(message)) << what;
        EXPECT_EQ(run.out, "") << what;
    }
    // A message and exit 2 without the usage lines.
    void ExpectRefused(const std::string& program, const Line& arguments, int set, int item,
                       const std::string& message) {
        const ProgramResult run = RunProgram(root_, program, arguments);
        const std::string what = program + " " + ::testing::PrintToString(arguments);
        EXPECT_EQ(run.exitCode, 2) << what << run.err;
        EXPECT_THAT(run.err, HasSubstr(message)) << what;
        EXPECT_THAT(run.err, Not(HasSubstr(Mark(set, item)))) << what;
    }
    // A sound line: it reaches for the subsystem list, which is not there.
    void ExpectAccepted(const std::string& program, const Line& arguments) {
        const ProgramResult run = RunProgram(root_, program, arguments);
        EXPECT_EQ(run.exitCode, 3)
            << program << " " << ::testing::PrintToString(arguments) << run.err;
        EXPECT_THAT(run.err, HasSubstr(Mark(9, 261)));
    }
    testsupport::FreshRoot root_;
};

TEST_F(CommandLinesTest, Dktune) {
    for (const Line& line : std::vector<Line>{
             {},
             {"ARRAY"},
             {"-i", "on", "-i", "off", "ARRAY"},  // a setting twice
             {"-s", "shut", "-R", "ARRAY"},       // two operations
             {"-a", "on", "-R", "ARRAY"},         // a setting and an operation
             {"-Z", "-i", "on", "ARRAY"},
             {"-i", "maybe", "ARRAY"},
             {"-c", "z", "ARRAY"},
             {"-C", "Z", "3", "ARRAY"},
             {"-C", "X", "A", "ARRAY"},
             {"-J", "FAST", "ARRAY"},
             {"-s", "stop", "ARRAY"},
             {"-D", "NAME", "-S", "-V", "ARRAY"},  // an alias line holds at most four words
             {"-S", "-D", "NAME", "ARRAY"},        // the alias is the second word
             {"-a", "on"},                         // the value is no identifier
         }) {
        ExpectUsage("dktune", line, 6, 1);
    }
    for (const Line& line : std::vector<Line>{{"-n", "6", "ARRAY"},
                                              {"-n", "0", "ARRAY"},
                                              {"-C", "X", "16", "ARRAY"},
                                              {"-t", "100", "ARRAY"}}) {
        ExpectUsage("dktune", line, 6, 1, "dktune:  " + Mark(9, 158));
    }
    ExpectUsage("dktune", {"-x", "ARRAY"}, 6, 1,
                Mark(9, 163) + " Unknown or malformed switch: \"-x\"");
    ExpectUsage("dktune", {"-a", "on", "word", "ARRAY"}, 6, 1, "\"word\"");
    ExpectUsage("dktune", {"-RR", "ARRAY"}, 6, 1, "\"-RR\"");
    // A bad alias is no usage error: its own message and exit 2.
    ExpectRefused("dktune", {"-D", "MY-ARRAY", "ARRAY"}, 6, 1, "dktune:  " + Mark(9, 174));
    ExpectRefused("dktune", {"-D", "ABCDEFGHIJKLM", "ARRAY"}, 6, 1, Mark(9, 174));
    for (const Line& line : std::vector<Line>{{"-n", "8", "ARRAY"},
                                              {"-C", "X", "255", "-c", "y", "ARRAY"},
                                              {"-b", "ON", "-pLOW", "-q", "0", "ARRAY"},
                                              {"-D", "ABCDEFGHIJ_#", "-V", "ARRAY"},
                                              {"-J", "highperformance", "ARRAY"},
                                              {"-s", "Start", "ARRAY"},
                                              {"-l", "-L", "ARRAY"}}) {
        ExpectAccepted("dktune", line);
    }
}

TEST_F(CommandLinesTest, Dklayout) {
    for (const Line& line : std::vector<Line>{
             {"-L", "1", "ARRAY"},                     // too few words, no action
             {"-L", "1", "-S", "ARRAY"},               // no action
             {"-D", "A1", "-r", "2", "ARRAY"},         // a drive is not renumbered
             {"-L", "1", "-R", "-d", "ARRAY"},         // a unit takes no allowance
             {"-D", "A1", "-a", "-Z", "ARRAY"},        // nor does an added drive
             {"-D", "A1", "-d", "-R", "-Z", "ARRAY"},  // one allowance at most
             {"-L", "1", "-D", "A1", "-d", "ARRAY"},   // one target
             {"-L", "1", "-d", "-d", "ARRAY"},         // one action
             {"-L", "1", "-d", "-r", "2", "ARRAY"},
             {"-L", "1", "-v", "-d", "ARRAY"},         // -v is for drives
             {"-D", "A1", "-v", "-v", "-d", "ARRAY"},  // once
             {"-D", "X1", "-d", "ARRAY"},
             {"-d", "-a", "ARRAY"},  // no target
         }) {
        ExpectUsage("dklayout", line, 1, 57);
    }
    ExpectUsage("dklayout", {"-L", "1", "-a", "100M", "ARRAY"}, 1, 57,
                "dklayout:  " + Mark(9, 167) + " Unknown capacity unit: \"M\"");
    ExpectUsage("dklayout", {"-L", "1", "-a", "100g", "ARRAY"}, 1, 57, "\"g\"");
    ExpectUsage("dklayout", {"-L", "1", "-a", "100K", "ARRAY"}, 1, 57, Mark(9, 166));
    ExpectUsage("dklayout", {"-L", "1", "-a", "1073741824", "ARRAY"}, 1, 57, Mark(9, 158));
    ExpectUsage("dklayout", {"-L", "1", "-a", "2097152G", "ARRAY"}, 1, 57, Mark(9, 158));
    ExpectUsage("dklayout", {"-L", "1", "-a", "1.5.5", "ARRAY"}, 1, 57, Mark(9, 159));
    ExpectUsage("dklayout", {"-D", "B7", "-a", "ARRAY"}, 1, 57, "dklayout:  " + Mark(9, 158));
    ExpectUsage("dklayout", {"-L", "1", "-d", "stray", "ARRAY"}, 1, 57, "\"stray\"");
    for (const Line& line : std::vector<Line>{{"-L", "1", "-a", "1.5G", "ARRAY"},
                                              {"-L3", "-a512", "-S", "ARRAY"},
                                              {"-L", "0", "-r", "7", "-V", "ARRAY"},
                                              {"-D", "b6", "-d", "-Z", "-v", "ARRAY"},
                                              {"-a", "-D", "A1", "ARRAY"}}) {
        ExpectAccepted("dklayout", line);
    }
}

TEST_F(CommandLinesTest, Dkmend) {
    for (const Line& line : std::vector<Line>{{"ARRAY"},
                                              {"-S", "ARRAY"},  // no operation
                                              {"-r", "-c", "ARRAY"},
                                              {"-p", "-a", "on", "ARRAY"},
                                              {"-a", "on", "-a", "off", "ARRAY"},
                                              {"-a", "maybe", "ARRAY"},
                                              {"-P", "on", "ARRAY"}}) {
        ExpectUsage("dkmend", line, 7, 36);
    }
    ExpectUsage("dkmend", {"-x", "ARRAY"}, 7, 37, "dkmend:  " + Mark(9, 163));
    ExpectUsage("dkmend", {"-rc", "ARRAY"}, 7, 36, "\"-rc\"");
    for (const Line& line : std::vector<Line>{
             {"-a", "on", "-P", "low", "ARRAY"}, {"-r", "ARRAY"}, {"-p", "-S", "ARRAY"}}) {
        ExpectAccepted("dkmend", line);
    }
    const ProgramResult help = RunProgram(root_, "dkmend", {"-r", "-?"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(Lines(help.out).size(), 11u);
    EXPECT_THAT(help.out, HasSubstr("   " + Mark(7, 25)));
    EXPECT_THAT(help.out, HasSubstr("   " + Mark(7, 35)));
}

TEST_F(CommandLinesTest, DkwatchAndDkprobe) {
    for (const Line& line : std::vector<Line>{{},
                                              {"-D", "A1"},                 // two words
                                              {"-c", "-D", "A1", "ARRAY"},  // -c before -D
                                              {"-D", "A1", "-c", "-c", "ARRAY"},
                                              {"-D", "A1", "~ARRAY", "X"},
                                              {"_ARRAY"}}) {
        ExpectUsage("dkwatch", line, 8, 41);
    }
    ExpectUsage("dkwatch", {"-D", "A7", "ARRAY"}, 8, 41, "dkwatch:  " + Mark(9, 158));
    ExpectUsage("dkwatch", {"-D", "A1", "-x", "ARRAY"}, 8, 41,
                Mark(8, 43) + " Unknown argument: -x\n");
    for (const Line& line :
         std::vector<Line>{{"ARRAY"}, {"-D", "B6", "ARRAY"}, {"-D", "a1", "-c", "/array"}}) {
        ExpectAccepted("dkwatch", line);
    }

    for (const Line& line : std::vector<Line>{{"-D", "A1", "ARRAY"},
                                              {"-DA1", "-s", "ARRAY"},  // the slot stands apart
                                              {"-D", "Q1", "-s", "ARRAY"},
                                              {"-D", "A1", "-r", "5", "-ARRAY"},
                                              {"-D", "A1", "-r", "5", "6", "ARRAY"}}) {
        ExpectUsage("dkprobe", line, 3, 20);
    }
    ExpectUsage("dkprobe", {"-D", "A1", "-r", "0", "ARRAY"}, 3, 20, "dkprobe:  " + Mark(9, 158));
    ExpectUsage("dkprobe", {"-D", "A1", "-r", "101", "ARRAY"}, 3, 20, Mark(9, 158));
    ExpectUsage("dkprobe", {"-D", "B7", "-s", "ARRAY"}, 3, 20, Mark(9, 158));
    ExpectUsage("dkprobe", {"-D", "A1", "-x", "ARRAY"}, 3, 20,
                Mark(9, 163) + " Unknown or malformed switch: \"-x\"");
    ExpectUsage("dkprobe", {"-D", "A1", "-s", "5", "ARRAY"}, 3, 20, "\"-s\"");
    ExpectUsage("dkprobe", {"-D", "A1", "-w", "x", "ARRAY"}, 3, 20, Mark(9, 159));
    for (const Line& line : std::vector<Line>{{"-D", "A1", "-s", "ARRAY"},
                                              {"-d", "b2", "-r", "100", "ARRAY"},
                                              {"-D", "A3", "-w", "1", "9ARRAY"}}) {
        ExpectAccepted("dkprobe", line);
    }
}

TEST_F(CommandLinesTest, DkwipeAndDkjournal) {
    for (const Line& line : std::vector<Line>{{"ARRAY"},
                                              {"-h", "ARRAY"},  // no -F
                                              {"-L", "ARRAY"},
                                              {"-F", "-L", "ARRAY"},
                                              {"-F", "-F", "ARRAY"}}) {
        ExpectUsage("dkwipe", line, 4, 20);
    }
    ExpectUsage("dkwipe", {"-F", "-hx", "ARRAY"}, 4, 20, "dkwipe:  " + Mark(9, 163));
    ExpectUsage("dkwipe", {"-F", "now", "ARRAY"}, 4, 20, "\"now\"");
    ExpectAccepted("dkwipe", {"-F", "-h", "-V", "ARRAY"});

    for (const Line& line : std::vector<Line>{{"ARRAY"},
                                              {"-e", "-e", "ARRAY"},
                                              {"-ex", "ARRAY"},
                                              {"-x", "ARRAY"},
                                              {"-C", "ARRAY"},
                                              {"-C", "-x", "ARRAY"},
                                              {"-C", "-cc", "ARRAY"},
                                              {"-d", "A1", "-C", "-d", "B1", "ARRAY"},
                                              {"-C", "-dA1", "-d", "B1", "ARRAY"},
                                              {"-d", "A1", "stray", "ARRAY"}}) {
        ExpectUsage("dkjournal", line, 15, 1);
    }
    ExpectRefused("dkjournal", {"-p", "2", "-d", "A1", "ARRAY"}, 15, 1, Mark(15, 22));
    ExpectRefused("dkjournal", {"-d", "A13", "ARRAY"}, 15, 1, Mark(15, 6));
    ExpectRefused("dkjournal", {"-C", "-d", "B0", "ARRAY"}, 15, 1, Mark(15, 6));
    for (const Line& line : std::vector<Line>{{"-e", "-u", "ARRAY"},
                                              {"-d", "A1", "-p", "48", "ARRAY"},
                                              {"-C", "-c", "-C", "-d", "B6", "ARRAY"}}) {
        ExpectAccepted("dkjournal", line);
    }
    const ProgramResult help = RunProgram(root_, "dkjournal", {"-?"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.substr(0, 1), "\n");
    EXPECT_THAT(help.out, HasSubstr(Mark(14, 57)));
    EXPECT_THAT(help.out, HasSubstr(Mark(14, 68)));
}

TEST_F(CommandLinesTest, TheHelpAndTheExitLevel) {
    const struct {
        const char* program;
        int set;
        int item;
    } helps[] = {{"dktune", 6, 939},
                 {"dklayout", 1, 79},
                 {"dkwatch", 8, 40},
                 {"dkprobe", 3, 18},
                 {"dkwipe", 4, 18}};
    for (const auto& help : helps) {
        const ProgramResult run = RunProgram(root_, help.program, {"-x", "-?", "ARRAY"});
        EXPECT_EQ(run.exitCode, 0) << help.program;
        EXPECT_THAT(run.out, HasSubstr(Mark(help.set, help.item))) << help.program;
        EXPECT_EQ(run.err, "") << help.program;
    }
    EXPECT_THAT(RunProgram(root_, "dkwatch", {"-?"}).out, HasSubstr("    " + Mark(8, 33)));
    const std::vector<Line> exits = {{"dktune", "-a", "on"},
                                     {"dklayout", "-L", "1", "-d"},
                                     {"dkmend", "-p"},
                                     {"dkwipe", "-F"},
                                     {"dkjournal", "-e"}};
    for (const Line& exit : exits) {
        const std::string& program = exit[0];
        Line line(exit.begin() + 1, exit.end());
        line.insert(line.end(), {"-E", "4", "ARRAY"});
        const ProgramResult run = RunProgram(root_, program, line);
        EXPECT_EQ(run.exitCode, 4) << program << run.err;
        EXPECT_EQ(run.out,
                  program + ":  " + Mark(9, 165) + " Exiting with the level given by -E.\n");
        line[line.size() - 3] = "-E5";
        line.erase(line.end() - 2);
        const ProgramResult bad = RunProgram(root_, program, line);
        EXPECT_EQ(bad.exitCode, 2) << program;
        EXPECT_THAT(bad.err, HasSubstr(Mark(9, 158))) << program;
    }
}

}  // namespace
}  // namespace clitest
