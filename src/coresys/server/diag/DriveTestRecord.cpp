#include "coresys/server/diag/DriveTestRecord.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/state/OruErrRecords.h"

namespace {

// Drive states of the controller's record (the 0x21 read).
constexpr std::uint32_t kDriveMember = 0;
constexpr std::uint32_t kDriveFailed = 4;
constexpr std::uint32_t kDriveRebuilding = 9;
constexpr std::uint32_t kDriveToBeRebuilt = 10;

// A 10-byte READ CAPACITY names at most this last block; a drive that
// answers it is larger than these commands can address.
constexpr std::uint32_t kCapacityUnknown = 0xFFFFFFFFu;
// A verify needs more than this last block.
constexpr std::uint32_t kVerifyMinimumLastBlock = 120;

// The grown defect list's head, as much of it as the health check reads.
constexpr std::uint16_t kDefectHeadLength = 12;
// A grown list of this many bytes of whole descriptors (500 defects) or more
// makes the drive's media count as bad.
constexpr std::uint32_t kDefectListLimit = 4000;

std::uint32_t Be16(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
}

}  // namespace

bool DriveTestRecord::HoldsArrayData(std::uint32_t driveState) {
    return driveState == kDriveMember || driveState == kDriveFailed ||
           driveState == kDriveRebuilding || driveState == kDriveToBeRebuilt;
}

void DriveTestRecord::SetState(std::uint32_t kind, std::uint32_t state) {
    if (kind == kVerify) {
        verifyState = state;
    } else {
        writeReadState = state;
    }
}

void DriveTestRecord::SetError(std::uint32_t code, std::uint32_t lba, std::uint32_t length,
                               const ScsiResult& result) {
    errorCode = code;
    errorLba = lba;
    errorLength = length;
    lastResult = result;
}

bool DriveTestRecord::Start(DriveCommands& drive, std::uint32_t kind, std::uint32_t chunkBlocks,
                            std::uint32_t minimumLastBlock, std::uint32_t percent,
                            std::uint32_t givenSeed) {
    if (Running()) {
        return false;
    }
    errorCode = kErrorNone;
    errorLba = 0;
    errorLength = 0;
    errorCount = 0;
    lastResult = ScsiResult();
    // The first TEST UNIT READY takes a pending unit attention; only the
    // second tells whether the drive is ready.
    ScsiResult result;
    drive.TestUnitReady(result);
    if (!drive.TestUnitReady(result)) {
        SetError(kErrorNotReady, 0, 0, result);
        SetState(kind, kStateNotStarted);
        return false;
    }
    std::uint32_t lastBlock = 0;
    std::uint32_t blockLength = 0;
    const bool read = drive.ReadCapacity(lastBlock, blockLength, result);
    // The chunks are counted and addressed in 512-byte blocks and 32-bit
    // block numbers: a drive of other blocks, or one too large for the
    // 10-byte commands, would be tested where it is not.
    const std::uint64_t chunks =
        read ? (static_cast<std::uint64_t>(lastBlock) + 1) / chunkBlocks : 0;
    if (!read || lastBlock == kCapacityUnknown || blockLength != kBlockBytes ||
        lastBlock <= minimumLastBlock || chunks == 0) {
        SetError(kErrorCapacity, 0, 0, result);
        SetState(kind, kStateNotStarted);
        return false;
    }
    BitMap map(chunks);
    if (map.Count() == 0) {
        // No room for the map: nothing could be tested.
        SetError(kErrorCapacity, 0, 0, result);
        SetState(kind, kStateNotStarted);
        return false;
    }
    bitMap = std::move(map);
    testKind = kind;
    seed = givenSeed != 0 ? givenSeed : static_cast<std::uint32_t>(std::time(nullptr));
    random_.seed(seed);
    const std::uint64_t share = std::min<std::uint32_t>(percent, kMaxPercent);
    totalSteps = static_cast<std::uint32_t>(chunks * share / kMaxPercent);
    stepsDone = 0;
    errorCount = 0;
    SetState(kind, kStateRunning);
    return true;
}

bool DriveTestRecord::StartVerify(DriveCommands& drive, std::uint32_t percent,
                                  std::uint32_t givenSeed) {
    return Start(drive, kVerify, kVerifyChunkBlocks, kVerifyMinimumLastBlock, percent, givenSeed);
}

bool DriveTestRecord::StartWriteReadTest(DriveCommands& drive, std::uint32_t percent,
                                         std::uint32_t givenSeed) {
    // Any drive with one whole chunk; the chunk count refuses smaller ones.
    return Start(drive, kWriteRead, kWriteReadChunkBlocks, 0, percent, givenSeed);
}

std::int64_t DriveTestRecord::NextFree() {
    if (bitMap.Count() == 0) {
        return -1;
    }
    return bitMap.NextFree(random_() % bitMap.Count());
}

bool DriveTestRecord::VerifyStep(DriveCommands& drive) {
    if (testKind != kVerify) {
        return false;
    }
    ++stepsDone;
    const std::int64_t chunk = NextFree();
    if (chunk >= 0 && stepsDone <= totalSteps) {
        const auto lba = static_cast<std::uint32_t>(chunk * kVerifyChunkBlocks);
        ScsiResult result;
        if (drive.Verify(lba, kVerifyChunkBlocks, result)) {
            return true;
        }
        // The result names the lowest failing chunk: chunks are taken in
        // random order, and the one nearest the start is where an
        // administrator looks first.
        if (errorCount == 0 || lba < errorLba) {
            SetError(kErrorVerify, lba, kVerifyChunkBlocks, result);
        }
        if (errorCount < kMaxErrors) {
            errors[errorCount].lba = lba;
            errors[errorCount].blocks = kVerifyChunkBlocks;
            errors[errorCount].result = result;
            ++errorCount;
        }
        if (errorCount < kMaxErrors) {
            return true;
        }
        verifyState = kStateFinishedWithErrors;
        return false;
    }
    if (verifyState == kStateRunning) {
        // A verify that found a chunk it could not read did not pass, however
        // few such chunks there were.
        verifyState = errorCount == 0 ? kStateFinished : kStateFinishedWithErrors;
    }
    return false;
}

bool DriveTestRecord::WriteReadStep(DriveCommands& drive) {
    if (testKind != kWriteRead) {
        return false;
    }
    std::vector<unsigned char> pattern;
    std::vector<unsigned char> back;
    try {
        pattern.resize(kWriteReadBytes);
        back.resize(kWriteReadBytes);
    } catch (const std::bad_alloc&) {
        retry = 1;
        return true;
    }
    retry = 0;
    // The pattern destroys what the chunk held: it is written only while
    // the controller says that no array data lives on the drive.
    std::uint32_t word[6] = {};
    ScsiResult stateResult;
    if (!drive.ReadDriveState(word, stateResult)) {
        SetError(kErrorNotReady, 0, 0, stateResult);
        writeReadState = kStateFinishedWithErrors;
        return false;
    }
    if (EndWriteReadTest(drive, word[0]) == 0) {
        return false;
    }
    ++stepsDone;
    const std::int64_t chunk = NextFree();
    if (chunk >= 0 && stepsDone <= totalSteps) {
        const auto lba = static_cast<std::uint32_t>(chunk * kWriteReadChunkBlocks);
        for (std::uint32_t i = 0; i < kWriteReadBytes; ++i) {
            pattern[i] = static_cast<unsigned char>(i + lba);
        }
        ScsiResult result;
        std::uint32_t failure = kErrorNone;
        if (!drive.Write(lba, kWriteReadChunkBlocks, pattern.data(), result)) {
            failure = kErrorWrite;
        } else if (!drive.Read(lba, kWriteReadChunkBlocks, back.data(), result)) {
            failure = kErrorRead;
        } else if (std::memcmp(pattern.data(), back.data(), kWriteReadBytes) != 0) {
            failure = kErrorCompare;
        } else {
            return true;
        }
        SetError(failure, lba, kWriteReadChunkBlocks, result);
        errors[0].lba = lba;
        errors[0].blocks = kWriteReadChunkBlocks;
        errors[0].result = result;
        errorCount = 1;
        writeReadState = kStateFinishedWithErrors;
        return false;
    }
    writeReadState = kStateFinished;
    return false;
}

bool DriveTestRecord::CancelTest() {
    if (!Running()) {
        return false;
    }
    if (testKind == kVerify) {
        verifyState = kStateCancelled;
    } else {
        retry = 0;
        writeReadState = kStateCancelled;
    }
    ClearTest();
    return true;
}

void DriveTestRecord::ClearTest() {
    testKind = kNoTest;
    bitMap.Release();
    totalSteps = 0;
    stepsDone = 0;
}

void DriveTestRecord::ResetTests() {
    healthA = kHealthUnknown;
    healthB = kHealthUnknown;
    verifyState = kStateIdle;
    writeReadState = kStateIdle;
    monitorFlag = 0;
    ClearTest();
    errorCode = kErrorNone;
    errorLba = 0;
    errorLength = 0;
    errorCount = 0;
}

bool DriveTestRecord::CheckHealth(DriveCommands& drive, ScsiResult& failure) {
    std::uint32_t word[6] = {};
    if (!drive.ReadDriveState(word, failure)) {
        return false;
    }
    // The drive's first counter must stay below its second, and the drive
    // must not have failed.
    healthB = word[2] < word[3] && word[0] != kDriveFailed ? kHealthGood : kHealthBad;
    unsigned char head[kDefectHeadLength] = {};
    if (!drive.ReadGrownDefects(head, kDefectHeadLength, failure)) {
        return false;
    }
    // The list length counts whole 8-byte descriptors.
    const std::uint32_t listBytes = Be16(head + 2) & ~7u;
    healthA = listBytes < kDefectListLimit ? kHealthGood : kHealthBad;
    return true;
}

int DriveTestRecord::EndWriteReadTest(DriveCommands& drive, std::uint32_t driveState) {
    if (testKind != kWriteRead || !HoldsArrayData(driveState)) {
        return 1;
    }
    // Whatever the controller answers, no pattern goes to this drive again.
    ScsiResult result;
    drive.TakeDown(result);
    CancelTest();
    return 0;
}

std::uint32_t DriveTestRecord::PercentDone() const {
    if (!Running() || !DiagnosticRunning() || totalSteps == 0) {
        return kMaxPercent;
    }
    const std::uint64_t percent = static_cast<std::uint64_t>(stepsDone) * kMaxPercent / totalSteps;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(percent, kMaxPercent));
}

std::uint32_t DriveTestRecord::DiagnosticState() const {
    if (DiagnosticRunning()) {
        return 1;
    }
    if (verifyState == kStateFinishedWithErrors || writeReadState == kStateFinishedWithErrors) {
        return 2;
    }
    return 0;
}

DiagCommandResults DriveTestRecord::Snapshot(MESSAGE_CODE code) const {
    const std::uint32_t state = StateOf(KindOf(code));
    oruerr error = OruErrFromResult(lastResult);
    // The chunks that failed, lowest first, go with the result of the test
    // that found them: the error place names only the first.
    std::vector<DiagCommandResults::FailedChunk> failed;
    if (testKind == KindOf(code)) {
        for (std::uint32_t i = 0; i < std::min(errorCount, kMaxErrors); ++i) {
            failed.push_back({errors[i].lba, errors[i].blocks});
        }
    }
    std::sort(failed.begin(), failed.end(),
              [](const auto& a, const auto& b) { return a.block < b.block; });
    DiagCommandResults::SetFailedChunks(error, failed);
    return DiagCommandResults(code, state == kStateFinished ? 1 : 0, drive,
                              static_cast<DIAG_STATE>(state), errorCode, errorLba, errorLength,
                              &error);
}
