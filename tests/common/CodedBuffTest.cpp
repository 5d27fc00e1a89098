#include <gtest/gtest.h>

#include <vector>

#include "coresys/common/OruXdr.h"

namespace {

// Exposes the protected coders to the tests, as a record class would use them.
struct Coder : OruXdr {
    void Encode(CodedBuff&) override {}
    void Decode(CodedBuff&) override {}
    using OruXdr::DecodeVal;
    using OruXdr::EncodeVal;
};

std::vector<unsigned char> Bytes(const CodedBuff& b) {
    return std::vector<unsigned char>(b.data, b.data + b.position);
}

TEST(CodedBuff, ValuesAreBigEndianWords) {
    CodedBuff b;
    b.Setup(4);
    Coder::EncodeVal(b, static_cast<unsigned char>(0xAB));
    Coder::EncodeVal(b, static_cast<std::uint32_t>(0x00040001));
    Coder::EncodeVal(b, static_cast<std::int32_t>(-2));
    EXPECT_EQ(Bytes(b), (std::vector<unsigned char>{0x00, 0x00, 0x00, 0xAB, 0x00, 0x04, 0x00, 0x01,
                                                    0xFF, 0xFF, 0xFF, 0xFE}));
    CodedBuff::FreeData(b.TakeData());

    unsigned char wire[] = {0x12, 0x34, 0x56, 0xAB, 0xFF, 0xFF, 0xFF, 0xFE};
    CodedBuff d;
    d.SetupDecode(wire, sizeof wire, 4);
    unsigned char c = 0;
    std::int32_t s = 0;
    Coder::DecodeVal(d, c);
    Coder::DecodeVal(d, s);
    EXPECT_EQ(c, 0xAB);
    EXPECT_EQ(s, -2);
    EXPECT_FALSE(d.Failed());
}

TEST(CodedBuff, TextFieldsLeaveTheStreamUnaligned) {
    CodedBuff b;
    b.Setup(4);
    Coder::EncodeVal(b, "ab\0de", 5);
    Coder::EncodeVal(b, static_cast<std::uint32_t>(0x01020304));
    Coder::EncodeVal(b, "", 0);  // reserves nothing
    EXPECT_EQ(Bytes(b), (std::vector<unsigned char>{'a', 'b', 0, 'd', 'e', 1, 2, 3, 4}));
    CodedBuff::FreeData(b.TakeData());
}

TEST(CodedBuff, GrowsByWholeBlocksKeepingContent) {
    CodedBuff b;
    b.Setup(4);
    std::vector<char> first(8100, 'x');
    Coder::EncodeVal(b, first.data(), 8100);
    EXPECT_EQ(b.size, 8100u);
    Coder::EncodeVal(b, "y", 1);
    EXPECT_EQ(b.size, 16200u);
    EXPECT_EQ(b.position, 8101u);
    EXPECT_EQ(b.data[0], 'x');
    EXPECT_EQ(b.data[8099], 'x');
    EXPECT_EQ(b.data[8100], 'y');
    b.ValidateLength();
    CodedBuff::FreeData(b.TakeData());
}

TEST(CodedBuff, DecodeStopsAtTheReceivedLength) {
    unsigned char wire[] = {0x00, 0x00, 0x00, 0x07, 0x41, 0x42};
    CodedBuff d;
    d.SetupDecode(wire, sizeof wire, 4);
    std::uint32_t v = 99;
    Coder::DecodeVal(d, v);
    EXPECT_EQ(v, 7u);
    EXPECT_FALSE(d.Failed());

    char text[4] = {'z', 'z', 'z', 'z'};
    Coder::DecodeVal(d, text, 4);  // only two bytes left
    EXPECT_TRUE(d.Failed());
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[3], 0);

    // Once failed, every further read is zero, even one that would fit.
    Coder::DecodeVal(d, v);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(d.position, d.size);
}

TEST(CodedBuff, HostileLengthsCannotWrapThePosition) {
    unsigned char wire[8] = {};
    CodedBuff d;
    d.SetupDecode(wire, sizeof wire, 4);
    d.position = 4;
    EXPECT_EQ(d.NextItem(0xFFFFFFFEu), nullptr);
    EXPECT_TRUE(d.Failed());

    CodedBuff e;
    e.SetupDecode(wire, sizeof wire, 4);
    EXPECT_TRUE(e.CanHold(2, 4));
    EXPECT_FALSE(e.CanHold(3, 4));
    EXPECT_FALSE(e.CanHold(0x4000000000000001ull, 4));
}

TEST(CodedBuffDeathTest, OverrunOfAnEncodeBufferEndsWithExitCode3) {
    EXPECT_EXIT(
        {
            CodedBuff b;
            b.Setup(4);
            b.position = b.size + 1;
            b.ValidateLength();
        },
        testing::ExitedWithCode(3), "CodedBuff::ValidateLength Overrun of encode buffer");
}

}  // namespace
