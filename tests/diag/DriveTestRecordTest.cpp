// The drive tests of one slot against an in-process simulated cabinet: each
// command goes through the controller's drive exchange to the simulated
// drive, whose media the operator can make bad. A few capacities no drive
// of the simulator can have come from a scripted drive instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "InProcessCabinets.h"
#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/diag/DriveTestRecord.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/storsys/StorSys.h"
#include "sim/ModelJson.h"

using devmgrtest::InProcessCabinets;

namespace {

// One cabinet on one path. A1: 840 blocks (7 verify chunks, 28 write/read
// chunks), B1: 121 blocks (last block 120), A2: 240 blocks (last 239),
// B2: not a member, 840 blocks, A3: the hot spare, 840 blocks; A1 and B1
// carry a logical unit, so losing one starts a rebuild onto the spare.
// Drive values and grown defects for the health checks.
const char* kWorld = R"({
  "cabinets": [{
    "serial": "QD0000000001",
    "controllers": [{"serial": "CTLX00000000001"}, {"serial": "CTLY00000000001"}],
    "drives": [
      {"slot": "A1", "serial": "DRVA1", "blocks": 840, "errorCounters": [1, 5, 0, 0, 0, 0, 0]},
      {"slot": "B1", "serial": "DRVB1", "blocks": 121, "errorCounters": [5, 1, 0, 0, 0, 0, 0]},
      {"slot": "A2", "serial": "DRVA2", "blocks": 240},
      {"slot": "B2", "serial": "DRVB2", "blocks": 840, "state": 2},
      {"slot": "A3", "serial": "DRVA3", "blocks": 840, "spare": true}],
    "luns": [{"lun": 0, "blocks": 512}]
  }],
  "paths": [{"name": "STROVANE0", "cabinet": 0, "controller": "X"}]
})";

constexpr std::uint8_t kA1 = 0, kB1 = 1, kA2 = 2, kB2 = 3, kA3 = 4;

sim::WorldModel World() {
    sim::WorldModel world;
    std::string error;
    EXPECT_TRUE(sim::ModelJson::FromText(kWorld, &world, &error)) << error;
    return world;
}

// The drive commands of a slot, with every block each command reached.
class WatchedDrive : public DriveCommands {
  public:
    explicit WatchedDrive(DriveCommands& inner) : inner_(inner) {}
    std::uint32_t Drive() const override { return inner_.Drive(); }
    bool TestUnitReady(ScsiResult& r) override { return inner_.TestUnitReady(r); }
    bool ReadCapacity(std::uint32_t& last, std::uint32_t& length, ScsiResult& r) override {
        return inner_.ReadCapacity(last, length, r);
    }
    bool Verify(std::uint32_t block, std::uint16_t count, ScsiResult& r) override {
        verified.push_back(block);
        EXPECT_EQ(count, 120u);
        return inner_.Verify(block, count, r);
    }
    bool Write(std::uint32_t block, std::uint16_t count, const unsigned char* buffer,
               ScsiResult& r) override {
        written.push_back(block);
        EXPECT_EQ(count, 30u);
        return inner_.Write(block, count, buffer, r);
    }
    bool Read(std::uint32_t block, std::uint16_t count, unsigned char* buffer,
              ScsiResult& r) override {
        return inner_.Read(block, count, buffer, r);
    }
    bool ReadDriveState(std::uint32_t word[6], ScsiResult& r) override {
        return inner_.ReadDriveState(word, r);
    }
    bool ReadGrownDefects(unsigned char* buffer, std::uint16_t allocation, ScsiResult& r) override {
        return inner_.ReadGrownDefects(buffer, allocation, r);
    }
    bool TakeDown(ScsiResult& r) override { return inner_.TakeDown(r); }

    std::vector<std::uint32_t> verified;
    std::vector<std::uint32_t> written;

  private:
    DriveCommands& inner_;
};

// A drive that answers READ CAPACITY with given values and everything else
// with GOOD.
class ScriptedDrive : public DriveCommands {
  public:
    ScriptedDrive(std::uint32_t last, std::uint32_t length) : last_(last), length_(length) {}
    std::uint32_t Drive() const override { return 0; }
    bool TestUnitReady(ScsiResult&) override { return true; }
    bool ReadCapacity(std::uint32_t& last, std::uint32_t& length, ScsiResult&) override {
        last = last_;
        length = length_;
        return true;
    }
    bool Verify(std::uint32_t, std::uint16_t, ScsiResult&) override { return true; }
    bool Write(std::uint32_t, std::uint16_t, const unsigned char*, ScsiResult&) override {
        return true;
    }
    bool Read(std::uint32_t, std::uint16_t, unsigned char*, ScsiResult&) override { return true; }
    bool ReadDriveState(std::uint32_t word[6], ScsiResult&) override {
        word[0] = 2;
        return true;
    }
    bool ReadGrownDefects(unsigned char*, std::uint16_t, ScsiResult&) override { return true; }
    bool TakeDown(ScsiResult&) override { return true; }

  private:
    std::uint32_t last_, length_;
};

class DriveTestRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cabinets_ = std::make_unique<InProcessCabinets>(World());
        ScsiResult result;
        OpenArrayDevices(list_, result);
        ASSERT_NE(list_, nullptr);
        controller_ = std::make_unique<StorSys>(list_);
    }
    void TearDown() override {
        controller_.reset();
        CloseArrayDevices(list_);
        cabinets_.reset();
    }

    StorSysDrive Drive(std::uint8_t slot) { return StorSysDrive(*controller_, slot); }
    DriveTestRecord Record(std::uint8_t slot) {
        DriveTestRecord record;
        record.drive = slot;
        return record;
    }
    void Control(const std::string& line) {
        std::string answer;
        ASSERT_TRUE(cabinets_->Control(line, &answer)) << line << ": " << answer;
    }
    const sim::DriveModel& SimDrive(int slot) {
        snapshot_ = cabinets_->Sim().Snapshot();
        return snapshot_.cabinets[0].drives[slot];
    }

    std::unique_ptr<InProcessCabinets> cabinets_;
    DeviceRecord* list_ = nullptr;
    std::unique_ptr<StorSys> controller_;
    sim::WorldModel snapshot_;
};

TEST_F(DriveTestRecordTest, VerifyCoversItsShareOfTheChunksEachOnceThenFinishes) {
    StorSysDrive a1 = Drive(kA1);
    WatchedDrive drive(a1);
    DriveTestRecord record = Record(kA1);
    // 7 chunks, 50 percent: a budget of 3 steps.
    ASSERT_TRUE(record.StartVerify(drive, 50, 77));
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateRunning);
    EXPECT_EQ(record.totalSteps, 3u);
    EXPECT_EQ(record.PercentDone(), 0u);
    EXPECT_EQ(record.DiagnosticState(), 1u);
    EXPECT_TRUE(record.VerifyStep(drive));
    EXPECT_EQ(record.PercentDone(), 33u);
    EXPECT_TRUE(record.VerifyStep(drive));
    EXPECT_TRUE(record.VerifyStep(drive));
    // The fourth step spends no chunk on the drive and ends the verify.
    EXPECT_FALSE(record.VerifyStep(drive));
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateFinished);
    EXPECT_EQ(record.errorCode, DriveTestRecord::kErrorNone);
    EXPECT_EQ(record.PercentDone(), 100u);  // 4 steps of 3, never above 100
    ASSERT_EQ(drive.verified.size(), 3u);
    std::set<std::uint32_t> distinct(drive.verified.begin(), drive.verified.end());
    EXPECT_EQ(distinct.size(), 3u);
    for (std::uint32_t lba : drive.verified) {
        EXPECT_EQ(lba % 120, 0u);
        EXPECT_LT(lba, 840u);
    }
    EXPECT_EQ(record.Snapshot(MC_VerifyPhysicalDrive).result, 1);
    // The seed decides the order: the same seed takes the same chunks.
    DriveTestRecord again = Record(kA1);
    WatchedDrive second(a1);
    ASSERT_TRUE(again.StartVerify(second, 50, 77));
    while (again.VerifyStep(second)) {
    }
    EXPECT_EQ(second.verified, drive.verified);
}

TEST_F(DriveTestRecordTest, VerifyNeedsMoreThan120Blocks) {
    StorSysDrive b1 = Drive(kB1);
    DriveTestRecord small = Record(kB1);
    EXPECT_FALSE(small.StartVerify(b1, 100, 1));
    EXPECT_EQ(small.verifyState, DriveTestRecord::kStateNotStarted);
    EXPECT_EQ(small.errorCode, 37u);
    EXPECT_FALSE(small.Running());
    EXPECT_EQ(small.Snapshot(MC_VerifyPhysicalDrive).result, 0);

    StorSysDrive a2 = Drive(kA2);
    WatchedDrive drive(a2);
    DriveTestRecord two = Record(kA2);
    ASSERT_TRUE(two.StartVerify(drive, 100, 5));
    EXPECT_EQ(two.totalSteps, 2u);
    while (two.VerifyStep(drive)) {
    }
    EXPECT_EQ(two.verifyState, DriveTestRecord::kStateFinished);
    EXPECT_EQ(std::set<std::uint32_t>(drive.verified.begin(), drive.verified.end()),
              (std::set<std::uint32_t>{0, 120}));
}

TEST_F(DriveTestRecordTest, TheFifthVerifyErrorEndsTheVerifyWithErrors) {
    Control("media-error 0 A1 0 840");
    StorSysDrive drive = Drive(kA1);
    DriveTestRecord record = Record(kA1);
    ASSERT_TRUE(record.StartVerify(drive, 100, 9));
    for (int step = 1; step <= 4; ++step) {
        EXPECT_TRUE(record.VerifyStep(drive)) << step;
        EXPECT_EQ(record.errorCount, static_cast<std::uint32_t>(step));
    }
    EXPECT_FALSE(record.VerifyStep(drive));
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateFinishedWithErrors);
    EXPECT_EQ(record.errorCount, 5u);
    EXPECT_EQ(record.errorCode, 47u);
    EXPECT_EQ(record.errorLength, 120u);
    // The result names the lowest failing chunk, and lists all five.
    std::uint32_t lowest = record.errors[0].lba;
    for (const DriveTestRecord::ErrorEntry& entry : record.errors) {
        lowest = std::min(lowest, entry.lba);
    }
    EXPECT_EQ(record.errorLba, lowest);
    EXPECT_EQ(record.DiagnosticState(), 2u);
    // The drive's medium error, in the controller's form, names the block.
    const ScsiResult& failed = record.lastResult;
    ASSERT_GE(failed.senseLength, 26u);
    EXPECT_EQ(failed.SenseKey(), 3);
    EXPECT_EQ(failed.sense[23], 0x11);
    EXPECT_EQ(failed.sense[25], kA1);
    const std::uint32_t block = (std::uint32_t(failed.sense[3]) << 24) |
                                (std::uint32_t(failed.sense[4]) << 16) |
                                (std::uint32_t(failed.sense[5]) << 8) | failed.sense[6];
    EXPECT_EQ(block, lowest);
    const DiagCommandResults result = record.Snapshot(MC_VerifyPhysicalDrive);
    EXPECT_EQ(result.result, 0);
    EXPECT_EQ(result.diagState, DIAG_STATE_FINISHED_WITH_ERRORS);
    EXPECT_EQ(result.diagValue1, 47u);
    EXPECT_EQ(result.diagValue2, record.errorLba);
    EXPECT_EQ(result.diagValue3, 120u);
    EXPECT_NE(result.error.senseValid, 0u);
    const std::vector<DiagCommandResults::FailedChunk> chunks = result.FailedChunks();
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_EQ(chunks[0].block, lowest);
    EXPECT_EQ(chunks[0].blocks, 120u);
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        EXPECT_LT(chunks[i - 1].block, chunks[i].block);
    }
    // The drive counted its uncorrected verify errors.
    EXPECT_EQ(SimDrive(kA1).uncorrectedErrors[2], 5u);
}

TEST_F(DriveTestRecordTest, FourVerifyErrorsRunToTheEndAndFinishWithErrors) {
    Control("media-error 0 A1 0 480");  // chunks 0 to 3 of 7
    StorSysDrive drive = Drive(kA1);
    DriveTestRecord record = Record(kA1);
    ASSERT_TRUE(record.StartVerify(drive, 100, 3));
    int steps = 1;
    while (record.VerifyStep(drive)) {
        ++steps;
    }
    EXPECT_EQ(steps, 8);
    // Every chunk was verified, and a verify that found a bad one did not
    // pass.
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateFinishedWithErrors);
    EXPECT_EQ(record.DiagnosticState(), 2u);
    EXPECT_EQ(record.errorCount, 4u);
    EXPECT_EQ(record.errorCode, 47u);
    EXPECT_EQ(record.errorLba, 0u);
    std::set<std::uint32_t> bad;
    for (std::uint32_t i = 0; i < record.errorCount; ++i) {
        bad.insert(record.errors[i].lba);
    }
    EXPECT_EQ(bad, (std::set<std::uint32_t>{0, 120, 240, 360}));
    const DiagCommandResults result = record.Snapshot(MC_VerifyPhysicalDrive);
    EXPECT_EQ(result.result, 0);
    EXPECT_EQ(result.diagState, DIAG_STATE_FINISHED_WITH_ERRORS);
    EXPECT_EQ(result.diagValue2, 0u);
    EXPECT_EQ(result.FailedChunks().size(), 4u);
    // The next verify starts with none of them.
    Control("clear-media-errors 0 A1");
    record.ClearTest();  // as the result's publisher does
    ASSERT_TRUE(record.StartVerify(drive, 100, 3));
    while (record.VerifyStep(drive)) {
    }
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateFinished);
    EXPECT_TRUE(record.Snapshot(MC_VerifyPhysicalDrive).FailedChunks().empty());
    EXPECT_EQ(record.Snapshot(MC_VerifyPhysicalDrive).result, 1);
}

TEST_F(DriveTestRecordTest, WriteReadTestLeavesItsPatternOnTheChunksItCovered) {
    StorSysDrive b2 = Drive(kB2);
    WatchedDrive drive(b2);
    DriveTestRecord record = Record(kB2);
    // 28 chunks of 30 blocks, 10 percent: 2 steps.
    ASSERT_TRUE(record.StartWriteReadTest(drive, 10, 11));
    EXPECT_EQ(record.totalSteps, 2u);
    EXPECT_TRUE(record.WriteReadStep(drive));
    EXPECT_TRUE(record.WriteReadStep(drive));
    EXPECT_FALSE(record.WriteReadStep(drive));
    EXPECT_EQ(record.writeReadState, DriveTestRecord::kStateFinished);
    EXPECT_EQ(record.retry, 0u);
    ASSERT_EQ(drive.written.size(), 2u);
    const sim::DriveModel& stored = SimDrive(kB2);
    for (std::uint32_t lba : drive.written) {
        EXPECT_EQ(lba % 30, 0u);
        for (std::uint32_t b = 0; b < 30; ++b) {
            const std::vector<std::uint8_t> block = stored.data.Block(lba + b);
            // Byte i of the chunk is (i + first block) modulo 256.
            for (std::uint32_t i = 0; i < 512; i += 97) {
                EXPECT_EQ(block[i], static_cast<std::uint8_t>(b * 512 + i + lba)) << lba + b;
            }
        }
    }
}

TEST_F(DriveTestRecordTest, WriteReadFailuresEndTheTestWithTheirCodes) {
    struct Case {
        const char* kind;
        std::uint32_t code;
    };
    for (const Case& c : {Case{"write", 46u}, Case{"read", 40u}, Case{"corrupt", 257u}}) {
        SCOPED_TRACE(c.kind);
        Control("clear-media-errors 0 B2");
        Control(std::string("media-error 0 B2 0 840 ") + c.kind);
        StorSysDrive drive = Drive(kB2);
        DriveTestRecord record = Record(kB2);
        ASSERT_TRUE(record.StartWriteReadTest(drive, 100, 4));
        EXPECT_FALSE(record.WriteReadStep(drive));
        EXPECT_EQ(record.writeReadState, DriveTestRecord::kStateFinishedWithErrors);
        EXPECT_EQ(record.errorCode, c.code);
        EXPECT_EQ(record.errorLength, 30u);
        EXPECT_EQ(record.errorLba % 30, 0u);
        const DiagCommandResults result = record.Snapshot(MC_TestPhysicalDrive);
        EXPECT_EQ(result.diagValue1, c.code);
        // The one failing chunk goes with the result; a verify's result
        // does not take it.
        const std::vector<DiagCommandResults::FailedChunk> chunks = result.FailedChunks();
        ASSERT_EQ(chunks.size(), 1u);
        EXPECT_EQ(chunks[0].block, record.errorLba);
        EXPECT_EQ(chunks[0].blocks, 30u);
        EXPECT_TRUE(record.Snapshot(MC_VerifyPhysicalDrive).FailedChunks().empty());
    }
}

TEST_F(DriveTestRecordTest, WriteReadTestStopsWhenTheDriveJoinsTheArray) {
    StorSysDrive drive = Drive(kA3);
    DriveTestRecord record = Record(kA3);
    ASSERT_TRUE(record.StartWriteReadTest(drive, 100, 8));
    EXPECT_TRUE(record.WriteReadStep(drive));
    const std::size_t written = SimDrive(kA3).data.MemoryBlocks().size();
    ASSERT_NE(written, 0u);
    // A member fails: the controller starts rebuilding onto the spare.
    Control("fail-drive 0 A1");
    ASSERT_EQ(SimDrive(kA3).state, sim::kDriveRebuilding);
    EXPECT_FALSE(record.WriteReadStep(drive));
    EXPECT_EQ(record.writeReadState, DriveTestRecord::kStateCancelled);
    EXPECT_FALSE(record.Running());
    // Nothing more was written, and the drive was taken down again.
    EXPECT_EQ(SimDrive(kA3).data.MemoryBlocks().size(), written);
    EXPECT_EQ(SimDrive(kA3).state, sim::kDriveDowned);
}

TEST_F(DriveTestRecordTest, EndWriteReadTestActsOnlyOnAWriteReadTestOfADriveWithArrayData) {
    StorSysDrive drive = Drive(kB2);
    DriveTestRecord verify = Record(kB2);
    ASSERT_TRUE(verify.StartVerify(drive, 100, 2));
    EXPECT_EQ(verify.EndWriteReadTest(drive, 0), 1);
    EXPECT_TRUE(verify.Running());

    DriveTestRecord test = Record(kB2);
    ASSERT_TRUE(test.StartWriteReadTest(drive, 100, 2));
    for (std::uint32_t state : {1u, 2u, 3u, 5u, 8u}) {
        EXPECT_EQ(test.EndWriteReadTest(drive, state), 1) << state;
    }
    EXPECT_TRUE(test.Running());
    EXPECT_EQ(test.EndWriteReadTest(drive, 4), 0);
    EXPECT_EQ(test.writeReadState, DriveTestRecord::kStateCancelled);
    EXPECT_EQ(test.retry, 0u);
    EXPECT_EQ(SimDrive(kB2).state, sim::kDriveNew);  // the controller keeps a non-member up
}

TEST_F(DriveTestRecordTest, StartsAreRefusedWhileATestRunsAndCancelEndsIt) {
    StorSysDrive drive = Drive(kA1);
    DriveTestRecord record = Record(kA1);
    EXPECT_FALSE(record.CancelTest());
    ASSERT_TRUE(record.StartVerify(drive, 100, 1));
    EXPECT_FALSE(record.StartVerify(drive, 100, 1));
    EXPECT_FALSE(record.StartWriteReadTest(drive, 100, 1));
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateRunning);
    EXPECT_EQ(record.writeReadState, DriveTestRecord::kStateIdle);
    EXPECT_TRUE(record.CancelTest());
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateCancelled);
    EXPECT_EQ(record.testKind, DriveTestRecord::kNoTest);
    EXPECT_EQ(record.totalSteps, 0u);
    EXPECT_EQ(record.bitMap.Count(), 0u);
    EXPECT_FALSE(record.VerifyStep(drive));
    record.ResetTests();
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateIdle);
    EXPECT_EQ(record.errorCode, DriveTestRecord::kErrorNone);
}

TEST_F(DriveTestRecordTest, OnlyTheSecondTestUnitReadyCounts) {
    StorSysDrive drive = Drive(kA1);
    // The first look at the drive fails (a unit attention), the second not.
    Control("fault STROVANE0 29 1 check 6 29 0");
    DriveTestRecord record = Record(kA1);
    EXPECT_TRUE(record.StartVerify(drive, 10, 1));
    // Both fail: the drive is not ready.
    Control("fault STROVANE0 29 2 check 2 4 1");
    DriveTestRecord other = Record(kA1);
    EXPECT_FALSE(other.StartWriteReadTest(drive, 10, 1));
    EXPECT_EQ(other.writeReadState, DriveTestRecord::kStateNotStarted);
    EXPECT_EQ(other.errorCode, 0u);
    EXPECT_EQ(other.lastResult.SenseKey(), 2);
}

TEST_F(DriveTestRecordTest, DrivesTheTestsCannotAddressAreRefused) {
    struct Case {
        std::uint32_t last, length;
        bool verify;
    };
    // Too large for 10-byte commands; blocks of another size; no whole
    // write/read chunk (29 blocks).
    for (const Case& c :
         {Case{0xFFFFFFFFu, 512, true}, Case{0xFFFFFFFFu, 512, false}, Case{100000, 4096, true},
          Case{100000, 520, false}, Case{28, 512, false}}) {
        SCOPED_TRACE(c.last);
        ScriptedDrive drive(c.last, c.length);
        DriveTestRecord record;
        const bool started =
            c.verify ? record.StartVerify(drive, 100, 1) : record.StartWriteReadTest(drive, 100, 1);
        EXPECT_FALSE(started);
        EXPECT_EQ(record.StateOf(c.verify ? DriveTestRecord::kVerify : DriveTestRecord::kWriteRead),
                  DriveTestRecord::kStateNotStarted);
        EXPECT_EQ(record.errorCode, 37u);
    }
    // The largest drive they can address: the budget does not overflow.
    ScriptedDrive large(0xFFFFFFFEu, 512);
    DriveTestRecord record;
    ASSERT_TRUE(record.StartWriteReadTest(large, 100, 1));
    EXPECT_EQ(record.totalSteps, 0xFFFFFFFFu / 30);
    // A share above 100 percent covers the drive once.
    DriveTestRecord capped;
    ASSERT_TRUE(capped.StartVerify(large, 1000, 1));
    EXPECT_EQ(capped.totalSteps, 0xFFFFFFFFu / 120);
}

TEST_F(DriveTestRecordTest, AShareOfNoChunkFinishesAtOnceAtOneHundredPercent) {
    StorSysDrive drive = Drive(kA1);
    DriveTestRecord record = Record(kA1);
    ASSERT_TRUE(record.StartVerify(drive, 10, 1));  // 7 chunks x 10 / 100 = 0
    EXPECT_EQ(record.totalSteps, 0u);
    EXPECT_EQ(record.PercentDone(), 100u);
    EXPECT_FALSE(record.VerifyStep(drive));
    EXPECT_EQ(record.verifyState, DriveTestRecord::kStateFinished);
}

TEST_F(DriveTestRecordTest, HealthChecksReadTheDriveValuesAndTheGrownDefectList) {
    std::vector<std::uint32_t> bad;
    for (std::uint8_t slot : {kA1, kB1}) {
        StorSysDrive drive = Drive(slot);
        DriveTestRecord record = Record(slot);
        ScsiResult failure;
        ASSERT_TRUE(record.CheckHealth(drive, failure));
        EXPECT_EQ(record.healthA, DriveTestRecord::kHealthGood);
        bad.push_back(record.healthB);
    }
    // A1's first counter is below its second, B1's is not.
    EXPECT_EQ(bad, (std::vector<std::uint32_t>{DriveTestRecord::kHealthGood,
                                               DriveTestRecord::kHealthBad}));
    // 500 grown defects make 4000 bytes of list: bad media.
    std::string defects;
    for (int i = 0; i < 500; ++i) {
        defects += std::string(i == 0 ? "" : ",") + "[" + std::to_string(i) + ",0,1]";
    }
    std::string world = kWorld;
    world.replace(world.find(R"("blocks": 240})"), 14,
                  R"("blocks": 240, "defects": [)" + defects + "]}");
    sim::WorldModel model;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(world, &model, &error)) << error;
    cabinets_->Sim().Replace(model);
    StorSysDrive a2 = Drive(kA2);
    DriveTestRecord record = Record(kA2);
    ScsiResult failure;
    ASSERT_TRUE(record.CheckHealth(a2, failure));
    EXPECT_EQ(record.healthA, DriveTestRecord::kHealthBad);
    // An empty slot answers no defect list.
    StorSysDrive none = Drive(9);
    DriveTestRecord empty = Record(9);
    EXPECT_FALSE(empty.CheckHealth(none, failure));
    EXPECT_EQ(failure.SenseKey(), 2);
    EXPECT_EQ(empty.healthA, DriveTestRecord::kHealthUnknown);
}

}  // namespace
