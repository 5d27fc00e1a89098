// The raw page decoder against literal pages: good, repeated tags, short,
// overlong and badly placed pages, and the two-step read through a
// controller that reports a length which cannot be read.
#include "coresys/server/state/PageTlvDecoder.h"

#include <gtest/gtest.h>

#include "StateTestSupport.h"

namespace {

using namespace srvstatetest;
using U = std::vector<std::uint32_t>;

PageTlvDecoder Decode(const Bytes& page) {
    PageTlvDecoder d;
    d.SetPage(page.data(), static_cast<std::uint32_t>(page.size()));
    return d;
}

TEST(PageTlvDecoderTest, AGoodPageSplitsIntoItsTenLists) {
    PageTlvDecoder d = Decode(StandardRawPage(1));
    ASSERT_TRUE(d.Usable());
    EXPECT_EQ(d.Slot(), 1);
    EXPECT_TRUE(d.SlotValid());
    EXPECT_EQ(d.List(0), (U{1, 1, 2, 3}));
    EXPECT_EQ(d.List(1), (U{1, 2}));
    EXPECT_EQ(d.List(2), (U{1, 2}));
    EXPECT_EQ(d.Count(3), 0u);
    EXPECT_EQ(d.List(4), (U{1}));
    EXPECT_EQ(d.List(5), (U{1, 2}));
    EXPECT_EQ(d.List(6), (U{3}));
    EXPECT_EQ(d.List(7), (U{1, 1}));
    EXPECT_EQ(d.List(8), (U{1}));
    EXPECT_EQ(d.List(9), (U{2}));
    EXPECT_EQ(d.ControllerStatus(0), 1u);
    EXPECT_EQ(d.ControllerStatus(1), 2u);

    Hardware h;
    d.FillHardware(h);
    EXPECT_EQ(h.values1, (U{1, 1, 2, 3}));
    EXPECT_EQ(h.values2, (U{1, 2}));
}

TEST(PageTlvDecoderTest, AnUnknownTagIsSkippedByItsLength) {
    // Tag 4, then tag 10 of length 3 whose bytes look like tags, then tag 5.
    const Bytes page = {0x00, 0x0C, 0x00, 4, 1, 2, 10, 3, 5, 1, 7, 5, 1, 3};
    PageTlvDecoder d = Decode(page);
    EXPECT_EQ(d.List(4), (U{2}));
    EXPECT_EQ(d.List(5), (U{3}));
    EXPECT_EQ(d.Count(10), 0u);
    EXPECT_EQ(d.Count(7), 0u);
}

TEST(PageTlvDecoderTest, ARepeatedTagReplacesTheEarlierList) {
    const Bytes page = {0x00, 0x0B, 0x00, 2, 2, 1, 2, 8, 1, 1, 2, 1, 5};
    PageTlvDecoder d = Decode(page);
    EXPECT_EQ(d.List(2), (U{5}));
    EXPECT_EQ(d.List(8), (U{1}));
    // The later list is shorter: Y's entry is gone and reads as 255.
    EXPECT_EQ(d.ControllerStatus(0), 5u);
    EXPECT_EQ(d.ControllerStatus(1), 255u);
}

TEST(PageTlvDecoderTest, APageHoldingOnlyTheSlotGivesEmptyListsAndAValidSlot) {
    PageTlvDecoder d = Decode({0x00, 0x01, 0x00});
    ASSERT_TRUE(d.Usable());
    EXPECT_EQ(d.Slot(), 0);
    EXPECT_TRUE(d.SlotValid());
    for (std::uint32_t tag = 0; tag < 10; ++tag) {
        EXPECT_EQ(d.Count(tag), 0u) << tag;
    }
    EXPECT_EQ(d.ControllerStatus(0), 255u);
}

TEST(PageTlvDecoderTest, APageShorterThanThreeBytesHasNoSlot) {
    for (const Bytes& page : {Bytes{}, Bytes{0x00}, Bytes{0x00, 0x00}}) {
        PageTlvDecoder d = Decode(page);
        EXPECT_EQ(d.Slot(), PageTlvDecoder::kNoSlot);
        EXPECT_FALSE(d.SlotValid());
    }
    // A page whose own length leaves no room for the slot has none either.
    PageTlvDecoder d = Decode({0x00, 0x00, 0x01, 4, 1, 1});
    EXPECT_FALSE(d.SlotValid());
    EXPECT_EQ(d.Count(4), 0u);
}

TEST(PageTlvDecoderTest, OnlySlotsZeroAndOnePlaceAController) {
    for (std::uint8_t slot : {2, 3, 0x7F, 0xFF}) {
        PageTlvDecoder d = Decode({0x00, 0x01, slot});
        EXPECT_EQ(d.Slot(), slot);
        EXPECT_FALSE(d.SlotValid()) << int(slot);
    }
}

TEST(PageTlvDecoderTest, AnEntryRunningPastThePageEndsTheWalkWithTheListsSoFar) {
    // Tag 4 complete, tag 5 promises 9 values and the page ends after 2.
    const Bytes page = {0x00, 0x08, 0x00, 4, 1, 1, 5, 9, 1, 1};
    PageTlvDecoder d = Decode(page);
    EXPECT_EQ(d.List(4), (U{1}));
    EXPECT_EQ(d.Count(5), 0u);
    // A last tag without its count byte is no entry either.
    PageTlvDecoder e = Decode({0x00, 0x05, 0x00, 4, 1, 1, 5});
    EXPECT_EQ(e.List(4), (U{1}));
    EXPECT_EQ(e.Count(5), 0u);
}

TEST(PageTlvDecoderTest, BytesBeyondThePagesOwnLengthAreNotPartOfIt) {
    // L = 4 covers the slot and tag 4 with one value; the rest is padding.
    const Bytes page = {0x00, 0x04, 0x01, 4, 1, 3, 5, 1, 1, 8, 1, 1};
    PageTlvDecoder d = Decode(page);
    EXPECT_EQ(d.List(4), (U{3}));
    EXPECT_EQ(d.Count(5), 0u);
    EXPECT_EQ(d.Count(8), 0u);
}

TEST(PageTlvDecoderTest, ALengthLongerThanTheBytesKeptIsBoundedByThem) {
    const Bytes page = {0xFF, 0xF0, 0x00, 4, 1, 2, 5, 200};
    PageTlvDecoder d = Decode(page);
    EXPECT_EQ(d.List(4), (U{2}));
    EXPECT_EQ(d.Count(5), 0u);
}

TEST(PageTlvDecoderTest, APageTooLongForItsSixteenBitLengthIsNotKept) {
    Bytes page(0x10000, 0);
    page[2] = 1;
    PageTlvDecoder d = Decode(page);
    EXPECT_FALSE(d.Usable());
    EXPECT_TRUE(d.Page().empty());
    EXPECT_FALSE(d.SlotValid());
}

TEST(PageTlvDecoderTest, SetPageReplacesAnEarlierPage) {
    PageTlvDecoder d = Decode(StandardRawPage(0));
    const Bytes second = {0x00, 0x04, 0x01, 9, 1, 3};
    d.SetPage(second.data(), static_cast<std::uint32_t>(second.size()));
    EXPECT_EQ(d.Slot(), 1);
    EXPECT_EQ(d.Count(0), 0u);
    EXPECT_EQ(d.List(9), (U{3}));
    EXPECT_EQ(d.Page(), second);
    EXPECT_EQ(d.Value(99, 0), 255u);
    EXPECT_EQ(d.Count(99), 0u);
}

class PageReadTest : public ::testing::Test {
  protected:
    TempRoot root_;
};

TEST_F(PageReadTest, TheConstructorReadsLengthThenWholePage) {
    ControllerPair pair(false);
    ASSERT_NE(pair.storX, nullptr);
    AnswerTwoStep(*pair.x, 0xEF, 0, StandardRawPage(0));
    PageTlvDecoder d(*pair.storX);
    ASSERT_TRUE(d.Usable());
    EXPECT_EQ(d.Slot(), 0);
    EXPECT_EQ(d.Page(), StandardRawPage(0));
    EXPECT_EQ(Sent(*pair.x, TwoStepCdb(0xEF, 0, 2)), 1u);
    EXPECT_EQ(Sent(*pair.x, TwoStepCdb(0xEF, 0, StandardRawPage(0).size())), 1u);
}

TEST_F(PageReadTest, ALengthWhoseSumWouldWrapIsAFailedRead) {
    ControllerPair pair(false);
    ASSERT_NE(pair.storX, nullptr);
    for (std::uint32_t l : {0xFFFEu, 0xFFFFu}) {
        {
            std::lock_guard<std::mutex> lock(pair.x->mutex);
            pair.x->trace.clear();
            pair.x->standing[TwoStepCdb(0xEF, 0, 2)].dataIn = {static_cast<std::uint8_t>(l >> 8),
                                                               static_cast<std::uint8_t>(l)};
        }
        PageTlvDecoder d(*pair.storX);
        EXPECT_FALSE(d.Usable());
        EXPECT_FALSE(d.SlotValid());
        EXPECT_EQ(d.Result().result, ScsiResult::kSystemFailed);
        EXPECT_EQ(d.Error().errorClass, ScsiResult::kSystemFailed);
        // Only the length was read: no second read with a wrapped length.
        EXPECT_EQ(pair.x->Opcodes().size(), 1u);
    }
}

TEST_F(PageReadTest, ARefusedReadLeavesTheDecoderUnusableWithTheSense) {
    ControllerPair pair(false);
    ASSERT_NE(pair.storX, nullptr);
    Refuse(*pair.x, TwoStepCdb(0xEF, 0, 2), 4, 0x44);
    {
        std::lock_guard<std::mutex> lock(pair.x->mutex);
        pair.x->standing[kRequestSenseCdb].dataIn = SenseBytes(4, 0x44, 0);
    }
    PageTlvDecoder d(*pair.storX);
    EXPECT_FALSE(d.Usable());
    EXPECT_EQ(d.Result().result, ScsiResult::kScsiStatus);
    EXPECT_EQ(static_cast<unsigned char>(d.Error().text[2]), 4);
    EXPECT_EQ(static_cast<unsigned char>(d.Error().text[12]), 0x44);
}

}  // namespace
