// Drives end to end: libqen in this process, OruServr in the console,
// strovsim serving the cabinets (fixture: RequestFixture.h). The drive tests
// run step by step in the service; what a client sees of them (the command
// lists in its copy of the state, the progress and result events) is
// checked against what the simulated drives hold and log.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "LogTestSupport.h"
#include "RequestFixture.h"
#include "client/DOWN_TYPE.h"
#include "client/Session.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/EventTypes.h"
#include "sim/DefaultScenario.h"
#include "sim/ModelJson.h"

namespace netsrvtest {
namespace {

// Error codes, qualifiers and modules as the error table numbers them.
constexpr std::uint32_t kNoFail = 0, kCommandFailed = 1, kInvalidLength = 9;
constexpr std::uint32_t kDiagRunning = 13, kDriveAlreadyIncluded = 15, kDriveDownDuplication = 16,
                        kDriveLogSense = 19, kInvalidParameter = 26, kReadTest = 36,
                        kWriteReadTest = 54;
constexpr std::uint32_t kDeviceMgr = 4, kSubsystem = 5, kDiagnostic = 6;

// Slots of the default cabinet QX0000000001: members A1..B3 (0..5), the hot
// spare in A4 (6), the rest empty; 2097152 blocks a member.
constexpr std::uint32_t kA1 = 0, kB1 = 1, kA2 = 2, kB2 = 3, kA4 = 6, kB4 = 7, kA5 = 8, kB5 = 9,
                        kA6 = 10, kB6 = 11;
// The spare's blocks in these tests: 2000 write/read chunks.
constexpr std::uint32_t kSpareBlocks = 60000;

std::uint32_t Be32(const std::vector<unsigned char>& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) |
           (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
}

bool IsResult(const EventWords& e, std::uint32_t minor, std::uint32_t slot, std::uint32_t value) {
    return e.major == CRES && e.minor == minor && e.data1 == slot && e.data2 == value;
}

class DriveTestsTest : public ArrayRequestTest {
  protected:
    // The default cabinets with a smaller hot spare, so that a write/read
    // test of a share of it takes few steps.
    void BeforeServer() override { Load(SmallSpare()); }
    static sim::WorldModel SmallSpare() {
        sim::WorldModel world = sim::DefaultScenario::Build();
        world.timeScale = 0;  // the virtual clock the fixture starts with
        world.cabinets[0].drives[kA4].blocks = kSpareBlocks;
        return world;
    }
    void Load(const sim::WorldModel& world) {
        ASSERT_TRUE(root_.Write("world.json", sim::ModelJson::ToJson(world).dump()));
        ASSERT_EQ(Strovsim({"load", root_.Path() + "/world.json"}), 0);
    }
    Outcome RawDo(CommandHandle handle) { return Run(*Raw(), handle); }
    RawArray* Raw() {
        if (raw_ == nullptr) {
            OruSubsystem* subsystem = Subsystem("QX0000000001");
            auto* session = new Session(QEN::kRevision);
            EXPECT_EQ(session->Connect(subsystem), SESS_SUCCESS);
            raw_ = std::make_unique<RawArray>(subsystem->ServerName(), subsystem->SerialNumber(),
                                              session);
        }
        return raw_.get();
    }

    // The client's copy of a slot's result of code, or nullptr.
    const DiagCommandResults* Result(MESSAGE_CODE code, std::uint32_t slot) {
        const CommandResultsArray& results = array_->GetOruServerStatePtr()->commandResults;
        for (unsigned short i = 0; i < results.Size(); ++i) {
            const auto* diag = dynamic_cast<const DiagCommandResults*>(results[i]);
            if (diag != nullptr && diag->code == code && diag->drive == slot) {
                return diag;
            }
        }
        return nullptr;
    }
    // The client's copy of the commands in progress on a slot.
    std::vector<CommandInProgress> Running(std::uint32_t slot) {
        std::vector<CommandInProgress> running;
        const CommandInProgressArray& list = array_->GetOruServerStatePtr()->commandsInProgress;
        for (unsigned short i = 0; i < list.Size(); ++i) {
            if (list[i]->drive == slot) {
                running.push_back(*list[i]);
            }
        }
        return running;
    }
    // The percents of the progress events of a slot, in order.
    std::vector<std::uint32_t> Progress(std::uint32_t minor, std::uint32_t slot) {
        std::vector<std::uint32_t> percents;
        for (const EventWords& e : events_) {
            if (e.major == CPRG && e.minor == minor && e.data1 == slot) {
                percents.push_back(e.data2);
            }
        }
        return percents;
    }
    bool WaitForResult(std::uint32_t minor, std::uint32_t slot, std::uint32_t outcome) {
        return WaitForEvent(*array_, [&](const EventWords& e) {
            return e.major == CRES && e.minor == minor && e.data1 == slot && e.data2 == outcome;
        });
    }
    // The state value of a drive as strovsim shows it.
    int SimDriveState(std::uint32_t slot) {
        const char* names[] = {"A1", "B1", "A2", "B2", "A3", "B3",
                               "A4", "B4", "A5", "B5", "A6", "B6"};
        for (const std::string& line : Cabinet(0)) {
            if (line.rfind(std::string("  drive ") + names[slot] + " ", 0) == 0) {
                return static_cast<int>(std::stoul(line.substr(line.find(" state ") + 7)));
            }
        }
        return -1;
    }

    std::unique_ptr<RawArray> raw_;
};

// The cabinet also holds, in the slots it leaves empty, a drive in each
// further state that puts an array's data on it.
class DataDrivesTest : public DriveTestsTest {
  protected:
    void BeforeServer() override {
        sim::WorldModel world = SmallSpare();
        sim::CabinetModel& cabinet = world.cabinets[0];
        const std::pair<std::uint32_t, std::uint8_t> drives[] = {
            {kA5, 4}, {kB5, 5}, {kA6, 9}, {kB6, 10}};
        for (const auto& [slot, state] : drives) {
            cabinet.drives[slot] =
                sim::StockDrive(state, "D1DATA0000" + std::string(1, char('A' + slot)),
                                cabinet.volumeSetId, kSpareBlocks);
        }
        Load(world);
    }
};

TEST_F(DriveTestsTest, AVerifyRunsInStepsWhileAnotherArrayIsServedAndACancelStopsIt) {
    // The whole drive: 17476 chunks, far more steps than the rest takes.
    const CommandHandle verify = array_->VerifyPhysicalDrive(kA2, 100);
    Outcome started = Do(verify);
    EXPECT_EQ(started.statuses, (std::vector<std::uint32_t>{3, 2, 1}));
    ExpectDone(started);
    // The test started: its result says so, its progress is listed.
    ASSERT_TRUE(WaitForEvent(*array_, [](const EventWords& e) {
        return IsResult(e, CRES_VERIFY_RESULT, kA2, DIAG_STATE_RUNNING);
    }));
    ASSERT_TRUE(WaitForEvent(*array_, [](const EventWords& e) {
        return e.major == CPRG && e.minor == CPRG_VERIFY_PROGRESS && e.data1 == kA2 && e.data2 > 0;
    }));

    // The other array's state requests are answered between the steps.
    DiskArray* other = Connect("QX0000000002");
    ASSERT_NE(other, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Run(*other, other->GetState()).kind, RMT_STATE_MSG);
    }
    // ... and so are this array's own.
    EXPECT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    ASSERT_EQ(Running(kA2).size(), 1u);
    EXPECT_EQ(Running(kA2)[0].code, MC_VerifyPhysicalDrive);
    EXPECT_EQ(Running(kA2)[0].handle, verify);
    EXPECT_LT(Running(kA2)[0].aux2, 100u);
    for (const EventWords& e : events_) {
        EXPECT_FALSE(e.major == CRES && e.data1 == kA2 && e.data2 != DIAG_STATE_RUNNING)
            << "the verify ended before the other requests were answered";
    }
    const Outcome cancel = Do(array_->Cancel_Command(verify));
    ExpectDone(cancel);
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kA2, 2));  // cancelled
    EXPECT_TRUE(Running(kA2).empty());
    const DiagCommandResults* result = Result(MC_VerifyPhysicalDrive, kA2);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->diagState, DIAG_STATE_CANCELLED);
    EXPECT_EQ(result->result, 0);
    std::vector<std::uint32_t> percents = Progress(CPRG_VERIFY_PROGRESS, kA2);
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    // A cancel that comes too late finds nothing to cancel.
    ExpectRefused(Do(array_->Cancel_Command(verify)), 5, 0, kDeviceMgr);
}

TEST_F(DriveTestsTest, AVerifyReportsItsProgressAndItsResult) {
    // 1 percent of 17476 chunks: 174 steps.
    ExpectDone(Do(array_->VerifyPhysicalDrive(kA1, 1)));
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kA1, 1));  // finished
    std::vector<std::uint32_t> percents = Progress(CPRG_VERIFY_PROGRESS, kA1);
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.front(), 0u);
    EXPECT_EQ(percents.back(), 100u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LE(*std::max_element(percents.begin(), percents.end()), 100u);
    // Every percent was told once.
    EXPECT_EQ(std::set<std::uint32_t>(percents.begin(), percents.end()).size(), percents.size());
    EXPECT_TRUE(Running(kA1).empty());
    const DiagCommandResults* result = Result(MC_VerifyPhysicalDrive, kA1);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->diagState, DIAG_STATE_FINISHED);
    EXPECT_EQ(result->result, 1);
    EXPECT_EQ(result->diagValue1, 256u);  // no error
    // A fresh full state carries the same lists.
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    ASSERT_NE(Result(MC_VerifyPhysicalDrive, kA1), nullptr);
    EXPECT_EQ(Result(MC_VerifyPhysicalDrive, kA1)->diagState, DIAG_STATE_FINISHED);
    EXPECT_TRUE(Running(kA1).empty());
}

TEST_F(DriveTestsTest, AnInjectedMediaErrorShowsInTheResultAndInTheLogs) {
    ASSERT_EQ(Strovsim({"media-error", "0", "B1", "0", "2097152"}), 0);
    ExpectDone(Do(array_->VerifyPhysicalDrive(kB1, 1)));
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kB1, 0));  // failed
    const DiagCommandResults* result = Result(MC_VerifyPhysicalDrive, kB1);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->diagState, DIAG_STATE_FINISHED_WITH_ERRORS);
    EXPECT_EQ(result->diagValue1, 47u);  // VERIFY failed
    EXPECT_EQ(result->diagValue2 % 120, 0u);
    EXPECT_EQ(result->diagValue3, 120u);
    // The drive's own sense in the controller's form: the medium error and
    // the block it hit.
    const std::string sense(result->error.SenseBytes());
    ASSERT_GE(sense.size(), 26u);
    EXPECT_EQ(sense[2] & 0x0F, 3);
    EXPECT_EQ(static_cast<unsigned char>(sense[23]), 0x11);
    EXPECT_EQ(sense[25], static_cast<char>(kB1));
    const std::vector<unsigned char> bytes(sense.begin(), sense.end());
    EXPECT_EQ(Be32(bytes, 3), result->diagValue2);

    // The controller logged every medium error with its block.
    Outcome log = Do(array_->ReadControllerLog(8192, 1, 0));
    ASSERT_EQ(log.kind, RMT_BUFFER_MSG);
    ASSERT_EQ(log.bytes.size(), 8192u);
    std::set<std::uint32_t> logged;
    const std::size_t end = 3 + ((std::size_t(log.bytes[1]) << 8) | log.bytes[2]);
    for (std::size_t at = 3; at < end && at < log.bytes.size();) {
        const unsigned kind = log.bytes[at];
        if (kind == 0 && ((log.bytes[at + 7] << 8) | log.bytes[at + 8]) == 101 &&
            log.bytes[at + 10] == kB1) {
            logged.insert(Be32(log.bytes, at + 14));
        }
        at += kind == 0 ? 18 : (kind == 1 ? 14 : 28);
    }
    EXPECT_EQ(logged.size(), 5u);
    EXPECT_EQ(logged.count(result->diagValue2), 1u);
    // Behind the log the reply is zeros, never what a buffer held before.
    EXPECT_TRUE(std::all_of(log.bytes.begin() + static_cast<long>(end), log.bytes.end(),
                            [](unsigned char b) { return b == 0; }));
    // The drive counted them among its uncorrected verify errors (log
    // page 5, parameter 6).
    Outcome page = Do(array_->RecordDiagInfo(kB1, 0x05, 64));
    ASSERT_EQ(page.kind, RMT_BUFFER_MSG);
    ASSERT_EQ(page.bytes.size(), 64u);
    EXPECT_EQ(page.bytes[0], 0x05);
    EXPECT_EQ(Be32(page.bytes, 4 + 6 * 8 + 4), 5u);

    // Read through the monitor, the entries go into the service's log.
    ASSERT_EQ(Do(array_->ReadControllerLog(8192, 1, 1)).kind, RMT_BUFFER_MSG);
    ExpectDone(Do(array_->FlushServerLog()));
    const std::string directory = root_.Path() + "/c/oru_log";
    std::set<std::uint32_t> kept;
    for (const logtest::Record& record : logtest::ChainRecords(directory)) {
        if (record.recordClass != 2 || record.code != 1 || record.serial != "QX0000000001") {
            continue;
        }
        for (const std::string& name : logtest::ChainFileNames(directory)) {
            const logtest::Bytes file = logtest::ReadBytes(directory + "/" + name);
            if (record.fileOffset + record.length > file.size()) {
                continue;
            }
            const unsigned char* entry = file.data() + record.fileOffset + 60;
            if (((entry[7] << 8) | entry[8]) == 101 && entry[10] == kB1) {
                kept.insert((std::uint32_t(entry[14]) << 24) | (std::uint32_t(entry[15]) << 16) |
                            (std::uint32_t(entry[16]) << 8) | entry[17]);
            }
        }
    }
    EXPECT_EQ(kept, logged);
}

TEST_F(DataDrivesTest, TheWriteReadTestIsRefusedOnEveryDriveThatHoldsArrayData) {
    // Every drive state that puts an array's data on the drive (and a share
    // above 100 percent, and a slot past the table) is refused before
    // anything is written.
    const struct {
        std::uint32_t slot;
        int state;
    } holders[] = {
        {kA1, 0},   // a member
        {kA5, 4},   // failed
        {kB5, 5},   // a member of another array
        {kA6, 9},   // being rebuilt
        {kB6, 10},  // to be rebuilt
    };
    for (const auto& holder : holders) {
        SCOPED_TRACE("drive state " + std::to_string(holder.state));
        ASSERT_EQ(SimDriveState(holder.slot), holder.state);
        ExpectRefused(Do(array_->TestPhysicalDrive(holder.slot, 10)), kCommandFailed,
                      kWriteReadTest, kDeviceMgr);
        EXPECT_EQ(Result(MC_TestPhysicalDrive, holder.slot), nullptr);
        EXPECT_EQ(SimDriveState(holder.slot), holder.state);
    }
    ExpectRefused(Do(array_->TestPhysicalDrive(kA4, 101)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
    ExpectRefused(Do(array_->VerifyPhysicalDrive(12, 10)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
    // An empty slot cannot start: the verify's own qualifier, the drive's
    // answer, and a result that says so.
    Outcome none = Do(array_->VerifyPhysicalDrive(kB4, 10));
    ExpectRefused(none, kCommandFailed, kReadTest, kDiagnostic);
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kB4, 0));
    const DiagCommandResults* result = Result(MC_VerifyPhysicalDrive, kB4);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->diagState, DIAG_STATE_COULD_NOT_START);
    EXPECT_EQ(result->diagValue1, 0u);  // not ready
    EXPECT_TRUE(Running(kB4).empty());
}

TEST_F(DriveTestsTest, AWriteReadTestOfTheSpareRunsToItsEndAndBlocksWhatMustWait) {
    // 5 percent of 2000 chunks: 100 steps.
    const CommandHandle test = array_->TestPhysicalDrive(kA4, 5);
    ExpectDone(Do(test));
    // Meanwhile the slot takes no other test and no inclusion.
    ExpectRefused(Do(array_->VerifyPhysicalDrive(kA4, 1)), kCommandFailed, kDiagRunning,
                  kDeviceMgr);
    ExpectRefused(Do(array_->AddPhysicalDrive(kA4)), kCommandFailed, kDiagRunning, kDeviceMgr);
    ASSERT_TRUE(WaitForResult(CRES_TEST_RESULT, kA4, 1));
    const DiagCommandResults* result = Result(MC_TestPhysicalDrive, kA4);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->diagState, DIAG_STATE_FINISHED);
    EXPECT_EQ(result->result, 1);
    EXPECT_TRUE(Running(kA4).empty());
    std::vector<std::uint32_t> percents = Progress(CPRG_TEST_PROGRESS, kA4);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100u);
    EXPECT_EQ(SimDriveState(kA4), 8);  // still the spare
}

TEST_F(DriveTestsTest, AWriteReadTestEndsWhenTheControllerRebuildsOntoItsDrive) {
    const CommandHandle test = array_->TestPhysicalDrive(kA4, 100);
    ExpectDone(Do(test));
    ASSERT_TRUE(WaitForEvent(*array_, [](const EventWords& e) {
        return IsResult(e, CRES_TEST_RESULT, kA4, DIAG_STATE_RUNNING);
    }));
    // A member fails; the controller starts rebuilding onto the spare.
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A1"}), 0);
    ASSERT_TRUE(WaitForResult(CRES_TEST_RESULT, kA4, 2));  // cancelled
    EXPECT_TRUE(Running(kA4).empty());
    ASSERT_NE(Result(MC_TestPhysicalDrive, kA4), nullptr);
    EXPECT_EQ(Result(MC_TestPhysicalDrive, kA4)->diagState, DIAG_STATE_CANCELLED);
    // The drive was taken out of the rebuild: its blocks hold patterns.
    EXPECT_EQ(SimDriveState(kA4), 3);
}

TEST_F(DriveTestsTest, DrivesAreIncludedDownedAndReset) {
    ExpectRefused(Do(array_->AddPhysicalDrive(kA1)), kCommandFailed, kDriveAlreadyIncluded,
                  kDeviceMgr);
    ExpectRefused(Do(array_->AddPhysicalDrive(12)), kCommandFailed, kInvalidParameter, kDeviceMgr);
    ExpectDone(Do(array_->DownPhysicalDrive(kB2, DT_ALLOW_ALL, 1)));
    EXPECT_EQ(SimDriveState(kB2), 3);
    EXPECT_EQ(array_->GetStatePtr()->drives[kB2].driveState, 3u);  // told by the events
    // Downing it again: nothing failed, nothing changed.
    ExpectRefused(Do(array_->DownPhysicalDrive(kB2, DT_ALLOW_ALL, 1)), kNoFail,
                  kDriveDownDuplication, kDeviceMgr);
    // An allowance or value the command cannot carry is no request.
    ExpectRefused(RawDo(Raw()->Send(MC_DownPhysicalDrive, kB1, 6, 0)), kCommandFailed,
                  kInvalidParameter, kDeviceMgr);
    ExpectRefused(RawDo(Raw()->Send(MC_DownPhysicalDrive, kB1, 0, 64)), kCommandFailed,
                  kInvalidParameter, kDeviceMgr);
    ExpectDone(Do(array_->ResetPhysicalDrive(kB2)));
    EXPECT_EQ(SimDriveState(kB2), 2);  // back, not a member
    ExpectDone(Do(array_->AddPhysicalDrive(kB2)));
    EXPECT_NE(SimDriveState(kB2), 2);
    // Any slot the command can carry goes to the array; others do not.
    ExpectRefused(Do(array_->ResetPhysicalDrive(kB4)), kCommandFailed, 42, kDiagnostic);
    ExpectRefused(Do(array_->ResetPhysicalDrive(300)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
}

TEST_F(DriveTestsTest, DriveDataComesBackAtTheSizeAskedForAndItsLimits) {
    Outcome defects = Do(array_->ReadDefectData(kA1, 1024));
    ASSERT_EQ(defects.kind, RMT_BUFFER_MSG);
    ASSERT_EQ(defects.bytes.size(), 1024u);
    EXPECT_EQ(defects.bytes[1], 0x0D);  // the grown list, physical-sector format
    // A drive that answers with less than was asked for: its bytes, then
    // zeros.
    ASSERT_EQ(Strovsim({"fault", "*", "f4", "1", "short", "6"}), 0);
    Outcome shorter = Do(array_->ReadDefectData(kA1, 64));
    ASSERT_EQ(shorter.kind, RMT_BUFFER_MSG);
    ASSERT_EQ(shorter.bytes.size(), 64u);
    EXPECT_EQ(shorter.bytes[1], 0x0D);
    EXPECT_TRUE(std::all_of(shorter.bytes.begin() + 6, shorter.bytes.end(),
                            [](unsigned char b) { return b == 0; }));
    ExpectRefused(Do(array_->ReadDefectData(12, 64)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
    ExpectRefused(Do(array_->ReadDefectData(kA1, 70000)), kInvalidLength, kInvalidParameter,
                  kDeviceMgr);

    Outcome pages = Do(array_->RecordDiagInfo(kA1, 0, 16));
    ASSERT_EQ(pages.kind, RMT_BUFFER_MSG);
    EXPECT_EQ(pages.bytes,
              (std::vector<unsigned char>{0, 0, 0, 5, 0, 2, 3, 5, 6, 0, 0, 0, 0, 0, 0, 0}));
    ExpectRefused(Do(array_->RecordDiagInfo(kA1, 2, 70000)), kInvalidLength, kInvalidParameter,
                  kDeviceMgr);
    // A slot past the table goes to the array, which has no such drive.
    ExpectRefused(Do(array_->RecordDiagInfo(12, 2, 64)), kCommandFailed, kDriveLogSense,
                  kSubsystem);
    ExpectRefused(RawDo(Raw()->Send(MC_RecordDiagInfo, 256, 2, 64)), kCommandFailed,
                  kInvalidParameter, kDeviceMgr);
    Outcome cleared = Do(array_->ClearDiagInfo(kA1, 2));
    ExpectDone(cleared);
    EXPECT_EQ(cleared.statuses, (std::vector<std::uint32_t>{3, 2, 1}));

    // The usage counters: four words whatever size was asked for.
    Outcome counters = Do(array_->ReadControllerLog(4, 2, 0));
    ASSERT_EQ(counters.kind, RMT_BUFFER_MSG);
    ASSERT_EQ(counters.bytes.size(), 16u);
    EXPECT_GT(Be32(counters.bytes, 0), 0u);  // commands answered
    ExpectRefused(Do(array_->ReadControllerLog(65539, 1, 0)), kInvalidLength, kInvalidParameter,
                  kDeviceMgr);

    ExpectDone(Do(array_->Do_Prevention_Check()));
    ExpectRefused(RawDo(Raw()->Send(MC_Do_Prevention_Check, 12)), kCommandFailed, kInvalidParameter,
                  kDeviceMgr);
}

TEST_F(DriveTestsTest, ClearingTheResultsKeepsThoseOfRunningTests) {
    ExpectDone(Do(array_->VerifyPhysicalDrive(kA1, 1)));
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kA1, 1));
    const CommandHandle running = array_->VerifyPhysicalDrive(kA2, 100);
    ExpectDone(Do(running));
    ExpectDone(Do(array_->ClearDiagResults()));
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    EXPECT_EQ(Result(MC_VerifyPhysicalDrive, kA1), nullptr);
    ASSERT_NE(Result(MC_VerifyPhysicalDrive, kA2), nullptr);
    EXPECT_EQ(Running(kA2).size(), 1u);
    ExpectDone(Do(array_->Cancel_Command(running)));
    ASSERT_TRUE(WaitForResult(CRES_VERIFY_RESULT, kA2, 2));
}

}  // namespace
}  // namespace netsrvtest
