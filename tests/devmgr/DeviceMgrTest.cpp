// The device manager over in-process simulated cabinets: grouping, task
// placement, the subsystem table, rescans, failover, messages, cancels, the
// heartbeat and the stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "InProcessCabinets.h"
#include "RecordingClient.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/task/ResourceHold.h"
#include "platform/Clock.h"

using devmgrtest::InProcessCabinets;
using devmgrtest::RecordingClient;
using devmgrtest::RequestBytes;

namespace {

// Timers off unless a test asks for them: the tests drive the monitors.
class TimersOff {
  public:
    TimersOff() {
        setenv("ORU_SMON_INTERVAL", "0", 1);
        setenv("ORU_PLOG_INTERVAL", "0", 1);
    }
    ~TimersOff() {
        unsetenv("ORU_SMON_INTERVAL");
        unsetenv("ORU_PLOG_INTERVAL");
    }
};

class DeviceMgrTest : public ::testing::Test {
  protected:
    // Discovers and starts a device manager over world.
    void Start(sim::WorldModel world) {
        cabinets_ = std::make_unique<InProcessCabinets>(std::move(world));
        manager_ = std::make_unique<DeviceMgr>();
        manager_->DiscoverDevices();
        manager_->Init();
    }
    void TearDown() override {
        manager_.reset();
        cabinets_.reset();
    }
    OruLite* Find(const char* serial) {
        ResourceHold hold(manager_->SubsystemListLock());
        return manager_->LocateOruLiteArray(serial);
    }
    SubsystemEntry Entry(const char* serial) {
        ResourceHold hold(manager_->SubsystemListLock());
        for (std::uint32_t i = 0; i < manager_->SubsystemCount(); ++i) {
            SubsystemEntry* entry = manager_->GetSubsystemEntry(i);
            if (std::strcmp(entry->serialNumber, serial) == 0) {
                return *entry;
            }
        }
        return SubsystemEntry();
    }
    std::uint32_t Count() {
        ResourceHold hold(manager_->SubsystemListLock());
        return manager_->SubsystemCount();
    }
    // The serial (16 characters) the controller in a slot reports.
    std::string ControllerSerial(OruLite* monitor, int slot) {
        manager_->LocksubSysInUse();
        std::string serial;
        if (StorSys* storSys = monitor->Controller(slot)) {
            UnitSerialPage page;
            ScsiResult result;
            if (storSys->ReadUnitSerialPage(0, page, result) != 0) {
                serial = page.serial;
            }
        }
        manager_->ReleasesubSysInUse();
        return serial;
    }

    TimersOff timersOff_;
    std::unique_ptr<InProcessCabinets> cabinets_;
    std::unique_ptr<DeviceMgr> manager_;
};

// --- grouping ---

TEST_F(DeviceMgrTest, TwoCabinetsOneMissingItsXGiveTwoSubsystemsFromThreeControllers) {
    sim::WorldModel world = InProcessCabinets::DefaultWorld();
    Start(world);
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 X"));
    manager_->Rescan(nullptr);

    EXPECT_EQ(Count(), 2u);
    EXPECT_EQ(manager_->ControllersSeen(), 3u);
    SubsystemEntry first = Entry("QX0000000001");
    SubsystemEntry second = Entry("QX0000000002");
    ASSERT_NE(first.monitor, nullptr);
    ASSERT_NE(second.monitor, nullptr);
    EXPECT_NE(first.controllerDevice[0], nullptr);
    EXPECT_NE(first.controllerDevice[1], nullptr);
    EXPECT_EQ(second.controllerDevice[0], nullptr);
    EXPECT_NE(second.controllerDevice[1], nullptr);
    EXPECT_EQ(second.activeController, 1u);
    EXPECT_EQ(first.sequenceFlag, 1u);
    EXPECT_EQ(first.subsystemTypeId, second.monitor->SubsystemTypeId());
}

TEST_F(DeviceMgrTest, SlotComesFromTheRawPageNotFromDiscoveryOrder) {
    sim::WorldModel world = InProcessCabinets::DefaultWorld();
    // Y's paths are scanned before X's.
    for (sim::PathModel& path : world.paths) {
        if (path.cabinet == 0) {
            path.controller = 1 - path.controller;
        }
    }
    Start(world);
    OruLite* monitor = Find("QX0000000001");
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ControllerSerial(monitor, OruLite::kSlotX).substr(0, 4), "CTLX");
    EXPECT_EQ(ControllerSerial(monitor, OruLite::kSlotY).substr(0, 4), "CTLY");
}

TEST_F(DeviceMgrTest, NoControllerGivesAnEmptyTable) {
    Start(InProcessCabinets::NoArrays());
    EXPECT_EQ(Count(), 0u);
    ResourceHold hold(manager_->SubsystemListLock());
    EXPECT_EQ(manager_->GetSubsystemEntry(0), nullptr);
    EXPECT_EQ(manager_->TaskInSlot(0), nullptr);
}

TEST_F(DeviceMgrTest, EntryAtTheCountIsNone) {
    Start(InProcessCabinets::DefaultWorld());
    ResourceHold hold(manager_->SubsystemListLock());
    ASSERT_EQ(manager_->SubsystemCount(), 2u);
    EXPECT_NE(manager_->GetSubsystemEntry(1), nullptr);
    EXPECT_EQ(manager_->GetSubsystemEntry(2), nullptr);
}

TEST_F(DeviceMgrTest, ElevenSubsystemsShareTenTasksLeastUsedFirst) {
    Start(InProcessCabinets::ManyCabinets(11));
    ASSERT_EQ(Count(), 11u);
    for (int slot = 0; slot < DeviceMgr::kTaskSlots; ++slot) {
        OruLiteTask* task = manager_->TaskInSlot(slot);
        ASSERT_NE(task, nullptr);
        char name[16];
        std::snprintf(name, sizeof name, "ORULITE_%02X", slot);
        EXPECT_STREQ(task->Name(), name);
    }
    OruLite* eleventh = Find("QM0000000011");
    ASSERT_NE(eleventh, nullptr);
    EXPECT_EQ(eleventh->Task(), manager_->TaskInSlot(0));
    EXPECT_EQ(manager_->TaskInSlot(0)->UserCount(), 2u);
    EXPECT_EQ(manager_->TaskInSlot(1)->UserCount(), 1u);
}

TEST_F(DeviceMgrTest, AliasIsReadThroughTheActiveController) {
    Start(InProcessCabinets::DefaultWorld());
    ResourceHold hold(manager_->SubsystemListLock());
    SubsystemEntry* entry = manager_->GetSubsystemEntry(0);
    ASSERT_NE(entry, nullptr);
    entry->Alias();
    EXPECT_STREQ(entry->alias, "CABINET1");
}

// --- rescan and failover ---

TEST_F(DeviceMgrTest, RescanKeepsASubsystemWithOneControllerAndDropsOneWithNone) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* second = Find("QX0000000002");
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(cabinets_->Control("remove-controller 0 X"));
    manager_->Rescan(nullptr);
    EXPECT_EQ(Count(), 2u);
    SubsystemEntry first = Entry("QX0000000001");
    EXPECT_EQ(first.controllerDevice[0], nullptr);
    EXPECT_NE(first.controllerDevice[1], nullptr);

    ASSERT_TRUE(cabinets_->Control("remove-controller 1 X"));
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 Y"));
    manager_->Rescan(nullptr);
    EXPECT_EQ(Count(), 1u);
    EXPECT_EQ(Find("QX0000000002"), nullptr);
    // The dropped monitor stays reachable for a session that holds it, and
    // refuses what it is given.
    RecordingClient client;
    EXPECT_TRUE(second->IsShuttingDown());
    EXPECT_EQ(second->SubmitMessage(&client, RequestBytes(12, 1, 7)), 0);
    EXPECT_TRUE(client.Replies().empty());
    EXPECT_EQ(manager_->RescanCount(), 2u);
}

TEST_F(DeviceMgrTest, ControllerWithoutAUsableRawPageIsDroppedAndTheOthersServed) {
    Start(InProcessCabinets::DefaultWorld());
    ASSERT_TRUE(cabinets_->Control("silence-op 0 Y ef"));
    manager_->Rescan(nullptr);
    EXPECT_EQ(Count(), 2u);
    SubsystemEntry first = Entry("QX0000000001");
    EXPECT_NE(first.controllerDevice[0], nullptr);
    EXPECT_EQ(first.controllerDevice[1], nullptr);
    SubsystemEntry second = Entry("QX0000000002");
    EXPECT_NE(second.controllerDevice[0], nullptr);
    EXPECT_NE(second.controllerDevice[1], nullptr);

    // Both controllers of the first cabinet answer nonsense: it forms nothing.
    ASSERT_TRUE(cabinets_->Control("silence-op 0 X ef"));
    manager_->Rescan(nullptr);
    EXPECT_EQ(Count(), 1u);
    EXPECT_NE(Find("QX0000000002"), nullptr);
}

TEST_F(DeviceMgrTest, RestoredCabinetComesBackWithANewSubsystemNumber) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* before = Find("QX0000000002");
    ASSERT_NE(before, nullptr);
    const std::uint32_t number = before->SubsystemNumber();
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 X"));
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 Y"));
    manager_->Rescan(nullptr);
    ASSERT_TRUE(cabinets_->Control("restore-controller 1 X"));
    manager_->Rescan(nullptr);
    OruLite* after = Find("QX0000000002");
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_GT(after->SubsystemNumber(), number);
    EXPECT_NE(after->Task(), nullptr);
}

TEST_F(DeviceMgrTest, RemovingXMovesTheActiveRoleToY) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_NE(monitor, nullptr);
    manager_->LocksubSysInUse();
    EXPECT_EQ(monitor->SelectActiveController(), OruLite::kSlotX);
    manager_->ReleasesubSysInUse();

    ASSERT_TRUE(cabinets_->Control("fail-controller 0 X"));
    manager_->LocksubSysInUse();
    EXPECT_EQ(monitor->SelectActiveController(), OruLite::kSlotY);
    manager_->ReleasesubSysInUse();
}

TEST_F(DeviceMgrTest, RequestRescanRunsOnTheDeviceTask) {
    Start(InProcessCabinets::DefaultWorld());
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 X"));
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 Y"));
    EXPECT_EQ(manager_->RequestRescan(), 1);
    for (int i = 0; i < 500 && manager_->RescanCount() == 0; ++i) {
        platform::SleepMs(10);
    }
    EXPECT_EQ(manager_->RescanCount(), 1u);
    EXPECT_EQ(Count(), 1u);
}

// --- messages ---

TEST_F(DeviceMgrTest, ManagementMessageIsReceivedStartedAndRefusedUntilItsHandlerExists) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_NE(monitor, nullptr);
    RecordingClient client;
    ASSERT_EQ(monitor->SubmitMessage(&client, RequestBytes(12, 5, 9)), 1);
    ASSERT_TRUE(client.WaitDone(1, 10000));
    std::vector<devmgrtest::ReplyWords> words = client.Words();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].kind, 1u);
    EXPECT_EQ(words[0].status, 3u);
    EXPECT_EQ(words[0].length, 24u);
    EXPECT_EQ(words[0].sequence, 5u);
    EXPECT_EQ(words[0].session, 9u);
    EXPECT_EQ(words[1].status, 2u);
    EXPECT_EQ(words[2].kind, 10u);
    EXPECT_EQ(words[2].status, 1u);
    EXPECT_EQ(words[2].errorCode, 1u);   // command failed
    EXPECT_EQ(words[2].qualifier, 51u);  // unknown command
    EXPECT_EQ(words[2].moduleId, 4u);    // device manager
    EXPECT_EQ(client.DoneCount(), 1);
}

TEST_F(DeviceMgrTest, GrossStatusGetsNeitherReceivedNorStarted) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    RecordingClient client;
    ASSERT_EQ(monitor->SubmitMessage(&client, RequestBytes(46, 1, 1)), 1);
    ASSERT_TRUE(client.WaitDone(1, 10000));
    std::vector<devmgrtest::ReplyWords> words = client.Words();
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].kind, 10u);
}

TEST_F(DeviceMgrTest, ShortOrLyingMessagesAreRefusedWithoutReplyOrDone) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    RecordingClient client;
    EXPECT_EQ(monitor->SubmitMessage(&client, {}), 0);
    EXPECT_EQ(monitor->SubmitMessage(&client, std::vector<unsigned char>(19, 0)), 0);
    std::vector<unsigned char> lying = RequestBytes(12, 1, 1);
    lying[3] = 200;  // claims 200 bytes, 36 arrived
    EXPECT_EQ(monitor->SubmitMessage(&client, lying), 0);
    EXPECT_TRUE(client.Replies().empty());
    EXPECT_EQ(client.DoneCount(), 0);
}

TEST_F(DeviceMgrTest, ClientThatCannotTakeTheReceivedStatusIsRefused) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    RecordingClient client;
    client.SetRefuse(true);
    EXPECT_EQ(monitor->SubmitMessage(&client, RequestBytes(12, 1, 1)), 0);
    EXPECT_EQ(client.DoneCount(), 0);
}

TEST_F(DeviceMgrTest, CancelOfACommandNeverSeenFailsOnItsSecondPass) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    RecordingClient canceller;
    ASSERT_EQ(monitor->SubmitMessage(&canceller, RequestBytes(2, 8, 3, 77, 3)), 1);
    ASSERT_TRUE(canceller.WaitDone(1, 10000));
    std::vector<devmgrtest::ReplyWords> words = canceller.Words();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].status, 3u);
    EXPECT_EQ(words[1].status, 2u);
    EXPECT_EQ(words[2].kind, 10u);
    EXPECT_EQ(words[2].errorCode, 5u);  // cancel failed
    EXPECT_EQ(words[2].sequence, 8u);
    EXPECT_FALSE(monitor->PendingFlag());
}

TEST_F(DeviceMgrTest, CancelCatchesTheCommandQueuedBehindIt) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    RecordingClient canceller;
    RecordingClient victim;
    // Hold the subsystems while both arrive: the task takes the cancel and
    // waits for the lock, the command queues behind it, and the cancel's
    // second pass queues behind the command.
    manager_->LocksubSysInUse();
    ASSERT_EQ(monitor->SubmitMessage(&canceller, RequestBytes(2, 8, 3, 77, 3)), 1);
    ASSERT_EQ(monitor->SubmitMessage(&victim, RequestBytes(12, 77, 3)), 1);
    manager_->ReleasesubSysInUse();
    ASSERT_TRUE(canceller.WaitDone(1, 10000));
    ASSERT_TRUE(victim.WaitDone(1, 10000));

    std::vector<devmgrtest::ReplyWords> cancelWords = canceller.Words();
    ASSERT_EQ(cancelWords.size(), 3u);
    EXPECT_EQ(cancelWords[2].kind, 1u);
    EXPECT_EQ(cancelWords[2].status, 1u);
    EXPECT_EQ(cancelWords[2].sequence, 8u);  // the cancel's own handle
    std::vector<devmgrtest::ReplyWords> victimWords = victim.Words();
    ASSERT_EQ(victimWords.size(), 2u);
    EXPECT_EQ(victimWords[0].status, 3u);
    EXPECT_EQ(victimWords[1].kind, 10u);
    EXPECT_EQ(victimWords[1].errorCode, 4u);  // command cancelled
    EXPECT_EQ(victimWords[1].sequence, 77u);
}

TEST_F(DeviceMgrTest, StopRefusesMessagesEndsEveryTaskAndSignsOff) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 X"));
    ASSERT_TRUE(cabinets_->Control("remove-controller 1 Y"));
    manager_->Rescan(nullptr);  // the table no longer names task 1's subsystem
    manager_->BeginShutdown();
    for (int slot = 0; slot < DeviceMgr::kTaskSlots; ++slot) {
        EXPECT_EQ(manager_->TaskInSlot(slot), nullptr);
    }
    RecordingClient client;
    EXPECT_EQ(monitor->SubmitMessage(&client, RequestBytes(12, 1, 1)), 0);
    EXPECT_EQ(manager_->RequestRescan(), 0);
    manager_.reset();
    // The last exchange of cabinet 0 carries next number 0.
    std::string trace = cabinets_->Trace("STROVANE0") + cabinets_->Trace("PHYSICALDRIVE1");
    std::size_t last = trace.rfind("cdb=ee");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(trace.substr(last + 12, 4), "0000") << trace.substr(last, 30);
}

// --- host sequence ---

TEST_F(DeviceMgrTest, RepeatedRefusalsOfOneNumberForceTheExchange) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_TRUE(monitor->SequenceFlag());
    ASSERT_TRUE(cabinets_->Control("refuse 0 X 100 4660"));
    auto trace = [&] { return cabinets_->Trace("STROVANE0") + cabinets_->Trace("PHYSICALDRIVE1"); };
    manager_->LocksubSysInUse();
    int heartbeats = 0;
    while (heartbeats < 10 && trace().find("cdb=ee01") == std::string::npos) {
        monitor->Heartbeat();
        ++heartbeats;
        if (heartbeats == 1) {
            EXPECT_FALSE(monitor->SequenceFlag());
            EXPECT_EQ(monitor->RepeatCounter(), 0u);
        }
    }
    const std::string text = trace();
    manager_->ReleasesubSysInUse();
    // The first refusal records the number; the fifth repeat of it after
    // that (the sixth refusal) forces the exchange.
    EXPECT_EQ(heartbeats, 6);
    // Forced (mode 1) with 4660 + 2, brought into range: 4663 = 0x1237.
    std::size_t forced = text.find("cdb=ee01");
    ASSERT_NE(forced, std::string::npos) << text;
    EXPECT_EQ(text.substr(forced + 12, 4), "1237");
    EXPECT_EQ(text.find("cdb=ee01", forced + 1), std::string::npos);
    EXPECT_TRUE(monitor->SequenceFlag());
    EXPECT_EQ(monitor->SequenceNumber(), 0x1237);
}

TEST_F(DeviceMgrTest, HeartbeatAdvancesTheSequenceByTwo) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    manager_->LocksubSysInUse();
    const std::uint16_t before = monitor->SequenceNumber();
    monitor->Heartbeat();
    EXPECT_TRUE(monitor->SequenceFlag());
    EXPECT_EQ(monitor->SequenceNumber(), before + 2);
    manager_->ReleasesubSysInUse();
}

// --- state ---

TEST_F(DeviceMgrTest, PulledDriveShowsInTheNextState) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    manager_->LocksubSysInUse();
    ASSERT_NE(monitor->CurrentState(), nullptr);
    ASSERT_TRUE(monitor->CurrentState()->Valid());
    ASSERT_EQ(monitor->CurrentState()->drives.size(), 12u);
    EXPECT_NE(monitor->CurrentState()->drives[2].driveState, 1u);
    manager_->ReleasesubSysInUse();

    ASSERT_TRUE(cabinets_->Control("pull 0 A2"));
    manager_->LocksubSysInUse();
    monitor->RefreshState();
    ASSERT_TRUE(monitor->CurrentState()->Valid());
    EXPECT_EQ(monitor->CurrentState()->drives[2].driveState, 1u);
    manager_->ReleasesubSysInUse();
}

// The records the controller log leaves in the subsystem's log: the status
// counters as four little-endian words (class 2 code 0, 76 bytes), and each
// entry as the controller wrote it, big-endian fields and all (kind 0: class
// 2 code 1, 80 bytes: the 18 entry bytes, then 2 bytes of padding), which is
// the layout the log printer decodes.
TEST_F(DeviceMgrTest, ControllerLogEntriesAreLoggedInTheControllersOwnLayout) {
    std::vector<std::vector<unsigned char>> records;
    OruLite::SetLogRecordWriter(
        [&records](OruLite&, const unsigned char* bytes, std::uint32_t length) {
            records.emplace_back(bytes, bytes + length);
        });
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_TRUE(cabinets_->Control("log 0 102 A3"));
    manager_->LocksubSysInUse();
    unsigned char log[64] = {};
    std::uint32_t moved = 0;
    std::uint32_t status[4] = {};
    records.clear();
    EXPECT_TRUE(monitor->ReadControllerLog(1, log, sizeof log, &moved, status));
    manager_->ReleasesubSysInUse();
    OruLite::SetLogRecordWriter(nullptr);
    ASSERT_GE(moved, 3u + 18u);
    ASSERT_EQ(records.size(), 2u);
    const auto& counters = records[0];
    ASSERT_EQ(counters.size(), 76u);
    EXPECT_EQ(counters[4], 76);
    EXPECT_EQ(counters[12], 2);
    EXPECT_EQ(counters[14], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&counters[36]), 12), "QX0000000001");
    for (int i = 0; i < 4; ++i) {
        std::uint32_t word = counters[60 + 4 * i] | counters[61 + 4 * i] << 8 |
                             counters[62 + 4 * i] << 16 |
                             static_cast<std::uint32_t>(counters[63 + 4 * i]) << 24;
        EXPECT_EQ(word, status[i]) << i;
    }
    const auto& drive = records[1];
    ASSERT_EQ(drive.size(), 80u);
    EXPECT_EQ(drive[4], 80);
    EXPECT_EQ(drive[12], 2);
    EXPECT_EQ(drive[14], 1);
    // Byte for byte the entry: type 0, event code 102 big-endian at 67..68,
    // slot A3 (index 4) at 70.
    EXPECT_TRUE(std::equal(drive.begin() + 60, drive.begin() + 78, log + 3));
    EXPECT_EQ(drive[60], 0);
    EXPECT_EQ(drive[67] << 8 | drive[68], 102);
    EXPECT_EQ(drive[70], 4);
    EXPECT_EQ(drive[78], 0);
    EXPECT_EQ(drive[79], 0);
}

TEST_F(DeviceMgrTest, ControllerLogIsReadAndConsumed) {
    Start(InProcessCabinets::DefaultWorld());
    OruLite* monitor = Find("QX0000000001");
    ASSERT_TRUE(cabinets_->Control("log 0 102 A3"));
    manager_->LocksubSysInUse();
    std::uint32_t moved = 0;
    EXPECT_TRUE(monitor->ReadControllerLog(1, nullptr, 0, &moved, nullptr));
    EXPECT_EQ(monitor->DriveSlot(4).logMarkA, 1u);
    // Consumed: the next read finds no entries.
    std::uint32_t again = 0;
    unsigned char head[3] = {};
    EXPECT_TRUE(monitor->ReadControllerLog(1, head, sizeof head, &again, nullptr));
    EXPECT_EQ(head[1] * 256 + head[2], 0);
    manager_->ReleasesubSysInUse();
}

}  // namespace
