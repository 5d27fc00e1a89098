// Reports to the NT event log: severity mapping and the debug-event switch.
#include <gtest/gtest.h>

#include <cstdlib>

#include "coresys/server/winnt/Service/EventReport.h"
#include "platform/EventLog.h"
#include "support/FreshRoot.h"

namespace {

class EventReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
        unsetenv("ORU_LOG_DEBUG_EVENTS");
    }
    void TearDown() override {
        unsetenv("ORU_LOG_DEBUG_EVENTS");
        SetConsoleMode(false);
    }

    std::vector<platform::EventRecord> Records() {
        std::vector<platform::EventRecord> records;
        EXPECT_TRUE(platform::ReadEventLog("Application", &records));
        return records;
    }

    testsupport::FreshRoot root_;
};

TEST_F(EventReportTest, SeverityChoosesTheEventType) {
    const struct {
        int severity;
        std::uint16_t type;
    } cases[] = {
        {0, platform::EVENTLOG_ERROR_TYPE},       {1, platform::EVENTLOG_ERROR_TYPE},
        {2, platform::EVENTLOG_ERROR_TYPE},       {3, platform::EVENTLOG_ERROR_TYPE},
        {4, platform::EVENTLOG_WARNING_TYPE},     {5, platform::EVENTLOG_INFORMATION_TYPE},
        {6, platform::EVENTLOG_INFORMATION_TYPE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportNtEvent(c.severity, "severity " + std::to_string(c.severity)), 1);
    }
    std::vector<platform::EventRecord> records = Records();
    ASSERT_EQ(records.size(), std::size(cases));
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].type, cases[i].type) << "severity " << cases[i].severity;
        EXPECT_EQ(records[i].source, "OruServer");
        EXPECT_EQ(records[i].eventId, 1u);
        EXPECT_EQ(records[i].category, 0u);
        ASSERT_EQ(records[i].strings.size(), 1u);
        EXPECT_EQ(records[i].strings[0], "severity " + std::to_string(cases[i].severity));
    }
}

TEST_F(EventReportTest, SeverityAboveSevenIsNeverReported) {
    setenv("ORU_LOG_DEBUG_EVENTS", "1", 1);
    EXPECT_EQ(ReportNtEvent(8, "eight"), 0);
    EXPECT_EQ(ReportNtEvent(-1, "negative"), 0);
    EXPECT_TRUE(Records().empty());
}

TEST_F(EventReportTest, SeveritySevenNeedsTheDebugEventSwitch) {
    EXPECT_EQ(ReportNtEvent(7, "debug event one"), 0);
    EXPECT_TRUE(Records().empty());

    setenv("ORU_LOG_DEBUG_EVENTS", "", 1);  // set, even if empty
    EXPECT_EQ(ReportNtEvent(7, "debug event two"), 1);
    std::vector<platform::EventRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, platform::EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(records[0].strings[0], "debug event two");
}

TEST_F(EventReportTest, ServerEventsTakeTheirSeverityFromTheTable) {
    EXPECT_EQ(ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_STARTED_CODE, "OruServr Started\n"),
              1);
    EXPECT_EQ(ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE, "OruServr Exited\n"), 1);
    EXPECT_EQ(ReportServerEvent(SERVER_SOFTWARE_EVENT, 9999, "not in the table"), 0);
    std::vector<platform::EventRecord> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].type, platform::EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(records[0].strings[0], "OruServr Started\n");
    EXPECT_EQ(records[1].strings[0], "OruServr Exited\n");
}

TEST_F(EventReportTest, AddToMessageLogWritesTheServiceErrorExceptInConsoleMode) {
    SetConsoleMode(true);
    AddToMessageLog("in the console");
    EXPECT_TRUE(Records().empty());

    SetConsoleMode(false);
    errno = 13;
    AddToMessageLog("as a service");
    std::vector<platform::EventRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "OruServer Service");
    EXPECT_EQ(records[0].type, platform::EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(records[0].eventId, 0u);
    ASSERT_EQ(records[0].strings.size(), 2u);
    EXPECT_EQ(records[0].strings[0].rfind("OruServer Service error: ", 0), 0u)
        << records[0].strings[0];
    EXPECT_EQ(records[0].strings[1], "as a service");
}

TEST_F(EventReportTest, AnUnwritableEventLogIsSaidOnStandardError) {
    // The event log directory is a file: nothing can be appended.
    ASSERT_TRUE(root_.Write("eventlog", "not a directory"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReportNtEvent(2, "lost report"), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Could not report event to event log.\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Event msg = lost report\n"), std::string::npos) << err;
}

}  // namespace
