// The diagnostic record of one drive slot of a subsystem: the drive verify or
// write/read test that may run on it (one step per pass of the subsystem
// task), the results of the two health checks, and the marks the controller
// log leaves on the slot.
//
// A verify has the drive check 120-block chunks with VERIFY; a write/read
// test writes a pattern over 30-block chunks, reads it back and compares
// (those blocks lose their data). Each step takes one chunk at random, never
// the same twice in one test, until the requested share of the chunks was
// covered.
//
// Touched only by its subsystem's task (under the subsystem-in-use lock).
// Copying a record copies the test's bit map; a fresh record is what a
// replaced drive gets.
#pragma once

#include <cstdint>
#include <random>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/server/diag/BitMap.h"
#include "coresys/server/scsi/ScsiResult.h"

class DriveCommands;

class DriveTestRecord {
  public:
    // Test states (DIAG_STATE).
    static constexpr std::uint32_t kStateIdle = 1;
    static constexpr std::uint32_t kStateNotStarted = 2;
    static constexpr std::uint32_t kStateFinished = 3;
    static constexpr std::uint32_t kStateFinishedWithErrors = 4;
    static constexpr std::uint32_t kStateRunning = 5;
    static constexpr std::uint32_t kStateCancelled = 6;
    // Test kinds.
    static constexpr std::uint32_t kNoTest = 0;
    static constexpr std::uint32_t kVerify = 1;
    static constexpr std::uint32_t kWriteRead = 2;
    // Error codes: the operation code of the command that failed, or one of
    // the three others.
    static constexpr std::uint32_t kErrorNone = 256;
    static constexpr std::uint32_t kErrorNotReady = 0;
    static constexpr std::uint32_t kErrorCapacity = 0x25;
    static constexpr std::uint32_t kErrorRead = 0x28;
    static constexpr std::uint32_t kErrorWrite = 0x2E;
    static constexpr std::uint32_t kErrorVerify = 0x2F;
    static constexpr std::uint32_t kErrorCompare = 257;
    // Health check results.
    static constexpr std::uint32_t kHealthUnknown = 1;
    static constexpr std::uint32_t kHealthGood = 3;
    static constexpr std::uint32_t kHealthBad = 4;
    // Chunks and limits.
    static constexpr std::uint32_t kVerifyChunkBlocks = 120;
    static constexpr std::uint32_t kWriteReadChunkBlocks = 30;
    static constexpr std::uint32_t kBlockBytes = 512;
    static constexpr std::uint32_t kWriteReadBytes = kWriteReadChunkBlocks * kBlockBytes;
    static constexpr std::uint32_t kMaxErrors = 5;
    static constexpr std::uint32_t kMaxPercent = 100;

    // One failed command of a verify.
    struct ErrorEntry {
        std::uint32_t lba = 0;
        std::uint32_t blocks = 0;
        ScsiResult result;
    };

    // --- tests (the drive commands reach the drive in this slot) ---
    // Refused (false, nothing changed) while a test runs. Sends TEST UNIT
    // READY twice (the second answer counts) and READ CAPACITY; refuses a
    // drive that is not ready (error 0), whose capacity cannot be read or
    // named in 10-byte commands, whose blocks are not 512 bytes, or that
    // has 120 blocks or fewer (error 0x25) with the state "not started".
    // seed 0 takes the clock's. percent is capped at 100.
    bool StartVerify(DriveCommands& drive, std::uint32_t percent, std::uint32_t seed);
    // One chunk: true to go on, false when the verify ended (finished,
    // with errors after the fifth failed chunk, or no verify runs).
    bool VerifyStep(DriveCommands& drive);
    // As StartVerify with 30-block chunks; also refused for a drive that
    // has no whole chunk.
    bool StartWriteReadTest(DriveCommands& drive, std::uint32_t percent, std::uint32_t seed);
    // One chunk written, read back and compared: true to go on, false when
    // the test ended. Before it writes, the step asks the controller for the
    // drive's state and ends the test (EndWriteReadTest) when the drive has
    // joined the array meanwhile.
    bool WriteReadStep(DriveCommands& drive);
    // Ends the running test as cancelled; false when none runs.
    bool CancelTest();
    // Back to a fresh record (health unknown, both tests idle).
    void ResetTests();
    // The two health checks: B from the controller's record of the drive, A
    // from the length of the grown defect list. False (the other check not
    // made) when a read fails; failure then holds its outcome.
    bool CheckHealth(DriveCommands& drive, ScsiResult& failure);
    // A running write/read test whose drive is now in driveState: when that
    // state puts array data on the drive (a member, failed, being rebuilt
    // or to be rebuilt) the drive is taken down and the test cancelled
    // (answer 0); otherwise nothing happens (answer 1).
    int EndWriteReadTest(DriveCommands& drive, std::uint32_t driveState);

    // --- what the handlers and the state build read ---
    bool Running() const { return testKind != kNoTest; }
    // A verify or write/read test in the running state.
    bool DiagnosticRunning() const {
        return verifyState == kStateRunning || writeReadState == kStateRunning;
    }
    // The state of the test of a kind (kVerify or kWriteRead).
    std::uint32_t StateOf(std::uint32_t kind) const {
        return kind == kVerify ? verifyState : writeReadState;
    }
    // Progress of the running test, 0..100; 100 once it left the running
    // state or when none runs.
    std::uint32_t PercentDone() const;
    // For the state build: 1 while a test runs, 2 when the last test of
    // either kind found errors, else 0.
    std::uint32_t DiagnosticState() const;
    // The record as a result of request code: the kind's state, status 1
    // only when finished, the error code, place and the failed command's
    // error record.
    DiagCommandResults Snapshot(MESSAGE_CODE code) const;
    // Forgets the running test (kind, bit map, steps); the states stay.
    void ClearTest();

    // Whether a drive in driveState holds (or is about to receive) the
    // array's data.
    static bool HoldsArrayData(std::uint32_t driveState);
    // The test kind (kVerify or kWriteRead) of a request code (44 verify,
    // 43 write/read test).
    static std::uint32_t KindOf(MESSAGE_CODE code) {
        return code == MC_VerifyPhysicalDrive ? kVerify : kWriteRead;
    }

    // --- the record (field order as the design gives it) ---
    std::uint32_t drive = 0;
    std::uint32_t retry = 1;
    std::uint32_t healthA = kHealthUnknown;
    std::uint32_t healthB = kHealthUnknown;
    std::uint32_t verifyState = kStateIdle;
    std::uint32_t writeReadState = kStateIdle;
    std::uint32_t monitorFlag = 0;
    std::uint32_t errorCode = kErrorNone;
    std::uint32_t errorLba = 0;
    std::uint32_t errorLength = 0;
    std::uint32_t testKind = kNoTest;
    std::uint32_t totalSteps = 0;
    std::uint32_t stepsDone = 0;
    ErrorEntry errors[kMaxErrors];
    std::uint32_t errorCount = 0;
    BitMap bitMap;
    std::uint32_t seed = 0;
    // The outcome of the command that failed last (its sense goes into the
    // published result).
    ScsiResult lastResult;
    // The request that started the running test: only its continuation
    // steps the test.
    CommandHandle owner;
    // Set by a controller-log entry of kind 0 (code 102) resp. kind 2
    // (codes 144, 146) naming this slot; cleared by whoever acts on it.
    std::uint32_t logMarkA = 0;
    std::uint32_t logMarkB = 0;

  private:
    // The start both tests share; false with the kind's state "not started".
    bool Start(DriveCommands& drive, std::uint32_t kind, std::uint32_t chunkBlocks,
               std::uint32_t minimumLastBlock, std::uint32_t percent, std::uint32_t seed);
    void SetState(std::uint32_t kind, std::uint32_t state);
    void SetError(std::uint32_t code, std::uint32_t lba, std::uint32_t length,
                  const ScsiResult& result);
    // The next chunk of the running test, -1 when none is left.
    std::int64_t NextFree();

    std::minstd_rand random_;
};
