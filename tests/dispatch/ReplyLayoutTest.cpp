// The bytes the dispatch builds, against the layout tables: the error reply
// of a request with no controller to run on, the plain reply and the
// continuation request of a long command; and the alias rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RecordingClient.h"
#include "coresys/server/dispatch/AliasMsg.h"
#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/monitor/ClientMessage.h"

namespace {

using Bytes = std::vector<unsigned char>;
using devmgrtest::PutBe32;

Bytes Words(std::initializer_list<std::uint32_t> words) {
    Bytes b;
    for (std::uint32_t w : words) {
        PutBe32(b, w);
    }
    return b;
}

ClientMessage MessageOf(const Bytes& bytes) {
    ClientMessage message;
    std::memcpy(message.serialNumber, "QX0000000001", 13);
    message.bytes = bytes;
    return message;
}

TEST(ReplyLayoutTest, RequestWithoutAControllerGetsNoControllerInAVersion3ErrorReply) {
    // GetState, version 3, handle (9, 0x0102).
    ClientMessage message = MessageOf(Words({36, 3, 12, 9, 0x0102, 0, 0, 0, 0}));
    ManagementMsg msg(message, nullptr);
    ASSERT_TRUE(msg.Decoded());
    msg.do_message_action();
    EXPECT_EQ(msg.Reply().Disposition(), 1u);

    // Header (length 320, version 3, kind 10, handle), status 1, then the
    // error record: 256 text bytes, sense-valid 0, source 0, class 3,
    // detail 0, two OEM words 0, no extra bytes, then error code 6 (no
    // controller), qualifier 0, module 4 (device manager).
    Bytes expected = Words({320, 3, 10, 9, 0x0102, 1});
    expected.resize(expected.size() + 256, 0);
    Bytes tail = Words({0, 0, 3, 0, 0, 0, 0, 6, 0, 4});
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(msg.Reply().ReplyBytes(), expected);
}

TEST(ReplyLayoutTest, RequestShorterThanItsValuesIsRefusedAsInvalidLength) {
    // A sound header that claims 20 bytes: the four values never came.
    ClientMessage message = MessageOf(Words({20, 4, 12, 1, 2}));
    ManagementMsg msg(message, nullptr);
    EXPECT_FALSE(msg.Decoded());
    msg.do_message_action();
    const Bytes& reply = msg.Reply().ReplyBytes();
    ASSERT_EQ(reply.size(), 320u);
    EXPECT_EQ(Bytes(reply.end() - 12, reply.end()), Words({9, 0, 4}));
}

TEST(ReplyLayoutTest, ContinuationRepeatsCodeVersionAndHandleWithTheMarkSet) {
    // A verify of drive 5 over 30 percent, handle (77, 3).
    ClientMessage message = MessageOf(Words({36, 4, 44, 77, 3, 5, 30, 0, 0}));
    ManagementMsg msg(message, nullptr);
    ASSERT_TRUE(msg.Decoded());
    msg.ScheduleContinuation(3, 44);
    EXPECT_EQ(msg.Reply().Disposition(), 3u);
    // Values: drive, 0, the mark 1, 0.
    EXPECT_EQ(msg.Reply().ContinuationBytes(), Words({36, 4, 44, 77, 3, 5, 0, 1, 0}));
    // The plain reply with status 1: 24 bytes.
    EXPECT_EQ(msg.Reply().ReplyBytes(), Words({24, 4, 1, 77, 3, 1}));
}

TEST(ReplyLayoutTest, OnlyTheServiceMakesContinuations) {
    ClientMessage message = MessageOf(Words({36, 4, 44, 1, 1, 0, 0, 1, 0}));
    devmgrtest::RecordingClient client;
    message.client = &client;
    // Posted as a continuation but carrying a client: not one.
    EXPECT_FALSE(ManagementMsg(message, nullptr, true).IsContinuation());
    message.client = nullptr;
    EXPECT_TRUE(ManagementMsg(message, nullptr, true).IsContinuation());
    EXPECT_FALSE(ManagementMsg(message, nullptr, false).IsContinuation());
}

TEST(ReplyLayoutTest, AliasRules) {
    char out[12];
    ASSERT_TRUE(AliasMsg::MakeAlias("AB12", out));
    EXPECT_EQ(std::string(out, 12), "AB12        ");
    ASSERT_TRUE(AliasMsg::MakeAlias("XYZ_ .#09AZ_", out));
    EXPECT_EQ(std::string(out, 12), "XYZ_ .#09AZ_");
    ASSERT_TRUE(AliasMsg::MakeAlias("", out));
    EXPECT_EQ(std::string(out, 12), std::string(12, ' '));
    EXPECT_FALSE(AliasMsg::MakeAlias("ABCDEFGHIJKLM", out));  // 13 allowed characters
    EXPECT_FALSE(AliasMsg::MakeAlias("Abc", out));
    EXPECT_FALSE(AliasMsg::MakeAlias("A-B", out));
    EXPECT_FALSE(AliasMsg::MakeAlias(std::string_view("A\0", 2), out));
}

}  // namespace
