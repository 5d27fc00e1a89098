// Request messages and the message header against the layout tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MessageBytes.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/RequestMsgs.h"

using namespace msgtest;

namespace {

const Bytes kGetState17 = Words({0x24, 4, 12, 1, 7, 0, 0, 0, 0});

}  // namespace

TEST(RequestHeader, GetStateCodesAsTheThirtySixBytesOfTheLayout) {
    HeaderandValueMsg msg(36, MC_GetState, 4, CommandHandle(1, 7));
    const Bytes expected = {0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x0C,
                            0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Encoded(msg), expected);
    EXPECT_EQ(msg.length, 36u);
}

TEST(RequestHeader, EncodeWritesTheRealLengthWhateverTheEstimate) {
    HeaderandValueMsg msg(9999, MC_DeleteLUN, 4, CommandHandle(2, 3), 5);
    const Bytes bytes = Encoded(msg);
    EXPECT_EQ(bytes, Words({36, 4, 5, 2, 3, 5, 0, 0, 0}));
}

TEST(RequestHeader, DecodeReadsEveryHeaderWordAndTheValues) {
    HeaderandValueMsg msg;
    ASSERT_TRUE(Decode(msg, Words({36, 4, 37, 9, 0xFFFFFFFE, 1, 15, 0x80000000, 4})));
    EXPECT_EQ(msg.length, 36u);
    EXPECT_EQ(msg.version, 4u);
    EXPECT_EQ(msg.code, static_cast<std::uint32_t>(MC_Set_ControllerAddress));
    EXPECT_EQ(msg.handle, CommandHandle(9, 0xFFFFFFFE));
    EXPECT_EQ(msg.value1, 1u);
    EXPECT_EQ(msg.value2, 15u);
    EXPECT_EQ(msg.value3, 0x80000000u);
    EXPECT_EQ(msg.value4, 4u);
}

TEST(RequestHeader, ReceivedVersionReplacesTheObjectsOwn) {
    HeaderandValueMsg msg;
    ASSERT_TRUE(Decode(msg, Words({36, 3, 12, 1, 1, 0, 0, 0, 0})));
    EXPECT_EQ(msg.version, 3u);
}

TEST(RequestHeader, EveryValueRequestRoundTripsInBothVersions) {
    for (std::uint32_t version : {3u, 4u}) {
        for (std::uint32_t code = kFirstMessageCode; code <= kLastMessageCode; ++code) {
            if (code == MC_GetPerfMetrics || code == MC_GrossStatus || code == MC_SetAliasName) {
                continue;
            }
            SCOPED_TRACE(std::string(MessageCodeName(code)) + " v" + std::to_string(version));
            HeaderandValueMsg sent(36, code, version, CommandHandle(code * 3, 77), code, 2 * code,
                                   0xFFFFFFFF, 0x01020304);
            const Bytes bytes = Encoded(sent);
            ASSERT_EQ(bytes, Words({36, version, code, code * 3, 77, code, 2 * code, 0xFFFFFFFF,
                                    0x01020304}));
            HeaderandValueMsg got;
            ASSERT_TRUE(Decode(got, bytes));
            EXPECT_EQ(got.version, version);
            EXPECT_EQ(got.code, code);
            EXPECT_EQ(got.handle, CommandHandle(code * 3, 77));
            EXPECT_EQ(got.value1, code);
            EXPECT_EQ(got.value2, 2 * code);
            EXPECT_EQ(got.value3, 0xFFFFFFFFu);
            EXPECT_EQ(got.value4, 0x01020304u);
        }
    }
}

TEST(RequestHeader, EveryShortPrefixFailsCleanly) {
    for (std::size_t n = 0; n < kGetState17.size(); ++n) {
        SCOPED_TRACE(n);
        HeaderandValueMsg msg;
        EXPECT_FALSE(DecodePrefix(msg, kGetState17, n));
        EXPECT_TRUE(msg.DecodeFailed());
        if (n >= ORU_Message::kHeaderLength) {
            HeaderandValueMsg lied;
            EXPECT_FALSE(Decode(lied, LyingPrefix(kGetState17, n)));
        }
    }
}

TEST(RequestHeader, LengthBelowTheHeaderOrBeyondTheFrameIsRefused) {
    HeaderandValueMsg small;
    EXPECT_FALSE(Decode(small, Words({19, 4, 12, 1, 7, 0, 0, 0, 0})));
    HeaderandValueMsg big;
    EXPECT_FALSE(Decode(big, Words({40, 4, 12, 1, 7, 0, 0, 0, 0})));
    HeaderandValueMsg huge;
    EXPECT_FALSE(Decode(huge, Words({0xFFFFFFFC, 4, 12, 1, 7, 0, 0, 0, 0})));
}

TEST(RequestHeader, BodyIsBoundedByTheHeaderLengthNotTheFrame) {
    // 28 bytes claimed in a 36-byte frame: the last two values are not part
    // of this message, so the value body cannot be complete.
    HeaderandValueMsg msg;
    EXPECT_FALSE(Decode(msg, Words({28, 4, 12, 1, 7, 1, 2, 3, 4})));
    // Trailing bytes beyond a complete message are ignored.
    HeaderandValueMsg longer;
    EXPECT_TRUE(Decode(longer, Words({36, 4, 12, 1, 7, 1, 2, 3, 4, 0xDEAD})));
    EXPECT_EQ(longer.value4, 4u);
}

TEST(StringRequest, FiveLetterAliasCodesThirtySevenBytesPaddedToForty) {
    HeaderandStringMsg msg(32, MC_SetAliasName, 4, CommandHandle(4, 2), 0, 0, "ABCDE", 5);
    const Bytes expected =
        Cat({Words({40, 4, 56, 4, 2, 0, 0, 5}), Bytes{'A', 'B', 'C', 'D', 'E', 0, 0, 0}});
    EXPECT_EQ(Encoded(msg), expected);
}

TEST(StringRequest, PadBytesAreZeroForEveryTextLength) {
    const char text[] = "ABCDEFGHIJ";
    for (std::uint32_t n = 0; n <= 10; ++n) {
        SCOPED_TRACE(n);
        HeaderandStringMsg msg(32, MC_SetAliasName, 4, CommandHandle(), 0, 0, text, n);
        const Bytes bytes = Encoded(msg);
        const std::uint32_t rounded = (32 + n + 3) / 4 * 4;
        ASSERT_EQ(bytes.size(), rounded);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Words({rounded}));
        for (std::size_t i = 32 + n; i < rounded; ++i) {
            EXPECT_EQ(bytes[i], 0) << i;
        }
    }
}

TEST(StringRequest, DecodedTextIsCountedAndTerminated) {
    HeaderandStringMsg msg;
    ASSERT_TRUE(Decode(msg, Cat({Words({40, 4, 56, 4, 2, 0, 0, 5}),
                                 Bytes{'A', 'B', 'C', 'D', 'E', 'X', 'Y', 'Z'}})));
    EXPECT_EQ(msg.textLength, 5u);
    EXPECT_EQ(msg.Text(), "ABCDE");
    EXPECT_EQ(msg.text[5], '\0');
    EXPECT_TRUE(msg.ownsText);
}

TEST(StringRequest, SenderTextIsCopiedAtConstruction) {
    char alias[] = "NIGHT";
    HeaderandStringMsg msg(32, MC_SetAliasName, 4, CommandHandle(), 0, 0, alias, 5);
    std::memset(alias, 'x', 5);
    const Bytes bytes = Encoded(msg);
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.begin() + 37), (Bytes{'N', 'I', 'G', 'H', 'T'}));
}

TEST(StringRequest, TextLengthBeyondTheBytesLeftFailsWithoutAllocating) {
    for (std::uint32_t lie : {9u, 12u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(lie);
        HeaderandStringMsg msg;
        EXPECT_FALSE(Decode(msg, Cat({Words({40, 4, 56, 4, 2, 0, 0, lie}), Text("ABCDEFGH", 8)})));
        EXPECT_EQ(msg.text, nullptr);
        EXPECT_EQ(msg.textLength, 0u);
        EXPECT_EQ(msg.Text(), "");
    }
}

TEST(StringRequest, EveryShortPrefixFailsCleanly) {
    const Bytes full = Cat({Words({44, 4, 56, 4, 2, 0, 0, 12}), Text("ALIAS NUMBER", 12)});
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        HeaderandStringMsg msg;
        EXPECT_FALSE(DecodePrefix(msg, full, n));
        if (n >= ORU_Message::kHeaderLength) {
            HeaderandStringMsg lied;
            EXPECT_FALSE(Decode(lied, LyingPrefix(full, n)));
        }
    }
    HeaderandStringMsg whole;
    ASSERT_TRUE(Decode(whole, full));
    EXPECT_EQ(whole.Text(), "ALIAS NUMBER");
}

TEST(StringRequest, DecodingAgainReplacesTheOldText) {
    HeaderandStringMsg msg;
    ASSERT_TRUE(Decode(msg, Cat({Words({36, 4, 56, 1, 1, 0, 0, 3}), Text("OLD", 4)})));
    ASSERT_TRUE(Decode(msg, Cat({Words({36, 4, 56, 1, 1, 0, 0, 4}), Text("NEW!", 4)})));
    EXPECT_EQ(msg.Text(), "NEW!");
}

TEST(PerfArrayRequest, ThreeIdentifiersGiveLengthFortyEight) {
    const std::uint32_t ids[] = {1, 7, 16};
    HeaderandPerfArrayMsg msg(36, MC_GetPerfMetrics, 4, CommandHandle(5, 9), 1000, 2000, 4, 3, ids);
    const Bytes bytes = Encoded(msg);
    EXPECT_EQ(bytes, Words({48, 4, 10, 5, 9, 1000, 2000, 4, 3, 1, 7, 16}));

    HeaderandPerfArrayMsg got;
    ASSERT_TRUE(Decode(got, bytes));
    EXPECT_EQ(got.value4, 3u);
    ASSERT_EQ(got.MetricCount(), 3u);
    EXPECT_EQ(got.MetricId(0), 1u);
    EXPECT_EQ(got.MetricId(2), 16u);
    EXPECT_EQ(got.MetricId(3), 0u);
}

TEST(PerfArrayRequest, NoIdentifiersGiveThirtySixBytes) {
    HeaderandPerfArrayMsg msg(36, MC_GetPerfMetrics, 3, CommandHandle(5, 9), 1, 2, 1, 0, nullptr);
    EXPECT_EQ(Encoded(msg), Words({36, 3, 10, 5, 9, 1, 2, 1, 0}));
}

TEST(PerfArrayRequest, CountBeyondTheBytesLeftFailsWithoutAllocating) {
    for (std::uint32_t lie : {4u, 0x40000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(lie);
        HeaderandPerfArrayMsg msg;
        EXPECT_FALSE(Decode(msg, Words({48, 4, 10, 5, 9, 1, 2, 1, lie, 1, 2, 3})));
        EXPECT_EQ(msg.MetricCount(), 0u);
        EXPECT_EQ(msg.metricIds, nullptr);
    }
}

TEST(PerfArrayRequest, EveryShortPrefixFailsCleanly) {
    const Bytes full = Words({48, 4, 10, 5, 9, 1000, 2000, 4, 3, 1, 7, 16});
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        HeaderandPerfArrayMsg msg;
        EXPECT_FALSE(DecodePrefix(msg, full, n));
        if (n >= ORU_Message::kHeaderLength) {
            HeaderandPerfArrayMsg lied;
            EXPECT_FALSE(Decode(lied, LyingPrefix(full, n)));
        }
    }
}

TEST(GrossStatusRequest, IsCode46WithZeroHandleAndValues) {
    GrossStatusRequestMsg msg;
    EXPECT_EQ(Encoded(msg), Words({36, 4, 46, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(msg.requestHandle, CommandHandle(0, 0));
}

TEST(RecordCodersOnMessages, EndTheProcessWithExitCodeThree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CodedBuff b;
    HeaderandValueMsg msg;
    EXPECT_EXIT(msg.Encode(b), testing::ExitedWithCode(3),
                "OruXdrMsg::Encode Invalid form of Encode");
    EXPECT_EXIT(msg.Decode(b), testing::ExitedWithCode(3),
                "OruXdrMsg::Decode Invalid form of Decode");
}

TEST(MessageCodes, NamesCoverOneToFiftySix) {
    EXPECT_EQ(MessageCodeName(0), nullptr);
    EXPECT_STREQ(MessageCodeName(1), "AddPhysicalDrive");
    EXPECT_STREQ(MessageCodeName(12), "GetState");
    EXPECT_STREQ(MessageCodeName(37), "Set_ControllerAddress");
    EXPECT_STREQ(MessageCodeName(56), "SetAliasName");
    EXPECT_EQ(MessageCodeName(57), nullptr);
}

TEST(ErrorTables, NamesMatchTheirValues) {
    EXPECT_STREQ(ErrorCodeName(ERR_NO_FAIL), "ERR_NO_FAIL");
    EXPECT_STREQ(ErrorCodeName(7), "ERR_LOCK_NOT_OWNED");
    EXPECT_STREQ(ErrorCodeName(13), "ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE");
    EXPECT_EQ(ErrorCodeName(14), nullptr);
    EXPECT_STREQ(ModuleIdName(DEVICEMGR), "DEVICEMGR");
    EXPECT_STREQ(ModuleIdName(6), "DIAGNOSTIC");
    EXPECT_EQ(ModuleIdName(7), nullptr);
    EXPECT_STREQ(QualifierName(UNKNOWN_COMMAND), "UNKNOWN_COMMAND");
    EXPECT_STREQ(QualifierName(54), "WRITE_READ_TEST");
    EXPECT_EQ(QualifierName(55), nullptr);
}

TEST(ErrorTables, FiftyThreeQualifiersHaveNamesAndThreeAreNumbersOnly) {
    int named = 0;
    for (std::uint32_t q = 0; q <= 55; ++q) {
        const char* name = QualifierName(q);
        if (q == QUAL_CLEAR_DIAG_RESULTS || q == QUAL_COMPARE_AND_SWAP || q == QUAL_SET_ALIAS) {
            EXPECT_EQ(name, nullptr) << q;
        } else {
            EXPECT_NE(name, nullptr) << q;
            named += name != nullptr ? 1 : 0;
        }
    }
    EXPECT_EQ(named, 53);
    EXPECT_STREQ(QualifierName(8), "CONTROLLER_ALREADY_ACTIVE");
    EXPECT_STREQ(QualifierName(34), "PREVENTAGE_CHECK");
    EXPECT_STREQ(QualifierName(48), "TAKE_CONTROL");
    EXPECT_STREQ(QualifierName(50), "UNKNOWN_FIELD");
}
