// Management requests end to end (the fixture is RequestFixture.h): the
// state request, the gross status and the subsystem-control requests.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "RequestFixture.h"
#include "client/Session.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

namespace netsrvtest {
namespace {

constexpr std::uint32_t kCommandFailed = 1, kCancelled = 4;
constexpr std::uint32_t kAlreadyShutdown = 3, kControllerAlreadyActive = 8,
                        kControllerNotPresent = 9, kInvalidParameter = 26, kUnknownCommand = 51;
constexpr std::uint32_t kDeviceMgr = 4;

// Slot index of a slot name (A1 0, B1 1, A2 2, ...).
int SlotOf(const std::string& name) {
    return (name[1] - '1') * 2 + (name[0] == 'B' ? 1 : 0);
}

std::uint32_t WordAfter(const std::string& line, const std::string& label) {
    std::size_t at = line.find(" " + label + " ");
    return at == std::string::npos
               ? 0xFFFFFFFFu
               : static_cast<std::uint32_t>(std::stoul(line.substr(at + label.size() + 2)));
}

TEST_F(DispatchEndToEndTest, StateRequestReturnsTheFullStateAndUpdatesTheClientsCopy) {
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    CommandHandle handle = array->GetState();
    Outcome outcome = Run(*array, handle);
    EXPECT_EQ(outcome.statuses, (std::vector<std::uint32_t>{3, 2, 1}));
    EXPECT_EQ(outcome.kind, RMT_STATE_MSG);

    // The client's own copy now says what the simulator holds.
    const DiskArrayState& state = *array->GetStatePtr();
    std::vector<std::string> cabinet = Cabinet(0);
    ASSERT_FALSE(cabinet.empty());
    EXPECT_EQ(state.ValidStateData(), 1u);
    EXPECT_STREQ(state.serialNumber, "QX0000000001");
    EXPECT_NE(cabinet[0].find(std::string("alias \"") + state.aliasName + "\""), std::string::npos)
        << cabinet[0] << " / " << state.aliasName;
    ASSERT_TRUE(state.subsystemState.has_value());
    EXPECT_EQ(state.subsystemState->SubsystemState(), WordAfter(cabinet[0], "state"));
    ASSERT_EQ(state.ControllerCount(), 2u);
    EXPECT_EQ(state.controllers[0].active, 1u);
    EXPECT_EQ(state.controllers[1].active, 0u);
    ASSERT_EQ(state.DriveCount(), 12u);
    std::set<int> listed;
    std::uint32_t luns = 0;
    for (const std::string& line : cabinet) {
        if (line.rfind("  drive ", 0) == 0) {
            int slot = SlotOf(line.substr(8, 2));
            listed.insert(slot);
            EXPECT_EQ(state.drives[slot].driveState, WordAfter(line, "state")) << line;
        } else if (line.rfind("  lun ", 0) == 0) {
            ++luns;
        }
    }
    for (int slot = 0; slot < 12; ++slot) {
        if (listed.count(slot) == 0) {
            EXPECT_EQ(state.drives[slot].driveState, 1u) << slot;  // no drive
        }
    }
    std::uint32_t present = 0;
    for (const LUN& lun : state.luns) {
        present += lun.status != 0 ? 1 : 0;
    }
    EXPECT_EQ(present, luns);
}

TEST_F(DispatchEndToEndTest, PlainRequestIsReceivedStartedAndFinished) {
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    Outcome outcome = Run(*array, array->TestAlarmMessage());
    EXPECT_EQ(outcome.statuses, (std::vector<std::uint32_t>{3, 2, 1}));
    ExpectDone(outcome);
}

TEST_F(DispatchEndToEndTest, GrossStatusTravelsByDatagram) {
    OruSubsystem* subsystem = Subsystem("QX0000000002");
    ASSERT_NE(subsystem, nullptr);
    qen_->RequestGrossStatus(*subsystem);
    GrossStatusPollMsg* gross = nullptr;
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (gross == nullptr && platform::MonotonicMs() < end) {
        PollMsg* result = qen_->PollQEN();
        if (result == nullptr) {
            platform::SleepMs(5);
            continue;
        }
        gross = dynamic_cast<GrossStatusPollMsg*>(result);
        ASSERT_NE(gross, nullptr) << "reply kind " << result->kind;
    }
    ASSERT_NE(gross, nullptr);
    EXPECT_EQ(gross->kind, RMT_GROSSSTATUS_MSG);
    EXPECT_EQ(gross->status, 1u);
    EXPECT_EQ(gross->subsystem, subsystem);
    EXPECT_NE(gross->grossStatus, nullptr);
}

TEST_F(DispatchEndToEndTest, ShutdownThenRestartBringsTheArrayBack) {
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    ExpectDone(Run(*array, array->ShutdownSubsystem()));
    // A shutdown takes the controllers 5 simulated seconds.
    ASSERT_EQ(Strovsim({"advance", "5000"}), 0);
    ASSERT_NE(Cabinet(0).at(0).find(" state 6 "), std::string::npos);
    ExpectRefused(Run(*array, array->ShutdownSubsystem()), kCommandFailed, kAlreadyShutdown,
                  kDeviceMgr);
    // The controllers come up 20 simulated seconds after the restart; they
    // pass as soon as the cabinet shows the restart, while the service polls.
    const CommandHandle restart = array->RestartSubsystem();
    ASSERT_TRUE(WaitForCabinet(0, " state 7 "));
    ASSERT_EQ(Strovsim({"advance", "20000"}), 0);
    ExpectDone(Run(*array, restart));
    EXPECT_NE(Cabinet(0).at(0).find(" state 0 "), std::string::npos);
    Outcome state = Run(*array, array->GetState());
    EXPECT_EQ(state.kind, RMT_STATE_MSG);
    ASSERT_TRUE(array->GetStatePtr()->subsystemState.has_value());
    EXPECT_EQ(array->GetStatePtr()->subsystemState->SubsystemState(), 0u);
}

TEST_F(DispatchEndToEndTest, ControllerSwitchMovesTheActiveRole) {
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    ExpectRefused(Run(*array, array->SetPrimaryController(2)), kCommandFailed,
                  kControllerNotPresent, kDeviceMgr);
    ExpectRefused(Run(*array, array->SetPrimaryController(0)), kCommandFailed,
                  kControllerAlreadyActive, kDeviceMgr);
    ExpectDone(Run(*array, array->SetPrimaryController(1)));
    EXPECT_TRUE(WaitForCabinet(0, " active Y "));
    ASSERT_EQ(Run(*array, array->GetState()).kind, RMT_STATE_MSG);
    const DiskArrayState& state = *array->GetStatePtr();
    ASSERT_EQ(state.ControllerCount(), 2u);
    EXPECT_EQ(state.controllers[0].active, 0u);
    EXPECT_EQ(state.controllers[1].active, 1u);
}

TEST_F(DispatchEndToEndTest, CancelCatchesARequestQueuedBehindALongOne) {
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    // The switch waits for the controller (1.2 s here); the state request
    // queues behind it and the cancel overtakes both.
    CommandHandle slow = array->SetPrimaryController(1);
    CommandHandle victim = array->GetState();
    CommandHandle cancel = array->Cancel_Command(victim);
    std::map<HandleKey, Outcome> outcomes = Await(*array, {slow, victim, cancel});
    ExpectDone(outcomes[Key(slow)]);
    ExpectRefused(outcomes[Key(victim)], kCancelled, 0, kDeviceMgr);
    ExpectDone(outcomes[Key(cancel)]);
}

TEST_F(DispatchEndToEndTest, UnknownCodesAndBadValuesGetTheirErrorReplies) {
    OruSubsystem* subsystem = Subsystem("QX0000000001");
    ASSERT_NE(subsystem, nullptr);
    auto* session = new Session(QEN::kRevision);
    ASSERT_EQ(session->Connect(subsystem), SESS_SUCCESS);
    RawArray array(subsystem->ServerName(), subsystem->SerialNumber(), session);
    for (std::uint32_t code : {0u, 45u, 60u, 1000u}) {
        SCOPED_TRACE(code);
        ExpectRefused(Run(array, array.Send(code)), kCommandFailed, kUnknownCommand, kDeviceMgr);
    }
    // The continuation mark is the service's own; a format argument must fit
    // the command's byte.
    ExpectRefused(Run(array, array.Send(44, 2, 10, 1)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
    ExpectRefused(Run(array, array.Send(9, 256)), kCommandFailed, kInvalidParameter, kDeviceMgr);
    // The session is still served.
    EXPECT_EQ(Run(array, array.Send(12)).kind, RMT_STATE_MSG);
}

TEST_F(DispatchEndToEndTest, ClientThatLeavesWithRequestsInFlightHarmsNobody) {
    DiskArray* leaving = Connect();
    ASSERT_NE(leaving, nullptr);
    leaving->SetPrimaryController(1);
    leaving->GetState();
    leaving->TestAlarmMessage();
    qen_->DisConnect(leaving);

    // The switch still runs; another client is served meanwhile and after.
    DiskArray* other = Connect();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Run(*other, other->GetState()).kind, RMT_STATE_MSG);
    EXPECT_TRUE(WaitForCabinet(0, " active Y "));
    ExpectDone(Run(*other, other->TestAlarmMessage()));
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(DispatchEndToEndTest, FormatRunsOverTimeAndEnds) {
    DiskArray* array = Connect("QX0000000002");
    ASSERT_NE(array, nullptr);
    ExpectDone(Run(*array, array->FormatSubsystem(0)));
    // A format takes 60 simulated seconds: formatting for the first six
    // looks 10 s apart, ready at the seventh.
    std::vector<std::uint32_t> states;
    for (int look = 0; look < 7; ++look) {
        ASSERT_EQ(Run(*array, array->GetState()).kind, RMT_STATE_MSG);
        ASSERT_TRUE(array->GetStatePtr()->subsystemState.has_value());
        states.push_back(array->GetStatePtr()->subsystemState->SubsystemState());
        ASSERT_EQ(Strovsim({"advance", "10000"}), 0);
    }
    EXPECT_EQ(states, (std::vector<std::uint32_t>{14, 14, 14, 14, 14, 14, 0}));
    // A format leaves no logical units.
    for (const LUN& lun : array->GetStatePtr()->luns) {
        EXPECT_EQ(lun.status, 0u);
    }
}

TEST_F(DispatchEndToEndTest, RebuildStopsResumesAndProgressesToTheEnd) {
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A1"}), 0);
    DiskArray* array = Connect();
    ASSERT_NE(array, nullptr);
    // The controller started rebuilding onto its spare by itself.
    ExpectDone(Run(*array, array->StopRebuildOperation()));
    ExpectRefused(Run(*array, array->StopRebuildOperation()), kCommandFailed, 32, kDeviceMgr);
    ExpectDone(Run(*array, array->StartRebuildOperation()));
    // A rebuild takes 120 simulated seconds; looks 30 s apart see it grow.
    std::vector<std::uint32_t> progress;
    bool rebuilding = true;
    for (int look = 0; look < 10 && rebuilding; ++look) {
        ASSERT_EQ(Run(*array, array->GetState()).kind, RMT_STATE_MSG);
        const DiskArrayState& state = *array->GetStatePtr();
        ASSERT_TRUE(state.modeSubsystem.has_value());
        rebuilding = state.modeSubsystem->rebuild_in_progress != 0;
        if (rebuilding) {
            progress.push_back(state.modeSubsystem->rebuild_progress);
        }
        ASSERT_EQ(Strovsim({"advance", "30000"}), 0);
    }
    EXPECT_FALSE(rebuilding);
    EXPECT_EQ(progress, (std::vector<std::uint32_t>{0, 25, 50, 75}));
    // The spare in A4 is a member now.
    EXPECT_EQ(array->GetStatePtr()->drives[6].driveState, 0u);
}

}  // namespace
}  // namespace netsrvtest
