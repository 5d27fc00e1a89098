// The log printer's support code: the reader of indexed catalog files, the
// tick-count timer, the debug sink, the start-up record and PathTail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "TrailTestSupport.h"
#include "catalog/StringCatalog.h"
#include "platform/Root.h"
#include "tools/trail/CatalogFileReader.h"
#include "tools/trail/DebugMsg.h"
#include "tools/trail/ScrollConfig.h"
#include "tools/trail/TickTimer.h"

namespace trailtest {
namespace {

using namespace trail;

// Three texts of set 18, numbers 1, 2 and 4, behind a blank line.
const std::string kCatalog =
    "3\n"
    "0\n"
    "\n"
    "18 1 0 5\n"
    "18 2 5 3\n"
    "18 4 8 6\n"
    "HelloYesFourth";

class CatalogFileTest : public TrailTest {
  protected:
    void SetUp() override {
        TrailTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root.Path());
    }
    void TearDown() override {
        CloseCatalogFile();
        std::filesystem::current_path(previous_);
        TrailTest::TearDown();
    }
    void Put(const std::string& name, const std::string& text) {
        ASSERT_TRUE(root.Write(name, text));
    }
    // The text of (set, number), or the code as text.
    static std::string Text(std::int32_t set, std::int32_t number) {
        char* text = nullptr;
        std::uint16_t length = 0;
        const std::int32_t code = ReadCatalogFileEntry(set, number, &text, &length);
        if (code != CF_OK) {
            EXPECT_EQ(text, nullptr);
            EXPECT_EQ(length, 0);
            return std::to_string(code);
        }
        std::string copy(text, length);
        EXPECT_EQ(text[length], '\0');
        std::free(text);
        return copy;
    }

    std::filesystem::path previous_;
};

TEST_F(CatalogFileTest, TextsAreFoundByTheirKeys) {
    Put("abc.cat", kCatalog);
    ASSERT_EQ(OpenCatalogFile("abc"), CF_OK);
    EXPECT_EQ(Text(18, 1), "Hello");
    EXPECT_EQ(Text(18, 2), "Yes");
    EXPECT_EQ(Text(18, 4), "Fourth");
    EXPECT_EQ(Text(18, 3), std::to_string(CF_NO_SUCH_ENTRY));
    EXPECT_EQ(Text(17, 1), std::to_string(CF_NO_SUCH_ENTRY));
    // Closed, the index stays: a known key cannot be read, an unknown one
    // is not there.
    CloseCatalogFile();
    EXPECT_EQ(Text(18, 1), std::to_string(CF_CANNOT_POSITION));
    EXPECT_EQ(Text(18, 3), std::to_string(CF_NO_SUCH_ENTRY));
}

TEST_F(CatalogFileTest, NamesGetCatOnlyWhenTheyHaveNone) {
    Put("abc.cat", kCatalog);
    Put("abc.catalog", kCatalog);
    EXPECT_EQ(OpenCatalogFile("abc"), CF_OK);
    EXPECT_EQ(OpenCatalogFile("abc.cat"), CF_OK);
    EXPECT_EQ(OpenCatalogFile("abc.catalog"), CF_OK);
    EXPECT_EQ(OpenCatalogFile("abd"), CF_CANNOT_OPEN);
    EXPECT_EQ(OpenCatalogFile(root.File("").c_str()), CF_CANNOT_OPEN) << "a directory";
}

TEST_F(CatalogFileTest, TheDefaultCatalogIsLookedForHereThenInTheSystemDirectory) {
    EXPECT_EQ(OpenDefaultCatalogFile(), CF_CANNOT_OPEN);
    Put("c/usr/lib/vxraidcl.cat", kCatalog);
    ASSERT_EQ(OpenDefaultCatalogFile(), CF_OK);
    EXPECT_EQ(Text(18, 2), "Yes");
    Put("vxraidcl.cat", "1\n0\n9 9 0 4\nHere");
    ASSERT_EQ(OpenDefaultCatalogFile(), CF_OK);
    EXPECT_EQ(Text(9, 9), "Here");

    // Another name; one longer than 70 characters is refused.
    Put("mine.cat", "1\n0\n1 1 0 4\nMine");
    SetCatalogFileName("mine.cat");
    SetCatalogFileName(std::string(71, 'x').c_str());
    ASSERT_EQ(OpenDefaultCatalogFile(), CF_OK);
    EXPECT_EQ(Text(1, 1), "Mine");
    SetCatalogFileName("vxraidcl.cat");
}

TEST_F(CatalogFileTest, BadHeadersAndIndexLinesAreRefused) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0\n0\n", CF_BAD_HEADER},                      // count 0
        {"-2\n0\n1 1 0 1\nx", CF_BAD_HEADER},           // below 1
        {"x\n0\n", CF_BAD_HEADER},                      // not a number
        {"1\nzero\n1 1 0 1\nx", CF_BAD_HEADER},         // second line
        {"2\n0\n1 1 0 1\nx", CF_BAD_HEADER},            // a missing index line
        {"1\n0\n1 1 0\nxyz", CF_BAD_HEADER},            // three numbers
        {"1\n0\n1 one 0 1\nxyz", CF_BAD_HEADER},        // not a number
        {"1\n0\n1 1 99999999999 1\nx", CF_BAD_HEADER},  // offset beyond 32 bits
        {"99999999999\n0\n1 1 0 1\nx", CF_BAD_HEADER},  // more lines than bytes
        {"1\n0\n1 1 0 1                                                            \nx",
         CF_BAD_HEADER},  // a line of more than 59 bytes
    };
    for (const auto& [text, code] : cases) {
        Put("bad.cat", text);
        EXPECT_EQ(OpenCatalogFile("bad"), code) << text;
    }
    // A failed opening keeps the catalog that was open.
    Put("abc.cat", kCatalog);
    ASSERT_EQ(OpenCatalogFile("abc"), CF_OK);
    Put("bad.cat", "0\n");
    EXPECT_EQ(OpenCatalogFile("bad"), CF_BAD_HEADER);
    EXPECT_EQ(Text(18, 1), "Hello");
}

TEST_F(CatalogFileTest, ShortAndEmptyTextsSayWhatCouldBeRead) {
    Put("t.cat", "3\n0\n1 1 0 0\n1 2 2 10\n1 3 -50 2\nabcd");
    ASSERT_EQ(OpenCatalogFile("t"), CF_OK);
    EXPECT_EQ(Text(1, 1), std::to_string(CF_TEXT_UNREADABLE)) << "a text of length 0";
    EXPECT_EQ(Text(1, 2), "cd") << "only two of ten bytes are there";
    EXPECT_EQ(Text(1, 3), std::to_string(CF_CANNOT_POSITION)) << "before the file's start";
}

TEST_F(CatalogFileTest, TheCursorReadsARunOfNumbers) {
    Put("abc.cat", kCatalog);
    ASSERT_EQ(OpenCatalogFile("abc"), CF_OK);
    SetCatalogFileCursor(18, 1);
    std::vector<std::string> texts;
    char* text = nullptr;
    std::uint16_t length = 0;
    while (NextCatalogFileText(&text, &length)) {
        texts.emplace_back(text, length);
        std::free(text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Hello", "Yes"}));
    // The cursor stands behind the number that was missing.
    ASSERT_TRUE(NextCatalogFileText(&text, &length));
    EXPECT_EQ(std::string(text, length), "Fourth");
    std::free(text);
}

TEST_F(CatalogFileTest, KeysCompareBySetThenNumberAsSignedValues) {
    EXPECT_EQ(CompareCatalogKeys({1, 5}, {2, 1}), -1);
    EXPECT_EQ(CompareCatalogKeys({2, 1}, {1, 5}), 1);
    EXPECT_EQ(CompareCatalogKeys({2, -1}, {2, 1}), -1);
    EXPECT_EQ(CompareCatalogKeys({2, 1}, {2, 1}), 0);
}

using CatalogFileDeathTest = CatalogFileTest;

TEST_F(CatalogFileDeathTest, AFailedLookupIsReportedAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "fast");
    Put("abc.cat", kCatalog);
    ASSERT_EQ(OpenCatalogFile("abc"), CF_OK);
    char* text = nullptr;
    std::uint16_t length = 0;
    EXPECT_EXIT(
        {
            std::freopen(root.File("report").c_str(), "w", stdout);
            GetCatalogFileText(18, 99, &text, &length);
        },
        ::testing::ExitedWithCode(CF_NO_SUCH_ENTRY & 0xFF), "");
    EXPECT_EQ(root.Read("report"), "\nSC Error #7, Key 18, 99\n");
    EXPECT_EQ(GetCatalogFileText(18, 2, &text, &length), CF_OK);
    std::free(text);
    SetCatalogFileCursor(18, 1);
    CloseCatalogFile();
    EXPECT_EXIT(
        {
            std::freopen(root.File("report").c_str(), "w", stdout);
            NextCatalogFileText(&text, &length);
        },
        ::testing::ExitedWithCode(CF_CANNOT_POSITION & 0xFF), "");
    EXPECT_EQ(root.Read("report"), "\nSC Error #6, Key 18, 1\n");
}

// The tick count of the tests.
std::uint32_t g_ticks = 0;
std::uint32_t TestTicks() {
    return g_ticks;
}

TEST(TickTimerTest, ATimerExpiresOneTickAfterItsDeadlineAndStaysExpired) {
    TickTimer::SetTickSource(&TestTicks);
    g_ticks = 0xFFFFFF00u;  // the deadline lies beyond the wrap
    TickTimer timer;
    EXPECT_EQ(timer.Interval(), 10000u);
    EXPECT_TRUE(timer.Expired()) << "never started";
    timer.Start();
    const std::uint32_t deadline = 0xFFFFFF00u + 10000u;
    g_ticks = deadline - 1;
    EXPECT_FALSE(timer.Expired());
    g_ticks = deadline;
    EXPECT_FALSE(timer.Expired()) << "at the deadline tick itself";
    g_ticks = deadline + 1;
    EXPECT_TRUE(timer.Expired());
    g_ticks = deadline - 5000;
    EXPECT_TRUE(timer.Expired()) << "until the next Start";

    TickTimer quick(50);
    quick.Start(5);
    EXPECT_EQ(quick.Interval(), 50u);
    g_ticks += 5;
    EXPECT_FALSE(quick.Expired());
    g_ticks += 1;
    EXPECT_TRUE(quick.Expired());
    TickTimer::SetTickSource(nullptr);
    EXPECT_TRUE(TickTimer().Wait(1));
}

TEST(DebugMsgTest, LinesGoBehindTheirPrefixWithoutALineEndOfTheirOwn) {
    std::string seen;
    SetDebugMsgTarget([&seen](std::string_view text) { seen += text; });
    DebugMsg("%s %d", "value", 7);
    CatalogDebugSink("Invalid log catalog version\n");
    SetDebugMsgTarget(nullptr);
    EXPECT_EQ(seen, "DebugMsg: value 7DebugMsg: Invalid log catalog version\n");
}

TEST(PathTailTest, TheNameBehindTheLastSlash) {
    EXPECT_EQ(PathTail("/usr/lib/vxraidcl.cat"), "vxraidcl.cat");
    EXPECT_EQ(PathTail("vxraidcl.cat"), "vxraidcl.cat");
    EXPECT_EQ(PathTail("dir/"), "");
    EXPECT_EQ(PathTail(""), ".");
    EXPECT_EQ(PathTail(nullptr), ".");
}

TEST(ScrollConfigTest, TheRecordHoldsTheNamesThePortAndTheCatalog) {
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    ScrollConfig* config = InitScrollConfig(1, nullptr);
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->udpServiceName, "oruUDP");
    EXPECT_EQ(config->tcpServiceName, "oruTCP");
    EXPECT_EQ(config->defaultPort, 34604);
    EXPECT_FALSE(config->spareText.has_value());
    EXPECT_STREQ(config->catalogPath, ".\\vxraidcl.cat");
    EXPECT_STREQ(config->catalogPathCopy, ".\\vxraidcl.cat");
    EXPECT_EQ(config->catalogPathCopy[256], '\0');
    ASSERT_NE(config->catalog, nullptr);
    EXPECT_EQ(config->catalog->OpenResult(), 0);
    FreeScrollConfig(config);
    FreeScrollConfig(nullptr);
}

}  // namespace
}  // namespace trailtest
