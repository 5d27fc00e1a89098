// The request dispatch and the subsystem-control handlers over in-process
// simulated cabinets: each request goes through the monitor and its task as
// a client's would, and the replies are read as the client reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MonitorRequestTest.h"
#include "RecordingClient.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/events/EventDistribution.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/task/TaskRequest.h"
#include "platform/Clock.h"

using devmgrtest::MonitorRequestTest;
using devmgrtest::PutBe32;
using devmgrtest::RecordingClient;
using devmgrtest::ReplyWords;

namespace {

constexpr int kLimitMs = 20000;

// Error codes, qualifiers and modules as the error table numbers them.
constexpr std::uint32_t kCommandFailed = 1, kGoodNoDas = 3, kPerfDataUnavailable = 13;
constexpr std::uint32_t kAlreadyShutdown = 3, kControllerAlreadyActive = 8,
                        kControllerNotPresent = 9, kDiagRunning = 13, kInvalidParameter = 26,
                        kNoRebuildInProgress = 32, kNoRebuildNeeded = 33,
                        kSubsystemNotShutdown = 47, kUnknownCommand = 51;
constexpr std::uint32_t kDeviceMgr = 4;

// A header-and-value request laid out word by word.
std::vector<unsigned char> Request(std::uint32_t code, std::uint32_t sequence, std::uint32_t v1 = 0,
                                   std::uint32_t v2 = 0, std::uint32_t v3 = 0,
                                   std::uint32_t version = 4) {
    std::vector<unsigned char> b;
    for (std::uint32_t w : {36u, version, code, sequence, 7u, v1, v2, v3, 0u}) {
        PutBe32(b, w);
    }
    return b;
}

// The set-alias request: header, two values, the text's count and the text
// padded to four bytes.
std::vector<unsigned char> AliasRequest(const std::string& text, std::uint32_t sequence) {
    std::vector<unsigned char> b;
    const std::uint32_t padded = (static_cast<std::uint32_t>(text.size()) + 3) / 4 * 4;
    for (std::uint32_t w :
         {32u + padded, 4u, 56u, sequence, 7u, 0u, 0u, static_cast<std::uint32_t>(text.size())}) {
        PutBe32(b, w);
    }
    b.insert(b.end(), text.begin(), text.end());
    b.resize(32 + padded, 0);
    return b;
}

class DispatchHandlersTest : public MonitorRequestTest {
  protected:
    void SetUp() override {
        // The handlers' fixed waits (two minutes after a restart) a thousand
        // times shorter in real time; the simulated controllers' clock moves
        // by exactly the time they wait, so the outcome never depends on how
        // fast the machine is.
        platform::SetTimeScale(1000);
        MonitorRequestTest::SetUp();
    }
    void BeforeManager() override { cabinets_->FollowSleeps(); }
    void TearDown() override {
        MonitorRequestTest::TearDown();
        platform::SetTimeScale(0);
    }

    // Sends one request as a client and returns its final reply.
    ReplyWords Run(const std::vector<unsigned char>& bytes) {
        Exchange exchange = Submit(bytes);
        last_ = exchange.replies;
        return exchange.words.empty() ? ReplyWords{} : exchange.words.back();
    }
    std::string Show() {
        std::string answer;
        cabinets_->Control("show", &answer);
        return answer;
    }
    // The first line of cabinet 0 ("cabinet 0 QX... state N active X ...").
    std::string CabinetLine() {
        std::string all = Show();
        return all.substr(0, all.find('\n'));
    }
    // Waits in steps of 250 simulated ms (each moves the simulated clock on).
    bool WaitForCabinet(const std::string& part) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            if (CabinetLine().find(part) != std::string::npos) {
                return true;
            }
            platform::SleepMs(250);
        }
        return false;
    }

    // Waits (with a limit) until done holds for the monitor, looked at
    // under the subsystem-in-use lock as its task leaves it.
    bool WaitForMonitor(const std::function<bool(OruLite&)>& done) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            manager_->LocksubSysInUse();
            const bool reached = done(*monitor_);
            manager_->ReleasesubSysInUse();
            if (reached) {
                return true;
            }
            platform::SleepMs(5);
        }
        return false;
    }
    // The monitor's result of a drive test of a slot in state.
    static bool HasResult(OruLite& monitor, std::uint32_t code, std::uint32_t slot,
                          std::uint32_t state) {
        for (unsigned short i = 0; i < monitor.commandResults.Size(); ++i) {
            const auto* diag = dynamic_cast<const DiagCommandResults*>(monitor.commandResults[i]);
            if (diag != nullptr && diag->code == code && diag->drive == slot &&
                diag->diagState == state) {
                return true;
            }
        }
        return false;
    }
    // Starts a write/read test of the spare in A4 over the whole drive.
    void StartWriteReadTestOfTheSpare(RecordingClient& client) {
        ASSERT_EQ(monitor_->SubmitMessage(&client, Request(43, 90, kSpare, 100)), 1);
        ASSERT_TRUE(client.WaitDone(1, kLimitMs));
        ExpectDoneWords(client.Words().back());
    }
    static void ExpectDoneWords(const ReplyWords& w) {
        EXPECT_EQ(w.kind, 1u);
        EXPECT_EQ(w.status, 1u);
    }
    std::string DriveLine(const char* name) {
        const std::string all = Show();
        const std::size_t at = all.find(std::string("  drive ") + name + " ");
        return at == std::string::npos ? "" : all.substr(at, all.find('\n', at) - at);
    }

    static constexpr std::uint32_t kSpare = 6;

    std::vector<std::vector<unsigned char>> last_;
};

void ExpectRefused(const ReplyWords& w, std::uint32_t errorCode, std::uint32_t qualifier,
                   std::uint32_t moduleId) {
    EXPECT_EQ(w.kind, 10u);
    EXPECT_EQ(w.status, 1u);
    EXPECT_EQ(w.errorCode, errorCode);
    EXPECT_EQ(w.qualifier, qualifier);
    EXPECT_EQ(w.moduleId, moduleId);
}

void ExpectDone(const ReplyWords& w) {
    EXPECT_EQ(w.kind, 1u);
    EXPECT_EQ(w.status, 1u);
    EXPECT_EQ(w.length, 24u);
}

TEST_F(DispatchHandlersTest, StateRequestIsReceivedStartedAndAnsweredWithTheFullState) {
    RecordingClient client;
    ASSERT_EQ(monitor_->SubmitMessage(&client, Request(12, 41)), 1);
    ASSERT_TRUE(client.WaitDone(1, kLimitMs));
    std::vector<ReplyWords> words = client.Words();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].status, 3u);
    EXPECT_EQ(words[1].status, 2u);
    EXPECT_EQ(words[2].kind, 5u);
    EXPECT_EQ(words[2].status, 1u);
    EXPECT_EQ(words[2].sequence, 41u);
    EXPECT_EQ(words[2].session, 7u);
    EXPECT_EQ(words[2].length, client.Replies()[2].size());
    EXPECT_GT(words[2].length, 1000u);
    EXPECT_FALSE(monitor_->StateInvalid());
}

TEST_F(DispatchHandlersTest, ReplyKeepsTheProtocolVersionOfItsRequest) {
    ReplyWords w = Run(Request(41, 3, 0, 0, 0, 3));
    EXPECT_EQ(w.version, 3u);
    ExpectDone(w);
}

TEST_F(DispatchHandlersTest, RefusedUnknownAndNotYetServedCodesAllGetUnknownCommand) {
    // 0, 45 and 60 are no requests.
    for (std::uint32_t code : {0u, 45u, 60u}) {
        SCOPED_TRACE(code);
        ExpectRefused(Run(Request(code, code)), kCommandFailed, kUnknownCommand, kDeviceMgr);
    }
    // The performance requests are served from the log; without one there
    // are no performance data.
    for (std::uint32_t code : {10u, 11u}) {
        SCOPED_TRACE(code);
        ExpectRefused(Run(Request(code, code)), kPerfDataUnavailable, 0, 0);
    }
}

TEST_F(DispatchHandlersTest, AClientCannotForgeTheContinuationMarkOfADriveTest) {
    for (std::uint32_t code : {43u, 44u}) {
        SCOPED_TRACE(code);
        ExpectRefused(Run(Request(code, 1, 3, 50, 1)), kCommandFailed, kInvalidParameter,
                      kDeviceMgr);
    }
}

TEST_F(DispatchHandlersTest, ShutdownTwiceIsRefusedAndRestartOnlyRunsWhenShutDown) {
    ExpectRefused(Run(Request(19, 1)), kCommandFailed, kSubsystemNotShutdown, kDeviceMgr);
    ExpectDone(Run(Request(38, 2)));
    ASSERT_TRUE(WaitForCabinet(" state 6 "));
    ExpectRefused(Run(Request(38, 3)), kCommandFailed, kAlreadyShutdown, kDeviceMgr);
    ExpectDone(Run(Request(19, 4)));
    EXPECT_NE(CabinetLine().find(" state 0 "), std::string::npos) << CabinetLine();
    // The state installed after the restart shows the subsystem running.
    ASSERT_NE(monitor_->CurrentState(), nullptr);
    ASSERT_TRUE(monitor_->CurrentState()->subsystemState.has_value());
    EXPECT_EQ(monitor_->CurrentState()->subsystemState->SubsystemState(), 0u);
}

TEST_F(DispatchHandlersTest, ControllerSwitchChecksTheNumberAndMovesTheActiveRole) {
    ASSERT_EQ(monitor_->ActiveController(), 0);
    ExpectRefused(Run(Request(36, 1, 2)), kCommandFailed, kControllerNotPresent, kDeviceMgr);
    ExpectRefused(Run(Request(36, 2, 0)), kCommandFailed, kControllerAlreadyActive, kDeviceMgr);
    ExpectDone(Run(Request(36, 3, 1)));
    EXPECT_NE(CabinetLine().find(" active Y "), std::string::npos) << CabinetLine();
    EXPECT_EQ(monitor_->ActiveController(), 1);
    ExpectRefused(Run(Request(36, 4, 1)), kCommandFailed, kControllerAlreadyActive, kDeviceMgr);
}

TEST_F(DispatchHandlersTest, SwitchToAnEmptySlotIsNoControllerRatherThanACrash) {
    std::string answer;
    ASSERT_TRUE(cabinets_->Control("remove-controller 0 Y", &answer)) << answer;
    // The monitor forgets the controller at the next rescan.
    manager_->Rescan(nullptr);
    {
        ResourceHold hold(manager_->SubsystemListLock());
        monitor_ = manager_->LocateOruLiteArray("QX0000000001");
    }
    ASSERT_NE(monitor_, nullptr);
    ExpectRefused(Run(Request(36, 1, 1)), kCommandFailed, kControllerNotPresent, kDeviceMgr);
}

TEST_F(DispatchHandlersTest, FormatArgumentBeyondOneByteIsRefusedBeforeAnyCommand) {
    // 256 would reach the controller as 0, a format of another kind.
    ExpectRefused(Run(Request(9, 1, 256)), kCommandFailed, kInvalidParameter, kDeviceMgr);
    EXPECT_NE(CabinetLine().find(" state 0 "), std::string::npos) << CabinetLine();
}

TEST_F(DispatchHandlersTest, FormatIsRefusedWhileAWriteReadTestRunsButNotForAVerify) {
    manager_->LocksubSysInUse();
    monitor_->DriveSlot(3).verifyState = 5;
    monitor_->DriveSlot(5).writeReadState = 5;
    manager_->ReleasesubSysInUse();
    ExpectRefused(Run(Request(9, 1, 0)), kCommandFailed, kDiagRunning, kDeviceMgr);
    manager_->LocksubSysInUse();
    monitor_->DriveSlot(5).writeReadState = 1;
    manager_->ReleasesubSysInUse();
    ExpectDone(Run(Request(9, 2, 0)));
    EXPECT_NE(CabinetLine().find(" state 14 "), std::string::npos) << CabinetLine();
}

TEST_F(DispatchHandlersTest, RebuildStartAndStopNeedSomethingToDo) {
    ExpectRefused(Run(Request(40, 1)), kCommandFailed, kNoRebuildInProgress, kDeviceMgr);
    ExpectRefused(Run(Request(39, 2)), kCommandFailed, kNoRebuildNeeded, kDeviceMgr);
}

TEST_F(DispatchHandlersTest, GrossStatusIsRefusedWhileTheLastStateReadFailed) {
    ReplyWords good = Run(Request(46, 1));
    EXPECT_EQ(good.kind, 100u);
    EXPECT_EQ(good.status, 1u);
    manager_->LocksubSysInUse();
    monitor_->SetStateInvalid(true);
    manager_->ReleasesubSysInUse();
    ExpectRefused(Run(Request(46, 2)), kGoodNoDas, 0, kDeviceMgr);
}

TEST_F(DispatchHandlersTest, CompareAndSwapTakesTheManagementLock) {
    ExpectDone(Run(Request(42, 1)));
    EXPECT_EQ(monitor_->SequenceFlag(), 1u);
}

TEST_F(DispatchHandlersTest, AliasIsCheckedPaddedAndWritten) {
    ExpectDone(Run(AliasRequest("NEW #1", 1)));
    EXPECT_NE(CabinetLine().find("alias \"NEW #1      \""), std::string::npos) << CabinetLine();
    ExpectDone(Run(AliasRequest("ABCDEFGHIJ._", 2)));
    EXPECT_NE(CabinetLine().find("alias \"ABCDEFGHIJ._\""), std::string::npos) << CabinetLine();
    for (const std::string& bad : {std::string("lower"), std::string("ABCDEFGHIJKLM"),
                                   std::string("A/B"), std::string("A\0B", 3)}) {
        SCOPED_TRACE(bad);
        ExpectRefused(Run(AliasRequest(bad, 3)), kCommandFailed, kInvalidParameter, kDeviceMgr);
    }
    // An alias that claims more text than arrived is refused as a whole.
    std::vector<unsigned char> lying = AliasRequest("ABCD", 4);
    lying[31] = 200;
    ReplyWords w = Run(lying);
    EXPECT_EQ(w.kind, 10u);
    EXPECT_EQ(w.errorCode, 9u);  // invalid length
    EXPECT_NE(CabinetLine().find("alias \"ABCDEFGHIJ._\""), std::string::npos) << CabinetLine();
}

TEST_F(DispatchHandlersTest, AlarmTestAndInitiateClientEventAnswerAlike) {
    ExpectDone(Run(Request(13, 1)));
    ExpectDone(Run(Request(41, 2)));
}

TEST_F(DispatchHandlersTest, EachDriveTestCountsOnceWhenItStarts) {
    ExpectDone(Run(Request(44, 80, 0, 1)));
    ASSERT_TRUE(WaitForMonitor([](OruLite& m) { return HasResult(m, 44, 0, 3); }));
    ExpectDone(Run(Request(44, 81, 1, 0)));  // no chunk to cover: ends at once
    ASSERT_TRUE(WaitForMonitor([](OruLite& m) { return HasResult(m, 44, 1, 3); }));
    manager_->LocksubSysInUse();
    EXPECT_EQ(monitor_->DiagnosticsRun().verifies, 2u);
    EXPECT_EQ(monitor_->DiagnosticsRun().writeReadTests, 0u);
    EXPECT_EQ(monitor_->commandsInProgress.Size(), 0u);
    manager_->ReleasesubSysInUse();
}

TEST_F(DispatchHandlersTest, AStateChangeEndsTheWriteReadTestOfADriveThatJoinedTheArray) {
    EventDistribution::Install();
    RecordingClient client;
    StartWriteReadTestOfTheSpare(client);
    manager_->LocksubSysInUse();
    // Between two steps a member fails and the controller rebuilds onto the
    // spare; the state read that follows tells the test.
    ASSERT_TRUE(cabinets_->Control("fail-drive 0 A1"));
    monitor_->RefreshState();
    EXPECT_EQ(monitor_->DriveSlot(kSpare).writeReadState, 6u);
    EXPECT_EQ(monitor_->DiagnosticsRun().writeReadTests, 1u);
    manager_->ReleasesubSysInUse();
    EXPECT_NE(DriveLine("A4").find(" state 3 "), std::string::npos) << DriveLine("A4");
    // Its next step publishes the end.
    EXPECT_TRUE(WaitForMonitor([](OruLite& m) {
        return HasResult(m, 43, kSpare, 6) && m.commandsInProgress.Size() == 0;
    }));
    EventDistribution::Uninstall();
}

TEST_F(DispatchHandlersTest, ThePreventiveCheckEndsTheWriteReadTestOfADriveThatJoinedTheArray) {
    RecordingClient client;
    StartWriteReadTestOfTheSpare(client);
    manager_->LocksubSysInUse();
    ASSERT_TRUE(cabinets_->Control("fail-drive 0 A1"));
    monitor_->RefreshState();  // no comparison installed: the state only
    EXPECT_EQ(monitor_->DriveSlot(kSpare).writeReadState, 5u);
    TaskRequest check;
    check.args[OL_ARG_INTERVAL] = 0;
    monitor_->PreventiveCheck(check);
    EXPECT_EQ(monitor_->DriveSlot(kSpare).writeReadState, 6u);
    manager_->ReleasesubSysInUse();
    EXPECT_TRUE(WaitForMonitor([](OruLite& m) { return HasResult(m, 43, kSpare, 6); }));
}

}  // namespace
