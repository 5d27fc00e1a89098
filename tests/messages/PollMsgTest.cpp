// Poll results built from received replies, and the gross status of a state.
#include <gtest/gtest.h>

#include "MessageBytes.h"
#include "StateBytes.h"
#include "coresys/common/GrossStatus.h"
#include "coresys/common/PollMsg.h"
#include "coresys/common/RequestMsgs.h"

using namespace msgtest;

namespace {

std::unique_ptr<PollMsg> Poll(const Bytes& bytes, DiskArrayState& state, OruServerState& server,
                              OruSubsystem* from = nullptr) {
    Bytes copy = bytes;
    return PollMsg::FromReply(copy.empty() ? nullptr : copy.data(),
                              static_cast<std::uint32_t>(copy.size()), state, server, from);
}

template <typename T>
T* As(const std::unique_ptr<PollMsg>& result) {
    return dynamic_cast<T*>(result.get());
}

}  // namespace

TEST(PollResult, StatusReplyGivesABasePollMessage) {
    DiskArrayState state;
    OruServerState server;
    auto result = Poll(Words({24, 4, 1, 3, 8, 2}), state, server);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->kind, static_cast<std::uint32_t>(RMT_OKSTATUS_MSG));
    EXPECT_EQ(result->status, 2u);
    EXPECT_EQ(result->handle, CommandHandle(3, 8));
}

TEST(PollResult, StateReplyFillsTheCallersState) {
    DiskArrayState sent = MakeFullState();
    OruServerState sentServer;
    State_RtnMsg reply(&sent, &sentServer);
    reply.handle = CommandHandle(12, 4);
    const Bytes bytes = Encoded(reply);

    DiskArrayState state;
    OruServerState server;
    auto result = Poll(bytes, state, server);
    auto* statePoll = As<StatePollMsg>(result);
    ASSERT_NE(statePoll, nullptr);
    EXPECT_EQ(statePoll->state, &state);
    EXPECT_EQ(statePoll->serverState, &server);
    EXPECT_EQ(statePoll->handle, CommandHandle(12, 4));
    EXPECT_EQ(state.SerialNumber(), "SN0000000042");
    EXPECT_EQ(state.DriveCount(), 12u);
}

TEST(PollResult, EventReplyHandsOverItsEvents) {
    DiskArrayState state;
    OruServerState server;
    const Bytes bytes =
        Cat({Words({24 + 4 + 32, 4, 3, 0, 0, 5, 2}), Words({12, 1, 5, 6}), Words({15, 0, 7, 8})});
    auto result = Poll(bytes, state, server);
    auto* events = As<EventPollMsg>(result);
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->status, 5u);
    ASSERT_EQ(events->EventCount(), 2u);
    EXPECT_EQ((*events)[0]->data1, 5u);
    EXPECT_EQ((*events)[1]->data2, 8u);
    EXPECT_EQ((*events)[2], nullptr);
}

TEST(PollResult, ErrorReplyCopiesTheRecordAndTheDatagramSource) {
    DiskArrayState state;
    OruServerState server;
    oruerr record;
    record.errorCode = 7;
    record.qualifier = 51;
    record.moduleId = 4;
    record.extraBytes = {1, 2};
    OruErrStatus_RtnMsg reply(HeaderandValueMsg(36, 37, 4, CommandHandle(1, 2)), 1, record);
    const Bytes bytes = Encoded(reply);
    auto* from = reinterpret_cast<OruSubsystem*>(&state);  // only compared, never used
    auto result = Poll(bytes, state, server, from);
    auto* error = As<ErrorPollMsg>(result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->error.errorCode, 7u);
    EXPECT_EQ(error->error.extraBytes, (std::vector<unsigned char>{1, 2}));
    EXPECT_EQ(error->subsystem, from);
    ErrorPollMsg copy(*error);
    EXPECT_EQ(copy.error.extraBytes, error->error.extraBytes);
    EXPECT_NE(copy.error.extraBytes.data(), error->error.extraBytes.data());
}

TEST(PollResult, BufferValueRecsAndMetricsRepliesGiveTheirResults) {
    DiskArrayState state;
    OruServerState server;
    auto buffer = Poll(Cat({Words({32, 4, 9, 1, 1, 1, 3}), Bytes{9, 8, 7, 0}}), state, server);
    ASSERT_NE(As<BufferPollMsg>(buffer), nullptr);
    EXPECT_EQ(As<BufferPollMsg>(buffer)->bytes, (std::vector<unsigned char>{9, 8, 7}));

    auto value = Poll(Words({24, 4, 6, 1, 1, 1}), state, server);
    ASSERT_NE(As<ValuePollMsg>(value), nullptr);
    EXPECT_EQ(As<ValuePollMsg>(value)->value, 0u);

    Bytes recs = Words({216, 4, 8, 1, 1, 1, 42});
    recs.resize(216, 0);
    auto recsPoll = Poll(recs, state, server);
    ASSERT_NE(As<PerfRecsPollMsg>(recsPoll), nullptr);
    EXPECT_EQ(As<PerfRecsPollMsg>(recsPoll)->recs.valueA, 42u);

    auto metrics =
        Poll(Cat({Words({76, 4, 7, 1, 1, 1, 1}), Words({4, 10, 20, 1, 1, 99, 1, 2, 1, 0, 12, 1})}),
             state, server);
    auto* metricsPoll = As<PerfMetricsPollMsg>(metrics);
    ASSERT_NE(metricsPoll, nullptr);
    ASSERT_EQ(metricsPoll->MetricCount(), 1u);
    EXPECT_EQ(metricsPoll->Metric(0)->values, (std::vector<std::uint32_t>{99}));
    EXPECT_EQ(metricsPoll->Metric(1), nullptr);
}

TEST(PollResult, GrossStatusReplyTakesOverTheRecord) {
    DiskArrayState state;
    OruServerState server;
    Bytes bytes = Words({172, 4, 100, 0, 0, 100});
    bytes.resize(172, 0);
    bytes[24 + 36 * 4 + 3] = 1;  // the 37th word: g36
    auto result = Poll(bytes, state, server);
    auto* gross = As<GrossStatusPollMsg>(result);
    ASSERT_NE(gross, nullptr);
    ASSERT_NE(gross->grossStatus, nullptr);
    EXPECT_EQ(gross->grossStatus->ValidStateData(), 1u);
}

TEST(PollResult, UnknownKindsAndBrokenRepliesGiveNoResult) {
    DiskArrayState state;
    OruServerState server;
    for (std::uint32_t kind : {0u, 4u, 11u, 99u, 101u}) {
        EXPECT_EQ(Poll(Words({24, 4, kind, 1, 1, 1}), state, server), nullptr) << kind;
    }
    EXPECT_EQ(Poll(Words({24, 4, 1, 1, 1}), state, server), nullptr);
    EXPECT_EQ(Poll(Bytes{}, state, server), nullptr);
    EXPECT_EQ(Poll(Words({28, 4, 9, 1, 1, 1, 1000}), state, server), nullptr);
}

TEST(PollResult, TruncatedEventReplyGivesNoResultAndKeepsCompletedPieces) {
    DiskArrayState state;
    OruServerState server;
    // Two DAS_MISC events: the first (valid state data) is whole, the second
    // (owns the lock) lost its value.
    const Bytes bytes = Cat(
        {Words({24 + 4 + 20 + 16, 4, 3, 0, 0, 5, 2}), Words({9, 0, 0, 0, 1}), Words({9, 1, 0, 0})});
    EXPECT_EQ(Poll(bytes, state, server), nullptr);
    EXPECT_EQ(state.ValidStateData(), 1u);
    EXPECT_EQ(state.ownsLock, 0u);
}

TEST(GrossStatusOfState, InvalidStateGivesZerosWithG36Zero) {
    DiskArrayState state = MakeFullState();
    state.stateValue4 = 0;
    const GrossStatus gross(state);
    for (std::uint32_t n = 1; n <= 36; ++n) {
        EXPECT_EQ(gross.G(n), 0u) << n;
    }
}

TEST(GrossStatusOfState, SummarisesTheState) {
    const DiskArrayState state = MakeFullState();
    const GrossStatus gross(state);
    for (std::uint32_t n = 1; n <= 13; ++n) {
        EXPECT_EQ(gross.G(n), 100 + n - 1) << n;
    }
    EXPECT_EQ(gross.G(14), 1u);  // rebuild in progress
    EXPECT_EQ(gross.G(15), 1u);  // log full warning
    for (std::uint32_t n = 16; n <= 20; ++n) {
        EXPECT_EQ(gross.G(n), 100 + n - 2) << n;  // state values 15..19
    }
    EXPECT_EQ(gross.G(21), 75u);
    EXPECT_EQ(gross.G(22), 11u);
    EXPECT_EQ(gross.G(23), 12u);
    EXPECT_EQ(gross.G(24), 13u);
    EXPECT_EQ(gross.G(25), 208u);
    EXPECT_EQ(gross.G(26), 210u);
    EXPECT_EQ(gross.G(27), 9u);  // drives in state 0
    EXPECT_EQ(gross.G(28), 3u);  // empty slots
    for (std::uint32_t n = 29; n <= 34; ++n) {
        EXPECT_EQ(gross.G(n), 0u) << n;
    }
    EXPECT_EQ(gross.G(35), 2u);
    EXPECT_EQ(gross.G(36), 1u);
}

TEST(GrossStatusOfState, DriveStatesAboveSevenAreNotCounted) {
    DiskArrayState state = MakeFullState();
    state.drives[0].driveState = 7;
    state.drives[1].driveState = 8;
    state.drives[2].driveState = 0xFFFFFFFF;
    const GrossStatus gross(state);
    EXPECT_EQ(gross.G(34), 1u);
    EXPECT_EQ(gross.G(27), 6u);
}

TEST(GrossStatusOfState, StateWithoutPagesStillSummarises) {
    DiskArrayState state;
    state.stateValue4 = 1;
    state.stateValue2 = 4;
    const GrossStatus gross(state);
    EXPECT_EQ(gross.G(23), 4u);
    EXPECT_EQ(gross.G(1), 0u);
    EXPECT_EQ(gross.G(27), 0u);
}

TEST(PollResult, EveryReplyKindRoundTripsInBothVersions) {
    for (std::uint32_t version : {3u, 4u}) {
        SCOPED_TRACE(version);
        const HeaderandValueMsg request(36, MC_GetState, version, CommandHandle(21, 5));
        DiskArrayState sentState = MakeFullState();
        OruServerState sentServer;
        oruerr record;
        record.errorCode = 1;
        const unsigned char data[] = {4, 5, 6};

        std::vector<std::unique_ptr<ORU_ReturnMsg>> replies;
        replies.push_back(std::make_unique<OkStatus_RtnMsg>(request, 1));
        replies.push_back(std::make_unique<OruErrStatus_RtnMsg>(request, 1, record));
        auto events = std::make_unique<Event_RtnMsg>(&sentState, &sentServer);
        events->events.Append(new Event(PHYS, static_cast<EVENT_MINOR_PHYS_TYPE>(1), 3, 0));
        replies.push_back(std::move(events));
        replies.push_back(std::make_unique<State_RtnMsg>(&sentState, &sentServer));
        replies.push_back(std::make_unique<ValueStatus_RtnMsg>(9, 1));
        auto metrics = std::make_unique<PerfMetrics_RtnMsg>();
        metrics->metrics.resize(2);
        replies.push_back(std::move(metrics));
        replies.push_back(std::make_unique<PerfRecs_RtnMsg>());
        replies.push_back(std::make_unique<Buffer_RtnMsg>(request, 1, 3, data));
        replies.push_back(
            std::make_unique<GrossStatus_ReturnMsg>(request, 100, GrossStatus(sentState)));

        for (auto& reply : replies) {
            reply->ReplyTo(request);
            SCOPED_TRACE(MessageKindName(reply->code));
            const Bytes bytes = Encoded(*reply);
            ASSERT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 8), Words({version}));
            DiskArrayState state;
            OruServerState server;
            auto result = Poll(bytes, state, server);
            ASSERT_NE(result, nullptr);
            EXPECT_EQ(result->kind, reply->code);
            EXPECT_EQ(result->status, reply->status);
            EXPECT_EQ(result->handle, CommandHandle(21, 5));
        }
    }
}
