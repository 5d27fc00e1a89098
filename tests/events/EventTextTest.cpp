// Event texts and their entries in the NT event log: the texts are read in
// the test language, where each piece starts with "[<set>.<number>]", so the
// tests check which catalog texts an event composes, and in which order;
// each entry's type follows the event's severity.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "EventTestSupport.h"
#include "catalog/StringCatalog.h"
#include "coresys/common/FieldText.h"
#include "coresys/server/events/ServerEventReport.h"
#include "coresys/server/winnt/Service/ServerText.h"
#include "platform/EventLog.h"
#include "support/FreshRoot.h"

namespace eventtest {
namespace {

constexpr const char* kHead = "[1.11] Strovane QX0000000001: [1.12] array event.";
constexpr const char* kTail = "[10.60] Product: STROVANE RC-4, [10.61] revision 0410.";

class EventTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("LANG", "xx", 1);
        ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
        ::setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
        ::unsetenv("ORU_LOG_DEBUG_EVENTS");
        catalog_ = std::make_unique<StringCatalog>(".\\OruServr.cat", "oruseng.dll");
        ASSERT_EQ(catalog_->OpenResult(), 0);
        SetServerCatalog(catalog_.get());
        state_ = ValidState(monitor_);
    }
    void TearDown() override {
        SetServerCatalog(nullptr);
        ::unsetenv("LANG");
        ::unsetenv("ORU_NLSPATH");
        ::unsetenv("ORU_LOG_DEBUG_EVENTS");
    }

    // The text one event composes over state_ ("" when it has none).
    std::string TextOf(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t d1 = 0,
                       std::uint32_t d2 = 0,
                       const ServerEventReport::Detail& detail = ServerEventReport::Detail()) {
        ServerEventReport report(state_.get(), nullptr);
        report.AddEvent(major, minor, d1, d2, detail);
        return report.LastText();
    }

    // Every record of the root's application log: type name and text.
    static std::vector<std::string> Entries() {
        std::vector<platform::EventRecord> records;
        EXPECT_TRUE(platform::ReadEventLog("Application", &records));
        std::vector<std::string> entries;
        for (const auto& r : records) {
            std::string text = r.strings.empty() ? "" : r.strings[0];
            entries.push_back(std::string(platform::EventTypeName(r.type)) + " " + r.source + " " +
                              text);
        }
        return entries;
    }

    testsupport::FreshRoot root_;
    std::unique_ptr<StringCatalog> catalog_;
    BareMonitor monitor_;
    std::unique_ptr<ServerDiskArrayState> state_;
};

TEST_F(EventTextTest, AReplacedDriveNamesItsSlotThePreviousDriveAndTheNewOne) {
    SetFieldText(state_->drives[2].serialNumber, "D9S99000000");
    ServerEventReport::Detail detail;
    detail.previousSerial = "D1S02000000";
    EXPECT_EQ(TextOf(PHYS, PHYS_SERIAL_NUMBER, 2, 0, detail),
              std::string(kHead) +
                  " [28.2] Drive serial number changed: [28.10] member of the volume set. [28.50] "
                  "Slot A2, previous drive "
                  "D1S02000000. [28.60] Drive: STRV 9G [28.61] ST19171W. " +
                  kTail);
}

TEST_F(EventTextTest, ADriveStateChangeNamesTheSlotAndTheNewState) {
    state_->drives[11].driveState = 4;
    EXPECT_EQ(TextOf(PHYS, PHYS_STATE, 11),
              std::string(kHead) +
                  " [28.3] Drive in slot B6 changed state: [28.14] failed. "
                  "[28.60] Drive: [28.61] . " +
                  kTail);
    state_->drives[0].driveState = 1;  // no drive
    EXPECT_NE(TextOf(PHYS, PHYS_STATE, 0)
                  .find("[28.3] Drive in slot A1 changed state: "
                        "[28.49] drive state 1."),
              std::string::npos);
}

TEST_F(EventTextTest, FamilyTextsFollowTheNewValues) {
    struct Case {
        const char* what;
        EVENT_MAJOR_TYPE major;
        std::uint32_t minor, d1, d2;
        std::function<void(ServerDiskArrayState&)> change;
        std::string body;  // between head and tail
    };
    const std::vector<Case> cases = {
        {"controller status 5", CTLR, CTLR_STATUS, 1, 0,
         [](auto& s) { s.controllers[1].controllerStatus = 5; },
         "[10.24] Controller is offline. [10.51] (controller Y)"},
        {"controller status 7", CTLR, CTLR_STATUS, 0, 0,
         [](auto& s) { s.controllers[0].controllerStatus = 7; },
         "[10.29] Controller reports status 7. [10.51] (controller X)"},
        {"battery module 1 low", CTLR, CTLR_BATTERY, 0, 1,
         [](auto& s) {
             s.controllers[0].batteryStatus = {0, 2};
         },
         "[10.12] Battery module is low. [10.52] (controller X, battery module 1)"},
        {"NVRAM failed", CTLR, CTLR_NVRAM, 1, 0,
         [](auto& s) { s.controllers[1].nvramStatus = {2}; },
         "[10.32] Memory module has failed. [10.54] (controller Y, NVRAM module 0)"},
        {"subsystem degraded", SSS, SSS_SUBSYSTEM_STATE, 0, 0,
         [](auto& s) { s.subsystemState->values[0] = 2; },
         "[15.9] Subsystem state changed: [15.12] not enough drives."},
        {"value 2 set", SSS, 1, 0, 0, [](auto& s) { s.subsystemState->values[1] = 1; },
         "[15.40] Data is unavailable."},
        {"value 2 clear", SSS, 1, 0, 0, [](auto&) {}, "[15.50] Data is available again."},
        {"value 17 names the active controller", SSS, 16, 0, 0,
         [](auto& s) { s.subsystemState->values[16] = 1; },
         "[15.240] A controller is disabled. [10.55] (controller X)"},
        {"rebuild started", MSS, 2, 0, 0, [](auto& s) { s.modeSubsystem->rebuild_in_progress = 1; },
         "[20.30] A rebuild started."},
        {"cabinet element 2 failed", HW, HW_LIST1, 2, 0,
         [](auto& s) { s.hardware->values1[2] = 2; }, "[32.2] A fan or power supply has failed."},
        {"sensor state 7", HW, HW_LIST2, 0, 0, [](auto& s) { s.hardware->values2[0] = 7; },
         "[32.29] A temperature sensor reports state 7."},
        {"alias", DAS_MISC, DAS_MISC_ALIAS, 0, 0,
         [](auto& s) { SetFieldText(s.aliasName, "PAYROLL"); },
         "[34.10] The subsystem alias is now \"PAYROLL\"."},
        {"log task suspended", ORUSS_MISC, ORUSS_MISC_LOG_SUSPENDED, 0, 0,
         [](auto& s) { s.stateValue1 = 1; }, "[34.30] The log task was suspended."},
        {"extension value", MEXT, 0, 0, 0, [](auto& s) { s.modeExtension->values[1] = 4096; },
         "[50.5] The extended capacity setting changed. [1.14] New value: 4096."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state_ = ValidState(monitor_);
        c.change(*state_);
        EXPECT_EQ(TextOf(c.major, c.minor, c.d1, c.d2),
                  std::string(kHead) + " " + c.body + " " + kTail);
    }
}

TEST_F(EventTextTest, EachSettingsMinorFollowsOnlyItsOwnPageValue) {
    using Value = std::uint32_t ModeSubsystemPage::*;
    const Value values[] = {&ModeSubsystemPage::rebuild_in_progress,
                            &ModeSubsystemPage::auto_include, &ModeSubsystemPage::log_full_warn,
                            &ModeSubsystemPage::value9};
    struct Minor {
        std::uint32_t minor;
        Value value;  // none: no text whatever the page holds
        const char* whenSet;
        const char* whenClear;
    };
    const Minor minors[] = {
        {0, nullptr, "", ""},
        {1, nullptr, "", ""},
        {2, values[0], "[20.30] A rebuild started.", "[20.31] The rebuild ended."},
        {3, nullptr, "", ""},
        {4, values[1], "[20.50] Automatic include was switched on.",
         "[20.51] Automatic include was switched off."},
        {5, values[2], "[20.60] The log-full warning was switched on.",
         "[20.61] The log-full warning was switched off."},
        {6, values[3], "[20.70] The service value was switched on.",
         "[20.71] The service value was switched off."},
        {7, nullptr, "", ""},
    };
    for (const Minor& m : minors) {
        for (std::size_t v = 0; v < std::size(values); ++v) {
            state_ = ValidState(monitor_);
            state_->modeSubsystem.emplace();
            (*state_->modeSubsystem).*values[v] = 2;
            const std::string body = values[v] == m.value ? m.whenSet : m.whenClear;
            EXPECT_EQ(TextOf(MSS, m.minor),
                      body.empty() ? "" : std::string(kHead) + " " + body + " " + kTail)
                << "minor " << m.minor << ", value " << v;
        }
    }
}

TEST_F(EventTextTest, ServerSoftwareTextsHaveNoProductTail) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 7);
    EXPECT_EQ(report.LastText(),
              "[1.11] Strovane : [1.12] array event. [42.30] A network step of the service "
              "failed: [46.7] sending a message.");
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 40);
    EXPECT_NE(report.LastText().find("[46.255] an unknown step."), std::string::npos);
    ServerEventReport::Detail notice;
    const std::string longText(200, 'n');
    notice.notice = longText;
    report.AddEvent(SSW, SSW_DEVICE_NOTICE, 0, 0, notice);
    EXPECT_NE(report.LastText().find("[42.250] Device notice: " + std::string(80, 'n')),
              std::string::npos);
    EXPECT_EQ(report.LastText().find(std::string(81, 'n')), std::string::npos);
}

TEST_F(EventTextTest, AConfigurationChangeIsToldAndLoggedAsInformation) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_CONFIGURATION_CHANGED, 0, 0);
    EXPECT_EQ(report.Message().EventCount(), 1u);
    EXPECT_EQ(report.LastText(),
              "[1.11] Strovane : [1.12] array event. [42.100] The subsystem "
              "configuration changed.");
    std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "INFORMATION OruServer " + report.LastText());
}

TEST_F(EventTextTest, EventsWithoutATextAreAppendedOnly) {
    ServerEventReport report(state_.get(), nullptr);
    report.AddEvent(CAP, CAP_RAID1, 0, 0);
    EXPECT_EQ(report.LastText(), "");
    report.AddEvent(SSS, SSS_SUBSYSTEM_STATE, 0, 0);  // state 0 has a text
    EXPECT_NE(report.LastText(), "");
    state_->subsystemState->values[0] = 1;  // the usual state has none
    report.AddEvent(SSS, SSS_SUBSYSTEM_STATE, 0, 0);
    EXPECT_EQ(report.LastText(), "");
    report.AddEvent(MSS, 3, 0, 0);
    EXPECT_EQ(report.LastText(), "");
    report.AddEvent(SSW, 14, 0, 0);  // a minor the family does not know
    EXPECT_EQ(report.LastText(), "");
    EXPECT_EQ(report.Message().EventCount(), 5u);
}

TEST_F(EventTextTest, EachEntryTakesTheTypeOfItsSeverity) {
    state_->controllers[0].controllerStatus = 2;
    state_->drives[1].driveState = 4;
    ServerEventReport report(state_.get(), nullptr);
    report.AddEvent(CTLR, CTLR_STATUS, 0, 0);         // 3: error
    report.AddEvent(PHYS, PHYS_STATE, 1, 0);          // 4: warning
    report.AddEvent(PHYS, PHYS_SERIAL_NUMBER, 1, 0);  // 6: information
    report.AddEvent(MSS, 0, 0, 0);                    // not reported
    report.AddEvent(MISS, MISS_OTHER, 0, 0);          // level 0, but no text
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 1);  // 7: debug only
    EXPECT_EQ(report.TextsReported(), 3u);
    std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].rfind("ERROR OruServer " + std::string(kHead) + " [10.22]", 0), 0u)
        << entries[0];
    EXPECT_EQ(entries[1].rfind("WARNING OruServer " + std::string(kHead) + " [28.3]", 0), 0u)
        << entries[1];
    EXPECT_EQ(entries[2].rfind("INFORMATION OruServer " + std::string(kHead) + " [28.2]", 0), 0u)
        << entries[2];
}

TEST_F(EventTextTest, DebugEventsReachTheLogOnlyWhenAskedFor) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 1);
    ServerEventReport::Detail notice;
    notice.notice = "Shutdown Subsystem Successful";
    report.AddEvent(SSW, SSW_DEVICE_NOTICE, 0, 0, notice);
    EXPECT_TRUE(Entries().empty());

    ::setenv("ORU_LOG_DEBUG_EVENTS", "1", 1);
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 1);
    report.AddEvent(SSW, SSW_DEVICE_NOTICE, 0, 0, notice);
    std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_NE(entries[0].find("INFORMATION OruServer"), std::string::npos);
    EXPECT_NE(entries[0].find("[46.1] creating the socket."), std::string::npos);
    EXPECT_NE(entries[1].find("[42.250] Device notice: Shutdown Subsystem Successful"),
              std::string::npos);
}

}  // namespace
}  // namespace eventtest
