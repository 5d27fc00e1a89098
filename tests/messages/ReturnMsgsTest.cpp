// Reply messages against the layout tables, round trips in both protocol
// versions, and short or lying replies failing cleanly.
#include <gtest/gtest.h>

#include <cstring>

#include "MessageBytes.h"
#include "StateBytes.h"
#include "coresys/common/CommandInProgress.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/RequestMsgs.h"
#include "coresys/common/ReturnMsgs.h"

using namespace msgtest;

namespace {

// Every prefix fails; so does every prefix whose header claims to be
// complete, up to the last coded (unpadded) byte.
template <typename Make>
void ExpectEveryPrefixFails(const Bytes& full, std::size_t codedLength, Make make) {
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        auto msg = make();
        EXPECT_FALSE(DecodePrefix(*msg, full, n));
        if (n >= ORU_Message::kHeaderLength && n < codedLength) {
            auto lied = make();
            EXPECT_FALSE(Decode(*lied, LyingPrefix(full, n)));
        }
    }
    auto whole = make();
    EXPECT_TRUE(Decode(*whole, full));
}

Bytes PadTo4(Bytes bytes) {
    while (bytes.size() % 4 != 0) {
        bytes.push_back(0);
    }
    return bytes;
}

oruerr SampleError() {
    oruerr e;
    e.source = 2;
    e.errorClass = 1;
    e.detail = 0x1234;
    e.senseValid = 1;
    e.SetText("Drive not ready");
    e.oemSet = 9;
    e.oemItem = 31;
    e.extraBytes = {0xAA, 0xBB, 0xCC};
    e.errorCode = 1;
    e.qualifier = 51;
    e.moduleId = 4;
    return e;
}

Bytes SampleErrorBytes() {
    return Cat({Text("Drive not ready", 256), Words({1, 2, 1, 0x1234, 9, 31, 3}),
                Bytes{0xAA, 0xBB, 0xCC}, Words({1, 51, 4})});
}

}  // namespace

TEST(StatusReply, BareReplyIsTwentyFourBytes) {
    const HeaderandValueMsg request(36, 12, 4, CommandHandle(8, 3));
    OkStatus_RtnMsg reply(request, 1);
    EXPECT_EQ(Encoded(reply), Words({24, 4, 1, 8, 3, 1}));
    OkStatus_RtnMsg got(0);
    ASSERT_TRUE(Decode(got, Words({24, 4, 1, 8, 3, 2})));
    EXPECT_EQ(got.status, 2u);
    EXPECT_EQ(got.handle, CommandHandle(8, 3));
}

TEST(StatusReply, ReplyToVersionThreeRequestIsVersionThree) {
    const HeaderandValueMsg request(36, 12, 3, CommandHandle(1, 1));
    OkStatus_RtnMsg reply(request, 3);
    EXPECT_EQ(Encoded(reply), Words({24, 3, 1, 1, 1, 3}));
}

TEST(StatusReply, EveryPrefixFails) {
    ExpectEveryPrefixFails(Words({24, 4, 1, 8, 3, 1}), 24,
                           [] { return std::make_unique<OkStatus_RtnMsg>(); });
}

TEST(ErrorReply, CodesTheRecordUnalignedAfterItsExtraBytes) {
    const HeaderandValueMsg request(36, 2, 4, CommandHandle(5, 6));
    OruErrStatus_RtnMsg reply(request, 1, SampleError());
    const Bytes expected = PadTo4(Cat({Words({324, 4, 10, 5, 6, 1}), SampleErrorBytes()}));
    ASSERT_EQ(expected.size(), 324u);
    EXPECT_EQ(Encoded(reply), expected);

    OruErrStatus_RtnMsg got;
    ASSERT_TRUE(Decode(got, expected));
    EXPECT_EQ(got.code, static_cast<std::uint32_t>(RMT_ORUERRORSTATUS_MSG));
    EXPECT_EQ(got.error.TextView(), "Drive not ready");
    EXPECT_EQ(got.error.extraBytes, (std::vector<unsigned char>{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(got.error.errorCode, 1u);
    EXPECT_EQ(got.error.qualifier, 51u);
    EXPECT_EQ(got.error.moduleId, 4u);
    EXPECT_EQ(got.error.detail, 0x1234u);
}

TEST(ErrorReply, KindTwoCodesLikeKindTen) {
    OruErrStatus_RtnMsg reply(RMT_ERRORSTATUS_MSG, 1);
    reply.error = SampleError();
    const Bytes bytes = Encoded(reply);
    EXPECT_EQ(bytes, PadTo4(Cat({Words({324, 4, 2, 0, 0, 1}), SampleErrorBytes()})));
}

TEST(ErrorReply, ExtraLengthBeyondTheBytesLeftFails) {
    Bytes bytes = PadTo4(Cat({Words({324, 4, 10, 5, 6, 1}), SampleErrorBytes()}));
    // The extra-byte count sits after the text and six words.
    const std::size_t at = 24 + 256 + 6 * 4;
    for (std::uint32_t lie : {64u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Bytes lying = bytes;
        const Bytes word = Words({lie});
        std::copy(word.begin(), word.end(), lying.begin() + static_cast<std::ptrdiff_t>(at));
        OruErrStatus_RtnMsg got;
        EXPECT_FALSE(Decode(got, lying)) << lie;
    }
}

TEST(ErrorReply, EveryPrefixFails) {
    const Bytes full = PadTo4(Cat({Words({324, 4, 10, 5, 6, 1}), SampleErrorBytes()}));
    ExpectEveryPrefixFails(full, 323, [] { return std::make_unique<OruErrStatus_RtnMsg>(); });
}

TEST(ValueReply, ValueIsNotCarriedSoTheReceiverSeesZero) {
    ValueStatus_RtnMsg reply(77, 1);
    const Bytes bytes = Encoded(reply);
    EXPECT_EQ(bytes, Words({24, 4, 6, 0, 0, 1}));
    ValueStatus_RtnMsg got(55);
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.value, 0u);
}

TEST(BufferReply, EmptyBlockIsTwentyEightBytes) {
    Buffer_RtnMsg reply(HeaderandValueMsg(36, 14, 4, CommandHandle(2, 2)), 1, 0, nullptr);
    const Bytes bytes = Encoded(reply);
    EXPECT_EQ(bytes, Words({28, 4, 9, 2, 2, 1, 0}));
    Buffer_RtnMsg got;
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.ByteCount(), 0u);
}

TEST(BufferReply, BytesArePaddedWithZeros) {
    const unsigned char data[] = {1, 2, 3, 4, 5};
    Buffer_RtnMsg reply(HeaderandValueMsg(36, 15, 4, CommandHandle(2, 2)), 1, 5, data);
    const Bytes expected = Cat({Words({36, 4, 9, 2, 2, 1, 5}), Bytes{1, 2, 3, 4, 5, 0, 0, 0}});
    EXPECT_EQ(Encoded(reply), expected);
    Buffer_RtnMsg got;
    ASSERT_TRUE(Decode(got, expected));
    EXPECT_EQ(got.bytes, (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    ExpectEveryPrefixFails(expected, 33, [] { return std::make_unique<Buffer_RtnMsg>(); });
}

TEST(BufferReply, CountBeyondTheBytesLeftFailsWithoutAllocating) {
    for (std::uint32_t lie : {9u, 0x80000000u, 0xFFFFFFFFu}) {
        Buffer_RtnMsg got;
        EXPECT_FALSE(Decode(got, Cat({Words({36, 4, 9, 2, 2, 1, lie}), Bytes(8, 7)}))) << lie;
        EXPECT_EQ(got.ByteCount(), 0u);
    }
}

TEST(PerfMetricsReply, CountZeroGivesAnEmptyList) {
    PerfMetrics_RtnMsg reply;
    const Bytes bytes = Encoded(reply);
    EXPECT_EQ(bytes, Words({28, 4, 7, 0, 0, 1, 0}));
    PerfMetrics_RtnMsg got;
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.MetricCount(), 0u);
}

// Two metrics of a reply: three values, and none.
std::vector<PerfMetric> TwoMetrics() {
    PerfMetric a(static_cast<PERF_METRIC>(3), 80, 100, RELOP_GREATER);
    a.windowStart = 1000;
    a.windowEnd = 4600;
    a.slotsPerValue = 2;
    a.values = {5, 6, 7};
    PerfMetric b(static_cast<PERF_METRIC>(16), 10, 1, RELOP_LESS);
    return {a, b};
}

// The reply of TwoMetrics with its handle.
Bytes TwoMetricsReply(std::uint32_t sequence, std::uint32_t session) {
    return Cat({Words({28 + 56 + 44, 4, 7, sequence, session, 1, 2}),
                Words({3, 1000, 4600, 2, 3, 5, 6, 7, 100, 80, 1, 0, 12, 1}),
                Words({16, 0, 0, 0, 0, 1, 10, 0, 0, 12, 1})});
}

TEST(PerfMetricsReply, MetricsCodeInOrderWithTheirValues) {
    PerfMetrics_RtnMsg reply;
    reply.metrics = TwoMetrics();
    const Bytes expected = TwoMetricsReply(0, 0);
    EXPECT_EQ(Encoded(reply), expected);

    PerfMetrics_RtnMsg got;
    ASSERT_TRUE(Decode(got, expected));
    ASSERT_EQ(got.MetricCount(), 2u);
    EXPECT_EQ(got.metrics[0].values, (std::vector<std::uint32_t>{5, 6, 7}));
    EXPECT_EQ(got.metrics[1].id, static_cast<PERF_METRIC>(16));
    ExpectEveryPrefixFails(expected, expected.size(),
                           [] { return std::make_unique<PerfMetrics_RtnMsg>(); });
}

TEST(PerfMetricsReply, CountBeyondTheBytesLeftFailsWithoutAllocating) {
    for (std::uint32_t lie : {2u, 0x10000000u, 0xFFFFFFFFu}) {
        PerfMetrics_RtnMsg got;
        EXPECT_FALSE(Decode(got, Cat({Words({72, 4, 7, 0, 0, 1, lie}),
                                      Words({16, 0, 0, 0, 0, 1, 10, 0, 0, 12, 1})})))
            << lie;
        EXPECT_EQ(got.MetricCount(), 0u);
    }
}

TEST(PerfRecsReply, DefaultRecordIsFortyEightWords) {
    PerfRecs_RtnMsg reply;
    Bytes expected = Words({216, 4, 8, 0, 0, 1});
    expected = Cat({expected, Bytes(18 * 4, 0)});
    for (int i = 0; i < 17; ++i) {
        expected = Cat({expected, Words({1})});
    }
    expected = Cat({expected, Bytes(13 * 4, 0)});
    EXPECT_EQ(Encoded(reply), expected);
    ExpectEveryPrefixFails(expected, expected.size(),
                           [] { return std::make_unique<PerfRecs_RtnMsg>(); });
}

TEST(ServerReplies, AValueReplyOverARequestIsABareStatusReply) {
    // A version-3 request gets a version-3 reply with its handle.
    ValueStatus_RtnMsg reply(HeaderandValueMsg(36, 12, 3, CommandHandle(9, 4)), 1, 77);
    EXPECT_EQ(reply.length, 28u);
    EXPECT_EQ(reply.value, 77u);
    EXPECT_EQ(Encoded(reply), Words({24, 3, 6, 9, 4, 1}));
}

TEST(ServerReplies, MetricsBorrowedFromTheRequestCodeInItsOrder) {
    std::vector<PerfMetric> metrics = TwoMetrics();
    PerfMetric& a = metrics[0];
    PerfMetric& b = metrics[1];
    PerfMetric* borrowed[] = {&a, &b};
    const HeaderandValueMsg request(36, 10, 4, CommandHandle(7, 2));
    {
        PerfMetrics_RtnMsg reply(request, 1, 2, borrowed);
        EXPECT_EQ(reply.length, 24u);
        // 28 + 4 x count x (14 + the first metric's three values).
        EXPECT_EQ(reply.LengthEstimate(), 28u + 4 * 2 * 17);
        EXPECT_EQ(reply.CodedLength(), 28u + 56 + 44);
        EXPECT_EQ(Encoded(reply), TwoMetricsReply(7, 2));
        EXPECT_TRUE(reply.metrics.empty());
    }
    // The reply is gone; the metrics are still the request's.
    EXPECT_EQ(a.values, (std::vector<std::uint32_t>{5, 6, 7}));
    EXPECT_EQ(b.id, static_cast<PERF_METRIC>(16));
}

TEST(ServerReplies, MetricsReplyWithoutMetricsIsTwentyEightBytes) {
    // No first metric to size by: the estimate is the bare reply and count.
    PerfMetrics_RtnMsg reply(HeaderandValueMsg(36, 10, 4, CommandHandle(1, 1)), 1, 0, nullptr);
    EXPECT_EQ(reply.LengthEstimate(), 28u);
    EXPECT_EQ(Encoded(reply), Words({28, 4, 7, 1, 1, 1, 0}));
    PerfMetric none;
    PerfMetric* empty[] = {&none};
    PerfMetrics_RtnMsg zero(HeaderandValueMsg(36, 10, 4, CommandHandle(1, 1)), 1, 0, empty);
    EXPECT_EQ(zero.LengthEstimate(), 28u);
    EXPECT_EQ(Encoded(zero), Words({28, 4, 7, 1, 1, 1, 0}));
}

TEST(ServerReplies, RecommendationRepliesOverARequestAndFromHeaderWords) {
    PerfRecs values;
    values.valueA = 36000;
    values.valueB = 45900;
    values.recommendations[1] = 1;
    values.metricChecks[6] = 0;
    values.conditions[9] = 1;
    PerfRecs_RtnMsg reply(HeaderandValueMsg(36, 11, 4, CommandHandle(3, 8)), 1, values);
    EXPECT_EQ(reply.length, 220u);
    const Bytes bytes = Encoded(reply);
    ASSERT_EQ(bytes.size(), 216u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 36),
              Words({216, 4, 8, 3, 8, 1, 36000, 45900, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 36, bytes.begin() + 40), Words({1}));    // recommendation 1
    EXPECT_EQ(Bytes(bytes.begin() + 116, bytes.begin() + 120), Words({1}));  // check 5
    EXPECT_EQ(Bytes(bytes.begin() + 120, bytes.begin() + 124), Words({0}));  // check 6
    EXPECT_EQ(Bytes(bytes.begin() + 200, bytes.begin() + 204), Words({1}));  // condition 9
    PerfRecs_RtnMsg got;
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.recs.valueB, 45900u);
    EXPECT_EQ(got.recs.conditions[9], 1u);

    PerfRecs_RtnMsg bare(1, 24, RMT_PERFRECS_MSG, 3, CommandHandle(5, 6));
    EXPECT_EQ(bare.length, 24u);
    const Bytes head = Encoded(bare);
    ASSERT_EQ(head.size(), 216u);
    EXPECT_EQ(Bytes(head.begin(), head.begin() + 32), Words({216, 3, 8, 5, 6, 1, 0, 0}));
}

TEST(GrossStatusReply, IsOneHundredSeventyTwoBytesWithTheRepeatedWord) {
    GrossStatus gross;
    for (std::uint32_t n = 1; n <= 36; ++n) {
        gross.values[n - 1] = 1000 + n;
    }
    GrossStatus_ReturnMsg reply(GrossStatusRequestMsg(), RMT_GROSSSTATUS_MSG, gross);
    Bytes expected = Words({172, 4, 100, 0, 0, 100});
    for (std::uint32_t n = 1; n <= 32; ++n) {
        expected = Cat({expected, Words({1000 + n})});
    }
    expected = Cat({expected, Words({1027, 1033, 1034, 1035, 1036})});
    ASSERT_EQ(expected.size(), 172u);
    EXPECT_EQ(Encoded(reply), expected);
    EXPECT_EQ(reply.length, 172u);

    GrossStatus_ReturnMsg got;
    EXPECT_EQ(got.status, 100u);
    EXPECT_EQ(got.code, 100u);
    ASSERT_TRUE(Decode(got, expected));
    ASSERT_NE(got.grossStatus, nullptr);
    for (std::uint32_t n = 1; n <= 36; ++n) {
        EXPECT_EQ(got.grossStatus->G(n), 1000 + n) << n;
    }
    ExpectEveryPrefixFails(expected, expected.size(),
                           [] { return std::make_unique<GrossStatus_ReturnMsg>(); });
}

TEST(GrossStatusReply, ThirtyThirdWordIsReadIntoG27Again) {
    Bytes bytes = Words({172, 4, 100, 0, 0, 100});
    for (std::uint32_t n = 1; n <= 32; ++n) {
        bytes = Cat({bytes, Words({n})});
    }
    bytes = Cat({bytes, Words({99, 33, 34, 35, 36})});
    GrossStatus_ReturnMsg got;
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.grossStatus->G(27), 99u);
    EXPECT_EQ(got.grossStatus->G(33), 33u);
}

TEST(StateReply, FullVersionFourStateCodesAsTheLayout) {
    for (std::uint32_t version : {4u, 3u}) {
        SCOPED_TRACE(version);
        DiskArrayState state = MakeFullState();
        OruServerState server;
        server.commandsInProgress.AddElement(
            CommandInProgress(CommandHandle(4, 9), MC_VerifyPhysicalDrive, 3, 255, 40));
        State_RtnMsg reply(&state, &server);
        reply.ReplyTo(HeaderandValueMsg(36, MC_GetState, version, CommandHandle(4, 9)));
        const Bytes body = Cat(
            {Words({1}), FullStateBytes(version), Words({0}), Words({1, 4, 9, 44, 3, 255, 40})});
        const std::uint32_t total = static_cast<std::uint32_t>((20 + body.size() + 3) / 4 * 4);
        const Bytes expected = PadTo4(Cat({Words({total, version, 5, 4, 9}), body}));
        const Bytes bytes = Encoded(reply);
        ASSERT_EQ(bytes.size(), expected.size());
        EXPECT_EQ(bytes, expected);
    }
}

TEST(StateReply, RoundTripsInBothVersions) {
    DiskArrayState sent = MakeFullState();
    OruServerState sentServer;
    for (std::uint32_t version : {4u, 3u}) {
        SCOPED_TRACE(version);
        State_RtnMsg reply(&sent, &sentServer);
        reply.version = version;
        const Bytes bytes = Encoded(reply);

        DiskArrayState state;
        OruServerState server;
        State_RtnMsg got(&state, &server);
        ASSERT_TRUE(Decode(got, bytes));
        EXPECT_EQ(got.version, version);
        ASSERT_EQ(state.DriveCount(), 12u);
        ASSERT_EQ(state.LunCount(), 8u);
        ASSERT_EQ(state.MissingCount(), 6u);
        EXPECT_EQ(state.SerialNumber(), "SN0000000042");
        EXPECT_EQ(state.ServerName(), "hostalpha");
        EXPECT_EQ(state.Drive(11)->SerialNumber(), "DSN000000011");
        EXPECT_EQ(state.Controller(1)->controllerStatus, 3u);
        EXPECT_EQ(state.hardware->values2, (std::vector<std::uint32_t>{9}));
        if (version == 4) {
            EXPECT_EQ(state.AliasName(), "NIGHTOWL");
            EXPECT_EQ(state.Drive(3)->driveValue3, 503u);
            EXPECT_EQ(state.subsystemState->Value(24), 123u);
            EXPECT_EQ(state.modeExtension->Value(16), 315u);
        } else {
            EXPECT_EQ(state.AliasName(), "");
            EXPECT_EQ(state.Drive(3)->driveValue3, 0u);
            EXPECT_EQ(state.subsystemState->Value(24), 0u);
            EXPECT_EQ(state.modeExtension->Value(16), 0u);
            EXPECT_EQ(state.modeExtension->Value(6), 305u);
        }
    }
}

TEST(StateReply, ShortReplyLeavesTheBoundStateAsItWas) {
    DiskArrayState sent = MakeFullState();
    OruServerState sentServer;
    State_RtnMsg reply(&sent, &sentServer);
    const Bytes full = Encoded(reply);

    DiskArrayState state = MakeFullState();
    SetText(state.aliasName, 13, "KEEP ME");
    OruServerState server;
    const std::size_t coded = 24 + FullStateBytes(4).size() + 8;
    for (std::size_t n = 0; n < full.size(); n += 7) {
        SCOPED_TRACE(n);
        State_RtnMsg got(&state, &server);
        EXPECT_FALSE(DecodePrefix(got, full, n));
        if (n >= ORU_Message::kHeaderLength && n < coded) {
            State_RtnMsg lied(&state, &server);
            EXPECT_FALSE(Decode(lied, LyingPrefix(full, n)));
        }
    }
    EXPECT_EQ(state.AliasName(), "KEEP ME");
    EXPECT_EQ(state.DriveCount(), 12u);
}

TEST(StateReply, EveryPrefixFailsUnbound) {
    DiskArrayState sent = MakeFullState();
    OruServerState sentServer;
    State_RtnMsg reply(&sent, &sentServer);
    const Bytes full = Encoded(reply);
    ExpectEveryPrefixFails(full, 24 + FullStateBytes(4).size() + 8,
                           [] { return std::make_unique<State_RtnMsg>(); });
}

TEST(StateReply, LengthEstimateFollowsTheServerLists) {
    OruServerState server;
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(1, 1), MC_VerifyPhysicalDrive, 1, 255, 0));
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(2, 1), MC_TestPhysicalDrive, 2, 255, 0));
    server.commandResults.AddElement(CommandResults(COMMAND_RESULTS, MC_CreateLUN, 0, nullptr));
    EXPECT_EQ(State_RtnMsg::LengthEstimate(&server), 3106u);
}

TEST(EventReply, PiecesAreAppliedToTheBoundStateInOrder) {
    DiskArrayState source = MakeFullState();
    source.modeSubsystem->rebuild_progress = 90;
    OruServerState sourceServer;
    Event_RtnMsg reply(&source, &sourceServer);
    reply.events.Append(new Event(MSS, static_cast<EVENT_MINOR_MSS_TYPE>(24), 1, 2));
    reply.events.Append(new Event(DAS_MISC, static_cast<EVENT_MINOR_DAS_MISC_TYPE>(0), 0, 0));
    reply.events.Append(new Event(ORUSS_MISC, static_cast<EVENT_MINOR_ORUSS_MISC_TYPE>(1), 5, 6));
    const Bytes expected =
        Cat({Words({24 + 4 + 16 + 108 + 16 + 4 + 16, 4, 3, 0, 0, 5, 3}), Words({2, 24, 1, 2}),
             Words({201, 0, 0, 1, 0, 0, 1, 208, 0, 210, 0,  0, 0,  0,
                    0,   0, 0, 0, 0, 0, 0, 0,   0, 0,   90, 0, 227}),
             Words({9, 0, 0, 0}), Words({1}), Words({12, 1, 5, 6})});
    EXPECT_EQ(Encoded(reply), expected);

    DiskArrayState state;
    OruServerState server;
    Event_RtnMsg got(&state, &server);
    ASSERT_TRUE(Decode(got, expected));
    EXPECT_EQ(got.status, 5u);
    ASSERT_EQ(got.EventCount(), 3u);
    EXPECT_EQ(got.events[0]->majorType, MSS);
    EXPECT_EQ(got.events[2]->data2, 6u);
    EXPECT_EQ(got.events[3], nullptr);
    ASSERT_TRUE(state.modeSubsystem.has_value());
    EXPECT_EQ(state.modeSubsystem->rebuild_progress, 90u);
    EXPECT_EQ(state.ValidStateData(), 1u);

    ExpectEveryPrefixFails(expected, expected.size(),
                           [] { return std::make_unique<Event_RtnMsg>(); });
}

TEST(EventReply, CountZeroLeavesTheStateUnchanged) {
    DiskArrayState state = MakeFullState();
    OruServerState server;
    Event_RtnMsg got(&state, &server);
    ASSERT_TRUE(Decode(got, Words({28, 4, 3, 0, 0, 5, 0})));
    EXPECT_EQ(got.EventCount(), 0u);
    EXPECT_EQ(state.DriveCount(), 12u);
    EXPECT_EQ(state.AliasName(), "NIGHTOWL");
}

TEST(EventReply, CountBeyondTheBytesLeftFails) {
    for (std::uint32_t lie : {2u, 0x0FFFFFFFu, 0xFFFFFFFFu}) {
        Event_RtnMsg got;
        EXPECT_FALSE(Decode(got, Cat({Words({44, 4, 3, 0, 0, 5, lie}), Words({12, 1, 5, 6})})))
            << lie;
    }
}

TEST(ReturnKinds, NamesCoverTheKinds) {
    EXPECT_STREQ(MessageKindName(0), "RMT_INVALID");
    EXPECT_STREQ(MessageKindName(10), "RMT_ORUERRORSTATUS_MSG");
    EXPECT_STREQ(MessageKindName(100), "RMT_GROSSSTATUS_MSG");
    EXPECT_EQ(MessageKindName(4), nullptr);
    EXPECT_EQ(MessageKindName(11), nullptr);
}

TEST(StateReply, ReplyLargerThanOneBlockRoundTrips) {
    DiskArrayState sent = MakeFullState();
    OruServerState sentServer;
    oruerr error;
    error.SetText("Verify finished");
    for (std::uint32_t drive = 0; drive < 300; ++drive) {
        sentServer.commandResults.AddElement(DiagCommandResults(
            MC_VerifyPhysicalDrive, 0, drive, DIAG_STATE_FINISHED, 100, drive, 0, &error));
    }
    State_RtnMsg reply(&sent, &sentServer);
    const Bytes bytes = Encoded(reply);
    ASSERT_GT(bytes.size(), 3u * CodedBuff::kBlockSize);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4),
              Words({static_cast<std::uint32_t>(bytes.size())}));

    DiskArrayState state;
    OruServerState server;
    State_RtnMsg got(&state, &server);
    ASSERT_TRUE(Decode(got, bytes));
    ASSERT_EQ(server.commandResults.Size(), 300);
    EXPECT_EQ(state.SerialNumber(), "SN0000000042");
}
