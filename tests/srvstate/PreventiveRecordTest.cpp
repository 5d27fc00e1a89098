// The preventive record: its 848 bytes at the offsets of the record layout,
// its counters from controller-log entries and status polls, and the
// preventive check that fills, writes and renews it; and the refresh.
#include "coresys/server/state/PreventiveRecord.h"

#include <gtest/gtest.h>

#include "StateTestSupport.h"

namespace {

using namespace srvstatetest;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::string Text(const Bytes& b, std::size_t at, std::size_t width) {
    std::string s(reinterpret_cast<const char*>(b.data() + at), width);
    return s.substr(0, s.find('\0'));
}

class PreventiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pair_ = std::make_unique<ControllerPair>();
        ASSERT_NE(pair_->storY, nullptr);
        pair_->Bind(monitor_);
        x_ = StandardController(0);
        y_ = StandardController(1);
        Install();
    }
    void TearDown() override { pair_.reset(); }
    void Install() {
        x_.Install(*pair_->x);
        y_.Install(*pair_->y);
    }

    TempRoot root_;
    std::unique_ptr<ControllerPair> pair_;
    ControllerReplies x_;
    ControllerReplies y_;
    FakeMonitor monitor_;
};

TEST_F(PreventiveTest, AFilledRecordHoldsTheStateAtItsOffsets) {
    auto current = std::make_unique<ServerDiskArrayState>(monitor_);
    ASSERT_TRUE(current->Valid());
    auto record = std::make_unique<PreventiveRecord>(current.get());
    EXPECT_STREQ(record->StoredSerial(), "CTLX000000000001");
    monitor_.diag[0] = 1;
    monitor_.diag[3] = 2;
    monitor_.diag[11] = 2;

    PreventiveRecord::RunCheck(monitor_, current, record);

    ASSERT_EQ(monitor_.written.size(), 1u);
    const Bytes& b = monitor_.written[0];
    ASSERT_EQ(b.size(), 848u);
    EXPECT_EQ(Le32(b, 4), 848u);
    EXPECT_EQ(b[12] | (b[13] << 8), 2);  // class
    EXPECT_EQ(b[14] | (b[15] << 8), 4);  // code
    EXPECT_EQ(Text(b, 36, 13), "CAB000000001");
    EXPECT_EQ(Le32(b, 60), 1u);  // filled with cabinet data
    // Members 0 (bus 0), 3 spare (state 8, not counted), 11 failed (bus 3).
    EXPECT_EQ(Le32(b, 64), 1u);
    EXPECT_EQ(Le32(b, 68), 0u);
    EXPECT_EQ(Le32(b, 72), 12u);
    EXPECT_EQ(Text(b, 76, 17), "QDISK QD-9100   ");
    EXPECT_EQ(Le32(b, 96 + 0 * 4), 1u);  // state 0
    EXPECT_EQ(Le32(b, 96 + 1 * 4), 9u);  // empty slots
    EXPECT_EQ(Le32(b, 96 + 4 * 4), 1u);  // failed
    EXPECT_EQ(Le32(b, 96 + 7 * 4), 0u);
    EXPECT_EQ(Le32(b, 128), 1u);  // one missing drive
    EXPECT_EQ(Le32(b, 132), 2u);  // LUNs 0 and 2
    EXPECT_EQ(Le32(b, 136), 1u);  // page 0x21 byte 12 bit 5 clear
    EXPECT_EQ(Le32(b, 140), 2u);  // byte 11 bit 4 set
    EXPECT_EQ(Le32(b, 144), 0x00100000u);
    EXPECT_EQ(Le32(b, 148), 512u);
    EXPECT_EQ(Le32(b, 152), 0x00300000u);
    EXPECT_EQ(Le32(b, 156), 512u);
    EXPECT_EQ(Le32(b, 160), 0u);  // page byte 10
    EXPECT_EQ(Text(b, 164, 17), "CTLX000000000001");
    EXPECT_EQ(Le32(b, 184), 3u);
    EXPECT_EQ(Le32(b, 188), 3u);          // DRAM 1, NVRAM 1 and 2 of X: none absent
    EXPECT_EQ(Le32(b, 192), 0u);          // no status poll yet
    EXPECT_EQ(Le32(b, 196 + 7 * 4), 0u);  // C8: same controller as stored
    EXPECT_EQ(Le32(b, 196 + 8 * 4), 1u);  // C9: one slot with state 1
    EXPECT_EQ(Le32(b, 196 + 9 * 4), 2u);  // C10: two slots with state 2
    EXPECT_EQ(Text(b, 236, 17), "CTLX000000000001");
    // Cabinet status as decoded: attention flag, the 42 words, 12 slots, level-3 words.
    EXPECT_EQ(Le32(b, 256), 1u);
    EXPECT_EQ(Le32(b, 256 + 4), 0x00300000u);
    EXPECT_EQ(Le32(b, 256 + 8), 1u);
    EXPECT_EQ(Le32(b, 256 + 43 * 4), 1u);
    EXPECT_EQ(Le32(b, 256 + 46 * 4), 1u);
    EXPECT_EQ(Le32(b, 256 + 54 * 4), 2u);
    EXPECT_EQ(Le32(b, 256 + 55 * 4), 77u);
    EXPECT_EQ(Le32(b, 256 + 70 * 4), 0u);
    EXPECT_EQ(Le32(b, 844), 0u);

    // A new record starts from the new state.
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Completion(), 0u);
    EXPECT_EQ(record->Counter(9), 0u);
    EXPECT_EQ(monitor_.compares, 1);
}

TEST_F(PreventiveTest, TheRecordIsWrittenWhileControllerYIsActive) {
    monitor_.active = 1;
    y_ = StandardController(0);
    y_.serial = Serial(true, "CTLY000000000001", "CTLX000000000001", "CAB000000001");
    y_.rawPage = StandardRawPage(1);
    x_.serial = Serial(false, "CTLX000000000001", "CTLY000000000001", "CAB000000001");
    Install();
    std::unique_ptr<ServerDiskArrayState> current;
    std::unique_ptr<PreventiveRecord> record;
    PreventiveRecord::RunCheck(monitor_, current, record);
    ASSERT_EQ(monitor_.written.size(), 1u);
    EXPECT_EQ(Le32(monitor_.written[0], 60), 1u);
    EXPECT_EQ(Text(monitor_.written[0], 164, 17), "CTLY000000000001");
    // The first record was made without a state: its stored serial is the default.
    EXPECT_EQ(Text(monitor_.written[0], 236, 17), "UNKNOWN");
    EXPECT_EQ(Le32(monitor_.written[0], 196 + 7 * 4), 1u);  // C8: serial differs
    EXPECT_STREQ(record->StoredSerial(), "CTLY000000000001");
}

TEST_F(PreventiveTest, WithoutTheSequenceFlagTheCompletionIsTwo) {
    monitor_.sequence = 0;
    std::unique_ptr<ServerDiskArrayState> current;
    std::unique_ptr<PreventiveRecord> record;
    PreventiveRecord::RunCheck(monitor_, current, record);
    ASSERT_EQ(monitor_.written.size(), 1u);
    EXPECT_EQ(Le32(monitor_.written[0], 60), 2u);
    EXPECT_EQ(Text(monitor_.written[0], 164, 17), "");
    ASSERT_NE(current, nullptr);
    EXPECT_TRUE(current->Valid());
}

TEST_F(PreventiveTest, AnInvalidStateLeavesTheCompletionZeroAndTheCurrentStateInPlace) {
    auto current = std::make_unique<ServerDiskArrayState>(monitor_);
    ServerDiskArrayState* kept = current.get();
    auto record = std::make_unique<PreventiveRecord>(current.get());
    record->CountLogEntry(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 178, 0, 0, 0, 0, 0}.data(), 14);
    Refuse(*pair_->x, kStateCdb);
    PreventiveRecord::RunCheck(monitor_, current, record);
    EXPECT_TRUE(monitor_.invalid);
    EXPECT_EQ(current.get(), kept);
    ASSERT_EQ(monitor_.written.size(), 1u);
    EXPECT_EQ(Le32(monitor_.written[0], 60), 0u);
    EXPECT_EQ(Le32(monitor_.written[0], 196 + 6 * 4), 1u);  // C7 counted before the check
    EXPECT_EQ(monitor_.compares, 0);
}

TEST_F(PreventiveTest, WithNoControllerMarkedActiveNothingIsWrittenAndTheRecordStays) {
    x_.serial = Serial(false, "CTLX000000000001", "CTLY000000000001", "CAB000000001");
    Install();
    std::unique_ptr<ServerDiskArrayState> current;
    auto record = std::make_unique<PreventiveRecord>(nullptr);
    record->CountLogEntry(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 129, 0, 0, 0, 0, 0}.data(), 14);
    PreventiveRecord* before = record.get();
    PreventiveRecord::RunCheck(monitor_, current, record);
    EXPECT_TRUE(monitor_.written.empty());
    EXPECT_EQ(record.get(), before);
    EXPECT_EQ(record->Counter(1), 1u);
    ASSERT_NE(current, nullptr);  // the state itself was taken
}

TEST(PreventiveCountTest, LogEntriesRaiseTheirCounters) {
    PreventiveRecord r(nullptr);
    auto entry = [&](std::uint16_t code, std::uint8_t item) {
        Bytes e(18, 0);
        e[7] = static_cast<std::uint8_t>(code >> 8);
        e[8] = static_cast<std::uint8_t>(code);
        e[11] = item;
        r.CountLogEntry(e.data(), static_cast<std::uint32_t>(e.size()));
    };
    for (std::uint16_t code : {129, 145, 146, 177, 219})
        entry(code, 0);
    for (std::uint16_t code : {151, 163})
        entry(code, 0);
    for (std::uint16_t code : {137, 138, 140, 141, 180})
        entry(code, 0);
    entry(153, 129);
    entry(153, 134);
    entry(153, 130);
    entry(153, 133);
    entry(153, 135);  // no counter
    entry(178, 0);
    entry(0x0181, 0);  // code 385, not 129: both bytes count
    EXPECT_EQ(r.Counter(1), 5u);
    EXPECT_EQ(r.Counter(2), 2u);
    EXPECT_EQ(r.Counter(3), 5u);
    EXPECT_EQ(r.Counter(4), 1u);  // code 140 counts for C3 and C4
    EXPECT_EQ(r.Counter(5), 2u);
    EXPECT_EQ(r.Counter(6), 2u);
    EXPECT_EQ(r.Counter(7), 1u);
    // Too short to carry a code: nothing.
    const Bytes tiny = {0, 0, 0, 0, 0, 0, 0, 0};
    r.CountLogEntry(tiny.data(), 8);
    r.CountLogEntry(nullptr, 18);
    EXPECT_EQ(r.Counter(1), 5u);
}

TEST_F(PreventiveTest, AStatusPollCountsWhatChanged) {
    auto current = std::make_unique<ServerDiskArrayState>(monitor_);
    auto record = std::make_unique<PreventiveRecord>(current.get());

    // The first member drive is replaced, the subsystem reports values 2 and
    // 8, Y's first NVRAM module and X's DRAM module fail, X stops being active.
    x_.driveList = List(88, {DriveEntry(0, "VOLSET-000000001", "QDISK QD-9999", 0, 0, "QD-9999",
                                        "0102", 100, "NEW", false)});
    x_.state[8] = 1;   // value 2
    x_.state[14] = 1;  // value 8
    Bytes page = StandardRawPage(0);
    page[page.size() - 18] = 2;  // DRAM of X ("4, 1, 1" -> "4, 1, 2")
    x_.rawPage = page;
    x_.serial = Serial(false, "CTLX000000000001", "CTLY000000000001", "CAB000000001");
    y_.serial = Serial(true, "CTLY000000000001", "CTLX000000000001", "CAB000000001");
    Install();
    monitor_.diag[4] = 1;
    monitor_.diag[5] = 1;
    monitor_.diag[6] = 2;

    EXPECT_EQ(ServerDiskArrayState::Refresh(monitor_, current, record.get()),
              ServerDiskArrayState::RefreshOutcome::kReplaced);
    EXPECT_EQ(record->StatusPolls(), 1u);
    EXPECT_EQ(record->Counter(2), 1u);
    EXPECT_EQ(record->Counter(4), 1u);
    EXPECT_EQ(record->Counter(7), 1u);
    EXPECT_EQ(record->Counter(5), 1u);  // X's second NVRAM module is 2 in the standard page
    EXPECT_EQ(record->Counter(6), 1u);
    EXPECT_EQ(record->Counter(8), 1u);
    EXPECT_EQ(record->Counter(9), 1u);  // once per poll, however many slots
    EXPECT_EQ(record->Counter(10), 1u);
    EXPECT_EQ(monitor_.logReads, 1);  // page 0x21 byte 12 bit 6 is set
    EXPECT_EQ(monitor_.compares, 1);
    EXPECT_FALSE(monitor_.invalid);
}

TEST_F(PreventiveTest, ARefreshWhoseStateReadFailsKeepsTheCurrentState) {
    auto current = std::make_unique<ServerDiskArrayState>(monitor_);
    ServerDiskArrayState* kept = current.get();
    Refuse(*pair_->x, kStateCdb);
    EXPECT_EQ(ServerDiskArrayState::Refresh(monitor_, current, nullptr),
              ServerDiskArrayState::RefreshOutcome::kNoAnswer);
    EXPECT_EQ(current.get(), kept);
    EXPECT_EQ(monitor_.invalidSets, 0);
}

TEST_F(PreventiveTest, ARefreshWhoseBuildFailsMarksTheStateInvalid) {
    auto current = std::make_unique<ServerDiskArrayState>(monitor_);
    ServerDiskArrayState* kept = current.get();
    Refuse(*pair_->x, kAliasCdb);
    EXPECT_EQ(ServerDiskArrayState::Refresh(monitor_, current, nullptr),
              ServerDiskArrayState::RefreshOutcome::kInvalid);
    EXPECT_EQ(current.get(), kept);
    EXPECT_TRUE(monitor_.invalid);
    EXPECT_EQ(monitor_.compares, 0);
}

}  // namespace
