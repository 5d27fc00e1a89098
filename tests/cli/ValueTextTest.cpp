// Value words and the bounded forms of fixed-width texts.
#include <cstring>
#include <string>

#include "CliTestSupport.h"
#include "cli/common/ValueText.h"

namespace {

using ::testing::StartsWith;

class ValueTextTest : public CliTest {
  protected:
    ValueText text;
};

TEST_F(ValueTextTest, DriveSlotsControllersFansAndSupplies) {
    const char* const slots[] = {"A1", "B1", "A2", "B2", "A3", "B3",
                                 "A4", "B4", "A5", "B5", "A6", "B6"};
    for (std::uint32_t slot = 0; slot < 12; ++slot) {
        EXPECT_STREQ(text.DriveSlotName(slot), slots[slot]);
    }
    EXPECT_STREQ(text.DriveSlotName(255), "B128");
    EXPECT_STREQ(text.ControllerName(0), "X");
    EXPECT_STREQ(text.ControllerName(1), "Y");
    EXPECT_STREQ(text.ControllerName(2), "?");
    EXPECT_STREQ(text.FanName(0), "F1");
    EXPECT_STREQ(text.FanName(4), "F5");
    EXPECT_STREQ(text.PowerSupplyName(1), "PS2");
    EXPECT_STREQ(text.PowerSupplyName(0xFFFFFFFFu), "PS4294967296");
}

TEST_F(ValueTextTest, YesNoWords) {
    EXPECT_THAT(text.FirstYesNo(1), StartsWith(Mark(9, 38)));
    EXPECT_THAT(text.FirstYesNo(0), StartsWith(Mark(9, 39)));
    EXPECT_THAT(text.SecondYesNo(-1), StartsWith(Mark(9, 40)));
    EXPECT_THAT(text.SecondYesNo(0), StartsWith(Mark(9, 41)));
    EXPECT_THAT(text.ThirdYesNo(7), StartsWith(Mark(9, 188)));
    EXPECT_THAT(text.ThirdYesNo(0), StartsWith(Mark(9, 189)));
}

TEST_F(ValueTextTest, StateLevelModeAndFiveWayWords) {
    for (std::uint32_t s = 0; s <= 8; ++s) {
        EXPECT_THAT(text.StateWord(s), StartsWith(Mark(9, 175 + static_cast<int>(s)))) << s;
    }
    EXPECT_THAT(text.StateWord(10), StartsWith(Mark(9, 184)));
    EXPECT_THAT(text.StateWord(12), StartsWith(Mark(9, 185)));
    EXPECT_THAT(text.StateWord(13), StartsWith(Mark(9, 203)));
    EXPECT_THAT(text.StateWord(14), StartsWith(Mark(9, 204)));
    EXPECT_STREQ(text.StateWord(9), (Mark(9, 186) + " State 9").c_str());
    EXPECT_STREQ(text.StateWord(11), (Mark(9, 186) + " State 11").c_str());

    for (std::uint32_t l = 1; l <= 4; ++l) {
        EXPECT_THAT(text.LevelWord(l), StartsWith(Mark(9, 195 + static_cast<int>(l)))) << l;
    }
    EXPECT_STREQ(text.LevelWord(0), (Mark(9, 201) + " Unknown (0)").c_str());
    EXPECT_THAT(text.ModeWord(0), StartsWith(Mark(9, 205)));
    EXPECT_THAT(text.ModeWord(14), StartsWith(Mark(9, 219)));
    EXPECT_STREQ(text.ModeWord(15), (Mark(9, 201) + " Unknown (15)").c_str());
    EXPECT_THAT(text.FiveWayWord(0), StartsWith(Mark(9, 268)));
    EXPECT_THAT(text.FiveWayWord(4), StartsWith(Mark(9, 272)));
    EXPECT_THAT(text.FiveWayWord(5), StartsWith(Mark(9, 273)));
}

TEST_F(ValueTextTest, ComponentStatesByType) {
    for (std::uint32_t type : {0u, 1u, 2u}) {
        for (std::uint32_t state = 1; state <= 5; ++state) {
            EXPECT_THAT(text.ComponentState(type, state),
                        StartsWith(Mark(9, 189 + static_cast<int>(state))));
            EXPECT_TRUE(ValueText::ComponentStateInRange(type, state));
        }
        EXPECT_FALSE(ValueText::ComponentStateInRange(type, 0));
        EXPECT_FALSE(ValueText::ComponentStateInRange(type, 6));
    }
    for (std::uint32_t type : {3u, 8u, 9u}) {
        EXPECT_THAT(text.ComponentState(type, 1), StartsWith(Mark(9, 196)));
        EXPECT_THAT(text.ComponentState(type, 2), StartsWith(Mark(9, 197)));
        EXPECT_THAT(text.ComponentState(type, 3), StartsWith(Mark(9, 190)));
        EXPECT_STREQ(text.ComponentState(type, 4), (Mark(9, 201) + " Unknown (4)").c_str());
        EXPECT_TRUE(ValueText::ComponentStateInRange(type, 3));
        EXPECT_FALSE(ValueText::ComponentStateInRange(type, 4));
    }
    for (std::uint32_t type : {4u, 5u, 6u, 7u}) {
        EXPECT_THAT(text.ComponentState(type, 1), StartsWith(Mark(9, 190)));
        EXPECT_THAT(text.ComponentState(type, 2), StartsWith(Mark(9, 191)));
        EXPECT_THAT(text.ComponentState(type, 3), StartsWith(Mark(9, 192)));
        EXPECT_THAT(text.ComponentState(type, 4), StartsWith(Mark(9, 200)));
        EXPECT_STREQ(text.ComponentState(type, 5), (Mark(9, 201) + " Unknown (5)").c_str());
        EXPECT_TRUE(ValueText::ComponentStateInRange(type, 4));
        EXPECT_FALSE(ValueText::ComponentStateInRange(type, 5));
    }
    EXPECT_STREQ(text.ComponentState(2, 999), "");
    EXPECT_STREQ(text.ComponentState(10, 1), "");
    EXPECT_TRUE(ValueText::ComponentStateInRange(10, 12345));
}

TEST_F(ValueTextTest, TrimsReadUnterminatedFieldsOnlyUpToTheirWidth) {
    struct {
        char field[8];
        char after[8];
    } record;
    std::memset(record.field, 'A', sizeof(record.field));
    std::memset(record.after, 'Z', sizeof(record.after));
    EXPECT_STREQ(text.Trim(record.field), "AAAAAAAA");
    EXPECT_STREQ(text.IdentityText(record.field), "AAAAAAAA");

    char padded[12] = "  DISK 1   ";
    EXPECT_STREQ(text.Trim(padded), "DISK 1");
    EXPECT_STREQ(text.LeftTrim(ValueText::Field(padded)), "DISK 1   ");
    EXPECT_STREQ(text.RightTrim(ValueText::Field(padded)), "  DISK 1");

    // Bytes with the top bit set: a leading run shows as one '.', trailing
    // ones are dropped with the blanks.
    char binary[10] = {'\xFF', '\x80', '\xC3', 'S', 'N', '1', ' ', '\x90', '\xFF', ' '};
    EXPECT_STREQ(text.Trim(binary), ".SN1");
    EXPECT_STREQ(text.LeftTrim(std::string_view(binary, 3)), ".");

    // A view that still holds the terminator ends there.
    EXPECT_STREQ(text.Trim(std::string_view("AB\0CD", 5)), "AB");
}

TEST_F(ValueTextTest, IdentityTextZeroReadsAsNone) {
    char zero[13] = " 0          ";
    EXPECT_THAT(text.IdentityText(zero), StartsWith(Mark(9, 192)));
    char serial[13] = "ABC0        ";
    EXPECT_STREQ(text.IdentityText(serial), "ABC0");
}

TEST_F(ValueTextTest, RightAlignAndGroupedNumbers) {
    EXPECT_STREQ(text.RightAlign("42", 6), "    42");
    EXPECT_STREQ(text.RightAlign("1,234,567", 3), "1,234,567");
    EXPECT_EQ(std::strlen(text.RightAlign("x", 1000)), ValueText::kBufferSize - 1);

    EXPECT_STREQ(text.GroupedNumber(0), "0");
    EXPECT_STREQ(text.GroupedNumber(999), "999");
    EXPECT_STREQ(text.GroupedNumber(1000), "1,000");
    EXPECT_STREQ(text.GroupedNumber(123456), "123,456");
    EXPECT_STREQ(text.GroupedNumber(1234567), "1,234,567");
    // Capacities of large arrays pass 32 bits.
    EXPECT_STREQ(text.GroupedNumber(1099511627776ull), "1,099,511,627,776");
}

TEST_F(ValueTextTest, ResultLivesUntilTheNextCall) {
    const char* first = text.DriveSlotName(3);
    EXPECT_STREQ(first, "B2");
    text.FanName(0);
    EXPECT_STREQ(first, "F1") << "one buffer per object";
    ValueText other;
    other.ControllerName(1);
    EXPECT_STREQ(first, "F1");
}

}  // namespace
