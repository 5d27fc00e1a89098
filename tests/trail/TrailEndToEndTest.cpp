// dktrail beside the real OruServr over strovsim: the service's monitors
// write their records while it runs; the printer asks it to write them out,
// prints them, and leaves the catalog the service holds open byte for byte
// as it was. Then the same log once the service has stopped, and a copy of
// it whose catalog has been wiped.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#include "NetServerFixture.h"
#include "platform/Clock.h"
#include "support/ChildProcess.h"

namespace {

using netsrvtest::kLimitMs;

std::string Mark(int number) {
    return "[18." + std::to_string(number) + "] ";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TrailEndToEnd : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        ConfigureAdministration();
    }

    using Run = testsupport::ProgramRun;
    Run Dktrail(const std::vector<std::string>& arguments) {
        // Real time for the printer: its waits for the service are 2 s.
        return testsupport::RunProgram(
            testsupport::ProgramPath(ORU_BIN_DIR, "dktrail"), arguments,
            {"ORU_ROOT=" + root_.Path(), "ORUHOST=127.0.0.1", "LC_ALL", "LC_MESSAGES", "LANG=xx",
             std::string("ORU_NLSPATH=") + ORU_NLS_DIR, "TZ=UTC", "ORU_TIME_SCALE"},
            kLimitMs);
    }

    // Waits until a path of cabinet 0 (QX0000000001) has read its
    // controller's status, the first command of a preventive check: that
    // check's records are then written before any later request of its
    // subsystem is handled.
    bool WaitForPreventiveCheck() {
        static const std::regex statusRead("cdb=f2..0002");
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            for (const char* path :
                 {"STROVANE0", "PHYSICALDRIVE1", "STROVANE1", "PHYSICALDRIVE2"}) {
                std::string trace;
                if (Strovsim({"trace", path}, &trace) == 0 &&
                    std::regex_search(trace, statusRead)) {
                    return true;
                }
            }
            platform::SleepMs(50);
        }
        return false;
    }

    std::string Catalog() const { return root_.File("c/oru_log/LOGCATLG"); }

    // Every file of a directory by name, with its bytes.
    static std::map<std::string, std::string> Contents(const std::string& directory) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            files[entry.path().filename().string()] = ReadAll(entry.path().string());
        }
        return files;
    }
};

TEST_F(TrailEndToEnd, RecordsWrittenWhileTheServiceRunsArePrintedAndTheCatalogStaysAsItWas) {
    // No status polls; a preventive check every 2 s (200 s a hundred times
    // faster): each writes the controller's counters and a preventive record
    // of each subsystem.
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=200"});
    ASSERT_TRUE(WaitForPreventiveCheck());
    const std::string before = ReadAll(Catalog());
    ASSERT_GE(before.size(), 96u);
    ASSERT_EQ(before[0], 1) << "the running service holds its catalog open";

    const Run run = Dktrail({"-a", "QX0000000001", "-t", "usage,perf"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find(Mark(28)), std::string::npos) << "the service confirmed the flush\n"
                                                         << run.out;
    EXPECT_NE(run.out.find(Mark(36) + "Usage counters of array QX0000000001" + Mark(187)),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(Mark(67) + "Preventive check of array QX0000000001" + Mark(187)),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("QX0000000002"), std::string::npos);
    EXPECT_EQ(ReadAll(Catalog()), before) << "the printer wrote to the catalog";
    EXPECT_TRUE(server_.Process().Running());

    // Stopped, the service closes its log; the printer reads the same
    // records, says that nobody confirmed a flush, and finds the log closed.
    server_.Process().Signal(SIGTERM);
    ASSERT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
    started_ = false;
    const std::string closed = ReadAll(Catalog());
    EXPECT_EQ(closed[0], 0);
    const Run offline = Dktrail({"-v", "1"});
    EXPECT_EQ(offline.exitCode, 0) << offline.err;
    EXPECT_NE(offline.out.find(Mark(28)), std::string::npos);
    EXPECT_NE(offline.out.find("The log was closed."), std::string::npos);
    EXPECT_NE(offline.out.find("Usage counters of array QX0000000002"), std::string::npos);
    // The service's own start record shows as a generic line.
    EXPECT_NE(offline.out.find("( 4,   0)"), std::string::npos) << offline.out;
    EXPECT_EQ(ReadAll(Catalog()), closed);
}

// A catalog wiped to zeros, its size kept, beside the files of a sound log
// cannot say that the log is empty: the printer reports the catalog as
// damaged, fails, and changes nothing in the directory.
TEST_F(TrailEndToEnd, AZeroedCatalogBesideItsFilesIsDamageNotAnEmptyLog) {
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=200"});
    ASSERT_TRUE(WaitForPreventiveCheck());
    server_.Process().Signal(SIGTERM);
    ASSERT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
    started_ = false;

    const std::string copy = root_.File("copy_of_log");
    std::filesystem::copy(root_.File("c/oru_log"), copy, std::filesystem::copy_options::recursive);
    const Run sound = Dktrail({"-d", copy});
    ASSERT_EQ(sound.exitCode, 0) << sound.err;
    ASSERT_NE(sound.out.find("Log File: "), std::string::npos) << sound.out;

    const std::string catalog = copy + "/LOGCATLG";
    const std::size_t size = std::filesystem::file_size(catalog);
    ASSERT_GT(size, 52u);
    {
        std::ofstream zeroed(catalog, std::ios::binary | std::ios::trunc);
        zeroed << std::string(size, '\0');
    }
    ASSERT_EQ(std::filesystem::file_size(catalog), size);
    const std::map<std::string, std::string> before = Contents(copy);
    ASSERT_GE(before.size(), 2u);

    const Run run = Dktrail({"-d", copy, "-v", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.err.find(Mark(1) + "Cannot open the log catalog " + catalog + ": Log catalog " +
                           catalog + " is damaged: its recorded size does not fit the file\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find(Mark(3)), std::string::npos) << run.out;
    EXPECT_EQ(Contents(copy), before) << "the printer changed the log";
}

// A service that hangs holds the printer up for seconds, not minutes: each
// step of the refresh gives up after 2 s without an answer, and the log on
// disk is printed all the same.
TEST_F(TrailEndToEnd, AHungServiceDelaysThePrintoutBySecondsOnly) {
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    ASSERT_TRUE(server_.Process().Signal(SIGSTOP));
    const Run run = Dktrail({"-d", root_.File("c/oru_log")});
    ASSERT_TRUE(server_.Process().Signal(SIGCONT));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("LOGCATLG"), std::string::npos) << run.out;
}

}  // namespace
