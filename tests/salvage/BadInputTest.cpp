// What a misbehaving controller cannot do to dksalvage: lengths in the
// controller log and the drive list that point past what arrived, damaged
// or long logs, a controller that stays busy, a progress that never moves,
// and a controller that goes away in the middle of a recovery. Each ends
// bounded, with a clear message and the tool's exit code.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "SalvageTestSupport.h"
#include "ScriptedDevice.h"
#include "platform/Clock.h"
#include "sim/InProcessDevice.h"
#include "sim/RecoveryRules.h"
#include "sim/RecoveryScenario.h"

namespace {

using namespace salvagetest;
using namespace scsitest;

const std::string kId = "QXSCRIPTED01";
const Bytes kIdentity28 = {0x12, 0x01, 0xE0, 0x00, 0x1C, 0x00};
const Bytes kDriveListHead = {0x22, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0};
const Bytes kStateBlock = {0x20, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0};
const Bytes kPage22 = {0x5A, 0x08, 0x22, 0, 0, 0, 0, 0x00, 0x2A, 0};
const Bytes kLogHead = {0xF2, 0, 0, 1, 0, 0, 0, 0x00, 0x03, 0};

Bytes LogRead(std::uint32_t length) {
    return {0xF2,
            0,
            0,
            1,
            0,
            0,
            0,
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            0};
}

Bytes DriveEvent(std::uint8_t slot) {
    Bytes e(18, 0);
    e[8] = 102;
    e[10] = slot;
    return e;
}

// The log buffer: byte 0, BE16 length, the records.
Bytes Log(const Bytes& records, std::uint32_t claimed) {
    Bytes log = {0x01, static_cast<std::uint8_t>(claimed >> 8), static_cast<std::uint8_t>(claimed)};
    log.insert(log.end(), records.begin(), records.end());
    return log;
}

class BadInputTest : public SalvageTest {
  protected:
    // A controller of array kId in state 4 with one drive of set A in A1.
    std::shared_ptr<Script> Controller() {
        auto script = ServeController("STROVANE0", "SCRIPTEDCTLX0001", kId.c_str());
        Bytes identity = IdentityPage68("QRVZX-4003", "F301.00.00");
        identity.resize(28);
        script->standing[kIdentity28].dataIn = identity;
        Bytes entry(88, 0);
        std::memcpy(entry.data() + 1, "SALVAGE-VOLSET-A", 16);
        entry[33] = 5;
        Bytes list = {0x00, 89, 88};
        list.insert(list.end(), entry.begin(), entry.end());
        script->standing[kDriveListHead].dataIn = {0x00, 89};
        script->standing[{0x22, 0, 0, 0, 0, 0, 0, 0x00, 91, 0}].dataIn = list;
        Bytes state(32, 0);
        state[1] = 4;
        script->standing[kStateBlock].dataIn = state;
        script->standing[kPage22].dataIn = Bytes(42, 0);
        AnswerLog(*script, 0, {});
        return script;
    }

    // Answers the log reads: the 3-byte head (announcing `head`), and the
    // whole read of head + 3 bytes with `bytes`.
    static void AnswerLog(Script& script, std::uint32_t head, const Bytes& bytes) {
        script.standing[kLogHead].dataIn = {0x01, static_cast<std::uint8_t>(head >> 8),
                                            static_cast<std::uint8_t>(head)};
        if (head != 0) {
            script.standing[LogRead(head + 3)].dataIn = bytes;
        }
    }

    static std::size_t Sent(Script& script, const Bytes& cdb) {
        const auto cdbs = script.Opcodes();
        return static_cast<std::size_t>(std::count(cdbs.begin(), cdbs.end(), cdb));
    }
};

TEST_F(BadInputTest, AnEmptyLogIsReadOnceAndCountsNothing) {
    auto script = Controller();
    AnswerLog(*script, 0, {});
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(201, 34) + " 0 records"), std::string::npos);
    // The head read, then the whole log: 3 bytes of nothing.
    EXPECT_EQ(Sent(*script, kLogHead), 2u);
}

TEST_F(BadInputTest, ALongLogIsReadAgainIntoABufferThatHoldsIt) {
    auto script = Controller();
    Bytes records;
    for (int i = 0; i < 500; ++i) {
        const Bytes e = DriveEvent(static_cast<std::uint8_t>(i % 12));
        records.insert(records.end(), e.begin(), e.end());
    }
    AnswerLog(*script, 9000, Log(records, 9000));
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Mark(201, 34) + " 500 records"), std::string::npos);
    EXPECT_EQ(Count(run.out, Mark(18, 38)), 500u);
    // Twice the head and the whole log: the first buffer (8192 + 256) was
    // too small, the second is the log's length + 256.
    EXPECT_EQ(Sent(*script, kLogHead), 2u);
    EXPECT_EQ(Sent(*script, LogRead(9003)), 2u);
}

TEST_F(BadInputTest, ACutLastRecordFailsTheWalk) {
    auto script = Controller();
    Bytes records = DriveEvent(1);
    records.push_back(0);  // a second drive event of 10 bytes only
    records.resize(28, 0);
    AnswerLog(*script, 28, Log(records, 28));
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Count(run.out, Mark(18, 38)), 1u);
    EXPECT_EQ(run.out.find(Mark(201, 34)), std::string::npos);
    EXPECT_NE(run.err.find(Mark(201, 33)), std::string::npos);
    EXPECT_NE(run.err.find(Mark(201, 31)), std::string::npos);
}

TEST_F(BadInputTest, AnUnknownRecordTypeFailsTheWalk) {
    auto script = Controller();
    Bytes records = DriveEvent(1);
    records[0] = 7;
    AnswerLog(*script, 18, Log(records, 18));
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 33)), std::string::npos);
}

TEST_F(BadInputTest, ALengthInsideTheLogThatPointsPastTheReadIsNotFollowed) {
    auto script = Controller();
    // The head announces 60 bytes; the log read says 200 about itself.
    Bytes records;
    for (int i = 0; i < 3; ++i) {
        const Bytes e = DriveEvent(static_cast<std::uint8_t>(i));
        records.insert(records.end(), e.begin(), e.end());
    }
    records.resize(60, 0);
    AnswerLog(*script, 60, Log(records, 200));
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Count(run.out, Mark(18, 38)), 3u);
    EXPECT_NE(run.err.find(Mark(201, 33)), std::string::npos);
}

TEST_F(BadInputTest, ALogLengthBeyondTheFieldIsRefusedBeforeItIsRead) {
    auto script = Controller();
    script->standing[kLogHead].dataIn = {0x01, 0xFF, 0xFD};  // 65533 + 3 does not fit 16 bits
    RunResult run = Run({"-l", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 32)), std::string::npos);
    EXPECT_NE(run.err.find(Mark(201, 31)), std::string::npos);
    for (const Bytes& cdb : script->Opcodes()) {
        EXPECT_TRUE(cdb[0] != 0xF2 || cdb == kLogHead);
    }
}

TEST_F(BadInputTest, ADriveListShorterThanItsLengthMakesTheArrayUnreadable) {
    auto script = Controller();
    script->standing[kDriveListHead].dataIn = {0x01, 0xB9};  // 441: five entries
    script->standing[{0x22, 0, 0, 0, 0, 0, 0, 0x01, 0xBB, 0}].dataIn = Bytes(100, 0);
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 20)), std::string::npos);
}

TEST_F(BadInputTest, ADriveListWithoutAnEntrySizeMakesTheArrayUnreadable) {
    auto script = Controller();
    script->standing[{0x22, 0, 0, 0, 0, 0, 0, 0x00, 91, 0}].dataIn[2] = 0;
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 20)), std::string::npos);
}

TEST_F(BadInputTest, DriveEntriesForSlotsTheCabinetLacksAreLeftOut) {
    auto script = Controller();
    Bytes list = script->standing[{0x22, 0, 0, 0, 0, 0, 0, 0x00, 91, 0}].dataIn;
    list[3] = 40;  // slot 40
    script->standing[{0x22, 0, 0, 0, 0, 0, 0, 0x00, 91, 0}].dataIn = list;
    RunResult run = Run({"-s", kId});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find(Mark(202, 3)), std::string::npos);
    EXPECT_NE(run.err.find(Mark(201, 21)), std::string::npos);
}

TEST_F(BadInputTest, AControllerThatStaysBusyIsGivenUp) {
    platform::SetTimeScale(1e6);
    Serve("in-progress", [](sim::WorldModel& w) { w.timeScale = 1e-9; });
    RunResult run = Run({"-s", sim::RecoveryScenario::kSerial});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Mark(201, 20)), std::string::npos);
    const auto cdbs = Cdbs("STROVANE0");
    EXPECT_EQ(std::count(cdbs.begin(), cdbs.end(), "20000000000000002000"), 90);
}

TEST_F(BadInputTest, AProgressThatNeverMovesIsGivenUp) {
    platform::SetTimeScale(1e6);
    Serve("in-progress", [](sim::WorldModel& w) {
        w.timeScale = 1e-9;
        // Past its busy start, at 10%, and frozen there.
        w.cabinets[0].operations[0].remainingMs = sim::RecoveryRules::kRecoveryMs * 9 / 10;
    });
    RunResult run = Run({"-s", "-c", sim::RecoveryScenario::kSerial});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Count(run.out, Mark(202, 19) + " Progress: 10%"), 2u);  // the report, the poll
    EXPECT_GE(Count(run.out, "."), 720u);
    EXPECT_NE(run.err.find(Mark(201, 39) + " The progress of array QXSALVAGE001 has not moved "
                                           "for 60 minutes"),
              std::string::npos);
}

// A simulated path that answers until its budget of mode-sense commands is
// spent, and then as a device that has gone away. Simulated time stands
// still but for a second on every state or page read, so the run is the
// same however fast the machine is.
class VanishingPath : public platform::ScsiDevice {
  public:
    VanishingPath(std::shared_ptr<sim::Simulator> sim, std::shared_ptr<std::atomic<int>> budget)
        : sim_(sim), inner_(std::move(sim), "STROVANE0"), budget_(std::move(budget)) {}
    int GetAddress(platform::ScsiAddress& address) override { return inner_.GetAddress(address); }
    int GetCapabilities(platform::ScsiCapabilities& c) override {
        return inner_.GetCapabilities(c);
    }
    void PassThrough(const platform::ScsiRequest& request,
                     platform::ScsiOutcome& outcome) override {
        if (budget_->load() <= 0) {
            outcome = platform::ScsiOutcome{};
            outcome.systemError = ENODEV;
            return;
        }
        if (request.cdb[0] == 0x5A) {
            --*budget_;
        }
        if (request.cdb[0] == 0x5A || request.cdb[0] == 0x20) {
            sim_->Advance(1000);
        }
        inner_.PassThrough(request, outcome);
    }

  private:
    std::shared_ptr<sim::Simulator> sim_;
    sim::InProcessDevice inner_;
    std::shared_ptr<std::atomic<int>> budget_;
};

TEST_F(BadInputTest, AControllerThatGoesAwayMidRecoveryEndsTheRun) {
    platform::SetTimeScale(1e5);
    auto sim = Serve("needs-recovery", [](sim::WorldModel& w) { w.timeScale = 1e-9; });
    // The open's page read, the one after the command, three polls.
    auto budget = std::make_shared<std::atomic<int>>(5);
    platform::RegisterInProcessDevice(
        "STROVANE0", [sim, budget] { return std::make_unique<VanishingPath>(sim, budget); });
    RunResult run = Run({"-p", "-c", sim::RecoveryScenario::kSerial});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_GE(Count(run.out, Mark(202, 19)), 1u);
    EXPECT_EQ(Count(run.out, Mark(201, 29)), 7u) << run.out;
    EXPECT_NE(run.err.find(Mark(201, 20)), std::string::npos);
}

}  // namespace
