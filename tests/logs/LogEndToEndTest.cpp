// The real OruServr next to strovsim: its log directory under the machine
// root holds the catalog and a log file with the service's start record
// and the records of each subsystem's monitor.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "LogTestSupport.h"
#include "NetServerFixture.h"
#include "platform/Clock.h"
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

}  // namespace
