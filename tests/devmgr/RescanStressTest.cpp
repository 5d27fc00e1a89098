// Rescans in a loop while other threads read the subsystem table (as the
// listener does) and submit messages to the monitors they find there (as
// sessions do), with the monitors' timers running. Meant to run under
// ThreadSanitizer as well: every access must be ordered by the device
// manager's locks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "InProcessCabinets.h"
#include "RecordingClient.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/task/ResourceHold.h"
#include "platform/Clock.h"

using devmgrtest::InProcessCabinets;
using devmgrtest::RecordingClient;
using devmgrtest::RequestBytes;

namespace {

TEST(RescanStress, TableReadersAndSubmittersSurviveRescans) {
    setenv("ORU_SMON_INTERVAL", "1", 1);
    setenv("ORU_PLOG_INTERVAL", "1", 1);
    platform::SetTimeScale(50);  // timers every 20 ms
    auto cabinets = std::make_unique<InProcessCabinets>(InProcessCabinets::DefaultWorld());
    auto manager = std::make_unique<DeviceMgr>();
    manager->DiscoverDevices();
    manager->Init();

    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::atomic<int> tableReads{0};
    RecordingClient client;

    std::vector<std::thread> threads;
    // The listener: copies the table and reads aliases.
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            int round = 0;
            while (!stop.load()) {
                ResourceHold hold(manager->SubsystemListLock());
                for (std::uint32_t i = 0; i < manager->SubsystemCount(); ++i) {
                    SubsystemEntry* entry = manager->GetSubsystemEntry(i);
                    ASSERT_NE(entry, nullptr);
                    SubsystemEntry copy = *entry;
                    EXPECT_EQ(std::strlen(copy.serialNumber), 12u);
                    if ((round + t) % 8 == 0) {
                        entry->Alias();
                    }
                }
                ++round;
                tableReads.fetch_add(1);
            }
        });
    }
    // Sessions: find a monitor by serial, keep it, submit to it later.
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            const char* serial = t == 0 ? "QX0000000001" : "QX0000000002";
            std::uint32_t sequence = 1;
            while (!stop.load()) {
                OruLite* monitor = nullptr;
                {
                    ResourceHold hold(manager->SubsystemListLock());
                    monitor = manager->LocateOruLiteArray(serial);
                }
                if (monitor == nullptr) {
                    std::this_thread::yield();
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    const std::uint32_t code = (sequence % 5 == 0) ? 2 : 12;
                    if (monitor->SubmitMessage(&client, RequestBytes(code, sequence, 1 + t,
                                                                     sequence - 1, 1 + t)) == 1) {
                        accepted.fetch_add(1);
                    }
                    ++sequence;
                }
                platform::SleepMs(1);
            }
        });
    }

    // The timer work (status polls and preventive checks) the first
    // cabinet's monitor has done so far; that cabinet stays all along.
    auto timerWork = [&manager]() -> std::uint32_t {
        ResourceHold hold(manager->SubsystemListLock());
        OruLite* monitor = manager->LocateOruLiteArray("QX0000000001");
        return monitor != nullptr ? monitor->MonitorCycles() + monitor->PreventiveChecks() : 0;
    };

    // The rescanner: the second cabinet goes and comes back, round after
    // round, until enough rounds have overlapped the monitors' timers (a
    // round overlaps when a timer ran between its start and its end). The
    // deadline only keeps a broken build from running for ever.
    constexpr int kWantedOverlaps = 25;
    const std::uint64_t deadline = platform::MonotonicMs() + 15000;
    int rounds = 0;
    int overlapped = 0;
    while ((overlapped < kWantedOverlaps || rounds < 40 || rounds % 2 != 0) &&
           platform::MonotonicMs() < deadline) {
        const bool remove = rounds % 2 == 0;
        // Rounds back to back would keep the monitors parked nearly all the
        // time on a fast machine, so that no timer ever came due inside a
        // round: each round starts at another point of the timers' 20 ms.
        platform::SleepMs(static_cast<std::uint64_t>(rounds * 97 % 1250));
        const std::uint32_t before = timerWork();
        ASSERT_TRUE(
            cabinets->Control(std::string(remove ? "remove" : "restore") + "-controller 1 X"));
        ASSERT_TRUE(
            cabinets->Control(std::string(remove ? "remove" : "restore") + "-controller 1 Y"));
        manager->Rescan(nullptr);
        // A timer that came due while the rescan held the monitors parked
        // runs as they resume: a moment for it before looking.
        platform::SleepMs(50);
        if (timerWork() != before) {
            ++overlapped;
        }
        ++rounds;
    }
    std::printf("rescan rounds: %d, overlapping the monitors' timers: %d\n", rounds, overlapped);
    ::testing::Test::RecordProperty("rescan_rounds", rounds);
    ::testing::Test::RecordProperty("rescans_overlapping_timers", overlapped);
    EXPECT_GE(overlapped, kWantedOverlaps);
    stop.store(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    manager->BeginShutdown();
    manager.reset();

    EXPECT_GT(tableReads.load(), 0);
    EXPECT_GT(accepted.load(), 0);
    // Every accepted message was finished exactly once, also those still
    // queued when the tasks ended.
    EXPECT_EQ(client.DoneCount(), accepted.load());
    platform::SetTimeScale(0);
    unsetenv("ORU_SMON_INTERVAL");
    unsetenv("ORU_PLOG_INTERVAL");
}

}  // namespace
