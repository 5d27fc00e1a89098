// The Device Properties sheet's model without widgets: component status and
// names, the status tree's change test, the settings and what an apply
// sends, the logical-drive table and sizes, the disk tests, the performance
// data and recommendations, the controller's event log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "SheetTestSupport.h"
#include "coresys/common/DiagCommandResults.h"
#include "gui/ArrayComponents.h"
#include "gui/ArraySettings.h"
#include "gui/ControllerLog.h"
#include "gui/DiskTests.h"
#include "gui/LogicalDrives.h"
#include "gui/PerfData.h"

namespace {

using guitest::SampleState;
using oru::ComponentKind;

std::string Condition(const DiskArrayState& state, ComponentKind kind, std::uint32_t index) {
    return oru::ComponentDetails(state, kind, index).front().value;
}

std::string LineOf(const std::vector<oru::DetailLine>& lines, const std::string& label) {
    for (const oru::DetailLine& line : lines) {
        if (line.label == label) {
            return line.value;
        }
    }
    return "<none>";
}

TEST(SheetModel, ComponentsAreNamedByTheirSlot) {
    EXPECT_EQ(oru::ComponentName(ComponentKind::kDisk, 5), "Disk B3");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kDisk, 4), "Disk A3");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kDisk, 0), "Disk A1");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kDisk, 11), "Disk B6");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kController, 1), "Controller Y");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kController, 2), "Controller 3");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kFan, 0), "Fan 1");
    EXPECT_EQ(oru::ComponentName(ComponentKind::kPowerSupply, 1), "Power Supply 2");
}

TEST(SheetModel, ControllerModulesRaiseAWarningUnlessTheControllerFailed) {
    DiskArrayState state = SampleState();
    // A charged battery (1) and working modules are no condition.
    EXPECT_EQ(Condition(state, ComponentKind::kController, 0), "Normal");
    // A discharged battery on a working controller.
    state.controllers[0].batteryStatus = {3};
    EXPECT_EQ(Condition(state, ComponentKind::kController, 0), "Warning - Battery failure");
    state.controllers[0].batteryStatus = {2};
    state.controllers[0].dramStatus = {2};
    state.controllers[0].nvramStatus = {1, 2};
    EXPECT_EQ(Condition(state, ComponentKind::kController, 0),
              "Warning - Battery warning, DRAM failure, NVRAM failure");
    // A failed controller stays failed, whatever its modules say.
    state.controllers[0].controllerStatus = 2;
    EXPECT_EQ(oru::EvaluateComponent(state, ComponentKind::kController, 0).value,
              oru::DS_CRITICAL_ERROR);
    // "SIMM Usage": modules good or failed, then every module fitted.
    state.controllers[1].dramStatus = {1, 3};
    state.controllers[1].nvramStatus = {2, 4};
    EXPECT_EQ(LineOf(oru::ComponentDetails(state, ComponentKind::kController, 1), "SIMM Usage"),
              "2/4");
}

TEST(SheetModel, AnEmptyControllerSlotOfTheServiceIsShownAsAnEmptySlot) {
    DiskArrayState state = SampleState();
    // The service reports a slot without a controller as status 4.
    state.controllers[1] = ControllerInfo();
    state.controllers[1].controllerStatus = 4;
    state.controllers[1].batteryStatus = {3};
    EXPECT_EQ(oru::EvaluateComponent(state, ComponentKind::kController, 1).value,
              oru::DS_EMPTY_SLOT);
    const auto lines = oru::ComponentDetails(state, ComponentKind::kController, 1);
    EXPECT_EQ(lines.front().value, "Empty slot");
    // X is primary, so the empty slot is named secondary; no identity lines.
    EXPECT_EQ(LineOf(lines, "State"), "Secondary");
    EXPECT_EQ(LineOf(lines, "Vendor"), "<none>");
    EXPECT_EQ(LineOf(oru::ComponentDetails(state, ComponentKind::kController, 0), "State"),
              "Primary");
}

TEST(SheetModel, DisksAreJudgedByTheirDriveState) {
    DiskArrayState state = SampleState();
    EXPECT_EQ(Condition(state, ComponentKind::kDisk, 0), "Normal");
    EXPECT_EQ(Condition(state, ComponentKind::kDisk, 11), "Empty slot");
    state.drives[2].driveState = 3;
    EXPECT_EQ(Condition(state, ComponentKind::kDisk, 2), "Not in use - Downed by user");
    state.drives[3].driveState = 4;
    EXPECT_EQ(Condition(state, ComponentKind::kDisk, 3), "Critical Error - Failed");
    state.drives[4].driveState = 99;
    EXPECT_EQ(oru::EvaluateComponent(state, ComponentKind::kDisk, 4).value, oru::DS_NO_DATA);
    // The capacity in decimal gigabytes: 2^30 bytes are 1.07 GB.
    const auto lines = oru::ComponentDetails(state, ComponentKind::kDisk, 0);
    EXPECT_EQ(LineOf(lines, "Capacity"), "1.07 GB");
    EXPECT_EQ(LineOf(lines, "Volume set ID"), "VOLSET-000000001");
    EXPECT_EQ(LineOf(oru::ComponentDetails(state, ComponentKind::kDisk, 11), "Capacity"), "<none>");
}

TEST(SheetModel, TextsWithoutTerminatorStayInsideTheirFields) {
    DiskArrayState state = SampleState();
    std::memset(state.drives[0].vendor, 'V', sizeof state.drives[0].vendor);
    std::memset(state.drives[0].serialNumber, 'S', sizeof state.drives[0].serialNumber);
    std::memset(state.aliasName, 'A', sizeof state.aliasName);
    const auto lines = oru::ComponentDetails(state, ComponentKind::kDisk, 0);
    EXPECT_EQ(LineOf(lines, "Vendor"), std::string(9, 'V'));
    EXPECT_EQ(LineOf(lines, "Serial Number"), std::string(13, 'S'));
    const auto array = oru::ArrayDetails(state, oru::EvaluateState(state));
    EXPECT_EQ(LineOf(array, "Alias Name"), std::string(13, 'A'));
}

TEST(SheetModel, TheArrayLinesShowItsSettings) {
    DiskArrayState state = SampleState();
    state.modeSubsystem->rebuild_priority = 1;
    state.modeSubsystem->auto_include = 0;
    const auto lines = oru::ArrayDetails(state, oru::EvaluateState(state));
    EXPECT_EQ(LineOf(lines, "Condition"), "Normal");
    EXPECT_EQ(LineOf(lines, "Serial Number"), "QX0000000001");
    EXPECT_EQ(LineOf(lines, "Alias Name"), "CABINET1");
    EXPECT_EQ(LineOf(lines, "Active Spare"), "Yes");
    EXPECT_EQ(LineOf(lines, "Automatic Include"), "No");
    EXPECT_EQ(LineOf(lines, "Rebuild Priority"), "Low");
}

TEST(SheetModel, TheChangeTestSeesValuesCountsAndTheArraysText) {
    oru::CStatusModel model;
    DiskArrayState state = SampleState();
    EXPECT_TRUE(model.Changed(state));  // the first look
    EXPECT_FALSE(model.Changed(state));
    state.drives[1].driveState = 4;
    EXPECT_TRUE(model.Changed(state));
    EXPECT_FALSE(model.Changed(state));
    // A fan that went away is a change, not only one that came.
    state.hardware->values1.pop_back();
    EXPECT_TRUE(model.Changed(state));
    state.hardware->values1.push_back(1);
    EXPECT_TRUE(model.Changed(state));
    state.subsystemState->values[0] = 6;
    EXPECT_TRUE(model.Changed(state));
    EXPECT_EQ(model.Array().value, oru::DS_NOT_IN_USE);
}

TEST(SheetModel, AStateThatIsNotValidShowsNoComponents) {
    DiskArrayState state = SampleState();
    state.stateValue4 = 0;
    for (ComponentKind kind : oru::kComponentKinds) {
        EXPECT_EQ(oru::ComponentCount(state, kind), 0u);
    }
    EXPECT_EQ(oru::EvaluateState(state).value, oru::DS_NO_DATA);
    EXPECT_EQ(oru::EvaluateComponent(state, ComponentKind::kDisk, 0).value, oru::DS_NO_DATA);
}

TEST(SheetModel, CabinetPlacesFollowTheLayout) {
    using oru::CabinetLayout;
    EXPECT_EQ(CabinetLayout::ComponentRect(2, ComponentKind::kDisk, 5),
              QRect(58, 101 - 30, 32, 13));
    EXPECT_EQ(CabinetLayout::ComponentRect(1, ComponentKind::kDisk, 4), QRect(21, 93 - 24, 32, 10));
    EXPECT_EQ(CabinetLayout::ComponentRect(2, ComponentKind::kController, 1),
              QRect(112, 48, 13, 64));
    EXPECT_EQ(CabinetLayout::ComponentRect(1, ComponentKind::kFan, 2), QRect(95, 17, 32, 11));
    EXPECT_EQ(CabinetLayout::ComponentRect(2, ComponentKind::kPowerSupply, 0),
              QRect(21, 118, 32, 23));
    // Other layouts and components beyond the cabinet have no place.
    EXPECT_TRUE(CabinetLayout::ComponentRect(3, ComponentKind::kDisk, 0).isEmpty());
    EXPECT_TRUE(CabinetLayout::ComponentRect(2, ComponentKind::kDisk, 12).isEmpty());
    EXPECT_TRUE(CabinetLayout::ComponentRect(2, ComponentKind::kController, 2).isEmpty());
    for (std::uint32_t i = 0; i < 12; ++i) {
        const QRect place = CabinetLayout::ComponentRect(2, ComponentKind::kDisk, i);
        EXPECT_TRUE(QRect(0, 0, CabinetLayout::kWidth, CabinetLayout::kHeight).contains(place))
            << i;
    }
    EXPECT_EQ(oru::DiskLayout::DiskRect(1), QRect(52, 81, 32, 13));
    EXPECT_EQ(oru::DiskLayout::DiskRect(10), QRect(15, 6, 32, 13));
}

TEST(SheetModel, SettingsAreReadFromTheState) {
    DiskArrayState state = SampleState();
    const oru::ArraySettings settings = oru::ArraySettings::FromState(state);
    EXPECT_TRUE(settings.autoInclude);
    EXPECT_TRUE(settings.activeSpare);
    EXPECT_EQ(settings.alias, "CABINET1");
    EXPECT_FALSE(settings.aliasLocked);
    EXPECT_EQ(settings.resiliency, oru::kResiliencyNormal);
    EXPECT_EQ(settings.addressX, 7u);
    EXPECT_EQ(settings.addressY, 6u);
    EXPECT_FALSE(settings.veryEarlyBusyLocked);
    EXPECT_TRUE(settings.highPriority);
    EXPECT_FALSE(settings.stopAllowed);
    // Below capability level 3 neither alias nor resiliency can be set; a
    // layout-1 controller has no very-early-busy setting.
    state.stateValue6 = 2;
    state.stateValue7 = 1;
    state.SetUserParams();
    const oru::ArraySettings old = oru::ArraySettings::FromState(state);
    EXPECT_TRUE(old.aliasLocked);
    EXPECT_TRUE(old.resiliencyLocked);
    EXPECT_TRUE(old.veryEarlyBusyLocked);
    EXPECT_EQ(old.resiliency, oru::kResiliencyUnknown);
}

TEST(SheetModel, AnApplySendsOnlyWhatChangedInItsOrder) {
    const DiskArrayState state = SampleState();
    oru::ArraySettings wanted = oru::ArraySettings::FromState(state);
    EXPECT_TRUE(oru::PlanApply(wanted, state).empty());
    wanted.alias = "NEWNAME";
    std::vector<oru::SettingChange> plan = oru::PlanApply(wanted, state);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].code, MC_SetAliasName);
    EXPECT_EQ(plan[0].text, "NEWNAME");
    wanted.autoInclude = false;
    wanted.addressY = 3;
    wanted.autoRebuild = false;
    plan = oru::PlanApply(wanted, state);
    ASSERT_EQ(plan.size(), 4u);
    EXPECT_EQ(plan[0].code, MC_Set_AutoInclude);
    EXPECT_EQ(plan[0].value1, 0u);
    EXPECT_EQ(plan[1].code, MC_SetAliasName);
    EXPECT_EQ(plan[2].code, MC_Set_ControllerAddress);
    EXPECT_EQ(plan[2].value1, 1u);
    EXPECT_EQ(plan[2].value2, 3u);
    EXPECT_EQ(plan[3].code, MC_Set_AutoRebuild);
}

TEST(SheetModel, TheRebuildPriorityIsSentWhenTheChoiceDisagreesWithTheArray) {
    // The array's priority 0 is the high one.
    DiskArrayState state = SampleState();
    oru::ArraySettings wanted = oru::ArraySettings::FromState(state);
    wanted.highPriority = false;
    std::vector<oru::SettingChange> plan = oru::PlanApply(wanted, state);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].code, MC_Set_RebuildPriority);
    EXPECT_EQ(plan[0].value1, 1u);
    state.modeSubsystem->rebuild_priority = 1;
    wanted = oru::ArraySettings::FromState(state);
    EXPECT_FALSE(wanted.highPriority);
    EXPECT_TRUE(oru::PlanApply(wanted, state).empty());
    wanted.highPriority = true;
    plan = oru::PlanApply(wanted, state);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].value1, 0u);
    // Any priority but 0 is low: a low choice sends nothing for it.
    state.modeSubsystem->rebuild_priority = 5;
    wanted = oru::ArraySettings::FromState(state);
    EXPECT_TRUE(oru::PlanApply(wanted, state).empty());
}

TEST(SheetModel, ResiliencyIsSentOnlyWhenItChanges) {
    DiskArrayState state = SampleState();
    // Single controller mode: extension value 7 is 0.
    state.modeExtension->values[6] = 0;
    state.modeExtension->values[7] = 0;
    state.modeExtension->values[8] = 1;
    state.SetUserParams();
    oru::ArraySettings wanted = oru::ArraySettings::FromState(state);
    EXPECT_EQ(wanted.resiliency, oru::kResiliencySingleController);
    EXPECT_TRUE(oru::PlanApply(wanted, state).empty());
    wanted.resiliency = oru::kResiliencySecure;
    std::vector<oru::SettingChange> plan = oru::PlanApply(wanted, state);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].value1, 0u);
    EXPECT_EQ(plan[0].value2, 3u);
    // From Normal to single controller: the service's (1, secure).
    const DiskArrayState normal = SampleState();
    wanted = oru::ArraySettings::FromState(normal);
    wanted.resiliency = oru::kResiliencySingleController;
    plan = oru::PlanApply(wanted, normal);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].value1, 1u);
    EXPECT_EQ(plan[0].value2, 3u);
}

TEST(SheetModel, LogicalDrivesAndTheirFreeNumbers) {
    DiskArrayState state = SampleState();
    state.luns[5].status = 1;
    state.luns[5].capacity = BlockCapacity(2097151, 512);
    const oru::LunTable table = oru::LunTable::FromState(state);
    ASSERT_EQ(table.present.size(), 3u);
    EXPECT_EQ(table.present[2].number, 5u);
    EXPECT_EQ(table.present[2].capacity, 100u);
    EXPECT_EQ(table.largest, 100u);
    EXPECT_EQ(table.free, (std::vector<std::uint32_t>{2, 3, 4, 6, 7}));
    EXPECT_EQ(table.unallocated, 200u);
}

TEST(SheetModel, AllTheUnallocatedSpaceIsCreatedByItsExactBytes) {
    DiskArrayState state = SampleState();
    // 4000000 blocks of 512 bytes: 190.73 hundredths, 1.90 GB shown (never
    // more than fits), 3906.25 half megabytes.
    state.virtualRemaining = BlockCapacity(3999999, 512);
    const oru::LunTable table = oru::LunTable::FromState(state);
    EXPECT_EQ(table.unallocated, 190u);
    EXPECT_EQ(oru::CreateLunSize(190, table), 3906u);
    // 1.90 GB typed otherwise would give 190 x 20.48 = 3891.2, 1.91 GB 3911.68.
    state.virtualRemaining = BlockCapacity(4194303, 512);
    EXPECT_EQ(oru::CreateLunSize(190, oru::LunTable::FromState(state)), 3891u);
    EXPECT_EQ(oru::CreateLunSize(191, oru::LunTable::FromState(state)), 3911u);
    EXPECT_EQ(oru::CreateLunSize(1, oru::LunTable::FromState(state)), 20u);
}

TEST(SheetModel, TheCapacityTextKeepsDigitsOnePointAndTwoDecimals) {
    oru::CleanedText cleaned = oru::CleanCapacityText("12.345");
    EXPECT_EQ(cleaned.text, "12.34");
    EXPECT_TRUE(cleaned.changed);
    cleaned = oru::CleanCapacityText("1a.2.5");
    EXPECT_EQ(cleaned.text, "1.25");
    EXPECT_TRUE(cleaned.changed);
    cleaned = oru::CleanCapacityText("0.50");
    EXPECT_FALSE(cleaned.changed);
    EXPECT_EQ(oru::CapacityHundredths(".5"), 50u);
    EXPECT_EQ(oru::CapacityHundredths("3"), 300u);
    EXPECT_EQ(oru::CapacityHundredths("3.07"), 307u);
    EXPECT_EQ(oru::CapacityHundredths(""), 0u);
    EXPECT_EQ(oru::CapacityHundredths("99999999999"), std::nullopt);
}

OruServerState ServerWithTest(MESSAGE_CODE code, std::uint32_t drive, DIAG_STATE state,
                              std::optional<std::uint32_t> percent) {
    OruServerState server;
    server.commandResults.AddElement(DiagCommandResults(code, 0, drive, state, 256, 0, 0, nullptr));
    if (percent.has_value()) {
        server.commandsInProgress.AddElement(
            CommandInProgress(CommandHandle(9, 1), code, drive, 1, *percent));
    }
    return server;
}

TEST(SheetModel, ADisksTestIsReadFromTheCommandResults) {
    oru::DiskTestRecord record = oru::ReadDiskTest(OruServerState(), 2);
    EXPECT_FALSE(record.found);
    EXPECT_EQ(record.type, oru::kTestNone);
    OruServerState server = ServerWithTest(MC_VerifyPhysicalDrive, 2, DIAG_STATE_RUNNING, 45);
    record = oru::ReadDiskTest(server, 2);
    EXPECT_TRUE(record.found);
    EXPECT_EQ(record.type, oru::kTestVerify);
    EXPECT_EQ(record.state, oru::kTestStateInProgress);
    EXPECT_EQ(record.percent, 45u);
    EXPECT_TRUE(oru::TestInProgress(record));
    EXPECT_EQ(oru::RunningTest(server, 2), CommandHandle(9, 1));
    EXPECT_FALSE(oru::ReadDiskTest(server, 3).found);
    // Running without a listed command: at its end.
    server = ServerWithTest(MC_TestPhysicalDrive, 2, DIAG_STATE_RUNNING, std::nullopt);
    record = oru::ReadDiskTest(server, 2);
    EXPECT_EQ(record.type, oru::kTestWriteRead);
    EXPECT_EQ(record.percent, 100u);
    record = oru::ReadDiskTest(
        ServerWithTest(MC_VerifyPhysicalDrive, 2, DIAG_STATE_FINISHED, std::nullopt), 2);
    EXPECT_EQ(record.state, oru::kTestStatePassed);
    EXPECT_EQ(record.percent, 100u);
    record = oru::ReadDiskTest(
        ServerWithTest(MC_VerifyPhysicalDrive, 2, DIAG_STATE_FINISHED_WITH_ERRORS, std::nullopt),
        2);
    EXPECT_EQ(record.state, oru::kTestStateFailed);
    record = oru::ReadDiskTest(
        ServerWithTest(MC_TestPhysicalDrive, 2, DIAG_STATE_CANCELLED, std::nullopt), 2);
    EXPECT_EQ(record.state, oru::kTestStateCancelled);
    EXPECT_EQ(record.percent, 0u);
}

TEST(SheetModel, TheDiagnosticsRules) {
    DiskArrayState state = SampleState();
    const OruServerState idle;
    EXPECT_FALSE(oru::MayInclude(state, idle, 0));  // already a member
    EXPECT_TRUE(oru::MayDown(state, idle, 0));
    state.drives[0].driveState = 3;
    EXPECT_TRUE(oru::MayInclude(state, idle, 0));
    const OruServerState busy = ServerWithTest(MC_VerifyPhysicalDrive, 0, DIAG_STATE_RUNNING, 10);
    EXPECT_FALSE(oru::MayInclude(state, busy, 0));
    EXPECT_FALSE(oru::MayTest(state, busy, 0));
    state.drives[1].driveState = 4;
    EXPECT_FALSE(oru::MayTest(state, idle, 1));
    EXPECT_TRUE(oru::MayTest(state, idle, 2));
    EXPECT_FALSE(oru::MayTest(state, idle, 40));  // no such slot
    EXPECT_TRUE(oru::MayShutdown(state));
    EXPECT_FALSE(oru::MayRestart(state));
    EXPECT_FALSE(oru::MayFormatArray(state));  // logical drives are present
    EXPECT_TRUE(oru::MaySwitchTo(state, 1));
    EXPECT_FALSE(oru::MaySwitchTo(state, 0));  // already primary
    EXPECT_FALSE(oru::MaySwitchTo(state, 2));
    state.subsystemState->values[0] = 6;
    EXPECT_FALSE(oru::MayShutdown(state));
    EXPECT_TRUE(oru::MayRestart(state));
    state.subsystemState->values[0] = 4;
    EXPECT_TRUE(oru::MayFormatArray(state));
    state.stateValue4 = 0;
    EXPECT_FALSE(oru::MayReset(state));
}

PerfMetric Metric(std::uint32_t id, std::vector<std::uint32_t> values, std::uint32_t scale = 1,
                  std::uint32_t threshold = 0) {
    PerfMetric metric(static_cast<PERF_METRIC>(id), threshold, scale, RELOP_GREATER);
    metric.windowStart = 1700000000;
    metric.windowEnd = 1700000000 + 3600 * static_cast<std::uint32_t>(values.size());
    metric.slotsPerValue = 4;
    metric.values = std::move(values);
    return metric;
}

TEST(SheetModel, PerformanceSamplesAre32BitAndNoDataIsToldApartFirst) {
    const std::uint32_t none = PerfMetric::kNoData;
    // 700 GB of free space in kilobytes is beyond what 16 bits hold once
    // shown in hundredths of a GB.
    const std::uint32_t kb700 = 700u * 1048576u;
    std::vector<PerfMetric> metrics = {
        Metric(2, {3, 3, none}),          Metric(1, {0, none, 2}),
        Metric(3, {kb700, 10486, none}),  Metric(14, {2048, 1 << 20, none}),
        Metric(7, {10, 20, 30}, 100, 20), Metric(9, {1, 2}),  // another sample count: left out
    };
    metrics[0].metricWord = 0;
    metrics[4].metricWord = 1;  // not available
    const oru::PerfDataSet data = oru::PerfDataSet::FromMetrics(metrics);
    EXPECT_EQ(data.count, 3);
    EXPECT_EQ(data.start, 1700000000u);
    EXPECT_EQ(data.metrics[2].samples, (std::vector<std::uint32_t>{3, 3, 0}));
    EXPECT_EQ(data.metrics[1].samples, (std::vector<std::uint32_t>{0, 5, 2}));
    EXPECT_EQ(data.metrics[3].samples, (std::vector<std::uint32_t>{69998, 1, 0}));
    EXPECT_EQ(data.metrics[3].scaleCode, 2);
    EXPECT_EQ(data.metrics[14].samples, (std::vector<std::uint32_t>{2, 1024, 0}));
    EXPECT_EQ(data.metrics[7].scaleCode, 2);
    EXPECT_EQ(data.metrics[7].reference, 20u);
    EXPECT_TRUE(data.metrics[7].present);
    EXPECT_FALSE(data.metrics[7].available);
    EXPECT_FALSE(data.metrics[9].present);
    EXPECT_TRUE(oru::PerfDataSet::FromMetrics({}).Empty());
}

TEST(SheetModel, TheChartsGetTheSeriesTheDataHolds) {
    const oru::PerfDataSet data = oru::PerfDataSet::FromMetrics(
        {Metric(2, {3, 3}), Metric(4, {1, 2}), Metric(10, {5, 6}, 1, 10), Metric(16, {1, 1})});
    oru::CTimeChart chart;
    chart.Create(nullptr, QRect(0, 0, 600, 400), 10, 10);
    oru::FillChart(chart, data, oru::EventSeries());
    ASSERT_EQ(chart.AllSeries().size(), 2u);  // Disks and RAID 0/1 GB
    EXPECT_EQ(chart.AllSeries()[0].text, "Disks");
    EXPECT_EQ(chart.AllSeries()[1].text, "RAID 0/1\nGB");
    oru::FillChart(chart, data, oru::ThresholdSeries());
    ASSERT_EQ(chart.AllSeries().size(), 2u);  // Disk Q and Concurrency
    EXPECT_TRUE(chart.AllSeries()[0].percent);
    EXPECT_EQ(chart.AllSeries()[0].reference, 10u);
    EXPECT_EQ(chart.AllSeries()[0].style, oru::CTimeChart::kThresholdBars);
}

TEST(SheetModel, TheRecommendationShownIsTheFirstInItsOrder) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    PerfRecs recs;
    recs.valueA = 1700000000;  // 2023-11-14 22:13
    recs.valueB = 1700028800;  // 2023-11-15 06:13
    oru::Recommendation shown = oru::Recommendation::FromRecs(recs);
    EXPECT_EQ(shown.text, "No recommendations, performance is optimal");
    EXPECT_EQ(shown.interval, "Based on averages from  11/14 at 22:13  to  11/15 at 6:13");
    // Six checks passed, one line each.
    ASSERT_EQ(shown.lines.size(), 6u);
    EXPECT_EQ(shown.lines[0].marker, oru::Recommendation::kPassed);
    recs.recommendations[3] = 1;
    recs.recommendations[12] = 1;
    recs.metricChecks[8] = 2;
    shown = oru::Recommendation::FromRecs(recs);
    EXPECT_EQ(shown.text, "No recommendations, there is insufficient demand from the host");
    EXPECT_EQ(shown.lines[2].marker, oru::Recommendation::kFailed);
    EXPECT_EQ(shown.lines[2].text, "There is not enough RAID 0/1 space for the working set");
    // A finding: recommendation 1, the conditions, checks cleared to 0.
    PerfRecs finding;
    finding.recommendations[1] = 1;
    finding.recommendations[2] = 1;
    finding.conditions[2] = 1;
    finding.conditions[9] = 1;
    for (std::uint32_t& check : finding.metricChecks) {
        check = 0;
    }
    shown = oru::Recommendation::FromRecs(finding);
    EXPECT_EQ(shown.text, "There are no recommendations due to the condition(s) listed below");
    ASSERT_EQ(shown.lines.size(), 2u);
    EXPECT_EQ(shown.lines[0].text, "Rebuild Failed");
    EXPECT_EQ(shown.lines[1].text, "The log contains invalid records");
    EXPECT_EQ(shown.lines[1].marker, oru::Recommendation::kCondition);
}

TEST(SheetModel, TheControllerLogIsReadEntryByEntryWithinItsBytes) {
    // Page code 1, L = 18 + 14 + 5, a kind-0 entry, a kind-1 entry, then
    // five bytes of an entry that does not fit.
    std::vector<unsigned char> page = {1, 0, 37};
    const unsigned char kind0[18] = {0, 0, 0, 0, 0x12, 0x34, 0, 0, 145, 2, 3};
    const unsigned char kind1[14] = {1, 1, 0, 0, 0, 9, 0, 0, 153, 1, 0, 130};
    page.insert(page.end(), kind0, kind0 + 18);
    page.insert(page.end(), kind1, kind1 + 14);
    page.insert(page.end(), {2, 0, 0, 0, 0});
    std::vector<oru::ControllerLogEntry> entries = oru::ParseControllerLog(page);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].code, 145u);
    EXPECT_EQ(entries[0].count, 2u);
    EXPECT_EQ(entries[0].ticks, 0x1234u);
    EXPECT_EQ(entries[1].kind, 1u);
    EXPECT_EQ(entries[1].code, 153u);
    // A code the firmware catalog has no text for stands for itself.
    EXPECT_EQ(oru::ControllerLogLine(entries[0]), "At tick 4660: 145 (event 145, count 2)");
    // A length beyond the bytes received, a kind the log never holds.
    EXPECT_EQ(oru::ParseControllerLog({1, 0xFF, 0xFF, 0, 0}).size(), 0u);
    EXPECT_EQ(oru::ParseControllerLog({1, 0, 18, 7}).size(), 0u);
    EXPECT_EQ(oru::ParseControllerLog({1}).size(), 0u);
}

}  // namespace
