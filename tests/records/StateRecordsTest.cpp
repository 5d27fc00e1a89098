// Array-state records: exact bytes in both protocol versions, round trips,
// derived user parameters, bounded accessors and damaged input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RecordBytes.h"
#include "coresys/common/DiskArrayState.h"

namespace {

TEST(StateBytes, FullVersion4StateCodesToTheGoldenBytes) {
    DiskArrayState state = GoldenState();
    EXPECT_EQ(EncodeToBytes(state, 4), GoldenStateBytes(4));
}

TEST(StateBytes, Version3FormOmitsTheVersion4Fields) {
    DiskArrayState state = GoldenState();
    const ByteVector v3 = EncodeToBytes(state, 3);
    EXPECT_EQ(v3, GoldenStateBytes(3));
    // 12 drives x 8 bytes, 5 state values, 10 extension values, the alias
    // and the three user parameters.
    EXPECT_EQ(GoldenStateBytes(4).size() - v3.size(), 12u * 8 + 5 * 4 + 10 * 4 + 13 + 3 * 4);
}

TEST(StateBytes, RecordSizesDifferByVersion) {
    Physical_Drive drive;
    EXPECT_EQ(EncodeToBytes(drive, 4).size() - EncodeToBytes(drive, 3).size(), 8u);
    SubsystemStateInfo info;
    EXPECT_EQ(EncodeToBytes(info, 4).size() - EncodeToBytes(info, 3).size(), 20u);
    ModeExtensionPage ext;
    EXPECT_EQ(EncodeToBytes(ext, 4).size() - EncodeToBytes(ext, 3).size(), 40u);
}

TEST(StateBytes, ControllerRecordStartsWithActiveThenTexts) {
    ControllerInfo c;
    c.active = 1;
    SetFieldText(c.serialNumber, "S1");
    c.batteryStatus = {7};
    const ByteVector bytes = EncodeToBytes(c, 4);
    Bytes expected;
    expected.Word(1).Text("S1", 17).Text("", 17).Text("", 9).Text("", 17).Text("", 5);
    expected.Text("", 11).Text("", 11).Word(0).Word(0).Word(0).Word(0);
    expected.Word(1).Word(7).Word(0).Word(0);
    EXPECT_EQ(bytes, expected.Get());
}

TEST(StateDecode, GoldenVersion4StateGivesEveryField) {
    DiskArrayState state;
    ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(4), 4));
    ASSERT_EQ(state.ControllerCount(), 2u);
    EXPECT_EQ(state.Controller(0)->SerialNumber(), "CTLX00000001");
    EXPECT_EQ(state.Controller(1)->PairedSerialNumber(), "CTLX00000001");
    EXPECT_EQ(state.Controller(0)->batteryStatus, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(state.Controller(1)->dramStatus, (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(state.Controller(1)->statusExtra, 0xFFFFFFFFu);
    ASSERT_TRUE(state.subsystemState.has_value());
    EXPECT_EQ(state.subsystemState->SubsystemState(), 100u);
    EXPECT_EQ(state.subsystemState->Value(24), 123u);
    EXPECT_EQ(state.modeSubsystem->rebuild_in_progress, 203u);
    EXPECT_EQ(state.modeSubsystem->subsys_type_id, 226u);
    EXPECT_EQ(state.modeExtension->Value(16), 316u);
    EXPECT_EQ(state.virtualRemaining, BlockCapacity(2000, 512));
    ASSERT_EQ(state.LunCount(), 8u);
    EXPECT_EQ(state.Lun(2)->capacity.blocks, 12288u);
    EXPECT_FALSE(state.Lun(7)->Exists());
    ASSERT_EQ(state.DriveCount(), 12u);
    EXPECT_EQ(state.Drive(4)->IdentityText1(), "ID1-4");
    EXPECT_EQ(state.Drive(11)->driveValue4, 2011u);
    EXPECT_FALSE(state.Drive(11)->Present());
    EXPECT_EQ(state.Missing(0)->DriveIdNumber(), "DRVID0001");
    EXPECT_EQ(state.hardware->values1, (std::vector<std::uint32_t>{5, 6, 7}));
    EXPECT_EQ(state.ValidStateData(), 1u);
    EXPECT_EQ(state.stateValue5, 301u);
    EXPECT_EQ(state.SerialNumber(), "SUBSYS000001");
    EXPECT_EQ(state.ServerName(), "hostalpha");
    EXPECT_EQ(state.AliasName(), "Payroll");
    EXPECT_EQ(state.userParam2, 3u);
}

TEST(StateDecode, Version3StateHasEmptyAliasAndZeroVersion4Fields) {
    DiskArrayState state;
    SetFieldText(state.aliasName, "Old");
    state.userParam1 = 9;
    ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(3), 3));
    EXPECT_EQ(state.AliasName(), "");
    EXPECT_EQ(state.userParam1, 0u);
    EXPECT_EQ(state.userParam2, 0u);
    EXPECT_EQ(state.userParam3, 0u);
    EXPECT_EQ(state.subsystemState->Value(19), 118u);
    EXPECT_EQ(state.subsystemState->Value(20), 0u);
    EXPECT_EQ(state.modeExtension->Value(6), 306u);
    EXPECT_EQ(state.modeExtension->Value(9), 0u);
    EXPECT_EQ(state.Drive(3)->driveValue3, 0u);
    EXPECT_EQ(state.ServerName(), "hostalpha");
    EXPECT_EQ(state.ownsLock, 1u);
}

TEST(StateDecode, RoundTripsInBothVersionsKeepEveryByte) {
    for (std::uint32_t version : {3u, 4u}) {
        DiskArrayState state;
        ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(version), version));
        EXPECT_EQ(EncodeToBytes(state, version), GoldenStateBytes(version)) << version;
    }
}

TEST(StateDecode, NewCountsReplaceEveryList) {
    DiskArrayState state;
    ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(4), 4));
    DiskArrayState smaller;
    smaller.luns.resize(2);
    smaller.drives.resize(1);
    const ByteVector bytes = EncodeToBytes(smaller, 4);
    ASSERT_TRUE(DecodeFromBytes(state, bytes, 4));
    EXPECT_EQ(state.ControllerCount(), 0u);
    EXPECT_EQ(state.LunCount(), 2u);
    EXPECT_EQ(state.DriveCount(), 1u);
    EXPECT_EQ(state.MissingCount(), 0u);
    EXPECT_EQ(state.Drive(1), nullptr);
    EXPECT_EQ(state.Lun(2), nullptr);
}

TEST(StateDecode, LyingCountFailsAndLeavesTheStateAsItWas) {
    DiskArrayState state;
    ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(4), 4));
    for (std::uint32_t lie : {0xFFFFFFFFu, 0x10000000u, 20u}) {
        ByteVector bytes = GoldenStateBytes(4);
        bytes[3] = static_cast<unsigned char>(lie);  // controller count
        bytes[0] = static_cast<unsigned char>(lie >> 24);
        DiskArrayState before = state;
        EXPECT_FALSE(DecodeFromBytes(state, bytes, 4)) << lie;
        EXPECT_EQ(EncodeToBytes(state, 4), EncodeToBytes(before, 4));
    }
}

TEST(StateDecode, HugeModuleCountFailsBeforeAllocating) {
    Bytes b;
    b.Word(1).Text("", 17).Text("", 17).Text("", 9).Text("", 17).Text("", 5).Text("", 11);
    b.Text("", 11).Word(0).Word(0).Word(0).Word(0).Word(0x3FFFFFFF);
    ControllerInfo c;
    EXPECT_FALSE(DecodeFromBytes(c, b.Get(), 4));
    EXPECT_EQ(c.BatteryCount(), 0u);
    Hardware hw;
    EXPECT_FALSE(DecodeFromBytes(hw, Bytes().Word(1).Word(5).Word(0xFFFFFFFF).Get(), 4));
    EXPECT_EQ(hw.Count1(), 0u);
    EXPECT_EQ(hw.Count2(), 0u);
}

TEST(StateAccess, UnterminatedTextsStopAtTheirFieldWidth) {
    DiskArrayState state;
    ASSERT_TRUE(DecodeFromBytes(state, GoldenStateBytes(4), 4));
    EXPECT_EQ(state.Drive(0)->SerialNumber(), "ABCDEFGHIJKLM");
    ControllerInfo c;
    std::memset(c.vendor, 'V', sizeof c.vendor);
    EXPECT_EQ(c.Vendor().size(), 9u);
}

TEST(StateAccess, IndexAccessorsRefuseEntriesAShortStateLacks) {
    const DiskArrayState empty;
    EXPECT_EQ(empty.Controller(0), nullptr);
    EXPECT_EQ(empty.Lun(0), nullptr);
    EXPECT_EQ(empty.Drive(11), nullptr);
    EXPECT_EQ(empty.Missing(5), nullptr);
    DiskArrayState full = GoldenState();
    EXPECT_NE(full.Drive(11), nullptr);
    EXPECT_EQ(full.Drive(12), nullptr);
    EXPECT_EQ(full.Lun(8), nullptr);
    EXPECT_EQ(full.Controller(2), nullptr);
    EXPECT_EQ(full.Missing(6), nullptr);
}

TEST(StateCopy, CopiesAreDeep) {
    DiskArrayState original = GoldenState();
    DiskArrayState copy = original;
    copy.controllers[0].batteryStatus[0] = 99;
    copy.hardware->values1.clear();
    copy.modeCache->write_cache_enable = 0;
    EXPECT_EQ(original.controllers[0].batteryStatus[0], 1u);
    EXPECT_EQ(original.hardware->Count1(), 3u);
    EXPECT_EQ(original.modeCache->write_cache_enable, 1u);
    copy = original;
    EXPECT_EQ(EncodeToBytes(copy, 4), EncodeToBytes(original, 4));
}

TEST(StateCopy, RemoveElementsEmptiesListsAndPages) {
    DiskArrayState state = GoldenState();
    state.RemoveElements();
    EXPECT_EQ(
        state.ControllerCount() + state.LunCount() + state.DriveCount() + state.MissingCount(), 0u);
    EXPECT_FALSE(state.modeCache.has_value());
    EXPECT_FALSE(state.hardware.has_value());
}

// SetUserParams over a state with both pages, format level 3 and two
// controllers present unless a case says otherwise.
class UserParams : public ::testing::Test {
  protected:
    void SetUp() override {
        state.stateValue6 = 3;
        state.controllers.resize(2);
        state.modeCache.emplace();
        state.modeExtension.emplace();
    }
    void Ext(std::uint32_t n, std::uint32_t value) { state.modeExtension->values[n - 1] = value; }
    std::vector<std::uint32_t> Run() {
        state.SetUserParams();
        return {state.userParam1, state.userParam2, state.userParam3};
    }
    DiskArrayState state;
};

TEST_F(UserParams, LowFormatLevelClearsAll) {
    state.stateValue6 = 2;
    state.userParam1 = state.userParam2 = state.userParam3 = 7;
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST_F(UserParams, MissingPageKeepsParams1And3) {
    state.modeCache.reset();
    state.userParam1 = 5;
    state.userParam2 = 5;
    state.userParam3 = 6;
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{5, 0, 6}));
    // Also with no controller records at all, and the state still encodes.
    state.controllers.clear();
    EXPECT_FALSE(EncodeToBytes(state, 4).empty());
    EXPECT_EQ(state.userParam1, 5u);
}

TEST_F(UserParams, Value7ZeroGivesParam1AndMode3) {
    Ext(10, 1);
    Ext(9, 1);
    state.modeCache->write_cache_enable = 1;
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{1, 3, 1}));
}

TEST_F(UserParams, SingleControllerClearsParam3) {
    Ext(10, 1);
    Ext(9, 1);
    state.modeCache->write_cache_enable = 1;
    state.controllers[1].controllerStatus = ControllerInfo::kStatusDoesNotExist;
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{1, 3, 0}));
}

TEST_F(UserParams, Value13OrValue10StopEarly) {
    Ext(13, 1);
    Ext(10, 1);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{1, 0, 0}));
    Ext(13, 0);
    Ext(10, 0);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{1, 0, 0}));
}

TEST_F(UserParams, Value9WithValue8) {
    Ext(7, 1);
    Ext(10, 1);
    Ext(9, 1);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 3, 0}));
    Ext(8, 1);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST_F(UserParams, Value16AndValue12) {
    Ext(7, 1);
    Ext(10, 1);
    Ext(8, 1);
    Ext(16, 1);
    Ext(12, 2);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 2, 0}));
    Ext(16, 0);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 0, 0}));
    Ext(12, 0);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 1, 0}));
    Ext(8, 0);
    EXPECT_EQ(Run(), (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST(StateDump, PrintsHeadingsAndBoundedTexts) {
    DiskArrayState state = GoldenState();
    state.controllers[1].controllerStatus = ControllerInfo::kStatusDoesNotExist;
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    state.PrintDAS(out);
    std::fclose(out);
    const std::string dump(text, size);
    std::free(text);
    EXPECT_NE(dump.find("Valid State Data: 1\n"), std::string::npos);
    EXPECT_NE(dump.find("\nCONTROLLER 0 INFORMATION\n\n"), std::string::npos);
    EXPECT_NE(dump.find("Controller 1 Does not exist\n"), std::string::npos);
    EXPECT_NE(dump.find("Lun 2 has 12288 Blocks where BlkSize is 512\n"), std::string::npos);
    EXPECT_EQ(dump.find("Lun 3 has"), std::string::npos);
    EXPECT_NE(dump.find("\nNo Drive Found in slot 9\n"), std::string::npos);
    EXPECT_NE(dump.find("Serial Number: ABCDEFGHIJKLM\n"), std::string::npos);
    EXPECT_NE(dump.find("\nMissing Drive Entry: 0\n"), std::string::npos);
    EXPECT_NE(dump.find("\nNo Missing Drive Found for entry 5\n"), std::string::npos);
    state.PrintDAS(nullptr);  // the trace switched off prints nothing
}

}  // namespace
