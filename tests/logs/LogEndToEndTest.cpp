// The real OruServr next to strovsim: its log directory under the machine
// root holds the catalog and a log file with the service's start record
// and the records of each subsystem's monitor.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include "LogTestSupport.h"
#include "NetServerFixture.h"
#include "coresys/server/log/LogCursor.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "support/ChildProcess.h"
#include "support/LogGenerator.h"
#include "support/SimProcess.h"

namespace {

using logtest::Bytes;
using logtest::Le32;
using logtest::ReadBytes;
using logtest::WalkLogFile;
using netsrvtest::kLimitMs;

class LogEndToEnd : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        ::setenv("ORU_ROOT", root_.Path().c_str(), 1);
        ASSERT_TRUE(sim_.Start());
    }
    void TearDown() override {
        NetServerTest::TearDown();
        sim_.Stop();
        ::unsetenv("ORU_ROOT");
    }
    std::string LogDir() const { return root_.File("c/oru_log"); }

    // Every record of every log file the catalog lists, oldest first.
    std::vector<logtest::Record> AllRecords() {
        std::vector<logtest::Record> all;
        Bytes catalog = ReadBytes(LogDir() + "/LOGCATLG");
        std::uint32_t at = Le32(catalog, 40);
        for (std::uint32_t n = 0; at != 0 && n < 1000 && at + 44 <= catalog.size(); ++n) {
            std::string name(reinterpret_cast<const char*>(catalog.data() + at + 28));
            auto records = WalkLogFile(ReadBytes(LogDir() + "/" + name));
            all.insert(all.end(), records.begin(), records.end());
            at = Le32(catalog, at);
        }
        return all;
    }
    void StopServer() {
        server_.Process().Signal(SIGTERM);
        ASSERT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
        started_ = false;
    }

    testsupport::SimProcess sim_{root_, ORU_BIN_DIR};
};

TEST_F(LogEndToEnd, StartWritesTheCatalogAndTheServiceStartRecord) {
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    StopServer();
    Bytes catalog = ReadBytes(LogDir() + "/LOGCATLG");
    ASSERT_GE(catalog.size(), 96u);
    EXPECT_EQ(Le32(catalog, 0), 0u);  // closed cleanly at stop
    EXPECT_EQ(Le32(catalog, 4), 0u);
    EXPECT_EQ(Le32(catalog, 8), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(catalog.data() + 52 + 28)), "L0000001");
    Bytes file = ReadBytes(LogDir() + "/L0000001");
    auto records = WalkLogFile(file);
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0].recordClass, 0);  // the filler
    EXPECT_EQ(records[1].recordClass, 4);
    EXPECT_EQ(records[1].lrba, 4096u);
    EXPECT_EQ(records[1].serial, "");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + records[1].fileOffset + 60)),
              "DeviceMgr::InitComplete Started.");
    EXPECT_EQ(Le32(catalog, 52 + 12), records.back().lrba);
}

TEST_F(LogEndToEnd, MonitorChecksAppendRecordsOfEachSubsystem) {
    // A preventive check reads each controller's status and builds its
    // preventive record: both go to the subsystem's log.
    StartServer({"ORU_SMON_INTERVAL=1", "ORU_PLOG_INTERVAL=1"});
    std::set<std::string> serials;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (platform::MonotonicMs() < end && serials.size() < 2) {
        platform::SleepMs(100);
        // Only whole blocks reach the disk; a stop flushes the rest.
        for (const auto& record : AllRecords()) {
            if (record.recordClass == 2 && record.code == 0) {
                serials.insert(record.serial);
            }
        }
    }
    StopServer();
    std::string list;
    Strovsim({"show"}, &list);
    auto records = AllRecords();
    ASSERT_GE(records.size(), 3u);
    std::set<std::string> controllerStatus;
    std::set<std::string> preventive;
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].backLink, records[i - 1].lrba) << i;
        EXPECT_EQ(records[i].bundleId, records[i].lrba);
        if (records[i].recordClass == 2 && records[i].code == 0) {
            EXPECT_EQ(records[i].length, 76u);
            controllerStatus.insert(records[i].serial);
        }
        if (records[i].recordClass == 2 && records[i].code == 4) {
            EXPECT_EQ(records[i].length, 848u);
            preventive.insert(records[i].serial);
        }
    }
    for (const char* serial : {"QX0000000001", "QX0000000002"}) {
        EXPECT_TRUE(list.find(serial) != std::string::npos) << list;
        EXPECT_EQ(controllerStatus.count(serial), 1u) << serial;
        EXPECT_EQ(preventive.count(serial), 1u) << serial;
    }
    Bytes catalog = ReadBytes(LogDir() + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 0), 0u);
    EXPECT_EQ(Le32(catalog, 24), records.back().lrba);
}

TEST_F(LogEndToEnd, ASecondStartGoesOnAboveTheFirstRunsRecords) {
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    StopServer();
    std::uint32_t firstEnd = AllRecords().back().lrba;
    // The next start is awaited by its own start report, in a process of
    // its own.
    std::filesystem::remove(root_.File("eventlog/Application.log"));
    testsupport::ServerProcess second(root_, ORU_BIN_DIR);
    ASSERT_TRUE(second.Start({"ORU_TIME_SCALE=100", "ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"}));
    ASSERT_TRUE(second.WaitUntilRunning(kLimitMs)) << second.Process().Stderr();
    second.Process().Signal(SIGTERM);
    ASSERT_EQ(second.Process().WaitExit(kLimitMs), 0) << second.Process().Stderr();
    auto records = AllRecords();
    ASSERT_GE(records.size(), 3u);
    const auto& start = records.back();
    EXPECT_EQ(start.recordClass, 4);
    EXPECT_GT(start.lrba, firstEnd);
    EXPECT_EQ(start.backLink, firstEnd);
    Bytes catalog = ReadBytes(LogDir() + "/LOGCATLG");
    EXPECT_EQ(Le32(catalog, 8), 2u);
}

TEST_F(LogEndToEnd, ADamagedCatalogIsReportedAndLeftAsItIs) {
    ASSERT_EQ(std::filesystem::create_directories(LogDir()), true);
    Bytes damaged(52 + 44, 0);
    logtest::PutLe32(damaged, 8, 1);  // one file ...
    logtest::PutLe32(damaged, 36, 96);
    logtest::PutLe32(damaged, 40, 52);
    logtest::PutLe32(damaged, 44, 777);  // ... but the latest entry off its slots
    ASSERT_TRUE(logtest::WriteBytes(LogDir() + "/LOGCATLG", damaged));
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    StopServer();
    EXPECT_EQ(ReadBytes(LogDir() + "/LOGCATLG"), damaged);
    bool reported = false;
    for (const std::string& text : testsupport::EventLogTexts()) {
        reported = reported || text.find("LOGCATLG is damaged") != std::string::npos;
    }
    EXPECT_TRUE(reported);
}

// A service manager may start the service with a file-size limit. A write
// past it must cost the service no more than a full disk would: the log
// goes on in a new file, the event log keeps whole records, and nothing
// kills the process.
TEST_F(LogEndToEnd, AFileSizeLimitNeitherKillsTheServiceNorTearsItsFiles) {
    constexpr rlim_t kLimit = 6000;
    // The event log is nearly full already.
    std::string line = "2024-05-01T12:00:00.000Z\thost\tOther\tINFORMATION\t0\t1\t1\t1\tfiller\n";
    std::string full;
    while (full.size() + line.size() < kLimit - 60) {
        full += line;
    }
    ASSERT_TRUE(root_.Write("eventlog/Application.log", full));
    testsupport::ServerProcess limited(root_, ORU_BIN_DIR);
    {
        logtest::FileSizeLimit limit(kLimit, true);
        ASSERT_TRUE(
            limited.Start({"ORU_TIME_SCALE=100", "ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"}));
    }
    // Running once it listens (its start record may not fit the event log).
    bool listening = false;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (!listening && limited.Process().Running() && platform::MonotonicMs() < end) {
        netsrvtest::TcpProbe probe;
        listening = probe.Connect(ports_.tcp);
        platform::SleepMs(20);
    }
    ASSERT_TRUE(listening) << limited.Process().Stderr();
    // The stop flushes the block of records behind the filler: it does not
    // fit the first file.
    limited.Process().Signal(SIGTERM);
    ASSERT_EQ(limited.Process().WaitExit(kLimitMs), 0) << limited.Process().Stderr();

    EXPECT_EQ(ReadBytes(LogDir() + "/L0000001").size(), 4096u);  // cut back to whole blocks
    auto records = AllRecords();
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[1].recordClass, 4);
    EXPECT_EQ(records[1].lrba, 4096u);
    EXPECT_EQ(Le32(ReadBytes(LogDir() + "/LOGCATLG"), 0), 0u);
    std::string events = root_.Read("eventlog/Application.log");
    EXPECT_LE(events.size(), kLimit);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), '\n');
    std::vector<platform::EventRecord> parsed;
    int bad = -1;
    ASSERT_TRUE(platform::ReadEventLog("Application", &parsed, &bad));
    EXPECT_EQ(bad, 0);
}

// A writer killed (SIGKILL) in the middle of heavy logging, then the real
// service started on its log: every record the writer had flushed before
// the kill reads back whole and in order, and the service goes on above the
// last record it finds.
TEST_F(LogEndToEnd, AfterAKillDuringHeavyLoggingEveryFlushedRecordReadsBack) {
    constexpr std::uint32_t kSerials = 4;
    constexpr std::uint32_t kLength = 300;
    testsupport::ChildProcess writer;
    ASSERT_TRUE(writer.Start(
        testsupport::ProgramPath(ORU_BIN_DIR, "oru_loggen"),
        {"--dir", LogDir(), "--serials", std::to_string(kSerials), "--slots", "1000000", "--length",
         std::to_string(kLength), "--interval", "1", "--flush-every", "40"},
        {}))
        << writer.StartError();
    // Let it get well into the log, then kill it without warning.
    std::uint32_t flushed = 0;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (flushed < 20000 && writer.Running() && platform::MonotonicMs() < end) {
        platform::SleepMs(5);
        std::string out = writer.Stdout();
        std::size_t last = out.rfind("flushed ");
        std::size_t line = out.find('\n', last);
        if (last != std::string::npos && line != std::string::npos) {
            flushed = static_cast<std::uint32_t>(std::stoul(out.substr(last + 8)));
        }
    }
    ASSERT_TRUE(writer.Signal(SIGKILL));
    EXPECT_EQ(writer.WaitExit(kLimitMs), 128 + SIGKILL);
    ASSERT_GE(flushed, 20000u);
    // Left open (1), or inside a change of the chain of files (2) when the
    // kill came while the writer moved on to a new file: the service repairs
    // that as it opens the catalog. Never marked closed cleanly.
    const std::uint32_t left = Le32(ReadBytes(LogDir() + "/LOGCATLG"), 0);
    EXPECT_TRUE(left == 1u || left == 2u) << "catalog state " << left;

    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    StopServer();

    // Read back through the service's own readers, subsystem by subsystem.
    testsupport::LogGenerator::Options options;
    options.directory = LogDir();
    options.startTime = static_cast<std::uint32_t>(std::time(nullptr)) + 86400;
    testsupport::LogGenerator log(options);
    std::uint32_t lastGenerated = 0;
    for (std::uint32_t s = 0; s < kSerials; ++s) {
        std::string serial = testsupport::LogGenerator::Serials(kSerials)[s];
        SubsysLog* subsystem = log.Manager().OpenSubsysLog(serial.c_str());
        {
            LogFilter filter;
            LogCursor cursor(filter, *subsystem);
            std::uint32_t slot = 0;
            for (auto r = cursor.First(); r; r = cursor.NextRecord(), ++slot) {
                testsupport::LogGenerator::Slot expected{s, slot, 1700000000 + slot};
                std::vector<std::uint32_t> words =
                    testsupport::LogGenerator::DefaultWords(expected, kLength);
                ASSERT_EQ(r->Length(), kLength);
                for (std::uint32_t k = 0; k < words.size(); ++k) {
                    ASSERT_EQ(r->PayloadWord(k), words[k]) << serial << " slot " << slot;
                }
                lastGenerated = std::max(lastGenerated, r->Lrba());
            }
            // Every slot flushed before the kill is there, none missing.
            EXPECT_GE(slot, flushed / kSerials) << serial;
        }
        log.Manager().CloseSubsysLog(subsystem);
    }
    // The service's start record follows the last record found.
    auto records = AllRecords();
    std::uint32_t starts = 0;
    for (const auto& r : records) {
        if (r.recordClass == 4) {
            ++starts;
            EXPECT_EQ(r.backLink, lastGenerated);
            EXPECT_GT(r.lrba, lastGenerated);
        }
    }
    EXPECT_EQ(starts, 1u);
}

}  // namespace
