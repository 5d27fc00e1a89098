// A disk's test as the Diagnostics page and the Test Disk dialog show it,
// read from the service's command bookkeeping that travels with the state,
// and the rules of the page's disk and array buttons.
#pragma once

#include <cstdint>
#include <optional>

#include "coresys/common/CommandHandle.h"

class DiskArrayState;
class OruServerState;

namespace oru {

// The kinds and states of a disk test as the window names them.
enum DiskTestType : int { kTestNone = 0, kTestVerify = 1, kTestWriteRead = 2 };
enum DiskTestState : int {
    kTestStateNone = 0,
    kTestStateInitFailed = 1,
    kTestStateFailed = 2,
    kTestStatePassed = 3,
    kTestStateInProgress = 4,
    kTestStateCancelled = 5,
};

struct DiskTestRecord {
    bool found = false;  // a verify or write/read result for the disk exists
    int type = kTestNone;
    int state = kTestStateNone;
    std::uint32_t percent = 0;
    // The chunks the test found failing, and the first block of the lowest.
    std::uint32_t failedChunks = 0;
    std::uint32_t firstFailedBlock = 0;
};

// The newest verify or write/read result of the disk, with the progress of
// its running command (100 when none is listed); a test that ran to its end
// (passed or failed) is at 100 percent, any other at 0. A test that
// recorded an error failed, whatever state the service gave it.
DiskTestRecord ReadDiskTest(const OruServerState& server, std::uint32_t disk);
inline bool TestInProgress(const DiskTestRecord& record) {
    return record.found && record.state == kTestStateInProgress;
}

// The handle of the disk's running verify or write/read test, while it is
// below 100 percent.
std::optional<CommandHandle> RunningTest(const OruServerState& server, std::uint32_t disk);

// The drive state of a disk; nullopt when the state holds no such slot.
std::optional<std::uint32_t> DriveState(const DiskArrayState& state, std::uint32_t disk);

// The subsystem state of a valid state; nullopt when the state is not valid.
std::optional<std::uint32_t> ArrayState(const DiskArrayState& state);

// The rules of the Diagnostics page's buttons.
bool MayInclude(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk);
bool MayDown(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk);
// Test Disk's Read Verify and Write/Read: no test running, a valid state,
// a disk that has not failed (drive states 4, 7 and 13).
bool MayTest(const DiskArrayState& state, const OruServerState& server, std::uint32_t disk);
bool MayShutdown(const DiskArrayState& state);
bool MayRestart(const DiskArrayState& state);
bool MayReset(const DiskArrayState& state);
bool MayFormatArray(const DiskArrayState& state);
// Making `controller` (0 X, 1 Y) the primary one.
bool MaySwitchTo(const DiskArrayState& state, std::uint32_t controller);

}  // namespace oru
