// dkview against a scripted service on loopback: the subsystem list, the
// session, and for each request the replies the test chooses, so that
// error replies, sense data, replies of the wrong kind, lost connections
// and silent services can be had at will. Each run must end with the
// documented message and exit code, never hang.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include "DkviewRun.h"
#include "ScriptedService.h"
#include "coresys/common/OruErrors.h"

namespace dkviewtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace clitest;

constexpr const char* kSerial = kFakeSerial;
constexpr const char* kAlias = kFakeAlias;
constexpr std::uint32_t kGetState = 12;

DiskArrayState OneControllerState() {
    DiskArrayState state;
    ControllerInfo x;
    x.controllerStatus = 1;
    x.targetId = 4;
    SetFieldText(x.vendor, "STROVANE");
    SetFieldText(x.productId, "FAKE ARRAY");
    SetFieldText(x.serialNumber, "CTLX77");
    state.controllers = {x};
    SetFieldText(state.serialNumber, kSerial);
    return state;
}

using FakeServiceTest = ScriptedServiceTest;

TEST_F(FakeServiceTest, TheStateTheServiceSentIsShownAndOtherRepliesAreIgnored) {
    Script([](const Request& request) -> std::vector<std::string> {
        Request other = request;
        other.sequence += 40;  // a reply to some other request
        return {OkReply(request, 3), OkReply(other, 1), OkReply(request, 2),
                StateReply(request, OneControllerState())};
    });
    const DkviewResult run = RunDkview(root_, {"-c", "-S", "-V", kAlias});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                  "GetState() " + Mark(10, 15) + " accepted",
                                  "GetState() " + Mark(10, 14) + " started",
                                  "GetState() " + Mark(10, 13) + " complete",
                                  "C:X:1:STROVANE:FAKE ARRAY:0:0:4:CTLX77::0::::QX0000000077",
                                  "C:Y:3",
                              }));
    EXPECT_EQ(run.err, "");
}

TEST_F(FakeServiceTest, TheSerialNumberFindsTheArrayAsWellAsTheAlias) {
    AnswerState([](const Request& request) { return StateReply(request, OneControllerState()); });
    const DkviewResult run = RunDkview(root_, {"-S", kSerial});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("D:STROVANE:FAKE ARRAY:QX0000000077::"));
}

TEST_F(FakeServiceTest, AnErrorReplyOfClassSevenExitsWithFour) {
    AnswerState([](const Request& request) {
        oruerr error;
        error.errorClass = 7;
        error.errorCode = ERR_COMMAND_FAILED;
        error.qualifier = GET_STATE;
        error.moduleId = 5;
        return Failed(request, error);
    });
    const DkviewResult run = RunDkview(root_, {kAlias});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_THAT(run.err,
                HasSubstr(Mark(9, 250) +
                          " The request ended with a reply of kind \"RMT_ORUERRORSTATUS_MSG\""));
    EXPECT_THAT(run.err, HasSubstr("ERR_COMMAND_FAILED"));
    EXPECT_THAT(run.err, HasSubstr("GET_STATE"));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 71)));
    EXPECT_THAT(run.err, HasSubstr("dkview:  " + Mark(9, 164)));
    EXPECT_EQ(run.out, "");
}

TEST_F(FakeServiceTest, AnErrorReplyOfAnotherClassExitsWithOne) {
    AnswerState([](const Request& request) {
        oruerr error;
        error.errorClass = 3;
        error.errorCode = ERR_NO_CONTROLLER;
        error.qualifier = GET_STATE;
        return Failed(request, error);
    });
    const DkviewResult run = RunDkview(root_, {kAlias});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("ERR_NO_CONTROLLER"));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 164)));
}

TEST_F(FakeServiceTest, AnUnknownRequestGetsItsOwnMessageAndTheDetailOnlyWhenVerbose) {
    AnswerState([](const Request& request) {
        oruerr error;
        error.errorCode = ERR_COMMAND_FAILED;
        error.qualifier = UNKNOWN_COMMAND;
        return Failed(request, error);
    });
    const DkviewResult plain = RunDkview(root_, {kAlias});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_THAT(plain.err,
                HasSubstr(Mark(9, 12) + " The array-management service does not know request 12."));
    EXPECT_THAT(plain.err, Not(HasSubstr(Mark(9, 250))));
    const DkviewResult verbose = RunDkview(root_, {"-V", kAlias});
    EXPECT_EQ(verbose.exitCode, 1);
    EXPECT_THAT(verbose.err, HasSubstr(Mark(9, 12)));
    EXPECT_THAT(verbose.err, HasSubstr(Mark(9, 250)));
    EXPECT_THAT(verbose.err, HasSubstr("UNKNOWN_COMMAND"));
}

TEST_F(FakeServiceTest, SenseDataChoosesTheMessageAndShowsItsBytesWhenVerbose) {
    AnswerState([](const Request& request) {
        oruerr error;
        error.errorClass = 1;
        error.senseValid = 1;
        error.errorCode = ERR_COMMAND_FAILED;
        error.qualifier = GET_STATE;
        unsigned char sense[26] = {0x70, 0, 0x05, 0, 0, 0, 0, 18};
        sense[12] = 0x44;
        sense[19] = 0x00;
        sense[20] = 26;  // the controller is busy
        std::memcpy(error.text, sense, sizeof sense);
        return Failed(request, error);
    });
    const DkviewResult plain = RunDkview(root_, {kAlias});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_THAT(plain.err, HasSubstr(Mark(9, 132)));
    EXPECT_THAT(plain.err, Not(HasSubstr(Mark(9, 131))));
    const DkviewResult verbose = RunDkview(root_, {"-V", kAlias});
    EXPECT_EQ(verbose.exitCode, 1);
    EXPECT_THAT(verbose.err, HasSubstr(Mark(9, 131)));
    EXPECT_THAT(verbose.err, HasSubstr("0x70  0x00  0x05"));
    EXPECT_THAT(verbose.err, HasSubstr("ASC:  "));
    EXPECT_THAT(verbose.err, HasSubstr(Mark(9, 99)));  // ILLEGAL REQUEST
}

TEST_F(FakeServiceTest, AReplyOfTheWrongKindIsAFailedRequest) {
    AnswerState([](const Request& request) { return OkReply(request, 1); });
    const DkviewResult run = RunDkview(root_, {kAlias});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("\"RMT_OKSTATUS_MSG\""));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 164)));
}

TEST_F(FakeServiceTest, AServiceThatDiesMidCommandIsNoReply) {
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), kClose};
    });
    const DkviewResult run = RunDkview(root_, {kAlias});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dkview:  " + Mark(9, 161)));
}

TEST_F(FakeServiceTest, AServiceThatDiesBeforeReadingIsNoReply) {
    Script([](const Request&) -> std::vector<std::string> { return {kClose}; });
    const DkviewResult run = RunDkview(root_, {"-a", kAlias});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 161)));
}

TEST_F(FakeServiceTest, ASilentServiceTimesOut) {
    Script([](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), kSilence};
    });
    // 300 s of the wait pass in a third of a second.
    const DkviewResult run = RunDkview(root_, {kAlias}, {"ORU_TIME_SCALE=1000"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 161)));
}

TEST_F(FakeServiceTest, ProgressMessagesKeepTheWaitGoingPastTheTimeOut) {
    // At this speed the time-out is 3 s; the service reports progress for
    // 4 s, 100 ms apart, before it answers.
    auto answer = [](const Request& request) -> std::vector<std::string> {
        return {StateReply(request, OneControllerState())};
    };
    peer_->SetSessionScript([answer](int fd) {
        Request request;
        if (!ReadRequest(fd, request)) {
            return;
        }
        for (int i = 0; i < 40; ++i) {
            clienttest::SendSessionFrame(fd, OkReply(request, 2));
            ::usleep(100000);
        }
        for (const std::string& frame : answer(request)) {
            clienttest::SendSessionFrame(fd, frame);
        }
        clienttest::SeesClose(fd, kRunLimitMs);
    });
    const DkviewResult run = RunDkview(root_, {"-S", kAlias}, {"ORU_TIME_SCALE=100"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("D:STROVANE:FAKE ARRAY:"));
}

TEST_F(FakeServiceTest, ARefusedSessionIsAFailedConnectionWithoutRetries) {
    peer_->ForceAnswer(0xFFFFFFFFu);
    const DkviewResult run = RunDkview(root_, {kAlias});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 320)));
    EXPECT_THAT(run.err, HasSubstr("dkview:  " + Mark(9, 160)));
    EXPECT_EQ(peer_->SessionRequests().size(), 1u);
}

TEST_F(FakeServiceTest, ASessionTheServiceCannotOpenIsTriedSixTimes) {
    peer_->SetKnownSerials({});  // the service answers session id 0
    const DkviewResult run = RunDkview(root_, {kAlias}, {"ORU_TIME_SCALE=100"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 320)));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 160)));
    EXPECT_EQ(peer_->SessionRequests().size(), 6u);
}

TEST_F(FakeServiceTest, AnUnknownArrayIsAUsageFailure) {
    const DkviewResult run = RunDkview(root_, {"NOSUCHARRAY"});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dkview:  " + Mark(9, 162)));
    EXPECT_TRUE(peer_->SessionRequests().empty());
}

TEST_F(FakeServiceTest, ASharedSerialNumberNeedsTheAlias) {
    peer_->SetListAnswer(
        clienttest::ListAnswer({Record(kSerial, kAlias), Record(kSerial, "TWIN", "otherhost")}));
    const DkviewResult run = RunDkview(root_, {kSerial});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(10, 40)));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 162)));
    AnswerState([](const Request& request) { return StateReply(request, OneControllerState()); });
    EXPECT_EQ(RunDkview(root_, {kAlias}).exitCode, 0);
}

TEST_F(FakeServiceTest, TheListShowsSerialsAndAliases) {
    peer_->SetListAnswer(
        clienttest::ListAnswer({Record(kSerial, kAlias), Record("QX0000000078", "")}));
    const DkviewResult readable = RunDkview(root_, {"-i"});
    EXPECT_EQ(readable.exitCode, 0);
    EXPECT_EQ(Lines(readable.out),
              (std::vector<std::string>{"QX0000000077 " + Mark(13, 116) + " alias FAKE",
                                        "QX0000000078"}));
    const DkviewResult raw = RunDkview(root_, {"-S", "-i"});
    EXPECT_EQ(raw.out, "I:QX0000000077:QX0000000078\n");
}

TEST_F(FakeServiceTest, RecommendationsArePrintedAsTheServiceAnswers) {
    Script([](const Request& request) -> std::vector<std::string> {
        if (request.code == kGetState) {
            return {OkReply(request, 3), StateReply(request, OneControllerState())};
        }
        PerfRecs_RtnMsg reply(1);
        reply.recs.recommendations[4] = 1;
        return {OkReply(request, 3), EncodedReply(reply, request)};
    });
    const DkviewResult run = RunDkview(root_, {"-S", "-r", "0301000025", "0302000025", kAlias});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(":" + Mark(11, 204) + " ADD_DISK_WORKING_SET_UNSTABLE\n"));
}

TEST_F(FakeServiceTest, APerformanceRequestTheServiceCannotRunFails) {
    Script([](const Request& request) -> std::vector<std::string> {
        if (request.code == kGetState) {
            return {OkReply(request, 3), StateReply(request, OneControllerState())};
        }
        oruerr error;
        error.errorCode = ERR_COMMAND_FAILED;
        error.qualifier = UNKNOWN_COMMAND;
        return {OkReply(request, 3), Failed(request, error)};
    });
    const DkviewResult recs = RunDkview(root_, {"-r", "0301000025", "0302000025", kAlias});
    EXPECT_EQ(recs.exitCode, 1) << recs.err;
    EXPECT_THAT(recs.err, HasSubstr(Mark(9, 12)));
    EXPECT_THAT(recs.err, HasSubstr("11"));
    const DkviewResult metrics = RunDkview(root_, {"-m", "0301000025", "0302000025", "2", kAlias});
    EXPECT_EQ(metrics.exitCode, 1) << metrics.err;
    EXPECT_THAT(metrics.err, HasSubstr(Mark(9, 164)));
}

TEST_F(FakeServiceTest, MetricsOfAnUnknownKindAreAnInternalError) {
    Script([](const Request& request) -> std::vector<std::string> {
        if (request.code == kGetState) {
            return {StateReply(request, OneControllerState())};
        }
        PerfMetrics_RtnMsg reply(1);
        PerfMetric odd(static_cast<PERF_METRIC>(40), 1, 1, RELOP_GREATER);
        odd.values = {1, 2};
        reply.metrics.push_back(odd);
        return {EncodedReply(reply, request)};
    });
    const DkviewResult run = RunDkview(root_, {"-m", "0301000025", "0302000025", kAlias});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dkview: " + Mark(16, 110)));
}

}  // namespace
}  // namespace dkviewtest
