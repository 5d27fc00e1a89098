// The comparison of a current state with a new one: which event each
// difference raises, with which arguments, in which order, and what it
// changes in the monitor besides.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EventTestSupport.h"
#include "coresys/common/FieldText.h"
#include "coresys/server/events/ServerEventReport.h"
#include "coresys/server/events/StateComparison.h"

namespace eventtest {
namespace {

struct Raised {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t data1;
    std::uint32_t data2;
    bool operator==(const Raised&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Raised& r) {
    return out << "{" << r.major << ", " << r.minor << ", " << r.data1 << ", " << r.data2 << "}";
}

class StateComparisonTest : public ::testing::Test {
  protected:
    StateComparisonTest() : current_(ValidState(monitor_)), fresh_(ValidState(monitor_)) {}

    // Compares current_ with fresh_ and lists the events of the reply.
    std::vector<Raised> Compare(bool* any = nullptr) {
        ServerEventReport report(fresh_.get(), nullptr);
        bool raised = StateComparison::Compare(*current_, *fresh_, report, &effects_);
        if (any != nullptr) {
            *any = raised;
        }
        std::vector<Raised> list;
        ServerEvent_RtnMsg& reply = report.Message();
        for (unsigned short i = 0; i < reply.EventCount(); ++i) {
            const Event* e = reply.EventAt(i);
            list.push_back({e->majorType, e->minorType, e->data1, e->data2});
        }
        return list;
    }

    BareMonitor monitor_;
    std::unique_ptr<ServerDiskArrayState> current_;
    std::unique_ptr<ServerDiskArrayState> fresh_;
    RecordedEffects effects_;
};

TEST_F(StateComparisonTest, TwoIdenticalStatesRaiseNothing) {
    bool any = true;
    EXPECT_TRUE(Compare(&any).empty());
    EXPECT_FALSE(any);
    EXPECT_TRUE(effects_.calls.empty());
}

TEST_F(StateComparisonTest, AnInvalidCurrentStateGivesOnlyTheValidityEvent) {
    current_->stateValue4 = 0;
    fresh_->drives[3].driveState = 4;
    fresh_->controllers[0].controllerStatus = 2;
    SetFieldText(fresh_->aliasName, "NEWALIAS");
    bool any = false;
    EXPECT_EQ(Compare(&any), (std::vector<Raised>{{DAS_MISC, 0, 0, 0}}));
    EXPECT_TRUE(any);
    EXPECT_TRUE(effects_.calls.empty());
}

TEST_F(StateComparisonTest, EachDifferenceRaisesItsEvent) {
    using Change = std::function<void(ServerDiskArrayState&)>;
    struct Case {
        const char* what;
        Change change;
        std::vector<Raised> expected;
    };
    const std::vector<Case> cases = {
        {"log task suspended", [](auto& s) { s.stateValue1 = 1; }, {{ORUSS_MISC, 2, 0, 0}}},
        {"controller Y serial",
         [](auto& s) { SetFieldText(s.controllers[1].serialNumber, "CTLY00000002"); },
         {{CTLR, 1, 1, 0}}},
        {"controller serial beyond 16 characters is not compared",
         [](auto& s) { s.controllers[0].serialNumber[16] = 'Z'; },
         {}},
        {"controller X active flag",
         [](auto& s) { s.controllers[0].active = 0; },
         {{CTLR, 0, 0, 0}}},
        {"battery count",
         [](auto& s) {
             s.controllers[1].batteryStatus = {0, 0};
         },
         {{CTLR, 2, 1, 0}}},
        {"battery state", [](auto& s) { s.controllers[0].batteryStatus = {3}; }, {{CTLR, 2, 0, 0}}},
        {"NVRAM state of the second module",
         [](auto& s) {
             s.controllers[1].nvramStatus = {1, 1};
         },
         {{CTLR, 5, 1, 0}}},
        {"DRAM state", [](auto& s) { s.controllers[1].dramStatus = {3}; }, {{CTLR, 4, 1, 0}}},
        {"controller status",
         [](auto& s) { s.controllers[0].controllerStatus = 5; },
         {{CTLR, 3, 0, 0}}},
        {"subsystem state", [](auto& s) { s.subsystemState->values[0] = 2; }, {{SSS, 0, 0, 0}}},
        {"subsystem value 2", [](auto& s) { s.subsystemState->values[1] = 1; }, {{SSS, 1, 0, 0}}},
        {"subsystem value 23",
         [](auto& s) { s.subsystemState->values[22] = 1; },
         {{SSS, 22, 0, 0}}},
        {"subsystem value 24",
         [](auto& s) { s.subsystemState->values[23] = 1; },
         {{SSS, 23, 0, 0}}},
        {"hot spare desired (byte 11 bit 6)",
         [](auto& s) { s.modeSubsystem->hot_spare_desired = 1; },
         {{MSS, 0, 0, 0}}},
        {"rebuild in progress (byte 11 bit 4)",
         [](auto& s) { s.modeSubsystem->rebuild_in_progress = 1; },
         {{MSS, 2, 0, 0}}},
        {"byte 11 bit 0", [](auto& s) { s.modeSubsystem->value9 = 1; }, {{MSS, 6, 0, 0}}},
        {"optimizing (byte 12 bit 6)",
         [](auto& s) { s.modeSubsystem->optimizing = 1; },
         {{MSS, 7, 0, 0}}},
        {"byte 12 bit 5", [](auto& s) { s.modeSubsystem->rebuild_priority = 1; }, {{MSS, 8, 0, 0}}},
        {"byte 15 bit 5",
         [](auto& s) { s.modeSubsystem->format_pattern_fill = 1; },
         {{MSS, 9, 0, 0}}},
        {"byte 15 bit 4",
         [](auto& s) { s.modeSubsystem->disable_remote_reset = 1; },
         {{MSS, 10, 0, 0}}},
        {"bytes 16-17",
         [](auto& s) { s.modeSubsystem->cap_deplete_thresh = 300; },
         {{MSS, 11, 0, 0}}},
        {"byte 18", [](auto& s) { s.modeSubsystem->rebuild_progress = 40; }, {{MSS, 12, 0, 0}}},
        {"byte 15 bit 7 is not watched", [](auto& s) { s.modeSubsystem->reserved19 = 1; }, {}},
        {"balancing (byte 12 bit 7) is not watched",
         [](auto& s) { s.modeSubsystem->balancing = 1; },
         {}},
        {"extension bytes 14-17",
         [](auto& s) { s.modeExtension->values[1] = 9; },
         {{MEXT, 0, 0, 0}}},
        {"extension byte 18 bit 0",
         [](auto& s) { s.modeExtension->values[2] = 1; },
         {{MEXT, 2, 0, 0}}},
        {"extension byte 18 bit 1",
         [](auto& s) { s.modeExtension->values[3] = 1; },
         {{MEXT, 1, 0, 0}}},
        {"extension byte 20", [](auto& s) { s.modeExtension->values[5] = 2; }, {{MEXT, 3, 0, 0}}},
        {"extension byte 21 bit 0",
         [](auto& s) { s.modeExtension->values[13] = 1; },
         {{MEXT, 4, 0, 0}}},
        {"write cache", [](auto& s) { s.modeCache->write_cache_enable = 1; }, {{MC, 0, 0, 0}}},
        {"read cache", [](auto& s) { s.modeCache->read_cache_enable = 1; }, {{MC, 1, 0, 0}}},
        {"RAID 1 block size", [](auto& s) { s.raid1Capacity.blockSize = 1024; }, {{CAP, 0, 0, 0}}},
        {"virtual remaining", [](auto& s) { s.virtualRemaining.blocks = 7; }, {{CAP, 1, 0, 0}}},
        {"LUN 1 state", [](auto& s) { s.luns[1].status = 3; }, {{LUN_EVENT, 0, 1, 0}}},
        {"LUN 7 capacity", [](auto& s) { s.luns[7].capacity.blocks = 10; }, {{LUN_EVENT, 1, 7, 0}}},
        {"drive state of slot 4", [](auto& s) { s.drives[4].driveState = 4; }, {{PHYS, 1, 4, 0}}},
        {"missing entry 5", [](auto& s) { s.missing[5].present = 1; }, {{MISS, 0, 5, 0}}},
        {"hardware first list", [](auto& s) { s.hardware->values1[2] = 3; }, {{HW, 0, 2, 0}}},
        {"hardware second list", [](auto& s) { s.hardware->values2[0] = 2; }, {{HW, 1, 0, 0}}},
        {"alias", [](auto& s) { SetFieldText(s.aliasName, "PAYROLL"); }, {{DAS_MISC, 3, 0, 0}}},
        {"host sequence flag", [](auto& s) { s.ownsLock = 1; }, {{DAS_MISC, 1, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fresh_ = ValidState(monitor_);
        c.change(*fresh_);
        EXPECT_EQ(Compare(), c.expected);
    }
}

TEST_F(StateComparisonTest, ModuleStatesAreComparedOnlyWhenTheCountsAgree) {
    current_->controllers[0].batteryStatus = {0, 0, 0};
    fresh_->controllers[0].batteryStatus = {0, 2, 2};
    EXPECT_EQ(Compare(), (std::vector<Raised>{{CTLR, 2, 0, 1}, {CTLR, 2, 0, 2}}));
    fresh_->controllers[0].batteryStatus = {4, 4};
    EXPECT_EQ(Compare(), (std::vector<Raised>{{CTLR, 2, 0, 0}}));
}

TEST_F(StateComparisonTest, AReplacedDriveRaisesItsSlotAndResetsTheSlotsDiagnostic) {
    SetFieldText(fresh_->drives[2].serialNumber, "D9S99000000");
    EXPECT_EQ(Compare(), (std::vector<Raised>{{PHYS, 0, 2, 0}}));
    EXPECT_EQ(effects_.calls, (std::vector<std::string>{"replaced 2"}));
}

TEST_F(StateComparisonTest, APulledDriveRaisesTheSerialAndTheStateOfItsSlot) {
    fresh_->drives[2] = Physical_Drive();
    fresh_->drives[2].driveState = Physical_Drive::kNoDrive;
    EXPECT_EQ(Compare(), (std::vector<Raised>{{PHYS, 0, 2, 0}, {PHYS, 1, 2, 0}}));
    EXPECT_EQ(effects_.calls, (std::vector<std::string>{"replaced 2", "state 2 1"}));
}

TEST_F(StateComparisonTest, AReplacedControllerResetsItsDetailRecord) {
    SetFieldText(fresh_->controllers[0].serialNumber, "CTLX00000009");
    EXPECT_EQ(Compare(), (std::vector<Raised>{{CTLR, 1, 0, 0}}));
    EXPECT_EQ(effects_.calls, (std::vector<std::string>{"controller 0"}));
}

TEST_F(StateComparisonTest, BothTargetAddressesRaiseAnEventEach) {
    fresh_->modeSubsystem->ctrl_a_addr = 3;  // byte 13
    fresh_->modeSubsystem->ctrl_b_addr = 4;  // byte 14
    EXPECT_EQ(Compare(), (std::vector<Raised>{{MSS, 13, 0, 0}, {MSS, 13, 0, 0}}));
}

TEST_F(StateComparisonTest, DriveDiagnosticsNameTheSlotWhoseTestRunsOrRan) {
    // A test starts on slot 3: the current state ran none.
    fresh_->stateValue2 = 1;
    fresh_->drives[3].driveValue3 = 1;
    EXPECT_EQ(Compare(), (std::vector<Raised>{{SSW, 1, 3, 0}}));
    // It ends: the current state names the slot and its flag.
    std::swap(current_, fresh_);
    EXPECT_EQ(Compare(), (std::vector<Raised>{{SSW, 1, 3, 1}}));
}

TEST_F(StateComparisonTest, HardwareListsAreComparedAsFarAsTheCurrentStateGoes) {
    fresh_->hardware->values1 = {1};           // elements 1 and 2 are gone
    fresh_->hardware->values2 = {1, 1, 3, 3};  // more elements: not looked at
    EXPECT_EQ(Compare(), (std::vector<Raised>{{HW, 0, 1, 0}, {HW, 0, 2, 0}}));
}

TEST_F(StateComparisonTest, ShortListsFromAPeerCompareAsEmptyElements) {
    fresh_->drives.resize(3);
    fresh_->luns.clear();
    current_->missing.resize(2);
    fresh_->missing[4].present = 1;
    std::vector<Raised> got = Compare();
    // LUNs 0 and 1 existed; slots 3..5 held drives, slots 6..11 said "no
    // drive" (an empty element says state 0); missing entry 4 is new.
    const std::vector<Raised> expected = {
        {LUN_EVENT, 0, 0, 0}, {LUN_EVENT, 1, 0, 0}, {LUN_EVENT, 0, 1, 0}, {LUN_EVENT, 1, 1, 0},
        {PHYS, 0, 3, 0},      {PHYS, 0, 4, 0},      {PHYS, 0, 5, 0},      {PHYS, 1, 6, 0},
        {PHYS, 1, 7, 0},      {PHYS, 1, 8, 0},      {PHYS, 1, 9, 0},      {PHYS, 1, 10, 0},
        {PHYS, 1, 11, 0},     {MISS, 0, 4, 0},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(StateComparisonTest, DerivedValuesAreMeasuredForBothStates) {
    // At format level 3 the extension page feeds the derived values; the
    // current state's own stale values do not count.
    current_->stateValue6 = 3;
    fresh_->stateValue6 = 3;
    current_->userParam1 = 77;
    current_->userParam3 = 77;
    fresh_->userParam1 = 0;
    EXPECT_TRUE(Compare().empty());

    // Extension word 7 set: the first derived value drops to 0.
    fresh_->modeExtension->values[6] = 1;
    EXPECT_EQ(Compare(), (std::vector<Raised>{{DAS_MISC, 4, 0, 0}}));
    // Word 9 set with the write cache on: the third derived value rises.
    current_->modeCache->write_cache_enable = 1;
    fresh_ = ValidState(monitor_);
    fresh_->stateValue6 = 3;
    fresh_->modeCache->write_cache_enable = 1;
    fresh_->modeExtension->values[8] = 1;
    EXPECT_EQ(Compare(), (std::vector<Raised>{{DAS_MISC, 5, 0, 0}}));
}

TEST_F(StateComparisonTest, SeveralDifferencesComeInTheFixedOrder) {
    fresh_->ownsLock = 1;
    SetFieldText(fresh_->aliasName, "NEW");
    fresh_->hardware->values2[1] = 2;
    fresh_->missing[0].present = 1;
    fresh_->drives[0].driveState = 5;
    fresh_->luns[0].status = 2;
    fresh_->virtualRemaining.blocks = 1;
    fresh_->raid1Capacity.blocks = 1;
    fresh_->modeCache->read_cache_enable = 1;
    fresh_->modeExtension->values[1] = 1;
    fresh_->modeSubsystem->auto_include = 1;
    fresh_->subsystemState->values[4] = 1;
    fresh_->controllers[1].controllerStatus = 2;
    fresh_->controllers[0].active = 0;
    fresh_->stateValue1 = 1;
    const std::vector<Raised> expected = {
        {ORUSS_MISC, 2, 0, 0}, {CTLR, 0, 0, 0},      {CTLR, 3, 1, 0},     {SSS, 4, 0, 0},
        {MSS, 4, 0, 0},        {MEXT, 0, 0, 0},      {MC, 1, 0, 0},       {CAP, 0, 0, 0},
        {CAP, 1, 0, 0},        {LUN_EVENT, 0, 0, 0}, {PHYS, 1, 0, 0},     {MISS, 0, 0, 0},
        {HW, 1, 1, 0},         {DAS_MISC, 3, 0, 0},  {DAS_MISC, 1, 0, 0},
    };
    EXPECT_EQ(Compare(), expected);
}

}  // namespace
}  // namespace eventtest
