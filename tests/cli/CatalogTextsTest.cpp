// Every text of sets 9 and 10 that the library prints is in the English
// catalog; a missing one would show the catalog's no-such-string text.
#include <algorithm>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "cli/common/CliConfig.h"
#include "cli/common/ValueText.h"

namespace {

class CatalogTextsTest : public CliTest {};

std::vector<int> Range(int first, int last) {
    std::vector<int> items;
    for (int i = first; i <= last; ++i) {
        items.push_back(i);
    }
    return items;
}

TEST_F(CatalogTextsTest, SetsNineAndTenHoldEveryTextTheLibraryUses) {
    ::setenv("LANG", "en_GB.UTF-8", 1);
    InitCliConfig(0, nullptr);
    StringCatalog& catalog = GetCliCatalog();

    std::vector<int> set9 = {4,   12,  55,  57,  58,  59,  60,  61,  75,  90,  104, 108, 112,
                             113, 114, 115, 116, 117, 118, 119, 121, 123, 124, 148, 149, 186,
                             188, 189, 201, 203, 204, 250, 261, 264, 265, 310, 320, 340};
    for (const auto& range :
         {Range(14, 18), Range(20, 28), Range(30, 36), Range(38, 41), Range(65, 72), Range(81, 86),
          Range(94, 103), Range(130, 142), Range(150, 155), Range(157, 174), Range(175, 185),
          Range(190, 194), Range(196, 200), Range(205, 219), Range(224, 248), Range(268, 273),
          Range(321, 332)}) {
        set9.insert(set9.end(), range.begin(), range.end());
    }
    // The labels that a text fills in take a string; all others numbers.
    const std::vector<int> takesText = {119, 150, 151, 152, 153, 154, 320};
    for (int item : set9) {
        const bool text_argument =
            std::find(takesText.begin(), takesText.end(), item) != takesText.end();
        const std::string text = text_argument ? catalog.GetStringCommonBuf(9, item, "")
                                               : catalog.GetStringCommonBuf(9, item, 0u, 0u);
        EXPECT_EQ(catalog.CatGetStringErrno(), 0) << "set 9 item " << item;
        EXPECT_FALSE(text.empty()) << "set 9 item " << item;
    }
    for (int item : {10, 11, 12, 13, 14, 15, 16, 17, 30, 40}) {
        catalog.GetStringCommonBuf(10, item, 0u);
        EXPECT_EQ(catalog.CatGetStringErrno(), 0) << "set 10 item " << item;
    }
}

// The third yes/no word shows the rebuild priority, whose 0 asks for a high
// priority: the English words must say so, or every display reads backwards.
TEST_F(CatalogTextsTest, TheRebuildPriorityReadsHighForZero) {
    ::setenv("LANG", "en_GB.UTF-8", 1);
    InitCliConfig(0, nullptr);
    ValueText words;
    EXPECT_STREQ(words.ThirdYesNo(0), "High");
    EXPECT_STREQ(words.ThirdYesNo(1), "Low");
}

}  // namespace
