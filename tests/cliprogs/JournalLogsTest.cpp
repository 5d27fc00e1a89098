// dkjournal's decoders over literal bytes written from the layouts of the
// controller log, the drive log pages and the defect data: what they print,
// and that no declared length, honest or hostile, takes them past the bytes
// that came.
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "ProgramRun.h"
#include "cli/dkjournal/JournalLogs.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<unsigned char>;
using namespace dkjournal;
using clitest::Count;

class JournalLogsTest : public CliTest {
  protected:
    static std::string Firmware(std::uint32_t code) { return "fw" + std::to_string(code); }
    std::string ErrorLog(const Bytes& log, bool* printed = nullptr) {
        std::ostringstream out;
        const bool done = PrintControllerErrorLog(log, Firmware, out);
        if (printed != nullptr) {
            *printed = done;
        }
        return out.str();
    }
    static std::string Line(int set, int item, const std::string& rest = "") {
        return Mark(set, item) + rest;
    }
};

// The four entries of the controller log every recovery scenario holds
// (74 bytes): a drive event, two controller events and a change event.
const Bytes kFourEntries = {
    0x01, 0x00, 0x4A, 0x00, 0x00, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x66, 0x01, 0x02, 0x03, 0x11,
    0x00, 0x00, 0x01, 0xE2, 0x40, 0x01, 0x00, 0x00, 0x00, 0x05, 0xDC, 0x00, 0x00, 0x9C, 0x01, 0x01,
    0x82, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x40, 0x00, 0x00, 0x9D, 0x02, 0x00, 0x83, 0x12,
    0x34, 0x02, 0x00, 0x00, 0x00, 0x07, 0xD0, 0x00, 0x00, 0xC8, 0x01, 0x05, 0x00, 0x43, 0x4F, 0x4E,
    0x46, 0x49, 0x47, 0x2D, 0x43, 0x48, 0x41, 0x4E, 0x47, 0x45, 0x2D, 0x30, 0x31,
};

TEST_F(JournalLogsTest, TheControllerErrorLogPrintsEachEntryByItsKind) {
    ASSERT_EQ(kFourEntries.size(), 77u);
    bool printed = false;
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> all;
        std::istringstream in(ErrorLog(kFourEntries, &printed));
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }();
    ASSERT_TRUE(printed);
    const std::vector<std::string> expected = {
        Line(14, 32, " Controller error log:"),     Line(14, 33, " Drive event"),
        Line(14, 34, "    At 1000: fw102"),         Line(14, 36, "    Event count:    1"),
        Line(14, 37, "    Drive slot:     A2"),     Line(14, 38, "    Sense key:      0x03"),
        Line(14, 39, "    ASC:            0x11"),   Line(14, 40, "    ASCQ:           0x00"),
        Line(14, 41, "    Block:          123456"), Line(14, 42, " Controller event"),
        Line(14, 43, "    At 1500: fw156"),         Line(14, 45, "    Event count:    1"),
        Line(14, 46, "    Value:          1"),      Line(14, 47, "    Message code:   130"),
        Line(14, 48, "    Data:           0x0000"), Line(14, 42, " Controller event"),
        Line(14, 43, "    At 1600: fw157"),         Line(14, 45, "    Event count:    2"),
        Line(14, 46, "    Value:          0"),      Line(14, 47, "    Message code:   131"),
        Line(14, 48, "    Data:           0x1234"), Line(14, 49, " Configuration change"),
        Line(14, 50, "    At 2000: fw200"),         Line(14, 52, "    Event count:    1"),
        Line(14, 53, "    Message code:   5"),
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(JournalLogsTest, AnEmptyLogSaysSoAndAnotherLogTypeIsRefused) {
    EXPECT_EQ(ErrorLog({0x01, 0x00, 0x00}), Line(14, 32, " Controller error log:\n") +
                                                Line(14, 54) +
                                                " The controller error log is empty.\n");
    bool printed = true;
    EXPECT_EQ(ErrorLog({0x02, 0x00, 0x00}, &printed), "");
    EXPECT_FALSE(printed);
    EXPECT_EQ(ErrorLog({0x01, 0x00}, &printed), "");
    EXPECT_FALSE(printed);
}

TEST_F(JournalLogsTest, TheLogWalkStaysWithinTheDeclaredAndTheReceivedBytes) {
    // The length claims the whole 16-bit range; one drive event and the
    // start of a second came.
    Bytes log = {0x01, 0xFF, 0xFF};
    log.insert(log.end(), kFourEntries.begin() + 3, kFourEntries.begin() + 21);
    log.insert(log.end(), {0x00, 0x00, 0x00, 0x00, 0x03});
    const std::string hostile = ErrorLog(log);
    EXPECT_EQ(Count(hostile, Mark(14, 33)), 1u) << hostile;
    // A length shorter than the bytes that came: the padding is no entry.
    Bytes padded(kFourEntries.begin(), kFourEntries.begin() + 21);
    padded[2] = 18;
    padded.resize(1024, 0);
    const std::string honest = ErrorLog(padded);
    EXPECT_EQ(Count(honest, Mark(14, 33)), 1u) << honest;
    // An entry of an unknown kind is stepped over, ten bytes long.
    Bytes odd = {0x01, 0x00, 0x0A + 14, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    odd.insert(odd.end(), kFourEntries.begin() + 21, kFourEntries.begin() + 35);
    EXPECT_EQ(Count(ErrorLog(odd), Mark(14, 42)), 1u);
}

TEST_F(JournalLogsTest, ALongLogIsAskedForAgainAtMostForWhatTheAllocationFieldHolds) {
    EXPECT_EQ(ControllerLogTotal(Bytes{0x01, 0x05, 0x00}), 1283u);
    EXPECT_EQ(ResizedRequest(1283, 1024), 1283u);
    EXPECT_EQ(ResizedRequest(1024, 1024), 0u);
    EXPECT_EQ(ResizedRequest(77, 1024), 0u);
    // 0xFFFF + 3 would be cut to 2 by a 16-bit allocation length.
    EXPECT_EQ(ControllerLogTotal(Bytes{0x01, 0xFF, 0xFF}), 65538u);
    EXPECT_EQ(ResizedRequest(65538, 1024), 65535u);
    EXPECT_EQ(ControllerLogTotal(Bytes{0x01, 0xFF}), 0u);
    // Twenty defect descriptors: 160 bytes and the header.
    EXPECT_EQ(DefectDataTotal(Bytes{0x00, 0x0D, 0x00, 0xA0}), 164u);
    EXPECT_EQ(ResizedRequest(164, 96), 164u);
}

TEST_F(JournalLogsTest, TheUsageLogShowsTheErrorCounter) {
    const Bytes counters = {0, 0, 0, 9, 0, 0, 1, 0, 0, 0, 2, 0, 0x00, 0x01, 0x02, 0x03};
    std::ostringstream out;
    ASSERT_TRUE(PrintUsageLog(counters, out));
    EXPECT_EQ(out.str(), Line(14, 55, " Controller usage log:\n") +
                             Line(14, 56, "    Errors:         66051\n"));
    std::ostringstream shortOut;
    EXPECT_FALSE(PrintUsageLog(Bytes(counters.begin(), counters.end() - 1), shortOut));
    EXPECT_EQ(shortOut.str(), "");
}

TEST_F(JournalLogsTest, TheSupportedPagesAreTheCodesThePageDeclares) {
    // Page 0 lists six codes; the drive padded its answer to the size asked.
    Bytes page = {0x00, 0x00, 0x00, 0x06, 0x00, 0x02, 0x03, 0x05, 0x06, 0x30};
    page.resize(1024, 0);
    EXPECT_EQ(SupportedPages(page),
              (std::vector<std::uint8_t>{0x00, 0x02, 0x03, 0x05, 0x06, 0x30}));
    // A list longer than what came ends with the bytes.
    EXPECT_EQ(SupportedPages(Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x02}),
              (std::vector<std::uint8_t>{0x00, 0x02}));
    EXPECT_TRUE(SupportedPages(Bytes{0x00, 0x00}).empty());
    std::ostringstream out;
    PrintSupportedPages(std::vector<std::uint8_t>{0x00, 0x01, 0x07, 0x30}, out);
    EXPECT_EQ(out.str(), Line(14, 1, " Log pages of the drive:\n") +
                             Line(14, 2, "    00  the supported pages\n") +
                             Line(14, 3, "    01  buffer over-runs and under-runs\n") +
                             Line(14, 8, "    07  the last error events\n") +
                             Line(14, 9, "    30  a page of the drive's own\n"));
}

TEST_F(JournalLogsTest, ParametersAreReadByTheirLengthAndAWholeValueOnly) {
    const Bytes page = {
        0x03, 0x00, 0x00, 0x2A,                          // page 3, 42 bytes of parameters
        0x00, 0x00, 0x00, 0x01, 0x07,                    // code 0, one byte
        0x00, 0x01, 0x00, 0x02, 0x01, 0x02,              // code 1, two bytes
        0x00, 0x02, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00,  // code 2, four bytes
        0x00, 0x05, 0x00, 0x08, 0x00, 0x00, 0x00, 0x12,
        0x34, 0x50, 0x00, 0x00,                    // code 5, eight bytes: 0x12345 MB
        0x00, 0x06, 0x00, 0x03, 0x01, 0x02, 0x03,  // code 6, three bytes read as 0
        0x00, 0x04, 0x00, 0x04, 0x00, 0x00,        // code 4 cut short by the page
    };
    const std::vector<LogParameter> parameters = LogParameters(page);
    ASSERT_EQ(parameters.size(), 5u);
    EXPECT_EQ(parameters[0].code, 0u);
    EXPECT_EQ(parameters[0].value, 7u);
    EXPECT_EQ(parameters[1].value, 0x0102u);
    EXPECT_EQ(parameters[2].value, 0x10000u);
    EXPECT_EQ(parameters[3].code, 5u);
    EXPECT_EQ(parameters[3].value, 0x12345u);
    EXPECT_EQ(parameters[4].code, 6u);
    EXPECT_EQ(parameters[4].value, 0u);
    // A length byte that reaches past the bytes that came ends the walk.
    EXPECT_TRUE(LogParameters(Bytes{0x02, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0xFF, 0x01}).empty());

    std::ostringstream out;
    PrintErrorCounters(page, out);
    EXPECT_EQ(out.str(), Line(14, 76, " Read error counters:\n") +
                             Line(14, 80, "    Errors corrected at once:          7\n") +
                             Line(14, 81, "    Errors corrected with delays:      258\n") +
                             Line(14, 82, "    Total rewrites or rereads:         65536\n") +
                             Line(14, 85, "    Megabytes processed:               74565\n") +
                             Line(14, 86, "    Errors not corrected:              0\n"));
}

TEST_F(JournalLogsTest, TheNonMediumPageShowsItsCount) {
    std::ostringstream out;
    PrintNonMediumErrors(Bytes{0x06, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0, 0, 0, 3}, out);
    EXPECT_EQ(out.str(), Line(14, 99, " Non-medium errors:\n") + Line(14, 100, "    Count:  3\n"));
}

TEST_F(JournalLogsTest, AnOtherPageIsDumpedSixteenBytesToALine) {
    Bytes page = {0x30, 0x00, 0x00, 0x10, 'S', 'T', 'R', 'O', 0x00, 0x7F, 0x80, 0xFF};
    page.resize(20, 0x41);
    std::ostringstream out;
    PrintHexDump(page, out);
    EXPECT_EQ(out.str(), Line(14, 101, " Page 0x30:\n") +
                             "   0:  30  0  0 10 53 54 52 4f  0 7f 80 ff 41 41 41 41 "
                             "*0...STRO....AAAA*\n"
                             "  16:  41 41 41 41 " +
                             std::string(12 * 3, ' ') + "*AAAA*\n");
}

TEST_F(JournalLogsTest, TheGrownDefectListPrintsOneRowPerWholeDescriptor) {
    const Bytes two = {0x00, 0x0D, 0x00, 0x10, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00,
                       0x00, 0x09, 0x00, 0x00, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00};
    std::ostringstream out;
    PrintDefectList(two, out);
    EXPECT_EQ(out.str(), Line(14, 13, " Grown defects of the drive:\n") +
                             Line(14, 14, " Cylinder  Head      Sector\n") +
                             "66051     4         9         \n"
                             "7         0         65536     \n\n");
    // A list length beyond what came: only the whole descriptors that came.
    Bytes hostile = two;
    hostile[2] = 0xFF;
    hostile[3] = 0xFF;
    hostile.insert(hostile.end(), {0x00, 0x00, 0x01});
    std::ostringstream bounded;
    PrintDefectList(hostile, bounded);
    EXPECT_EQ(Count(bounded.str(), "\n"), 5u) << bounded.str();
    // No defects: the line that says so and no rows.
    std::ostringstream none;
    Bytes empty = {0x00, 0x0D, 0x00, 0x00};
    empty.resize(96, 0);
    PrintDefectList(empty, none);
    EXPECT_EQ(none.str(), Line(14, 12, " The drive has no grown defects.\n") + "\n");
}

}  // namespace
