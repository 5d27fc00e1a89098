// dktrail over logs written by the service's own log writer (LogGenerator,
// with a clock of its own): the catalog's list of files and every kind of
// record printed and compared with the text expected, the filters by array,
// time window and kind, the verbose forms, and a catalog that stays byte
// for byte as it was while a writer still has the log open.
#include <gtest/gtest.h>

#include <filesystem>

#include "TrailTestSupport.h"
#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogLayout.h"
#include "support/LogGenerator.h"

namespace trailtest {
namespace {

constexpr const char* kOne = "QX0000000001";
constexpr const char* kTwo = "QX0000000002";

class PrintTest : public TrailTest {
  protected:
    // The log of one example: a drive event of array one, a controller
    // event of array two a minute later, a configuration change and the
    // controller's counters of array one another minute later, and a record
    // of the service's own (class 4).
    void WriteExample(testsupport::LogGenerator& log) {
        log.Write(kOne, 2, 1, DriveEntry(123456, 102, 3, 2, 0x04, 0x11, 0x22, 12345));
        log.Advance(60);
        log.Write(kTwo, 2, 2, ControllerEntry(1500, 156, 1, 7, 130, 0, 0));
        log.Advance(60);
        log.Write(kOne, 2, 3, ChangeEntry(2000, 200, 1, 5));
        log.WriteWords(kOne, 2, 0, {10, 20, 30, 4});
        log.Write("", 4, 0, Bytes(128, 'x'));
    }
    testsupport::LogGenerator::Options Options() const {
        testsupport::LogGenerator::Options options;
        options.directory = LogDir();
        return options;
    }
    std::string Catalog() const { return LogDir() + "/LOGCATLG"; }
    std::string File1() const { return LogDir() + "/L0000001"; }

    const std::string kDrive =
        Mark(38) + "Drive event of array QX0000000001" + Mark(187) +
        ", logged Tue Nov 14 22:13:20 2023\n" + Mark(39) +
        "   Tix                              = 123456\n" + Mark(40) +
        "   Event code                       = 102\n" + Mark(41) +
        "   Event                            = " + Mark(2, 102) + "Drive failed.\n" + Mark(42) +
        "   Event count                      = 3\n" + Mark(43) +
        "   Drive slot index                 = 2\n" + Mark(44) +
        "   Drive slot                       = " + Mark(17, 3) + "drive slot A2\n" + Mark(45) +
        "   Drive slot name                  = A2\n" + Mark(46) +
        "   Sense key                        = 0x22\n" + Mark(47) +
        "   Additional sense code            = 0x11\n" + Mark(48) +
        "   Additional sense code qualifier  = 0x04\n" +
        "   LBA                              = 12345\n";
    const std::string kController = Mark(49) + "Controller event of array QX0000000002" +
                                    Mark(187) + ", logged Tue Nov 14 22:14:20 2023\n" + Mark(50) +
                                    "   Tix                              = 1500\n" + Mark(52) +
                                    "   Event code                       = 156\n" + Mark(53) +
                                    "   Event                            = " + Mark(2, 156) +
                                    "Controller module reported a fault.\n" + Mark(54) +
                                    "   Event count                      = 1\n" + Mark(55) +
                                    "   Controller value                 = 7\n" + Mark(56) +
                                    "   Message code                     = 130\n" + Mark(57) +
                                    "   Message                          = " + Mark(17, 131) +
                                    "NVRAM module\n";
    const std::string kChange =
        Mark(59) + "Configuration change of array QX0000000001" + Mark(187) +
        ", logged Tue Nov 14 22:15:20 2023\n" + Mark(60) +
        "   Tix                              = 2000\n" + Mark(61) +
        "   Event code                       = 200\n" + Mark(62) +
        "   Event                            = " + Mark(2, 200) + "Configuration changed.\n" +
        Mark(63) + "   Event count                      = 1\n" + Mark(64) +
        "   Message code                     = 5\n" + Mark(65) +
        "   Message                          = " + Mark(17, 6) + "drive slot B3\n";
    const std::string kUsage = Mark(36) + "Usage counters of array QX0000000001" + Mark(187) +
                               ", logged Tue Nov 14 22:15:20 2023\n" + Mark(37) +
                               "   Errors                           = 4\n";
};

TEST_F(PrintTest, EveryKindOfRecordPrintsAsExpected) {
    {
        testsupport::LogGenerator log(Options());
        WriteExample(log);
    }
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(run.out, Mark(2) + "Log catalog " + Catalog() + "\n" + Mark(29) + "Log files:\n" +
                           Mark(30) + "  Name            Begin time              End time\n" +
                           "  L0000001        Nov 14 22:13:20        Nov 14 22:15:20\n" + Mark(4) +
                           "Records:\n" + "Log File: " + File1() + "\n" + kDrive + kController +
                           kChange + kUsage + Mark(6) + "Decoded 4" + Mark(7) + " records.\n");
}

TEST_F(PrintTest, VerboseShowsTheCatalogTheLrbasAndEveryRecord) {
    {
        testsupport::LogGenerator log(Options());
        WriteExample(log);
    }
    const RunResult run = Run({"-v", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[1], "TotalLogSize = 8192 in 1 files.  High LRBA = 4424");
    EXPECT_EQ(lines[2], "Oldest complete bundle ID = 4096. The log was closed.");
    EXPECT_EQ(lines[3], "File entry offsets: oldest = 52 latest = 52 free = 0");
    EXPECT_EQ(lines[4], "Next file name No = 1.  Catalog file size = 96");
    EXPECT_EQ(lines[6], "  File name         Begin LRBA / TIME              End LRBA / TIME");
    EXPECT_EQ(lines[7], "  L0000001           0 / Nov 14 22:13:20        4424 / Nov 14 22:15:20");
    EXPECT_EQ(lines[10], "   LRBA       TYPE    LENGTH      BUNDLE        DATE/TIME");
    // Each decoded record shows its generic line under its heading; the
    // service's own record only its generic line; the filler nothing.
    EXPECT_NE(run.out.find(", logged Tue Nov 14 22:13:20 2023\n"
                           "      4096  ( 2,   1)    80        4096 BE Tue Nov 14 22:13:20 2023\n" +
                           Mark(39)),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("\n      4424  ( 4,   0)   188        4424 BE Tue Nov 14 22:15:20 2023\n"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("  ( 0,"), std::string::npos) << "the filler is never printed";
}

TEST_F(PrintTest, FiltersChooseTheArrayTheTimeWindowAndTheKinds) {
    {
        testsupport::LogGenerator log(Options());
        WriteExample(log);
    }
    RunResult two = Run({"-a", kTwo});
    EXPECT_EQ(two.exitCode, 0);
    EXPECT_NE(two.out.find(kController), std::string::npos);
    EXPECT_EQ(Count(two.out, "of array"), 1u);
    EXPECT_NE(two.out.find("Decoded 1"), std::string::npos);

    // 22:14 to 22:15 of 2023: the controller event only.
    RunResult window = Run({"-s", "1114221423", "-e1114221523"});
    EXPECT_EQ(window.exitCode, 0) << window.err;
    EXPECT_EQ(window.out.find(kDrive), std::string::npos);
    EXPECT_NE(window.out.find(kController), std::string::npos);
    EXPECT_EQ(window.out.find(kChange), std::string::npos) << "22:15:20 is after 22:15";
    // A window's ends are included.
    window = Run({"-s", "1114221323", "-e", "1114221323"});
    EXPECT_EQ(window.exitCode, 2) << "an empty window";
    window = Run({"-e", "1114221523"});
    EXPECT_NE(window.out.find(kDrive), std::string::npos);

    // Only disk and perf: the others print nothing, not even with verbose
    // on; records of other classes keep their generic line.
    RunResult kinds = Run({"-t", "disk,perf", "-v", "1"});
    EXPECT_EQ(kinds.exitCode, 0);
    EXPECT_NE(kinds.out.find(kDrive.substr(0, 40)), std::string::npos);
    EXPECT_EQ(kinds.out.find("Controller event"), std::string::npos);
    EXPECT_EQ(kinds.out.find("Configuration change"), std::string::npos);
    EXPECT_EQ(kinds.out.find("Usage counters"), std::string::npos);
    EXPECT_NE(kinds.out.find("( 4,   0)"), std::string::npos);
    EXPECT_NE(kinds.out.find("Decoded 1"), std::string::npos);

    // Nothing decoded: the count goes to both streams.
    RunResult none = Run({"-t", "perf"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.err, Mark(6) + "Decoded 0" + Mark(7) + " records.\n");
}

TEST_F(PrintTest, ThePreventiveRecordPrintsItsValues) {
    {
        testsupport::LogGenerator log(Options());
        std::vector<std::uint32_t> words(197, 0);
        words[0] = 1;      // 60 completion
        words[1] = 3;      // 64
        words[2] = 2;      // 68
        words[3] = 12;     // 72 slots
        words[9] = 10;     // 96: state 0
        words[10] = 2;     // 100: state 1
        words[19] = 1;     // 136
        words[20] = 2;     // 140 redundancy
        words[21] = 1000;  // 144
        words[22] = 512;   // 148
        words[25] = 0x2A;  // 160 page byte
        words[33] = 7;     // 192 polls
        words[34] = 11;    // 196 C1
        words[43] = 20;    // 232 C10
        std::vector<unsigned char> payload(848 - 60, 0);
        for (std::size_t i = 0; i < words.size() && 4 * i + 3 < payload.size(); ++i) {
            for (int b = 0; b < 4; ++b) {
                payload[4 * i + b] = static_cast<unsigned char>(words[i] >> (8 * b));
            }
        }
        const std::string member = "DRV-0001\x01";
        std::copy(member.begin(), member.end(), payload.begin() + 16);
        const std::string active = "CTLX0000001";
        std::copy(active.begin(), active.end(), payload.begin() + 104);
        std::copy(active.begin(), active.end(), payload.begin() + 176);
        log.Write(kOne, 2, 4, payload);
    }
    const RunResult run = Run({"-t", "perf"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(67) + "Preventive check of array QX0000000001" + Mark(187) +
                           ", logged Tue Nov 14 22:13:20 2023\n" + Mark(68) +
                           "   Completion                       = 1\n" + Mark(69) +
                           "   Most drives on one bus           = 3\n" + Mark(70) +
                           "   Fewest drives on one bus         = 2\n" + Mark(71) +
                           "   Drive slots                      = 12\n" + Mark(72) +
                           "   First member drive               = DRV-0001?\n" + Mark(73) +
                           "   Drives in state 0 to 7           = 10 2 0 0 0 0 0 0\n" + Mark(74) +
                           "   Missing drives present           = 0\n" + Mark(75) +
                           "   Logical units present            = 0\n" + Mark(76) +
                           "   Rebuild priority bit clear       = 1\n" + Mark(77) +
                           "   Redundancy                       = 2\n" + Mark(78) +
                           "   Virtual remaining blocks         = 1000 x 512\n" + Mark(79) +
                           "   RAID 1 blocks                    = 0 x 0\n" + Mark(80) +
                           "   Subsystem page byte 10           = 0x2A\n" + Mark(81) +
                           "   Active controller                = CTLX0000001\n" + Mark(82) +
                           "   Memory modules not ready         = 0\n" + Mark(83) +
                           "   Status polls                     = 7\n" + Mark(84) +
                           "   Counters C1 to C10               = 11 0 0 0 0 0 0 0 0 20\n" +
                           Mark(85) + "   Controller at the record's start = CTLX0000001\n"),
              std::string::npos)
        << run.out;
}

// The writer still has the log open: the latest file has no end yet and
// is read up to its size, and the catalog (state 1, "left open") is left
// byte for byte as it was, however often the printer reads it.
TEST_F(PrintTest, ALogStillBeingWrittenIsReadAndLeftAsItIs) {
    testsupport::LogGenerator log(Options());
    WriteExample(log);
    ASSERT_TRUE(log.Flush());
    const Bytes catalog = ReadBytes(Catalog());
    const Bytes file = ReadBytes(File1());
    ASSERT_EQ(catalog[0], 1) << "the writer's catalog is open";

    const RunResult run = Run({"-v", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("The log was left open."), std::string::npos);
    EXPECT_NE(run.out.find("  L0000001           0 / Nov 14 22:13:20           0 / " + Mark(188) +
                           "still open"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(kUsage.substr(0, 30)), std::string::npos);
    EXPECT_NE(run.out.find("Decoded 4"), std::string::npos);
    EXPECT_EQ(Run({}).exitCode, 0);

    EXPECT_EQ(ReadBytes(Catalog()), catalog);
    EXPECT_EQ(ReadBytes(File1()), file);
    // The writer goes on as if nobody had looked.
    log.Write(kTwo, 2, 0, Bytes(16, 0));
    EXPECT_TRUE(log.Flush());
}

TEST_F(PrintTest, ManyFilesArePrintedOldestFirstAndChainedByTheirBackLinks) {
    {
        testsupport::LogGenerator::Options options = Options();
        options.maxFileSize = 3 * 4096;
        testsupport::LogGenerator log(options);
        testsupport::LogGenerator::Series series;
        series.serials = testsupport::LogGenerator::Serials(3);
        series.code = 0;
        series.length = 76;
        series.count = 200;
        series.words = [](const auto& slot) {
            return std::vector<std::uint32_t>{0, 0, 0, slot.index};
        };
        log.WriteSeries(series);
    }
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_GE(Count(run.out, "Log File: "), 5u);
    EXPECT_EQ(Count(run.out, "Usage counters of array"), 600u);
    EXPECT_NE(run.out.find("Decoded 600"), std::string::npos);
    // Oldest first: slot 199's errors word prints last.
    const std::size_t last = run.out.rfind("   Errors                           = ");
    EXPECT_EQ(run.out.substr(last, 42), "   Errors                           = 199\n");
}

TEST_F(PrintTest, WithoutALogThereIsNothingToPrintAndNothingIsCreated) {
    ASSERT_TRUE(std::filesystem::create_directories(LogDir()));
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              Mark(2) + "Log catalog " + Catalog() + "\n" + Mark(3) + "The log holds no files.\n");
    EXPECT_TRUE(std::filesystem::is_empty(LogDir()));

    // An empty catalog reads as a new one, and stays empty.
    ASSERT_TRUE(WriteBytes(Catalog(), {}));
    EXPECT_EQ(Run({}).exitCode, 0);
    EXPECT_EQ(std::filesystem::file_size(Catalog()), 0u);

    // The catalog the service's writer makes for a new log, before its
    // first file is there, holds no files either, and stays as it is.
    ASSERT_TRUE(std::filesystem::remove(Catalog()));
    {
        LogCatalog fresh(LogDir(), logfmt::kNoSizeLimit);
        ASSERT_TRUE(fresh.IsOpen()) << fresh.OpenFailure();
    }
    const Bytes written = ReadBytes(Catalog());
    ASSERT_EQ(written.size(), 52u);
    const RunResult fresh = Run({"-v", "1"});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_EQ(fresh.err, "");
    EXPECT_NE(fresh.out.find(Mark(3) + "The log holds no files.\n"), std::string::npos)
        << fresh.out;
    EXPECT_EQ(ReadBytes(Catalog()), written);
}

TEST_F(PrintTest, ACatalogOfAnotherVersionIsNotOpened) {
    ASSERT_TRUE(std::filesystem::create_directories(LogDir()));
    HandHeader header;
    header.version = 1;
    ASSERT_TRUE(WriteBytes(Catalog(), CatalogBytes(header, {})));
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "DebugMsg: Invalid log catalog version\n");
    EXPECT_EQ(run.err.rfind(Mark(1) + "Cannot open the log catalog " + Catalog() + ": ", 0), 0u)
        << run.err;
}

TEST_F(PrintTest, WithoutTheFirmwareTextsThePrinterStops) {
    const std::string nls = root.File("nls");
    std::filesystem::create_directories(nls + "/en");
    std::filesystem::copy_file(std::string(ORU_NLS_DIR) + "/en/orucleng.cat",
                               nls + "/en/orucleng.cat");
    ::setenv("ORU_NLSPATH", nls.c_str(), 1);
    const RunResult run = Run({"-v", "1"});
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Unable to open string catalogs.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(refreshes, 0);
}

}  // namespace
}  // namespace trailtest
