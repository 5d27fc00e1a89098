// The programs against a scripted service (ScriptedService.h): the requests
// they send and in what order, the replies they print, the error replies,
// class-7 re-sends, sense data, lost connections and data of hostile
// lengths they must survive, each with its documented exit code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ProgramRun.h"
#include "ScriptedService.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/OruErrors.h"

namespace clitest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::uint32_t kGetState = 12;

std::vector<std::uint32_t> Codes(const std::vector<Request>& requests) {
    std::vector<std::uint32_t> codes;
    for (const Request& request : requests) {
        codes.push_back(request.code);
    }
    return codes;
}

std::string Bytes(std::initializer_list<unsigned> bytes) {
    std::string out;
    for (unsigned b : bytes) {
        out += static_cast<char>(b);
    }
    return out;
}

std::string Be16(unsigned value) {
    return Bytes({value >> 8 & 0xFF, value & 0xFF});
}

class ProgramsOnFakeServiceTest : public ScriptedServiceTest {
  protected:
    // The program's waits ten times shorter (the time-out 30 s), unless the
    // environment says otherwise.
    ProgramResult Run(const std::string& program, std::vector<std::string> arguments,
                      const std::vector<std::string>& environment = {}) {
        arguments.push_back(kFakeAlias);
        std::vector<std::string> env = {"ORU_TIME_SCALE=10"};
        env.insert(env.end(), environment.begin(), environment.end());
        return RunProgram(root_, program, arguments, env);
    }
    // Every request answered at once: the state with `state`, the others by
    // `answer` (an ok reply when it gives nothing).
    void Serve(DiskArrayState state, std::function<std::string(const Request&)> answer = nullptr,
               OruServerState server = OruServerState{}) {
        Script([state, answer, server](const Request& request) -> std::vector<std::string> {
            if (request.code == kGetState) {
                return {OkReply(request, 3), StateReply(request, state, server)};
            }
            std::string final = answer ? answer(request) : std::string();
            return {OkReply(request, 3), OkReply(request, 2),
                    final.empty() ? OkReply(request, 1) : final};
        });
    }
};

// --- dktune ---

TEST_F(ProgramsOnFakeServiceTest, DktuneSendsTheSettingsInTheirOrderEachReportedOnce) {
    Serve(FakeState());
    const ProgramResult run =
        Run("dktune", {"-b", "on", "-i", "off", "-t", "5", "-c", "y", "-n", "8", "-p", "low"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Request> sent = Requests();
    EXPECT_THAT(Codes(sent), ElementsAre(36, 25, 54, 23, 31, 53));
    EXPECT_EQ(sent[0].Value(0), 1u);  // controller Y
    EXPECT_EQ(sent[1].Value(0), 5u);
    EXPECT_EQ(sent[2].Value(0), 3u);  // 8 is two to the third
    EXPECT_EQ(sent[3].Value(0), 0u);
    EXPECT_EQ(sent[4].Value(0), 1u);  // low
    EXPECT_EQ(sent[5].Value(0), 1u);
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{
                  Mark(6, 105) + " Controller Y is now the primary controller.",
                  Mark(6, 110) + " Capacity warning at 5 percent.",
                  Mark(6, 130) + " Logical units may be created up to a limit of 8.",
                  Mark(6, 112) + " Automatic include: " + Mark(6, 151) + " off.",
                  Mark(6, 114) + " Rebuild priority: " + Mark(6, 152) + " low.",
                  Mark(6, 127) + " Very early busy: " + Mark(6, 150) + " on.",
              }));
    const ProgramResult raw = Run("dktune", {"-S", "-V", "-e", "off"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.out, "Set_ReadCacheEnable(" + Mark(10, 11) + " FALSE) " + Mark(10, 15) +
                           " accepted\nSet_ReadCacheEnable(" + Mark(10, 11) + " FALSE) " +
                           Mark(10, 14) + " started\nSet_ReadCacheEnable(" + Mark(10, 11) +
                           " FALSE) " + Mark(10, 13) + " complete\n");
}

TEST_F(ProgramsOnFakeServiceTest, DktuneStopsAtTheFirstFailedSetting) {
    Serve(FakeState(), [](const Request& request) {
        return request.code == 23 ? Failed(request, Error(ERR_COMMAND_FAILED, MODE_SELECT, 7))
                                  : std::string();
    });
    const ProgramResult class7 = Run("dktune", {"-a", "on", "-i", "on", "-h", "on"});
    EXPECT_EQ(class7.exitCode, 4) << class7.err;
    EXPECT_THAT(Codes(Requests()), ElementsAre(23));
    EXPECT_THAT(class7.err, HasSubstr("MODE_SELECT"));
    EXPECT_THAT(class7.err, HasSubstr("dktune:  " + Mark(9, 164)));
    EXPECT_EQ(class7.out, "");

    Serve(FakeState(), [](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, UNKNOWN_FIELD));
    });
    const ProgramResult field = Run("dktune", {"-a", "on"});
    EXPECT_EQ(field.exitCode, 1);
    // The setting's own message, then the generic print.
    EXPECT_THAT(field.err, HasSubstr(Mark(9, 33)));
    EXPECT_THAT(field.err, HasSubstr(Mark(9, 250)));
}

TEST_F(ProgramsOnFakeServiceTest, DktuneTakesAReplyThatNothingFailedAsDone) {
    // The hot-spare setting is answered "nothing failed" with a qualifier;
    // the note is shown and the next setting is sent. A later failure still
    // ends the run as failed.
    Serve(FakeState(), [](const Request& request) {
        if (request.code == 27) {
            return Failed(request, Error(ERR_NO_FAIL, HOT_SPARE_UNAVAILABLE));
        }
        return request.code == 35 ? Failed(request, Error(ERR_COMMAND_FAILED, MODE_SELECT))
                                  : std::string();
    });
    const ProgramResult run = Run("dktune", {"-h", "on", "-e", "on", "-w", "off"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(Codes(Requests()), ElementsAre(27, 30, 35));
    EXPECT_THAT(run.err, HasSubstr("dktune:  " + Mark(9, 256) + " Note: " + Mark(9, 21)));
    EXPECT_THAT(run.err, HasSubstr("dktune:  " + Mark(9, 164)));
    EXPECT_EQ(Lines(run.out).size(), 2u) << run.out;
    // Raw output has no result lines; the note stays on the error stream, and
    // -V adds the record's detail.
    const ProgramResult raw = Run("dktune", {"-S", "-V", "-h", "on"});
    EXPECT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_THAT(raw.err, HasSubstr(Mark(9, 256)));
    EXPECT_THAT(raw.err, HasSubstr("HOT_SPARE_UNAVAILABLE"));
    EXPECT_THAT(raw.err, HasSubstr("ERR_NO_FAIL"));

    // A qualifier without a message of its own is named.
    Serve(FakeState(),
          [](const Request& request) { return Failed(request, Error(ERR_NO_FAIL, MODE_SELECT)); });
    const ProgramResult named = Run("dktune", {"-a", "on"});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_THAT(named.err, HasSubstr(Mark(9, 256) + " Note: MODE_SELECT"));

    // A request that must bring data back gets none from such a reply: it
    // stays a failure.
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), Failed(request, Error(ERR_NO_FAIL, GET_STATE))};
    });
    const ProgramResult state = Run("dkview", {"-s"});
    EXPECT_EQ(state.exitCode, 1) << state.err;
    EXPECT_THAT(state.err, HasSubstr(Mark(9, 164)));
    EXPECT_THAT(state.err, Not(HasSubstr(Mark(9, 256))));
}

TEST_F(ProgramsOnFakeServiceTest, DktuneAliasAndResiliencyNeedTheArraysLevel) {
    DiskArrayState old = FakeState();
    old.stateValue6 = 2;
    Serve(old);
    const ProgramResult refused = Run("dktune", {"-D", "NEW"});
    EXPECT_EQ(refused.exitCode, 2) << refused.err;
    EXPECT_THAT(refused.err, HasSubstr("dktune:  " + Mark(9, 173)));
    EXPECT_THAT(Codes(Requests()), ElementsAre(kGetState));

    Serve(FakeState());
    const ProgramResult alias = Run("dktune", {"-D", "NEW NAME_1"});
    ASSERT_EQ(alias.exitCode, 0) << alias.err;
    const std::vector<Request> sent = Requests(56);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_THAT(sent[0].body, HasSubstr("NEW NAME_1"));
    EXPECT_EQ(alias.out, Mark(6, 131) + " The array's alias is now \"NEW NAME_1\".\n");

    const ProgramResult single = Run("dktune", {"-J", "Single"});
    ASSERT_EQ(single.exitCode, 0) << single.err;
    const std::vector<Request> modes = Requests(55);
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0].Value(0), 1u);  // the single-controller flag
    EXPECT_EQ(modes[0].Value(1), 3u);  // secure
}

TEST_F(ProgramsOnFakeServiceTest, DktuneReportsARefusedAliasAsAFailure) {
    // The service takes upper-case letters only; its refusal is no success.
    Serve(FakeState(), [](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, INVALID_PARAMETER));
    });
    const ProgramResult run = Run("dktune", {"-D", "lower"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("INVALID_PARAMETER"));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 164)));
}

// --- dklayout and dkwipe: a class-7 error is sent once more ---

TEST_F(ProgramsOnFakeServiceTest, DklayoutSendsOnceMoreAfterAChangeOfTheUnits) {
    int creates = 0;
    Serve(FakeState(), [&creates](const Request& request) {
        return ++creates == 1 ? Failed(request, Error(ERR_COMMAND_FAILED, CREATE_LUN, 7))
                              : std::string();
    });
    const ProgramResult run = Run("dklayout", {"-L", "2", "-a", "1.5G"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Request> sent = Requests();
    ASSERT_THAT(Codes(sent), ElementsAre(4, 4));
    EXPECT_EQ(sent[1].Value(0), 2u);
    EXPECT_EQ(sent[1].Value(1), 3072u);
    EXPECT_EQ(run.out, Mark(1, 2) + " Logical unit 2, 1536" + Mark(1, 4) + "  MB: created.\n");
    EXPECT_EQ(run.err, "");

    // Two class-7 errors in a row: no third send, exit 4.
    Serve(FakeState(), [](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, DELETE_LUN, 7));
    });
    const ProgramResult twice = Run("dklayout", {"-L", "2", "-d"});
    EXPECT_EQ(twice.exitCode, 4) << twice.err;
    EXPECT_THAT(Codes(Requests()), ElementsAre(4, 4, 5, 5));
    EXPECT_THAT(twice.err, HasSubstr(Mark(9, 71)));
}

TEST_F(ProgramsOnFakeServiceTest, DklayoutPrintsTheArraysOwnReason) {
    Serve(FakeState(), [](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, NO_LUN_EXISTS));
    });
    const ProgramResult run = Run("dklayout", {"-L", "6", "-r", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 30) + " Logical unit 6 does not exist."));
    EXPECT_THAT(Codes(Requests()), ElementsAre(17));

    Serve(FakeState());
    const ProgramResult down = Run("dklayout", {"-D", "B2", "-d", "-R", "-v", "-V"});
    ASSERT_EQ(down.exitCode, 0) << down.err;
    const std::vector<Request> sent = Requests(7);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_THAT(sent[0].values, ::testing::ElementsAre(3u, 1u, 0u, 0u));
    EXPECT_THAT(down.out, HasSubstr("DownPhysicalDrive(3, DT_ALLOW_REDUNDANCY, " + Mark(10, 11) +
                                    " FALSE) " + Mark(10, 13)));
    EXPECT_THAT(down.out, HasSubstr(Mark(1, 10) + " Drive B2: taken down."));
}

TEST_F(ProgramsOnFakeServiceTest, DkwipeFormatsOnceMoreAfterAClass7ErrorAndNoThirdTime) {
    Serve(FakeState(), [](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, FORMAT_SUBSYSTEM, 7));
    });
    const ProgramResult run = Run("dkwipe", {"-F", "-h"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    const std::vector<Request> sent = Requests();
    EXPECT_THAT(Codes(sent), ElementsAre(9, 9));
    EXPECT_EQ(sent[0].Value(0), 1u);
    // The line the format runs under is started once.
    EXPECT_EQ(run.out,
              Mark(4, 4) + " Starting the format of the array, with the format pattern ... ");

    int formats = 0;
    Serve(FakeState(), [&formats](const Request& request) {
        return ++formats == 1 ? Failed(request, Error(ERR_COMMAND_FAILED, FORMAT_SUBSYSTEM, 7))
                              : std::string();
    });
    const ProgramResult again = Run("dkwipe", {"-F"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, Mark(4, 5) + " Starting the format of the array ... \n");
    EXPECT_EQ(Requests(9).back().Value(0), 0u);
    const ProgramResult raw = Run("dkwipe", {"-F", "-S"});
    EXPECT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.out, "");
}

TEST_F(ProgramsOnFakeServiceTest, AServiceThatGoesAwayMidFormatIsNoReply) {
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), OkReply(request, 2), kClose};
    });
    const ProgramResult run = Run("dkwipe", {"-F"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dkwipe:  " + Mark(9, 161)));
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), kSilence};
    });
    const ProgramResult silent = Run("dkmend", {"-p"}, {"ORU_TIME_SCALE=1000"});
    EXPECT_EQ(silent.exitCode, 3) << silent.err;
    EXPECT_THAT(silent.err, HasSubstr("dkmend:  " + Mark(9, 161)));
}

// --- dkmend ---

TEST_F(ProgramsOnFakeServiceTest, DkmendSendsBothSettingsAndShowsTheProgress) {
    DiskArrayState state = FakeState();
    ModeSubsystemPage page;
    page.rebuild_in_progress = 1;
    page.rebuild_progress = 64;
    state.modeSubsystem = page;
    Serve(state, [](const Request& request) {
        return request.code == 39 ? Failed(request, Error(ERR_COMMAND_FAILED, NO_REBUILD_NEEDED))
                                  : std::string();
    });
    const ProgramResult both = Run("dkmend", {"-P", "high", "-a", "on"});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    const std::vector<Request> sent = Requests();
    ASSERT_THAT(Codes(sent), ElementsAre(kGetState, 24, 31));
    EXPECT_EQ(sent[1].Value(0), 1u);
    EXPECT_EQ(sent[2].Value(0), 0u);
    EXPECT_EQ(Lines(both.out).size(), 2u);

    const ProgramResult progress = Run("dkmend", {"-p", "-S"});
    ASSERT_EQ(progress.exitCode, 0) << progress.err;
    EXPECT_EQ(progress.out, "12:1:64:0:0:0:0:0:0\n");

    const ProgramResult start = Run("dkmend", {"-r"});
    EXPECT_EQ(start.exitCode, 1);
    EXPECT_THAT(start.err, HasSubstr(Mark(9, 14) + " No rebuild is needed."));
}

// --- dkprobe ---

TEST_F(ProgramsOnFakeServiceTest, DkprobeTestsOnlyADriveThatHoldsNoArraysData) {
    Serve(FakeState());
    const ProgramResult member = Run("dkprobe", {"-D", "A1", "-w", "50"});
    EXPECT_EQ(member.exitCode, 2) << member.err;
    EXPECT_THAT(member.err, HasSubstr("dkprobe:  " + Mark(9, 139)));
    const ProgramResult empty = Run("dkprobe", {"-D", "B6", "-w", "50"});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_THAT(empty.err, HasSubstr("dkprobe:  " + Mark(9, 140)));
    EXPECT_THAT(Codes(Requests()), ElementsAre(kGetState, kGetState));

    // The spare in A4 may be tested.
    const ProgramResult spare = Run("dkprobe", {"-d", "a4", "-w", "50"});
    ASSERT_EQ(spare.exitCode, 0) << spare.err;
    EXPECT_EQ(spare.out, Mark(3, 3) + " The drive test was started; dkwatch shows its progress.\n");
    const std::vector<Request> tests = Requests(43);
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_THAT(tests[0].values, ::testing::ElementsAre(6u, 50u, 0u, 0u));
}

TEST_F(ProgramsOnFakeServiceTest, DkprobeVerifiesAndResetsWithoutAskingTheState) {
    Serve(FakeState(), [](const Request& request) {
        return request.code == 44 ? Failed(request, Error(ERR_COMMAND_FAILED, DIAG_RUNNING))
                                  : std::string();
    });
    const ProgramResult reset = Run("dkprobe", {"-D", "B1", "-s"});
    ASSERT_EQ(reset.exitCode, 0) << reset.err;
    EXPECT_EQ(reset.out, Mark(3, 19) + " The drive was reset.\n");
    const ProgramResult verify = Run("dkprobe", {"-D", "A2", "-r", "100"});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_THAT(verify.err, HasSubstr(Mark(9, 34)));
    const std::vector<Request> sent = Requests();
    ASSERT_THAT(Codes(sent), ElementsAre(20, 44));
    EXPECT_EQ(sent[0].Value(0), 1u);
    EXPECT_EQ(sent[1].Value(0), 2u);
    EXPECT_EQ(sent[1].Value(1), 100u);
}

// --- dkwatch ---

OruServerState TwoTestsOnB1() {
    OruServerState server;
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(41, 9), MC_VerifyPhysicalDrive, 1, 255, 30));
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(42, 9), MC_TestPhysicalDrive, 1, 255, 70));
    oruerr error;
    error.senseValid = 1;
    const unsigned char sense[] = {0x70, 0, 0x04, 0, 0, 0, 0, 10};
    std::memcpy(error.text, sense, sizeof sense);
    server.commandResults.AddElement(DiagCommandResults(
        MC_VerifyPhysicalDrive, 0, 3, DIAG_STATE_FINISHED_WITH_ERRORS, 0x2F, 360, 120, &error));
    return server;
}

TEST_F(ProgramsOnFakeServiceTest, DkwatchShowsEverySlotsTestsAndResults) {
    Serve(FakeState(), nullptr, TwoTestsOnB1());
    const ProgramResult run = Run("dkwatch", {});
    // A test shown failed: the run says so.
    ASSERT_EQ(run.exitCode, 1) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    // The tests in the order of the service's list.
    EXPECT_THAT(lines[0], HasSubstr(Mark(8, 2) + " Verify of drive B1: 30% done."));
    EXPECT_THAT(lines[1], HasSubstr(Mark(8, 1) + " Write/read test of drive B1: 70% done."));
    EXPECT_THAT(lines[2], HasSubstr(Mark(8, 2) + " Verify of drive B2: " + Mark(8, 15)));
    EXPECT_THAT(lines[3], HasSubstr(Mark(8, 25) + " VERIFY at block 360, 120 blocks"));
    EXPECT_EQ(lines[4],
              "     0:  70 00 04 00 00 00 00 0a 00 00 00 00 00 00 00 00    p...............");
    EXPECT_EQ(lines[5], "    10:  00 00" + std::string(14 * 3, ' ') + "    ..");
    const ProgramResult one = Run("dkwatch", {"-D", "A1"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, "");
}

TEST_F(ProgramsOnFakeServiceTest, DkwatchCancelsEveryTestTheSlotRanAtTheStart) {
    // After the first cancel the state no longer lists the second test: the
    // list was taken before anything was asked again.
    int states = 0;
    Script([&states](const Request& request) -> std::vector<std::string> {
        if (request.code == kGetState) {
            return {StateReply(request, FakeState(),
                               ++states == 1 ? TwoTestsOnB1() : OruServerState{})};
        }
        return {OkReply(request, 2), OkReply(request, 1)};
    });
    const ProgramResult run = Run("dkwatch", {"-D", "B1", "-c"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Request> sent = Requests();
    ASSERT_THAT(Codes(sent), ElementsAre(kGetState, 2, kGetState, 2, kGetState));
    EXPECT_EQ(sent[1].Value(0), 41u);
    EXPECT_EQ(sent[1].Value(1), 9u);
    EXPECT_EQ(sent[3].Value(0), 42u);
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                  Mark(8, 44) + " Cancelling the test on drive B1.",
                                  Mark(8, 44) + " Cancelling the test on drive B1.",
                              }));
    const ProgramResult none = Run("dkwatch", {"-D", "A6", "-c"});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, Mark(8, 45) + " No test runs on drive A6.\n");
}

TEST_F(ProgramsOnFakeServiceTest, DkwatchEndsWithTheStatesFailure) {
    AnswerState([](const Request& request) {
        return Failed(request, Error(ERR_COMMAND_FAILED, GET_STATE));
    });
    const ProgramResult failed = Run("dkwatch", {});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_EQ(failed.out, "");
    EXPECT_THAT(failed.err, HasSubstr("GET_STATE"));
    EXPECT_THAT(failed.err, HasSubstr("dkwatch:  " + Mark(9, 164)));
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), kClose};
    });
    const ProgramResult lost = Run("dkwatch", {});
    EXPECT_EQ(lost.exitCode, 2) << lost.err;
    EXPECT_THAT(lost.err, HasSubstr("dkwatch:  " + Mark(9, 161)));
}

TEST_F(ProgramsOnFakeServiceTest, DkwatchAndDkprobeTryToConnectOnce) {
    peer_->SetKnownSerials({});  // the service answers session id 0
    for (const char* program : {"dkwatch", "dkprobe"}) {
        const std::vector<std::string> line = std::string(program) == "dkwatch"
                                                  ? std::vector<std::string>{}
                                                  : std::vector<std::string>{"-D", "A1", "-s"};
        const std::size_t before = peer_->SessionRequests().size();
        const ProgramResult run = Run(program, line);
        EXPECT_EQ(run.exitCode, 1) << program << run.err;
        EXPECT_THAT(run.err, HasSubstr(std::string(program) + ":  " + Mark(9, 160)));
        EXPECT_EQ(peer_->SessionRequests().size(), before + 1) << program;
    }
}

// --- dkjournal ---

const std::string kDriveEvent = Bytes({0x00, 0x00, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x66, 0x01,
                                       0x02, 0x03, 0x11, 0x00, 0x00, 0x01, 0xE2, 0x40});

// A controller log of 72 drive events, 1296 bytes and the header.
std::string LongLog() {
    std::string log = Bytes({0x01}) + Be16(72 * 18);
    for (int i = 0; i < 72; ++i) {
        log += kDriveEvent;
    }
    return log;
}

TEST_F(ProgramsOnFakeServiceTest, DkjournalReadsALongControllerLogAgainWhole) {
    Serve(FakeState(), [](const Request& request) {
        if (request.code == 14 && request.Value(1) == 2) {
            return BufferReply(request, std::string(12, '\0') + Bytes({0, 0, 0, 7}));
        }
        // The array answers the size asked for, cut or padded.
        std::string log = LongLog();
        log.resize(request.Value(0), '\0');
        return BufferReply(request, log);
    });
    const ProgramResult run = Run("dkjournal", {"-e", "-u"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Request> logs = Requests(14);
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_THAT(logs[0].values, ::testing::ElementsAre(1024u, 1u, 0u, 0u));
    EXPECT_THAT(logs[1].values, ::testing::ElementsAre(1299u, 1u, 0u, 0u));
    EXPECT_THAT(logs[2].values, ::testing::ElementsAre(1024u, 2u, 0u, 0u));
    // The controllers first, then the whole log, then the usage counters.
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 15) + " Controller X is the active controller."));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 26) + " Controller Y is not present."));
    EXPECT_EQ(Count(run.out, Mark(14, 34) + "    At 1000: " + Mark(2, 102) + " Drive failed.\n"),
              72u);
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 56) + "    Errors:         7"));
}

TEST_F(ProgramsOnFakeServiceTest, DkjournalBoundsAHostileLogLength) {
    Serve(FakeState(), [](const Request& request) {
        // 0xFFFF declared, one event and a half ever sent.
        return BufferReply(request,
                           Bytes({0x01, 0xFF, 0xFF}) + kDriveEvent + kDriveEvent.substr(9));
    });
    const ProgramResult run = Run("dkjournal", {"-e"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Request> logs = Requests(14);
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[1].Value(0), 65535u);
    EXPECT_EQ(Count(run.out, Mark(14, 33)), 1u);

    Serve(FakeState(), [](const Request& request) {
        return BufferReply(request, Bytes({0x02, 0x00, 0x00}));
    });
    const ProgramResult wrong = Run("dkjournal", {"-e"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_THAT(wrong.err, HasSubstr(Mark(15, 5)));
}

// A drive's pages: 0 lists 0, 3, 6 and 0x30; the defect list holds twenty
// descriptors.
std::string DrivePage(std::uint32_t code) {
    switch (code) {
        case 0:
            return Bytes({0x00, 0x00}) + Be16(4) + Bytes({0x00, 0x03, 0x06, 0x30});
        case 3:
            return Bytes({0x03, 0x00}) + Be16(16) + Bytes({0x00, 0x00, 0x00, 0x04, 0, 0, 0, 5}) +
                   Bytes({0x00, 0x06, 0x00, 0x04, 0, 0, 0, 2});
        case 6:
            return Bytes({0x06, 0x00}) + Be16(5) + Bytes({0x00, 0x00, 0x00, 0x01, 9});
        default:
            return Bytes({0x30, 0x00}) + Be16(3) + "ABC";
    }
}

std::string Defects(std::uint32_t size) {
    std::string data = Bytes({0x00, 0x0D}) + Be16(160);
    for (unsigned i = 0; i < 20; ++i) {
        data += Bytes({0, 0, i, 1, 0, 0, 0, 100 + i});
    }
    data.resize(size, '\0');
    return data;
}

TEST_F(ProgramsOnFakeServiceTest, DkjournalPrintsADrivesPagesAndItsGrownDefects) {
    Serve(FakeState(), [](const Request& request) {
        if (request.code == 16) {
            std::string page = DrivePage(request.Value(1));
            page.resize(request.Value(2), '\0');
            return BufferReply(request, page);
        }
        return BufferReply(request, Defects(request.Value(1)));
    });
    const ProgramResult run = Run("dkjournal", {"-d", "B1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::uint32_t> pages;
    for (const Request& request : Requests(16)) {
        EXPECT_EQ(request.Value(0), 1u);
        pages.push_back(request.Value(1));
    }
    EXPECT_THAT(pages, ElementsAre(0u, 3u, 6u, 0x30u));
    const std::vector<Request> defects = Requests(15);
    ASSERT_EQ(defects.size(), 2u);
    EXPECT_EQ(defects[0].Value(1), 96u);
    EXPECT_EQ(defects[1].Value(1), 164u);
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 27) + " Drive B1:"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 5) + "    03  read errors"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 80) + "    Errors corrected at once:          5"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 86) + "    Errors not corrected:              2"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 100) + "    Count:  9"));
    EXPECT_THAT(run.out, HasSubstr(Mark(14, 101) + " Page 0x30:\n   0:  30  0  0  3 41 42 43"));
    EXPECT_THAT(run.out,
                HasSubstr(Mark(14, 14) + " Cylinder  Head      Sector\n0         1         100"));
    EXPECT_THAT(run.out, HasSubstr("\n19        1         119       \n\n"));

    const ProgramResult page = Run("dkjournal", {"-d", "B1", "-p", "6"});
    ASSERT_EQ(page.exitCode, 0) << page.err;
    EXPECT_THAT(page.out, HasSubstr(Mark(15, 11) + " Log page of drive B1:\n" + Mark(14, 101) +
                                    " Page 0x06:\n   0:   6  0  0  5  0  0  0  1  9"));
}

TEST_F(ProgramsOnFakeServiceTest, DkjournalRefusesPagesItDidNotAskFor) {
    Serve(FakeState(), [](const Request& request) {
        // Every page answers as page 3.
        return BufferReply(request, request.Value(1) == 0 ? DrivePage(0) : DrivePage(3));
    });
    const ProgramResult run = Run("dkjournal", {"-d", "A1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr(Mark(15, 5)));
    Serve(FakeState(), [](const Request& request) {
        return BufferReply(request, request.code == 15 ? Bytes({0x00, 0x0C, 0x00, 0x00})
                                                       : Bytes({0x00, 0x00, 0x00, 0x00}));
    });
    const ProgramResult format = Run("dkjournal", {"-d", "A1"});
    EXPECT_EQ(format.exitCode, 2);
    EXPECT_THAT(format.err, HasSubstr(Mark(15, 9)));
}

TEST_F(ProgramsOnFakeServiceTest, DkjournalClearsEveryPageAfterTheFirstOfADrive) {
    Serve(FakeState(), [](const Request& request) {
        switch (request.code) {
            case 14:
                return BufferReply(request, Bytes({0x01, 0x00, 0x00}));
            case 16:
                return BufferReply(request, DrivePage(0));
            default:
                return std::string();
        }
    });
    const ProgramResult run = Run("dkjournal", {"-C", "-d", "A2", "-C", "-c"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::uint32_t> cleared;
    for (const Request& request : Requests(47)) {
        EXPECT_EQ(request.Value(0), 2u);
        cleared.push_back(request.Value(1));
    }
    EXPECT_THAT(cleared, ElementsAre(3u, 6u, 0x30u));
    const std::vector<Request> log = Requests(14);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_THAT(log[0].values, ::testing::ElementsAre(1024u, 1u, 1u, 0u));
    EXPECT_THAT(run.out, HasSubstr(Mark(15, 10)));
    EXPECT_THAT(run.out, HasSubstr(Mark(15, 13) + " Clearing the log pages of drive A2."));
    // An empty slot has nothing to read or clear.
    const ProgramResult empty = Run("dkjournal", {"-d", "A6"});
    ASSERT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_THAT(empty.out, HasSubstr(Mark(15, 12) + " There is no drive in slot A6."));
    EXPECT_TRUE(Requests(16).size() == 1u);
}

}  // namespace
}  // namespace clitest
