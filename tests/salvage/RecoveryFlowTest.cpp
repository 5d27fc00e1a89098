// dksalvage against simulated cabinets in each recovery state, in-process:
// what it shows, what it refuses, the menu, the volume-set command it sends
// (or does not send), and the state the cabinet is left in.
#include <gtest/gtest.h>

#include <algorithm>

#include "SalvageTestSupport.h"
#include "sim/RecoveryScenario.h"

namespace {

using namespace salvagetest;
using sim::RecoveryScenario;

const std::string kId = RecoveryScenario::kSerial;
const std::string kVolumeSetCommandDefault = "fa000000000000001000";

bool Sent(const std::vector<std::string>& cdbs, const std::string& prefix) {
    return std::any_of(cdbs.begin(), cdbs.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

class RecoveryFlowTest : public SalvageTest {};

TEST_F(RecoveryFlowTest, TheDefaultSetIsRecoveredAndFollowedToTheEnd) {
    Serve("needs-recovery");
    RunResult run = Run({"-p", "-c", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(202, 26)), std::string::npos);
    const std::vector<int> progress = Progress(run.out);
    EXPECT_GE(progress.size(), 2u);
    EXPECT_TRUE(Rising(progress));
    // Without -C each progress line starts over on the same line.
    EXPECT_NE(run.out.find("\r" + Mark(202, 19)), std::string::npos);
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), kVolumeSetCommandDefault));

    const sim::CabinetModel cab = Cabinet();
    EXPECT_EQ(cab.state, sim::kSubsysReady);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(cab.drives[slot].state, sim::kDriveMember) << slot;
    }
    EXPECT_EQ(cab.volumeSetId, RecoveryScenario::kSetA);
    EXPECT_TRUE(cab.operations.empty());
}

TEST_F(RecoveryFlowTest, StatusFollowsWorkAlreadyRunning) {
    Serve("in-progress");
    RunResult run = Run({"-s", "-C", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(202, 20)), std::string::npos);
    EXPECT_NE(run.out.find("\n" + Mark(202, 19)), std::string::npos);
    // The last report: nothing left to do.
    EXPECT_NE(run.out.rfind(Mark(202, 1)), std::string::npos);
    EXPECT_GT(run.out.rfind(Mark(202, 1)), run.out.rfind(Mark(202, 19)));
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
    EXPECT_EQ(Cabinet().state, sim::kSubsysReady);
}

TEST_F(RecoveryFlowTest, SeveralSetsNeedAChoice) {
    Serve("several-sets");
    RunResult run = Run({"-p", kId});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(Mark(201, 22)), std::string::npos);
    EXPECT_EQ(Count(run.out, Mark(202, 3)), 2u);
    EXPECT_NE(
        run.out.find("SALVAGE-VOLSET-B" + Mark(202, 4) + " : drives " + Mark(202, 7) + " A3, " +
                     Mark(202, 13) + " B3, " + Mark(202, 8) + " A4, " + Mark(202, 14) + " B4\n"),
        std::string::npos)
        << run.out;
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));

    RunResult chosen = Run({"-v", RecoveryScenario::kSetB, "-c", kId});
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_NE(chosen.out.find(Mark(202, 27) + " Telling the array to recover volume set " +
                              RecoveryScenario::kSetB),
              std::string::npos);
    const sim::CabinetModel cab = Cabinet();
    EXPECT_EQ(cab.drives[0].state, sim::kDriveForeign);
    EXPECT_EQ(cab.drives[4].state, sim::kDriveMember);
    EXPECT_EQ(cab.volumeSetId, RecoveryScenario::kSetB);
}

TEST_F(RecoveryFlowTest, AnUnknownSetIsRefusedUnlessOverridden) {
    Serve("needs-recovery");
    RunResult run = Run({"-v", "NOT-A-VOLUMESET", kId});
    // 15 characters: a usage fault.
    EXPECT_EQ(run.exitCode, 2);
    run = Run({"-v", "NOT-A-VOLUME-SET", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 23) + " The array holds no volume set \"NOT-A-VOLUME-SET\""),
              std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 3)), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));

    // Overridden, the id goes to the controller, which refuses it: the
    // failure is printed and the state shown again.
    RunResult forced = Run({"-v", "NOT-A-VOLUME-SET", "-override", kId});
    EXPECT_EQ(forced.exitCode, 1);
    EXPECT_EQ(Count(forced.out, Mark(201, 37)), 2u);  // unknown id, then not a valid choice
    EXPECT_NE(forced.err.find(Mark(9, 150)), std::string::npos);
    EXPECT_NE(forced.out.find(Mark(203, 204)), std::string::npos);
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), "fa"));
    EXPECT_EQ(Cabinet().state, sim::kSubsysNeedsRecovery);
}

TEST_F(RecoveryFlowTest, AHealthyArrayGetsNothingUnlessOverridden) {
    Serve("healthy");
    RunResult run = Run({"-p", kId});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(Mark(202, 1)), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));

    RunResult forced = Run({"-p", "-override", "-c", kId});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_NE(
        forced.out.find(Mark(201, 37) + " Going on although dksalvage would have stopped here "
                                        "(exit code 0)."),
        std::string::npos);
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), kVolumeSetCommandDefault));
    // A ready array takes the command as a parity scan, followed to its end.
    EXPECT_FALSE(Progress(forced.out).empty());
}

TEST_F(RecoveryFlowTest, AParityScanWithoutOverrideAsksInTheMenu) {
    Serve("parity-scan");
    RunResult run = Run({"-t", kId}, "0\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(202, 28)), std::string::npos);
    // Drives in state 0 are offered as choice 0; there is no further set.
    EXPECT_NE(run.out.find("  0) " + Mark(202, 29) + " Drives in state 0, volume set " +
                           RecoveryScenario::kSetA),
              std::string::npos);
    EXPECT_NE(run.out.find("  1) " + Mark(202, 22)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 23) + " Your choice [0-1] "), std::string::npos);
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), kVolumeSetCommandDefault));
}

TEST_F(RecoveryFlowTest, SevereConditionsStopTheRecovery) {
    Serve("severe");
    RunResult run = Run({"-p", kId});
    EXPECT_EQ(run.exitCode, 1);
    const auto heading = run.out.find(Mark(203, 2));
    const auto f101 = run.out.find(Mark(203, 101));
    const auto f107 = run.out.find(Mark(203, 107));
    ASSERT_NE(heading, std::string::npos);
    EXPECT_LT(heading, f101);
    EXPECT_LT(f101, f107);
    for (int item : {100, 105, 120, 123}) {
        EXPECT_NE(run.out.find(Mark(201, item)), std::string::npos) << item;
    }
    EXPECT_NE(run.out.find(Mark(201, 34)), std::string::npos);  // the log count
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
}

TEST_F(RecoveryFlowTest, OtherConditionsAskForAChoice) {
    Serve("conditions");
    // Nobody answers the menu: nothing is sent.
    RunResult none = Run({"-p", kId});
    EXPECT_EQ(none.exitCode, 1);
    for (int item : {110, 114, 120}) {
        EXPECT_NE(none.out.find(Mark(201, item)), std::string::npos) << item;
    }
    EXPECT_NE(none.out.find(Mark(203, 109)), std::string::npos);
    EXPECT_NE(none.out.find(Mark(203, 119)), std::string::npos);
    EXPECT_NE(none.out.find(Mark(202, 28)), std::string::npos);
    EXPECT_NE(none.err.find(Mark(201, 38)), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));

    RunResult chosen = Run({"-p", kId}, "1\n");
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), "fa"));
    // The conditions are shown again once the work is done.
    EXPECT_GT(Count(chosen.out, Mark(203, 109)), 1u);
}

TEST_F(RecoveryFlowTest, AStoppedRecoveryIsNotStartedAgain) {
    Serve("recovery-stopped");
    // An answer the menu would take (the default set) waits on standard
    // input: the run still ends before any menu, and nothing is sent.
    RunResult run = Run({"-p", kId}, "0\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find(Mark(203, 113)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(201, 130)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(201, 135)), std::string::npos);
    EXPECT_EQ(run.out.find(Mark(202, 23)), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
    const sim::CabinetModel cab = Cabinet();
    EXPECT_EQ(cab.state, sim::kSubsysNeedsRecovery);
    EXPECT_TRUE(cab.operations.empty());
}

TEST_F(RecoveryFlowTest, TheMenuRepeatsUntilAChoiceFits) {
    Serve("needs-recovery");
    RunResult run = Run({kId}, "x\n9\n\n 1 \n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Count(run.out, Mark(202, 24)), 3u);
    EXPECT_EQ(Count(run.out, Mark(202, 23) + " Your choice [0-2] "), 4u);
    EXPECT_NE(run.out.find("  0) " + Mark(202, 21)), std::string::npos);
    EXPECT_NE(run.out.find("  1) " + Mark(202, 3) + " Volume set SALVAGE-VOLSET-A"),
              std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 27)), std::string::npos);
    EXPECT_FALSE(Progress(run.out).empty());  // the interactive mode follows the work
}

TEST_F(RecoveryFlowTest, QuittingTheMenuSendsNothing) {
    Serve("needs-recovery");
    RunResult run = Run({kId}, "2\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(Mark(202, 25)), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
}

TEST_F(RecoveryFlowTest, DrivesInStateZeroAreTheDefaultSet) {
    Serve("unassigned");
    RunResult run = Run({kId}, "0\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  0) " + Mark(202, 29) + " Drives in state 0, volume set " +
                           RecoveryScenario::kSetHome + Mark(202, 4) + " : drives " + Mark(202, 7) +
                           " A3"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  1) " + Mark(202, 3)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 26)), std::string::npos);
    const sim::CabinetModel cab = Cabinet();
    EXPECT_EQ(cab.volumeSetId, RecoveryScenario::kSetHome);
    EXPECT_EQ(cab.drives[4].state, sim::kDriveMember);
    EXPECT_EQ(cab.drives[0].state, sim::kDriveForeign);
}

TEST_F(RecoveryFlowTest, NineSetsAndTheQuitChoiceTen) {
    Serve("needs-recovery", [](sim::WorldModel& w) {
        auto& drives = w.cabinets[0].drives;
        for (int s = 0; s < 9; ++s) {
            drives[s] = drives[0];
            drives[s].volumeSetId = "SALVAGE-VOLSET-" + std::to_string(s + 1);
        }
    });
    RunResult run = Run({kId}, "10\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(" 10) " + Mark(202, 22)), std::string::npos);
    EXPECT_NE(run.out.find(Mark(202, 25)), std::string::npos);
}

TEST_F(RecoveryFlowTest, DebugSendsNothingAndTracesTheProcedures) {
    Serve("needs-recovery");
    RunResult run = Run({"-debug", "-p", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(202, 26)), std::string::npos);
    EXPECT_NE(run.out.find("\ndksalvage: In function Recover\n"), std::string::npos);
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
    EXPECT_EQ(Cabinet().state, sim::kSubsysNeedsRecovery);
}

TEST_F(RecoveryFlowTest, OldControllersAreRefusedUnlessOverridden) {
    Serve("old-firmware");
    RunResult run = Run({"-p", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, Mark(201, 36) +
                           " Array QXSALVAGE001 has controllers older than revision "
                           "3, which dksalvage cannot recover (-override tries "
                           "anyway).\n");
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "fa"));
    RunResult forced = Run({"-p", "-override", kId});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), "fa"));
}

TEST_F(RecoveryFlowTest, OnlyTheWholeTwelveCharacterIdMatches) {
    Serve("needs-recovery");
    for (const std::string id : {"QXSALVAGE00", "QXSALVAGE0011", "qxsalvage001"}) {
        RunResult run = Run({"-s", id});
        EXPECT_EQ(run.exitCode, 1) << id;
        EXPECT_NE(run.err.find(Mark(201, 20)), std::string::npos) << id;
    }
}

TEST_F(RecoveryFlowTest, TheActiveControllerIsTakenWhereverItIsFound) {
    Serve("needs-recovery", [](sim::WorldModel& w) { w.cabinets[0].activeSlot = 1; });
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Sent(Cdbs("STROVANE1"), "f2"));
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "f2"));
}

TEST_F(RecoveryFlowTest, WithoutAnActiveControllerTheFirstFoundIsTaken) {
    // The active controller is missing; the one that is there does not
    // report the active bit.
    Serve("needs-recovery", [](sim::WorldModel& w) {
        w.cabinets[0].activeSlot = 1;
        w.cabinets[0].controllers[1].present = false;
    });
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(201, 34) + " 4 records"), std::string::npos);
    EXPECT_TRUE(Sent(Cdbs("STROVANE0"), "f2"));
    EXPECT_FALSE(Sent(Cdbs("STROVANE1"), "f2"));
}

TEST_F(RecoveryFlowTest, AnIdThatTwoCabinetsAnswerToTakesNeither) {
    // Two cabinets answer to the same id, each with one controller that is
    // not the other's partner: either may be the wrong array.
    Serve("needs-recovery", [](sim::WorldModel& w) {
        sim::CabinetModel& first = w.cabinets[0];
        first.activeSlot = 1;
        first.controllers[1].present = false;
        sim::CabinetModel second = first;
        second.controllers[0].serial = "SALVAGECTLX00002";
        second.controllerLog.clear();
        w.cabinets.push_back(second);
        w.paths[1].cabinet = 1;
        w.paths[1].controller = 0;
    });
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 40)), std::string::npos) << run.err;
    EXPECT_FALSE(Sent(Cdbs("STROVANE0"), "f2"));
    EXPECT_FALSE(Sent(Cdbs("STROVANE1"), "f2"));
}

TEST_F(RecoveryFlowTest, AnUnsetHalfHidesTheDrive) {
    Serve("needs-recovery", [](sim::WorldModel& w) {
        w.cabinets[0].drives[0].volumeSetId = "       0SETHALF1";
        w.cabinets[0].drives[1].volumeSetId = "SETHALF2       0";
    });
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.out, Mark(202, 3)), 1u);
    EXPECT_NE(run.out.find("SALVAGE-VOLSET-A" + Mark(202, 4) + " : drives " + Mark(202, 6) +
                           " A2, " + Mark(202, 12) + " B2\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("SETHALF"), std::string::npos);
}

}  // namespace
