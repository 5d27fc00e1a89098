// The state build against the simulated controller itself, served in this
// process: what the build reads must be what the simulator holds.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "StateTestSupport.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "sim/DefaultScenario.h"
#include "sim/InProcessDevice.h"
#include "sim/Simulator.h"

namespace {

using namespace srvstatetest;

std::string Trim(std::string_view s) {
    std::string t(s);
    while (!t.empty() && t.back() == ' ') {
        t.pop_back();
    }
    return t;
}

class SimulatorStateTest : public ::testing::Test {
  protected:
    // Serves world in-process and binds the controllers of cabinet 0.
    void Start(sim::WorldModel world) {
        world.timeScale = 0;  // a virtual clock: the state cannot move under the test
        sim_ = std::make_shared<sim::Simulator>(std::move(world), "");
        sim::InProcessDevice::RegisterAll(sim_);
        OpenArrayDevices(list_, result_);
        const sim::WorldModel w = sim_->Snapshot();
        const sim::CabinetModel& cab = w.cabinets[0];
        for (DeviceRecord* r = list_; r != nullptr; r = r->next) {
            const ScsiDeviceTable::Entry* e = ScsiDeviceTable::Instance().At(r->deviceIndex);
            ASSERT_NE(e, nullptr);
            const std::string serial(reinterpret_cast<const char*>(e->serial.data()), 16);
            for (int k = 0; k < 2; ++k) {
                if (Trim(serial) == Trim(cab.controllers[k].serial)) {
                    stor_[k] = std::make_unique<StorSys>(r);
                    monitor_.slot[k] = stor_[k].get();
                }
            }
        }
        monitor_.active = cab.activeSlot;
        monitor_.backplane = cab.serial;
    }
    void TearDown() override {
        stor_[0].reset();
        stor_[1].reset();
        CloseArrayDevices(list_);
    }

    // Checks state against cabinet 0 of the simulator as it is now.
    void ExpectMatches(const ServerDiskArrayState& state) {
        const sim::WorldModel w = sim_->Snapshot();
        const sim::CabinetModel& cab = w.cabinets[0];
        EXPECT_EQ(state.SerialNumber(), cab.serial);
        EXPECT_EQ(state.subsystemState->SubsystemState(), cab.state);
        EXPECT_EQ(state.AliasName(), cab.alias);
        EXPECT_EQ(state.ActiveSlot(), cab.activeSlot);
        for (int k = 0; k < 2; ++k) {
            const sim::ControllerModel& m = cab.controllers[k];
            const ControllerInfo& c = state.controllers[k];
            SCOPED_TRACE("controller " + std::to_string(k));
            EXPECT_EQ(Trim(c.SerialNumber()), Trim(m.serial));
            EXPECT_EQ(Trim(c.Vendor()), m.vendor);
            EXPECT_EQ(Trim(c.ProductId()), m.productId);
            EXPECT_EQ(c.FwRev(), m.firmwareRevision);
            EXPECT_EQ(c.active, k == cab.activeSlot ? 1u : 0u);
            EXPECT_EQ(c.controllerStatus, 1u);  // good, active or not
            EXPECT_EQ(c.targetId, m.targetId);
            EXPECT_EQ(c.dramStatus, std::vector<std::uint32_t>(m.dram.begin(), m.dram.end()));
            EXPECT_EQ(c.nvramStatus, std::vector<std::uint32_t>(m.nvram.begin(), m.nvram.end()));
            EXPECT_EQ(c.batteryStatus,
                      std::vector<std::uint32_t>(m.battery.begin(), m.battery.end()));
        }
        for (int s = 0; s < 12; ++s) {
            const sim::DriveModel& m = cab.drives[s];
            const Physical_Drive& d = state.drives[s];
            SCOPED_TRACE("slot " + std::to_string(s));
            if (!m.present) {
                EXPECT_EQ(d.driveState, 1u);
                continue;
            }
            EXPECT_EQ(d.driveState, m.state);
            EXPECT_EQ(Trim(d.SerialNumber()), m.serial);
            EXPECT_EQ(Trim(d.IdentityText1()), m.driveId);
            EXPECT_EQ(Trim(d.IdentityText2()), m.product);
            EXPECT_EQ(Trim(d.Vendor()), m.vendor);
            EXPECT_EQ(d.capacity, BlockCapacity(m.blocks - 1, 512));
        }
        for (int l = 0; l < 8; ++l) {
            const sim::LunModel& m = cab.luns[l];
            SCOPED_TRACE("LUN " + std::to_string(l));
            EXPECT_EQ(state.luns[l].Exists(), m.present);
            if (m.present) {
                EXPECT_EQ(state.luns[l].status, m.state);
                EXPECT_EQ(state.luns[l].capacity, BlockCapacity(m.blocks, 512));
            }
        }
        std::uint32_t missing = 0;
        for (const Missing_Drive& g : state.missing) {
            missing += g.Present() ? 1 : 0;
        }
        EXPECT_EQ(missing, cab.missing.size());
        EXPECT_EQ(state.hardware->values1,
                  std::vector<std::uint32_t>(cab.hardware1.begin(), cab.hardware1.end()));
        EXPECT_EQ(state.hardware->values2,
                  std::vector<std::uint32_t>(cab.hardware2.begin(), cab.hardware2.end()));
    }

    TempRoot root_;
    std::shared_ptr<sim::Simulator> sim_;
    DeviceRecord* list_ = nullptr;
    ScsiResult result_;
    std::unique_ptr<StorSys> stor_[2];
    FakeMonitor monitor_;
};

TEST_F(SimulatorStateTest, TheDefaultCabinetBuildsTheStateTheSimulatorHolds) {
    Start(sim::DefaultScenario::Build());
    ASSERT_NE(monitor_.slot[0], nullptr);
    ASSERT_NE(monitor_.slot[1], nullptr);
    ServerDiskArrayState state(monitor_);
    ASSERT_TRUE(state.Valid()) << static_cast<int>(state.FailedStep());
    ExpectMatches(state);
    EXPECT_TRUE(monitor_.notices.empty());
}

TEST_F(SimulatorStateTest, ShortDriveEntriesAreCompletedFromTheDrivesThemselves) {
    sim::WorldModel world = sim::DefaultScenario::Build();
    world.cabinets[0].shortDriveList = true;
    Start(std::move(world));
    ASSERT_NE(monitor_.slot[0], nullptr);
    {
        // The drive exchange starts with a data-out command; a simulator that
        // reports none of its bytes taken cannot carry it.
        const unsigned char inquiry[6] = {0x12, 0, 0, 0, 36, 0};
        ScsiResult probe;
        if (monitor_.slot[0]->SendRequestBlock(0, ScsiCommand::kDataIn, 0, 36, inquiry, 6, probe) ==
            0) {
            GTEST_SKIP() << "the simulator does not report the bytes a data-out command took";
        }
        unsigned char answer[36];
        monitor_.slot[0]->ExchangeReply(0, ScsiCommand::kDataIn, 36, answer, nullptr, probe);
    }
    ServerDiskArrayState state(monitor_);
    ASSERT_TRUE(state.Valid()) << static_cast<int>(state.FailedStep());
    const sim::WorldModel w = sim_->Snapshot();
    for (int s = 0; s < 12; ++s) {
        const sim::DriveModel& m = w.cabinets[0].drives[s];
        if (!m.present) {
            continue;
        }
        SCOPED_TRACE("slot " + std::to_string(s));
        EXPECT_EQ(Trim(state.drives[s].SerialNumber()), m.serial);
        EXPECT_EQ(Trim(state.drives[s].IdentityText2()), m.product);
        EXPECT_EQ(state.drives[s].capacity.blocks, m.blocks - 1);
    }
}

TEST_F(SimulatorStateTest, APulledDriveShowsInTheNextBuild) {
    Start(sim::DefaultScenario::Build());
    ASSERT_NE(monitor_.slot[0], nullptr);
    std::string answer;
    ASSERT_TRUE(sim_->Control("pull 0 A2", &answer)) << answer;
    ServerDiskArrayState state(monitor_);
    ASSERT_TRUE(state.Valid());
    EXPECT_EQ(state.drives[2].driveState, 1u);
    ExpectMatches(state);
}

TEST_F(SimulatorStateTest, AFailedPartnerIsUnavailableAndTheSubsystemHasConditions) {
    Start(sim::DefaultScenario::Build());
    ASSERT_NE(monitor_.slot[1], nullptr);
    std::string answer;
    ASSERT_TRUE(sim_->Control("fail-controller 0 Y", &answer)) << answer;
    ServerDiskArrayState state(monitor_);
    ASSERT_TRUE(state.Valid());
    EXPECT_EQ(state.controllers[1].statusExtra, 0xFFFFFFFFu);
    EXPECT_EQ(state.controllers[1].controllerStatus, 5u);
    EXPECT_EQ(state.subsystemState->SubsystemState(), 1u);
}

}  // namespace
