// The condition list: flags from the state record, bits and lines.
#include <sstream>
#include <string>

#include "CliTestSupport.h"
#include "cli/common/ConditionList.h"

namespace {

class ConditionListTest : public CliTest {};

TEST(ConditionList, FlagsComeFromStateValuesTwoToTwentyFour) {
    SubsystemStateInfo info;
    info.values[0] = 1;   // the subsystem state itself is no condition
    info.values[1] = 1;   // value 2: data unavailable
    info.values[18] = 9;  // value 19: state changing
    info.values[19] = 1;  // value 20, first of version 4
    info.values[23] = 1;  // value 24, the last
    const ConditionList list = ConditionList::FromStateInfo(info);
    EXPECT_TRUE(list.flags[0]);
    EXPECT_TRUE(list.flags[17]);
    EXPECT_TRUE(list.flags[18]);
    EXPECT_TRUE(list.flags[22]);
    EXPECT_FALSE(list.flags[ConditionList::kFurtherFlag]);
    EXPECT_EQ(list.Bits(), 0x00460001u);

    EXPECT_EQ(ConditionList::FromStateInfo(SubsystemStateInfo()).Bits(), 0u);
    EXPECT_FALSE(ConditionList::FromStateInfo(SubsystemStateInfo()).Any());
}

TEST_F(ConditionListTest, PrintsHeadingAndOneLinePerFlagInRecordOrder) {
    ConditionList list;
    std::ostringstream out;
    list.Print(out);
    EXPECT_EQ(out.str(), "") << "no flag, no heading";

    list.flags[0] = true;
    list.flags[18] = true;
    list.flags[20] = true;
    list.flags[23] = true;
    list.Print(out);
    const std::string expected = "   " + Mark(9, 224) + " Conditions:\n" +          //
                                 "      " + Mark(9, 225) + " Data unavailable\n" +  //
                                 "      " + Mark(9, 247) + " Controller code mismatch\n" +
                                 "      " + Mark(9, 243) + " Recovery failed\n" + "      " +
                                 Mark(9, 246) + " Further condition\n";
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(list.Bits(), 0x00940001u);
}

}  // namespace
