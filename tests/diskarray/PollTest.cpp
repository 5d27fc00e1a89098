// Replies on a session: every reply kind becomes its poll result, matched to
// the request by its handle; state and event replies update the array's own
// state; broken, foreign and lost replies never pass for an answer and never
// leave the state half changed.
#include <sys/socket.h>

#include <string>

#include "ArrayFixture.h"
#include "ReplyBytes.h"
#include "platform/Clock.h"

namespace arraytest {
namespace {

using clienttest::SendAll;

class DiskArrayPollTest : public ArrayFixture {
  protected:
    void SetUp() override {
        ArrayFixture::SetUp();
        array_ = Connect(&fd_);
        ASSERT_NE(array_, nullptr);
        ASSERT_GE(fd_, 0);
    }

    // Sends one reply message in its frame.
    void Answer(const std::string& message) { ASSERT_TRUE(SendAll(fd_, Frame(message))); }

    // Sends a state reply and takes it.
    void LoadState(const StateSpec& shape, const std::vector<Running>& running = {}) {
        Answer(Reply(5, 1, kSessionId, 5, StateBody(shape) + ServerStateBody(running)));
        PollMsg* result = PollForResult(*array_);
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(result->kind, 5u);
    }

    DiskArray* array_ = nullptr;
    int fd_ = -1;
};

TEST_F(DiskArrayPollTest, APlainRequestSeesReceivedStartedFinishedOnItsHandle) {
    const CommandHandle shutdown = array_->ShutdownSubsystem();
    ASSERT_EQ(shutdown, CommandHandle(1, kSessionId));
    for (std::uint32_t status : {3u, 2u, 1u}) {
        Answer(Reply(1, 1, kSessionId, status));
    }
    for (std::uint32_t status : {3u, 2u, 1u}) {
        SCOPED_TRACE(status);
        PollMsg* result = PollForResult(*array_);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->kind, 1u);
        EXPECT_EQ(result->status, status);
        EXPECT_EQ(result->handle, shutdown);
        EXPECT_TRUE(DiskArray::Answers(result, shutdown));
        EXPECT_FALSE(DiskArray::Answers(result, CommandHandle(2, kSessionId)));
    }
    // Nothing more has come.
    EXPECT_EQ(array_->PollQEN(), nullptr);
    EXPECT_EQ(array_->GetMessageStatus(), SESS_NO_MESSAGE_WAITING);
}

TEST_F(DiskArrayPollTest, AReplyForAnotherRequestDoesNotAnswerThisOne) {
    const CommandHandle first = array_->GetState();
    const CommandHandle second = array_->TestAlarmMessage();
    Answer(Reply(1, second.sequence, kSessionId, 1));
    Answer(Reply(1, first.sequence, kSessionId + 1, 1));  // same sequence, other session
    PollMsg* result = PollForResult(*array_);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(DiskArray::Answers(result, second));
    EXPECT_FALSE(DiskArray::Answers(result, first));
    result = PollForResult(*array_);
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(DiskArray::Answers(result, first));
    EXPECT_FALSE(DiskArray::Answers(result, second));
    // Events go to every client with the handle (0, 0): no request of ours,
    // not even one that was never sent, takes them for its answer.
    Answer(Reply(3, 0, 0, 5, Be(0)));
    result = PollForResult(*array_);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->kind, 3u);
    EXPECT_FALSE(DiskArray::Answers(result, CommandHandle(0, 0)));
}

TEST_F(DiskArrayPollTest, ErrorRepliesOfBothKindsCarryTheirRecord) {
    const CommandHandle format = array_->FormatSubsystem(300);
    for (std::uint32_t kind : {2u, 10u}) {
        SCOPED_TRACE(kind);
        Answer(Reply(kind, format.sequence, kSessionId, 1,
                     ErrorRecord("parameter out of range", 1, 23, 4, "xy")));
        auto* error = dynamic_cast<ErrorPollMsg*>(PollForResult(*array_));
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->kind, kind);
        EXPECT_EQ(error->status, 1u);
        EXPECT_TRUE(DiskArray::Answers(error, format));
        EXPECT_STREQ(error->error.text, "parameter out of range");
        EXPECT_EQ(error->error.source, 11u);
        EXPECT_EQ(error->error.errorClass, 7u);
        EXPECT_EQ(error->error.errorCode, 1u);
        EXPECT_EQ(error->error.qualifier, 23u);
        EXPECT_EQ(error->error.moduleId, 4u);
        EXPECT_EQ(std::string(error->error.extraBytes.begin(), error->error.extraBytes.end()),
                  "xy");
        EXPECT_EQ(error->subsystem, nullptr);
    }
}

TEST_F(DiskArrayPollTest, DataRepliesBecomeTheirResults) {
    const CommandHandle log = array_->ReadControllerLog(3, 1, 0);
    // Buffer: count 3, three bytes, one pad byte (length 32).
    Answer(Reply(9, log.sequence, kSessionId, 1, Be(3) + "LOG"));
    auto* buffer = dynamic_cast<BufferPollMsg*>(PollForResult(*array_));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer->bytes.begin(), buffer->bytes.end()), "LOG");
    EXPECT_TRUE(DiskArray::Answers(buffer, log));

    // A buffer reply without data bytes is 28 bytes and an empty block.
    Answer(Reply(9, log.sequence, kSessionId, 1, Be(0)));
    buffer = dynamic_cast<BufferPollMsg*>(PollForResult(*array_));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->ByteCount(), 0u);

    // A value reply carries no value: the result holds 0.
    const CommandHandle swap = array_->CompareAndSwap();
    Answer(Reply(6, swap.sequence, kSessionId, 1));
    auto* value = dynamic_cast<ValuePollMsg*>(PollForResult(*array_));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->value, 0u);
    EXPECT_TRUE(DiskArray::Answers(value, swap));

    const PERF_METRIC ids[] = {static_cast<PERF_METRIC>(3)};
    const CommandHandle metrics = array_->GetPerfMetrics(1000, 4600, 4, 1, ids);
    Answer(Reply(7, metrics.sequence, kSessionId, 1, Be(1) + MetricBytes(3, {40, 50, 60})));
    auto* perf = dynamic_cast<PerfMetricsPollMsg*>(PollForResult(*array_));
    ASSERT_NE(perf, nullptr);
    ASSERT_EQ(perf->MetricCount(), 1u);
    EXPECT_EQ(perf->Metric(0)->id, 3u);
    EXPECT_EQ(perf->Metric(0)->values, (std::vector<std::uint32_t>{40, 50, 60}));
    EXPECT_EQ(perf->Metric(0)->threshold, 80u);
    EXPECT_EQ(perf->Metric(1), nullptr);
    Answer(Reply(7, metrics.sequence, kSessionId, 1, Be(0)));
    perf = dynamic_cast<PerfMetricsPollMsg*>(PollForResult(*array_));
    ASSERT_NE(perf, nullptr);
    EXPECT_EQ(perf->MetricCount(), 0u);

    const CommandHandle recs = array_->GetPerfRecs(1000, 4600);
    Answer(Reply(8, recs.sequence, kSessionId, 1, PerfRecsBytes()));
    auto* advice = dynamic_cast<PerfRecsPollMsg*>(PollForResult(*array_));
    ASSERT_NE(advice, nullptr);
    EXPECT_EQ(advice->recs.valueA, 21u);
    EXPECT_EQ(advice->recs.recommendations[15], 115u);
    EXPECT_EQ(advice->recs.metricChecks[1], 1u);
    EXPECT_EQ(advice->recs.metricChecks[2], 0u);
    EXPECT_EQ(advice->recs.conditions[12], 212u);
    EXPECT_TRUE(DiskArray::Answers(advice, recs));
}

TEST_F(DiskArrayPollTest, AStateReplyReplacesTheWholeStateBehindTheSamePointers) {
    DiskArrayState* state = array_->GetStatePtr();
    OruServerState* server = array_->GetOruServerStatePtr();
    const CommandHandle get = array_->GetState();
    StateSpec shape;
    shape.subsystemState = 2;
    shape.luns = {{1, 4000}, {0, 0}, {1, 9000}};
    Answer(Reply(5, get.sequence, kSessionId, 5,
                 StateBody(shape) + ServerStateBody({{4, kSessionId, 44, 3}})));
    auto* result = dynamic_cast<StatePollMsg*>(PollForResult(*array_));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->status, 5u);
    EXPECT_TRUE(DiskArray::Answers(result, get));
    EXPECT_EQ(result->state, state);
    EXPECT_EQ(result->serverState, server);
    EXPECT_EQ(array_->GetStatePtr(), state);
    EXPECT_EQ(array_->GetOruServerStatePtr(), server);

    EXPECT_EQ(state->ValidStateData(), 1u);
    ASSERT_TRUE(state->subsystemState.has_value());
    EXPECT_EQ(state->subsystemState->SubsystemState(), 2u);
    ASSERT_EQ(state->LunCount(), 3u);
    EXPECT_EQ(state->Lun(2)->status, 1u);
    EXPECT_EQ(state->Lun(2)->capacity.blocks, 9000u);
    ASSERT_EQ(state->ControllerCount(), 1u);
    EXPECT_STREQ(state->Controller(0)->serialNumber, "CTLX0001");
    EXPECT_EQ(state->Controller(0)->batteryStatus, (std::vector<std::uint32_t>{5}));
    // The reply's names replace the ones taken from the list.
    EXPECT_EQ(state->SerialNumber(), "DASERIAL0001");
    EXPECT_EQ(state->ServerName(), "statehost");
    EXPECT_EQ(state->AliasName(), "BIGARRAY");
    ASSERT_EQ(server->commandsInProgress.Size(), 1u);
    EXPECT_EQ(server->commandsInProgress[0]->handle, CommandHandle(4, kSessionId));
    EXPECT_EQ(server->commandsInProgress[0]->drive, 3u);

    // A later state with other counts replaces every list.
    shape.luns = {{1, 100}};
    shape.alias = "";
    LoadState(shape);
    EXPECT_EQ(array_->GetStatePtr(), state);
    EXPECT_EQ(state->LunCount(), 1u);
    EXPECT_EQ(state->AliasName(), "");
    EXPECT_EQ(server->commandsInProgress.Size(), 0u);
}

TEST_F(DiskArrayPollTest, EventsApplyTheirPiecesToTheArraysState) {
    StateSpec shape;
    shape.luns = {{1, 4000}, {1, 5000}};
    LoadState(shape);
    DiskArrayState* state = array_->GetStatePtr();
    ASSERT_EQ(state->modeCache->write_cache_enable, 1u);

    // Cache page (major 3), LUNs (5), validStateData (DAS_MISC 9 minor 0),
    // a server miscellany (12) that carries nothing.
    const std::string events = Be(4) + EventBytes(3, 0, 0, 0, Be(0) + Be(1)) +
                               EventBytes(5, 1, 1, 0, LunList({{1, 4000}, {0, 0}})) +
                               EventBytes(9, 0, 0, 0, Be(0)) + EventBytes(12, 0, 8, 9);
    Answer(Reply(3, 0, 0, 5, events));
    auto* result = dynamic_cast<EventPollMsg*>(PollForResult(*array_));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->status, 5u);
    ASSERT_EQ(result->EventCount(), 4u);
    EXPECT_EQ((*result)[0]->majorType, 3u);
    EXPECT_EQ((*result)[1]->majorType, 5u);
    EXPECT_EQ((*result)[1]->minorType, 1u);
    EXPECT_EQ((*result)[1]->data1, 1u);
    EXPECT_EQ((*result)[3]->data2, 9u);
    EXPECT_EQ((*result)[4], nullptr);

    EXPECT_EQ(array_->GetStatePtr(), state);
    EXPECT_EQ(state->modeCache->write_cache_enable, 0u);
    EXPECT_EQ(state->LunCount(), 2u);
    EXPECT_EQ(state->Lun(1)->status, 0u);
    EXPECT_EQ(state->ValidStateData(), 0u);
    // Untouched pieces stay.
    EXPECT_EQ(state->AliasName(), "BIGARRAY");
}

TEST_F(DiskArrayPollTest, AStateReplyThatBreaksOffLeavesTheStateAsItWas) {
    StateSpec shape;
    shape.luns = {{1, 4000}};
    LoadState(shape);
    // A new state cut in the middle of its LUN list, with a header that
    // tells the truth about the bytes that came.
    shape.luns = {{1, 1}, {1, 2}, {1, 3}};
    std::string body = StateBody(shape);
    const std::string cut = body.substr(0, body.find(LunList(shape.luns)) + 4 + 12);
    Answer(Reply(5, 2, kSessionId, 5, cut));
    EXPECT_EQ(PollForMessage(*array_), nullptr);
    EXPECT_EQ(array_->GetMessageStatus(), SESS_SUCCESS);
    EXPECT_EQ(array_->BadReplies(), 1u);
    DiskArrayState* state = array_->GetStatePtr();
    ASSERT_EQ(state->LunCount(), 1u);
    EXPECT_EQ(state->Lun(0)->capacity.blocks, 4000u);

    // The session stays in step: the next reply is read whole.
    Answer(Reply(1, 3, kSessionId, 1));
    PollMsg* next = PollForResult(*array_);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->handle, CommandHandle(3, kSessionId));
}

TEST_F(DiskArrayPollTest, AnEventReplyThatBreaksOffChangesNothing) {
    StateSpec shape;
    shape.luns = {{1, 4000}};
    LoadState(shape);
    // The first event's piece is whole; the second's LUN list is cut short.
    const std::string events = Be(2) + EventBytes(3, 0, 0, 0, Be(0) + Be(0)) +
                               EventBytes(5, 1, 0, 0, Be(2) + Be(1) + Be(7));
    Answer(Reply(3, 0, 0, 5, events));
    EXPECT_EQ(PollForMessage(*array_), nullptr);
    EXPECT_EQ(array_->BadReplies(), 1u);
    EXPECT_EQ(array_->GetStatePtr()->modeCache->write_cache_enable, 1u);
    EXPECT_EQ(array_->GetStatePtr()->modeCache->read_cache_enable, 1u);
    EXPECT_EQ(array_->GetStatePtr()->LunCount(), 1u);
}

TEST_F(DiskArrayPollTest, RepliesNoSessionCarriesOrThatLieAreDropped) {
    const CommandHandle get = array_->GetState();
    const std::vector<std::string> wrong = {
        // A gross-status reply travels only by datagram.
        Reply(100, get.sequence, kSessionId, 100, Zeros(37)),
        Reply(4, get.sequence, kSessionId, 1),   // kind 4 is not used
        Reply(0, get.sequence, kSessionId, 1),   // "no reply" is never sent
        Reply(77, get.sequence, kSessionId, 1),  // unknown
        // A header that claims more bytes than came.
        Be(64) + Reply(1, get.sequence, kSessionId, 1).substr(4),
        // A state reply that is only a header.
        Reply(5, get.sequence, kSessionId, 5),
    };
    std::uint32_t dropped = 0;
    for (const std::string& message : wrong) {
        SCOPED_TRACE(dropped);
        Answer(message);
        EXPECT_EQ(PollForMessage(*array_), nullptr);
        EXPECT_EQ(array_->BadReplies(), ++dropped);
        EXPECT_EQ(array_->GetStatePtr()->SerialNumber(), kSerial);
    }
    Answer(Reply(1, get.sequence, kSessionId, 1));
    EXPECT_TRUE(DiskArray::Answers(PollForResult(*array_), get));
}

TEST_F(DiskArrayPollTest, APeerThatDiesMidReplyEndsTheSessionWithStatusSix) {
    // At the full 300 s budget: a client that waited for the rest of the
    // reply would never get past the test's limit.
    platform::SetTimeScale(1);
    const CommandHandle get = array_->GetState();
    ASSERT_TRUE(SendAll(fd_, Be(0) + Be(2586) + Reply(5, 1, kSessionId, 5).substr(0, 20)));
    shutdown(fd_, SHUT_RDWR);
    PollMsg* lost = PollForResult(*array_);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->kind, 0u);
    EXPECT_EQ(lost->status, 6u);
    EXPECT_EQ(lost->handle, CommandHandle(0, 0xFFFFFFFFu));
    EXPECT_EQ(array_->GetMessageStatus(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_FALSE(DiskArray::Answers(lost, get));
    // A request that could not be sent waits for nothing either.
    const CommandHandle unsent = array_->GetState();
    EXPECT_EQ(unsent, CommandHandle(0, 0));
    EXPECT_EQ(array_->GetMessageStatus(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_NE(lost->handle, unsent);
    // Every further poll says the same.
    PollMsg* again = array_->PollQEN();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->kind, 0u);
    EXPECT_EQ(again->status, 6u);
    EXPECT_FALSE(DiskArray::Answers(again, unsent));
}

TEST_F(DiskArrayPollTest, ADisconnectFrameFromTheServiceIsALostConnection) {
    ASSERT_TRUE(SendAll(fd_, Be(1)));
    PollMsg* lost = PollForResult(*array_);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->kind, 0u);
    EXPECT_EQ(lost->status, 6u);
    EXPECT_EQ(array_->GetMessageStatus(), SESS_CONNECTION_UNINITIALIZED);
}

}  // namespace
}  // namespace arraytest
