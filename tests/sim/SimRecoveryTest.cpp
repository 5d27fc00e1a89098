// The recovery side of the simulated controller: the volume-set command in
// a cabinet that needs recovery and in a ready one, the busy flag and the
// progress page while the work runs, what its end leaves, the refusals, and
// the scenarios strovsim starts in each recovery state.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/RecoveryRules.h"
#include "sim/RecoveryScenario.h"
#include "sim/StrovsimTexts.h"

using namespace simtest;
using sim::RecoveryScenario;
using sim::SimDirection;

namespace {

class SimRecovery : public ::testing::Test {
  protected:
    void Load(const std::string& scenario) {
        sim::WorldModel world;
        ASSERT_TRUE(RecoveryScenario::Build(scenario, &world));
        world.timeScale = 1e-9;  // time moves only when the test says so
        sim = std::make_shared<sim::Simulator>(std::move(world), "");
    }
    sim::SimReply Name(const std::string& id) {
        return Send(*sim, "STROVANE0", session, {0xFA, 0, 0, 0, 0, 0, 0, 0, 0x10, 0},
                    SimDirection::kOut, 0, Text(id));
    }
    Bytes StateBlock() {
        return Send(*sim, "STROVANE0", session, {0x20, 0, 0, 0, 0, 0, 0, 0, 0x20, 0},
                    SimDirection::kIn, 32)
            .dataIn;
    }
    // Page 0x22 bytes 21 (bit 0: running) and 22 (percent).
    std::pair<int, int> Progress() {
        auto page = Send(*sim, "STROVANE0", session, {0x5A, 0x08, 0x22, 0, 0, 0, 0, 0, 0x2A, 0},
                         SimDirection::kIn, 42)
                        .dataIn;
        return {page[21] & 1, page[22]};
    }
    void Advance(std::uint64_t ms) { sim->Advance(ms); }
    static std::uint16_t VendorCode(const sim::SimReply& r) {
        return static_cast<std::uint16_t>((r.sense[19] << 8) | r.sense[20]);
    }

    std::shared_ptr<sim::Simulator> sim;
    sim::SessionContext session;
};

TEST_F(SimRecovery, ANamedSetIsRecoveredOverTime) {
    Load("several-sets");
    EXPECT_EQ(StateBlock()[1], 4);
    ASSERT_EQ(Name(RecoveryScenario::kSetB).status, 0);
    // Busy for its first seconds, then progress; the state stays 4 meanwhile.
    EXPECT_EQ(StateBlock()[3] & 0x02, 0x02);
    EXPECT_EQ(Progress(), std::make_pair(1, 0));
    Advance(sim::RecoveryRules::kBusyMs);
    EXPECT_EQ(StateBlock()[3] & 0x02, 0);
    Advance(sim::RecoveryRules::kRecoveryMs / 2 - sim::RecoveryRules::kBusyMs);
    EXPECT_EQ(Progress(), std::make_pair(1, 50));
    EXPECT_EQ(StateBlock()[1], 4);
    EXPECT_EQ(StateBlock()[25], 1);  // state changing
    Advance(sim::RecoveryRules::kRecoveryMs / 2);
    EXPECT_EQ(Progress(), std::make_pair(0, 0));
    const sim::CabinetModel cab = sim->Snapshot().cabinets[0];
    EXPECT_EQ(cab.state, sim::kSubsysReady);
    EXPECT_EQ(cab.volumeSetId, RecoveryScenario::kSetB);
    EXPECT_EQ(cab.drives[0].state, sim::kDriveForeign);
    EXPECT_EQ(cab.drives[4].state, sim::kDriveMember);
}

TEST_F(SimRecovery, TheDefaultNamesTheOnlySetOrTheDrivesInStateZero) {
    Load("needs-recovery");
    ASSERT_EQ(Name(std::string(16, 'F')).status, 0);
    EXPECT_EQ(sim->Snapshot().cabinets[0].volumeSetId, RecoveryScenario::kSetA);

    Load("unassigned");
    ASSERT_EQ(Name(std::string(16, 'F')).status, 0);
    EXPECT_EQ(sim->Snapshot().cabinets[0].volumeSetId, RecoveryScenario::kSetHome);
}

TEST_F(SimRecovery, WhatCannotBeRecoveredIsRefused) {
    Load("several-sets");
    // The default is ambiguous with two sets; a set no drive carries is unknown.
    for (const std::string& id : {std::string(16, 'F'), std::string("NO-SUCH-VOLSET-X")}) {
        auto refused = Name(id);
        EXPECT_EQ(refused.status, sim::kStatusCheckCondition) << id;
        EXPECT_EQ(refused.sense[12], 0x26);
        EXPECT_EQ(refused.sense[13], 0x02);
    }
    EXPECT_TRUE(sim->Snapshot().cabinets[0].operations.empty());
    // While one recovery runs, the controller is busy for another.
    ASSERT_EQ(Name(RecoveryScenario::kSetA).status, 0);
    auto busy = Name(RecoveryScenario::kSetB);
    EXPECT_EQ(VendorCode(busy), sim::RecoveryRules::kCodeControllerBusy);
    EXPECT_EQ(sim->Snapshot().cabinets[0].volumeSetId, RecoveryScenario::kSetA);
}

TEST_F(SimRecovery, AReadyCabinetScansItsParity) {
    Load("parity-scan");
    EXPECT_EQ(StateBlock()[3] & 0x10, 0x10);
    ASSERT_EQ(Name(std::string(16, 'F')).status, 0);
    Advance(sim::RecoveryRules::kParityScanMs / 3);
    EXPECT_EQ(Progress(), std::make_pair(1, 34));  // a third done, rounded up
    EXPECT_EQ(StateBlock()[3] & 0x10, 0x10);
    Advance(sim::RecoveryRules::kParityScanMs);
    EXPECT_EQ(Progress().first, 0);
    EXPECT_EQ(StateBlock()[3] & 0x10, 0);
    EXPECT_EQ(StateBlock()[1], 0);
}

TEST_F(SimRecovery, TheScenariosLogHoldsOneRecordOfEachKind) {
    Load("needs-recovery");
    // docs/controller-interface.md 11.5.
    const std::vector<Bytes> expected = {
        {0x00, 0x00, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x66, 0x01, 0x02, 0x03, 0x11, 0x00, 0x00,
         0x01, 0xE2, 0x40},
        {0x01, 0x00, 0x00, 0x00, 0x05, 0xDC, 0x00, 0x00, 0x9C, 0x01, 0x01, 0x82, 0x00, 0x00},
        {0x01, 0x00, 0x00, 0x00, 0x06, 0x40, 0x00, 0x00, 0x9D, 0x02, 0x00, 0x83, 0x12, 0x34},
        Cat({{0x02, 0x00, 0x00, 0x00, 0x07, 0xD0, 0x00, 0x00, 0xC8, 0x01, 0x05, 0x00},
             Text("CONFIG-CHANGE-01")}),
    };
    EXPECT_EQ(sim->Snapshot().cabinets[0].controllerLog, expected);
    auto head =
        Send(*sim, "STROVANE0", session, {0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, SimDirection::kIn, 3);
    EXPECT_EQ(head.dataIn, Bytes({0x01, 0x00, 0x4A}));
}

TEST_F(SimRecovery, EveryScenarioStartsInItsState) {
    struct Expected {
        const char* name;
        int state;
        std::uint8_t flags[3];
        std::uint8_t level;
    };
    const Expected expected[] = {
        {"needs-recovery", 4, {0, 0, 0}, 3},      {"several-sets", 4, {0, 0, 0}, 3},
        {"unassigned", 4, {0, 0, 0}, 3},          {"parity-scan", 0, {0x10, 0, 0}, 3},
        {"severe", 4, {0, 0, 0x41}, 3},           {"conditions", 4, {0x04, 0x01, 0}, 3},
        {"recovery-stopped", 4, {0, 0x10, 0}, 3}, {"in-progress", 4, {0x02, 0, 0}, 3},
        {"old-firmware", 4, {0, 0, 0}, 2},        {"healthy", 0, {0, 0, 0}, 3},
    };
    ASSERT_EQ(RecoveryScenario::Names().size(), std::size(expected));
    const std::string usage = sim::Text(sim::StrovsimText::kUsage);
    for (const Expected& e : expected) {
        Load(e.name);
        const Bytes block = StateBlock();
        EXPECT_EQ(block[1], e.state) << e.name;
        EXPECT_EQ(block[3], e.flags[0]) << e.name;
        EXPECT_EQ(block[4], e.flags[1]) << e.name;
        EXPECT_EQ(block[5], e.flags[2]) << e.name;
        const sim::CabinetModel cab = sim->Snapshot().cabinets[0];
        EXPECT_EQ(cab.serial, RecoveryScenario::kSerial);
        EXPECT_EQ(cab.controllers[0].formatLevel, e.level) << e.name;
        EXPECT_EQ(cab.controllerLog.size(), 4u) << e.name;
        EXPECT_NE(usage.find(e.name), std::string::npos) << e.name;
    }
    sim::WorldModel none;
    EXPECT_FALSE(RecoveryScenario::Build("no-such-state", &none));
}

}  // namespace
