// The array-state build against a scripted controller pair answering the
// literal replies of docs/controller-interface.md: every field of a full
// build, the failure rule, the reads a subsystem state allows, the short
// forms of older controllers and controllers that answer nonsense.
#include "coresys/server/state/ServerDiskArrayState.h"

#include <gtest/gtest.h>

#include <string>

#include "StateTestSupport.h"
#include "platform/FileOwner.h"

namespace {

using namespace srvstatetest;
using Step = ServerDiskArrayState::BuildStep;

class StateBuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pair_ = std::make_unique<ControllerPair>();
        ASSERT_NE(pair_->storX, nullptr);
        ASSERT_NE(pair_->storY, nullptr);
        x_ = StandardController(0);
        y_ = StandardController(1);
        pair_->Bind(monitor_);
    }
    void TearDown() override { pair_.reset(); }

    std::unique_ptr<ServerDiskArrayState> Build() {
        x_.Install(*pair_->x);
        y_.Install(*pair_->y);
        return std::make_unique<ServerDiskArrayState>(monitor_);
    }

    TempRoot root_;
    std::unique_ptr<ControllerPair> pair_;
    ControllerReplies x_;
    ControllerReplies y_;
    FakeMonitor monitor_;
};

TEST_F(StateBuildTest, FullBuildFillsEveryFieldFromTheControllers) {
    monitor_.suspended = 1;
    monitor_.diag[3] = 1;  // a drive test runs on the spare
    monitor_.diag[5] = 1;  // slot 5 is empty: its test does not count
    auto s = Build();

    ASSERT_TRUE(s->Valid()) << static_cast<int>(s->FailedStep());
    EXPECT_EQ(s->FailedStep(), Step::kNone);
    EXPECT_EQ(s->ActiveSlot(), 0);
    EXPECT_GE(monitor_.selects, 2);  // once at the start, once after the controllers

    ASSERT_EQ(s->ControllerCount(), 2u);
    const ControllerInfo& x = s->controllers[0];
    EXPECT_EQ(x.active, 1u);
    EXPECT_EQ(x.SerialNumber(), "CTLX000000000001");
    EXPECT_EQ(x.PairedSerialNumber(), "CTLY000000000001");
    EXPECT_EQ(x.Vendor(), "STROVANE");
    EXPECT_EQ(x.ProductId(), "QRVZX ARRAY     ");
    EXPECT_EQ(x.ProductRev(), "0301");
    EXPECT_EQ(x.FwRev(), "F301.00.00");
    EXPECT_EQ(x.MfgProdCode(), "QRVZX-4003");
    EXPECT_EQ(x.bkplSlot, 0u);
    EXPECT_EQ(x.targetId, 7u);  // page 0x21 byte 13
    EXPECT_EQ(x.controllerStatus, 1u);
    EXPECT_EQ(x.statusExtra, 12u);  // page 0x21 byte 21 of the active controller
    EXPECT_EQ(x.batteryStatus, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(x.dramStatus, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(x.nvramStatus, (std::vector<std::uint32_t>{1, 2}));

    const ControllerInfo& y = s->controllers[1];
    EXPECT_EQ(y.active, 0u);
    EXPECT_EQ(y.SerialNumber(), "CTLY000000000001");
    EXPECT_EQ(y.PairedSerialNumber(), "CTLX000000000001");
    EXPECT_EQ(y.ProductRev(), "0302");
    EXPECT_EQ(y.FwRev(), "F302.00.00");
    EXPECT_EQ(y.bkplSlot, 1u);
    EXPECT_EQ(y.targetId, 6u);  // byte 14
    EXPECT_EQ(y.controllerStatus, 2u);
    EXPECT_EQ(y.statusExtra, 13u);  // Y's own page
    EXPECT_EQ(y.batteryStatus, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(y.dramStatus, (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(y.nvramStatus, (std::vector<std::uint32_t>{1, 1}));

    EXPECT_EQ(s->SerialNumber(), "CAB000000001");

    ASSERT_TRUE(s->subsystemState.has_value());
    std::uint32_t expected[24] = {};
    expected[3] = 1;   // block byte 10
    expected[7] = 1;   // byte 14
    expected[23] = 1;  // byte 30
    for (std::uint32_t k = 0; k < 24; ++k) {
        EXPECT_EQ(s->subsystemState->values[k], expected[k]) << "value " << k + 1;
    }

    ASSERT_TRUE(s->modeSubsystem.has_value());
    const ModeSubsystemPage& m = *s->modeSubsystem;
    EXPECT_EQ(m.subsystem_state, 0u);
    EXPECT_EQ(m.hot_spare_desired, 1u);
    EXPECT_EQ(m.vs_partition, 0u);
    EXPECT_EQ(m.rebuild_in_progress, 1u);
    EXPECT_EQ(m.auto_rebuild, 0u);
    EXPECT_EQ(m.value9, 1u);
    EXPECT_EQ(m.balancing, 1u);
    EXPECT_EQ(m.optimizing, 1u);
    EXPECT_EQ(m.rebuild_priority, 0u);
    EXPECT_EQ(m.unit_attn, 1u);
    EXPECT_EQ(m.ctrl_a_addr, 7u);
    EXPECT_EQ(m.ctrl_b_addr, 6u);
    EXPECT_EQ(m.reserved19, 1u);
    EXPECT_EQ(m.reserved20, 0u);
    EXPECT_EQ(m.format_pattern_fill, 1u);
    EXPECT_EQ(m.disable_remote_reset, 0u);
    EXPECT_EQ(m.language, 3u);
    EXPECT_EQ(m.cap_deplete_thresh, 0x1234u);
    EXPECT_EQ(m.rebuild_progress, 55u);
    EXPECT_EQ(m.write_work_set_int, 0x0102u);
    EXPECT_EQ(m.subsys_type_id, 12u);
    EXPECT_TRUE(s->WantsControllerLog());

    ASSERT_TRUE(s->modeCache.has_value());
    EXPECT_EQ(s->modeCache->write_cache_enable, 1u);
    EXPECT_EQ(s->modeCache->read_cache_enable, 0u);  // RCD set: the read cache is off

    ASSERT_TRUE(s->modeExtension.has_value());
    const std::uint32_t ext[16] = {0x00010002, 0x300, 1, 1, 4, 5, 0, 1, 1, 0, 1, 2, 0, 1, 42, 7};
    for (std::uint32_t k = 0; k < 16; ++k) {
        EXPECT_EQ(s->modeExtension->values[k], ext[k]) << "extension value " << k + 1;
    }

    EXPECT_EQ(s->raid1Capacity, BlockCapacity(0x00300000, 512));
    EXPECT_EQ(s->virtualRemaining, BlockCapacity(0x00100000, 512));

    ASSERT_EQ(s->LunCount(), 8u);
    EXPECT_EQ(s->luns[0].status, 1u);
    EXPECT_EQ(s->luns[0].capacity, BlockCapacity(0x00080000, 512));
    EXPECT_EQ(s->luns[2].status, 2u);
    EXPECT_EQ(s->luns[2].capacity, BlockCapacity(0x00040000, 512));
    for (std::uint32_t l : {1u, 3u, 4u, 5u, 6u, 7u}) {
        EXPECT_FALSE(s->luns[l].Exists()) << "LUN " << l;
    }

    ASSERT_EQ(s->DriveCount(), 12u);
    const Physical_Drive& d0 = s->drives[0];
    EXPECT_EQ(d0.driveState, 0u);
    EXPECT_EQ(d0.driveValue1, 0u);
    EXPECT_EQ(d0.DriveText(), "A1");
    EXPECT_EQ(d0.VolSetSerialNumber(), "VOLSET-000000001");
    EXPECT_EQ(d0.IdentityText1(), "QDISK QD-9100   ");
    EXPECT_EQ(d0.IdentityText2(), "QD-9100         ");
    EXPECT_EQ(d0.Vendor(), "QDISK   ");  // the drive's own INQUIRY
    EXPECT_EQ(d0.ProductRev(), "0102");
    EXPECT_EQ(d0.SerialNumber(), "D1S00000000 ");
    EXPECT_EQ(d0.capacity, BlockCapacity(2097151, 512));
    EXPECT_EQ(d0.driveValue2, 0u);
    EXPECT_EQ(d0.driveValue3, 0u);
    EXPECT_EQ(d0.driveValue4, 0u);
    const Physical_Drive& d3 = s->drives[3];
    EXPECT_EQ(d3.driveState, 8u);
    EXPECT_EQ(d3.driveValue2, 1u);
    EXPECT_EQ(d3.DriveText(), "B2");
    EXPECT_EQ(d3.capacity, BlockCapacity(4194303, 512));
    EXPECT_EQ(d3.driveValue3, 1u);  // its drive test runs
    const Physical_Drive& d11 = s->drives[11];
    EXPECT_EQ(d11.driveState, 4u);
    EXPECT_EQ(d11.DriveText(), "B6");
    EXPECT_EQ(d11.VolSetSerialNumber(), "VOLSET-000000002");
    EXPECT_EQ(d11.capacity, BlockCapacity(0, 512));  // a block count of 0 does not wrap
    EXPECT_EQ(d11.driveValue4, 1u);                  // predictive failure
    for (std::uint32_t slot : {1u, 2u, 4u, 5u, 6u, 7u, 8u, 9u, 10u}) {
        const Physical_Drive& e = s->drives[slot];
        EXPECT_EQ(e.driveState, Physical_Drive::kNoDrive) << "slot " << slot;
        EXPECT_EQ(e.driveValue1, slot);
        EXPECT_TRUE(e.SerialNumber().empty());
        EXPECT_EQ(e.driveValue3, 0u) << "slot " << slot;
    }
    EXPECT_EQ(s->stateValue2, 1u);  // drive diagnostics active

    ASSERT_EQ(s->MissingCount(), 6u);
    const Missing_Drive& g = s->missing[0];
    EXPECT_EQ(g.present, 1u);
    EXPECT_EQ(g.ProductId(), "QD-9100         ");
    EXPECT_EQ(g.DriveIdNumber(), "QDISK QD-9100   ");
    EXPECT_EQ(g.SerialNumber(), "D1S05000000 ");
    EXPECT_EQ(g.Vendor(), "QDISK   ");
    EXPECT_EQ(g.VolSetSerialNumber(), "VOLSET-000000001");
    EXPECT_EQ(g.capacity, BlockCapacity(2097151, 512));
    for (std::uint32_t i = 1; i < 6; ++i) {
        EXPECT_FALSE(s->missing[i].Present());
    }

    ASSERT_TRUE(s->hardware.has_value());
    EXPECT_EQ(s->hardware->values1, (std::vector<std::uint32_t>{1, 1, 2, 3}));
    EXPECT_EQ(s->hardware->values2, (std::vector<std::uint32_t>{1, 2}));

    EXPECT_EQ(s->stateValue1, 1u);  // log suspended
    EXPECT_EQ(s->stateValue3, 0u);
    EXPECT_EQ(s->stateValue4, 1u);
    EXPECT_EQ(s->stateValue5, 301u);
    EXPECT_EQ(s->stateValue6, 3u);  // format level of "QRVZX-4003"
    EXPECT_EQ(s->stateValue7, 2u);  // type id 12
    EXPECT_EQ(s->AliasName(), "ACCOUNTS");
    EXPECT_EQ(s->ServerName(), platform::AccountHostName().substr(0, 16));
    EXPECT_EQ(s->ownsLock, 1u);
    EXPECT_EQ(s->arrayType, 0u);
    // Derived from level 3, two controllers, extension values 7 = 0, 9 = 1,
    // 10 = 0 and write cache on.
    EXPECT_EQ(s->userParam1, 1u);
    EXPECT_EQ(s->userParam2, 0u);
    EXPECT_EQ(s->userParam3, 1u);

    EXPECT_TRUE(monitor_.notices.empty());
}

// Each read whose failure stops the build, with the step it reports.
struct FailCase {
    const char* name;
    Bytes cdb;
    Step step;
};

void PrintTo(const FailCase& c, std::ostream* os) {
    *os << c.name;
}

class StateBuildFailureTest : public StateBuildTest,
                              public ::testing::WithParamInterface<FailCase> {};

TEST_P(StateBuildFailureTest, TheFirstFailedReadStopsTheBuildWithItsSense) {
    const FailCase& c = GetParam();
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    Refuse(*pair_->x, c.cdb, 5, 0x24);
    ServerDiskArrayState s(monitor_);

    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(s.stateValue4, 0u);
    EXPECT_EQ(s.FailedStep(), c.step);
    EXPECT_EQ(s.LastResult().result, ScsiResult::kScsiStatus);
    EXPECT_EQ(s.LastResult().status, 0x02u);
    // The error record carries the controller's own sense data.
    EXPECT_EQ(s.Error().errorClass, ScsiResult::kScsiStatus);
    EXPECT_EQ(s.Error().detail, 0x02u);
    EXPECT_GE(s.Error().senseValid, 14u);
    EXPECT_EQ(static_cast<unsigned char>(s.Error().text[2]), 5);
    EXPECT_EQ(static_cast<unsigned char>(s.Error().text[12]), 0x24);
    // Nothing after the failed read was sent.
    EXPECT_EQ(Sent(*pair_->x, kAliasCdb), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, StateBuildFailureTest,
    ::testing::Values(FailCase{"page21", kPage21Cdb, Step::kSubsystemPage},
                      FailCase{"rawpage", TwoStepCdb(0xEF, 0, 2), Step::kRawPage},
                      FailCase{"state", kStateCdb, Step::kSubsystemState},
                      FailCase{"cache", kPage08Cdb, Step::kModeCache},
                      FailCase{"extension", kPage22Cdb, Step::kModeExtension},
                      FailCase{"cabinet", kCabinet244Cdb, Step::kCabinetStatus},
                      FailCase{"drives", TwoStepCdb(0x22, 0, 2), Step::kDriveList},
                      FailCase{"capacity", kVirtualCdb, Step::kVirtualCapacity},
                      FailCase{"luns", TwoStepCdb(0x23, 0, 2), Step::kLunTable},
                      FailCase{"missing", TwoStepCdb(0x23, 1, 2), Step::kMissingDrives}),
    [](const ::testing::TestParamInfo<FailCase>& info) { return std::string(info.param.name); });

TEST_F(StateBuildTest, AFailedAliasReadFailsTheBuildAtTheLastStep) {
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    Refuse(*pair_->x, kAliasCdb);
    ServerDiskArrayState s(monitor_);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(s.FailedStep(), Step::kAlias);
    // Everything before it was read.
    EXPECT_EQ(s.luns[0].status, 1u);
    EXPECT_EQ(s.drives[0].driveState, 0u);
}

TEST_F(StateBuildTest, AnIdentityReadThatFailsOnlyBlanksItsFields) {
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    Refuse(*pair_->y, kInquiryCdb);
    Refuse(*pair_->y, kIdentityCdb);
    auto s = std::make_unique<ServerDiskArrayState>(monitor_);

    ASSERT_TRUE(s->Valid());
    const ControllerInfo& y = s->controllers[1];
    EXPECT_TRUE(y.Vendor().empty());
    EXPECT_TRUE(y.ProductId().empty());
    EXPECT_TRUE(y.FwRev().empty());
    EXPECT_EQ(y.SerialNumber(), "CTLY000000000001");  // its serial page answered
    EXPECT_EQ(y.controllerStatus, 2u);
    // The failure is kept for the record, the state is whole.
    EXPECT_EQ(s->Error().detail, 0x02u);
}

TEST_F(StateBuildTest, AnUnreadablePartnerMakesAReadySubsystemReadyWithConditions) {
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    Refuse(*pair_->y, kPage21Cdb);
    ServerDiskArrayState s(monitor_);

    ASSERT_TRUE(s.Valid());
    EXPECT_EQ(s.controllers[1].statusExtra, 0xFFFFFFFFu);
    EXPECT_EQ(s.controllers[1].controllerStatus, 5u);
    EXPECT_EQ(s.subsystemState->values[0], 1u);
    EXPECT_EQ(s.subsystemState->values[9], 1u);  // the tenth value
}

TEST_F(StateBuildTest, APartnerTheRawPageDoesNotListIsOffline) {
    x_.rawPage = {0x00, 0x04, 0x00, 0x02, 0x01, 0x01};  // tag 2 lists X only
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->controllers[0].controllerStatus, 1u);
    EXPECT_EQ(s->controllers[1].controllerStatus, 5u);  // entry missing: 255, offline
    EXPECT_EQ(s->subsystemState->values[0], 1u);
    // No module lists were reported: none are made up.
    EXPECT_EQ(s->controllers[0].DramCount(), 0u);
    EXPECT_EQ(s->controllers[1].NvramCount(), 0u);
}

TEST_F(StateBuildTest, APartnerThatDoesNotExistKeepsStatusThreeAndTheStateAsRead) {
    x_.rawPage = {0x00, 0x05, 0x00, 0x02, 0x02, 0x01, 0x03};
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->controllers[1].controllerStatus, 3u);
    EXPECT_EQ(s->subsystemState->values[0], 0u);
}

TEST_F(StateBuildTest, ARawPageStatusOf255ReadsAsOffline) {
    x_.rawPage = {0x00, 0x05, 0x00, 0x02, 0x02, 0x01, 0xFF};
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->controllers[1].controllerStatus, 5u);
    EXPECT_EQ(s->subsystemState->values[0], 1u);
}

TEST_F(StateBuildTest, ASubsystemInStateThreeHasNoCapacityLunOrMissingReads) {
    x_.state[1] = 3;
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(Sent(*pair_->x, kVirtualCdb), 0u);
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0x23, 0, 2)), 0u);
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0x23, 1, 2)), 0u);
    for (const LUN& l : s->luns) {
        EXPECT_FALSE(l.Exists());
    }
    EXPECT_EQ(s->virtualRemaining, BlockCapacity());
    EXPECT_FALSE(s->missing[0].Present());
}

TEST_F(StateBuildTest, ASubsystemInStateTwoReadsMissingDrivesButNoLuns) {
    x_.state[1] = 2;
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0x23, 0, 2)), 0u);
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0x23, 1, 2)), 1u);
    EXPECT_TRUE(s->missing[0].Present());
    EXPECT_EQ(s->subsystemState->values[0], 2u);  // the partner check is for state 0 only
}

TEST_F(StateBuildTest, WithOnlyOneControllerTheOtherRecordHasStatusFour) {
    monitor_.slot[1] = nullptr;
    x_.Install(*pair_->x);
    ServerDiskArrayState s(monitor_);
    ASSERT_TRUE(s.Valid());
    EXPECT_EQ(s.controllers[1].controllerStatus, 4u);
    EXPECT_EQ(s.controllers[1].bkplSlot, 1u);
    EXPECT_TRUE(s.controllers[1].SerialNumber().empty());
    EXPECT_EQ(s.subsystemState->values[0], 0u);  // left as read
}

TEST_F(StateBuildTest, TheActiveControllerMayBeY) {
    monitor_.active = 1;
    y_.serial = Serial(true, "CTLY000000000001", "CTLX000000000001", "CAB000000001");
    y_ = [&] {
        ControllerReplies r = StandardController(0);
        r.inquiry = y_.inquiry;
        r.identity = y_.identity;
        r.serial = y_.serial;
        r.page21 = StandardPage21(13);
        r.rawPage = StandardRawPage(1);
        return r;
    }();
    x_.serial = Serial(false, "CTLX000000000001", "CTLY000000000001", "CAB000000001");
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->ActiveSlot(), 1);
    EXPECT_EQ(s->controllers[1].controllerStatus, 2u);  // tag 2 entry of slot 1
    EXPECT_EQ(s->controllers[1].statusExtra, 13u);
    EXPECT_EQ(s->controllers[0].statusExtra, 12u);
    EXPECT_EQ(s->controllers[0].controllerStatus, 1u);
    EXPECT_EQ(s->stateValue7, 1u);  // type id 13
    // Everything after the controllers went through Y only.
    EXPECT_EQ(Sent(*pair_->x, kStateCdb), 0u);
    EXPECT_EQ(Sent(*pair_->y, kStateCdb), 1u);
}

TEST_F(StateBuildTest, NoControllerAtAllFailsTheBuild) {
    monitor_.slot[0] = nullptr;
    monitor_.slot[1] = nullptr;
    ServerDiskArrayState s(monitor_);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(s.FailedStep(), Step::kNoController);
    EXPECT_EQ(s.controllers[0].controllerStatus, 4u);
    EXPECT_EQ(s.controllers[1].controllerStatus, 4u);
}

TEST_F(StateBuildTest, AnAliasOfThirteenCharactersLeavesTheAliasEmpty) {
    x_.alias = Bytes(16, 0);
    std::memcpy(x_.alias.data(), "ABCDEFGHIJKLM", 13);
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_TRUE(s->AliasName().empty());

    x_.alias = Bytes(16, 0);
    std::memcpy(x_.alias.data(), "ABCDEFGHIJKL", 12);
    s = Build();
    EXPECT_EQ(s->AliasName(), "ABCDEFGHIJKL");
}

// --- older format levels ---

TEST_F(StateBuildTest, ALevelOneControllerGetsTheShortForms) {
    x_.identity = Identity("QRVZX-4001", "F100.00.00");
    // Short drive entries: only slot and names; the drive itself is asked
    // the rest, and this one does not answer.
    Bytes entry(33, 0);
    entry[0] = 2;
    PutText(entry, 1, "VOLSET-000000001", 16);
    PutText(entry, 17, "QDISK QD-1000", 16);
    x_.driveList = List(33, {entry});
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    {
        std::lock_guard<std::mutex> lock(pair_->x->mutex);
        // Any drive exchange this controller is sent is refused.
        for (std::uint8_t len : {0x04, 0x08, 0x24}) {
            for (std::uint8_t cdbLen : {6, 10}) {
                Answer a;
                a.status = 0x02;
                a.sense = SenseBytes(4, 0x44, 0);
                pair_->x->standing[{0x27, 0x03, 0x02, 0x00, cdbLen, 0x00, 0x00, 0x00, len, 0x00}] =
                    a;
            }
        }
    }
    ServerDiskArrayState s(monitor_);

    ASSERT_TRUE(s.Valid()) << static_cast<int>(s.FailedStep());
    EXPECT_EQ(s.stateValue6, 1u);
    EXPECT_EQ(Sent(*pair_->x, kAliasCdb), 0u);  // not read below level 3
    EXPECT_TRUE(s.AliasName().empty());
    EXPECT_EQ(Sent(*pair_->x, kCabinet184Cdb), 1u);
    EXPECT_EQ(Sent(*pair_->x, kCabinet244Cdb), 0u);
    EXPECT_EQ(s.raid1Capacity, BlockCapacity(0x00300000, 512));
    // Level 1: extension words of level 2 and 3 keep their defaults.
    EXPECT_EQ(s.modeExtension->values[0], 0x00010002u);
    EXPECT_EQ(s.modeExtension->values[2], 1u);
    EXPECT_EQ(s.modeExtension->values[3], 0u);
    EXPECT_EQ(s.modeExtension->values[4], 3u);
    EXPECT_EQ(s.modeExtension->values[8], 0u);
    // The short entry fills its slot; the drive did not answer.
    const Physical_Drive& d = s.drives[2];
    EXPECT_EQ(d.driveState, 0u);
    EXPECT_EQ(d.IdentityText1(), "QDISK QD-1000   ");
    EXPECT_EQ(d.SerialNumber(), "UNKNOWN");
    EXPECT_EQ(d.capacity, BlockCapacity(0, 512));
    EXPECT_EQ(d.driveValue4, 0u);
}

TEST_F(StateBuildTest, ALevelZeroControllerSendsNoExtensionPage) {
    x_.identity = Identity("QRVZX-4000", "F000.00.00");
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(Sent(*pair_->x, kPage22Cdb), 0u);
    EXPECT_EQ(s->modeExtension->values[4], 3u);
    EXPECT_EQ(s->modeExtension->values[5], 3u);
    EXPECT_EQ(s->stateValue6, 0u);
    EXPECT_EQ(s->userParam1, 0u);  // nothing is derived below level 3
    EXPECT_EQ(s->userParam3, 0u);
}

// --- controllers that answer nonsense ---

TEST_F(StateBuildTest, ARawPageWhoseLengthCannotBeReadFailsWithoutAWrappedRead) {
    x_.rawPage = {0xFF, 0xFE, 0x00};
    auto s = Build();
    EXPECT_FALSE(s->Valid());
    EXPECT_EQ(s->FailedStep(), Step::kRawPage);
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0xEF, 0, 2)), 1u);
    EXPECT_EQ(Sent(*pair_->x, TwoStepCdb(0xEF, 0, 0)), 0u);  // 0xFFFE + 2 wrapped
    EXPECT_EQ(s->LastResult().result, ScsiResult::kSystemFailed);
}

TEST_F(StateBuildTest, ADriveListThatPromisesMoreThanItSendsFailsTheBuild) {
    Bytes list = List(88, {DriveEntry(0, "V", "D", 0, 0, "P", "R", 1, "S", false)});
    PutBe16(list, 0, 1 + 3 * 88);  // claims three entries
    x_.driveList = Bytes(list.begin(), list.end());
    x_.Install(*pair_->x);
    y_.Install(*pair_->y);
    {
        // The second read asks for 3 entries; the controller answers one.
        std::lock_guard<std::mutex> lock(pair_->x->mutex);
        Answer whole;
        whole.dataIn = list;
        pair_->x->standing[TwoStepCdb(0x22, 0, 1 + 3 * 88 + 2)] = whole;
    }
    ServerDiskArrayState s(monitor_);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(s.FailedStep(), Step::kDriveList);
}

TEST_F(StateBuildTest, DriveEntriesForSlotsThatDoNotExistAreSkippedWithANotice) {
    x_.driveList = List(88, {DriveEntry(12, "V", "BAD12", 0, 0, "P", "R", 10, "S12", false),
                             DriveEntry(1, "V", "GOOD1", 0, 0, "P", "R", 10, "S01", false),
                             DriveEntry(200, "V", "BAD200", 0, 0, "P", "R", 10, "S200", false),
                             DriveEntry(1, "V", "AGAIN1", 3, 0, "P", "R", 10, "SX", false)});
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->drives[1].IdentityText1(), "GOOD1           ");
    EXPECT_EQ(s->drives[1].driveState, 0u);
    ASSERT_EQ(monitor_.notices.size(), 3u);
    EXPECT_NE(monitor_.notices[0].find("12"), std::string::npos);
    EXPECT_NE(monitor_.notices[1].find("200"), std::string::npos);
    EXPECT_NE(monitor_.notices[2].find("1"), std::string::npos);
    for (std::uint32_t slot = 0; slot < 12; ++slot) {
        if (slot != 1) {
            EXPECT_EQ(s->drives[slot].driveState, 1u) << slot;
        }
    }
}

TEST_F(StateBuildTest, ADriveListWithEntrySizeZeroFailsTheBuild) {
    x_.driveList = {0x00, 0x01, 0x00};
    auto s = Build();
    EXPECT_FALSE(s->Valid());
    EXPECT_EQ(s->FailedStep(), Step::kDriveList);
}

TEST_F(StateBuildTest, MidSizedDriveEntriesKeepOnlyTheFieldsInsideTheEntry) {
    // 50-byte entries hold slot, names, state and the two INQUIRY bytes but
    // neither block count, product, serial nor the predictive bit.
    Bytes e = DriveEntry(4, "VOLSET-000000001", "QDISK QD-9100", 0, 0, "QD-9100", "0102", 2097152,
                         "D1S04000000", true);
    e.resize(50);
    x_.driveList = List(50, {e});
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    const Physical_Drive& d = s->drives[4];
    EXPECT_EQ(d.driveState, 0u);
    EXPECT_EQ(d.IdentityText1(), "QDISK QD-9100   ");
    EXPECT_EQ(d.capacity, BlockCapacity(0, 512));
    EXPECT_TRUE(d.IdentityText2().empty());
    EXPECT_TRUE(d.SerialNumber().empty());
    EXPECT_EQ(d.driveValue4, 0u);
}

TEST_F(StateBuildTest, ModuleListsAreAsLongAsReportedAndALongRawPageIsNotTrusted) {
    Bytes page = {0x00, 0x00, 0x00, 4, 5, 1, 2, 1, 2, 1,  // five DRAM modules on X
                  2,    2,    1,    2, 5, 9, 1, 1};       // NVRAM list runs past the page: dropped
    PutBe16(page, 0, static_cast<std::uint32_t>(page.size() - 2));
    x_.rawPage = page;
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->controllers[0].dramStatus, (std::vector<std::uint32_t>{1, 2, 1, 2, 1}));
    EXPECT_EQ(s->controllers[0].NvramCount(), 0u);
    EXPECT_EQ(s->controllers[1].controllerStatus, 2u);
}

TEST_F(StateBuildTest, LunEntriesNamingNoLunAreIgnored) {
    std::vector<Bytes> luns;
    luns.push_back({9, 1, 0, 0, 1, 0});  // LUN 9 does not exist
    luns.push_back({0, 1, 0, 0, 2, 0});
    luns.push_back({255, 1, 0, 0, 3, 0});
    x_.lunTable = List(8, luns);
    auto s = Build();
    ASSERT_TRUE(s->Valid());
    EXPECT_EQ(s->luns[0].capacity.blocks, 0x200u);
    for (std::uint32_t l = 1; l < 8; ++l) {
        EXPECT_FALSE(s->luns[l].Exists());
    }
}

TEST_F(StateBuildTest, AMissingDriveListThatLiesAboutItsEntriesFailsCleanly) {
    Bytes list = {0x00, 0x05, 0x04, 1, 2, 3, 4};  // entries of 4 bytes cannot hold a drive
    x_.missing = list;
    auto s = Build();
    EXPECT_FALSE(s->Valid());
    EXPECT_EQ(s->FailedStep(), Step::kMissingDrives);
}

}  // namespace
