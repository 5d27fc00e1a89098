// Events: their four words, the pieces that follow them in both protocol
// versions, and what applying an event reply does to a client's state.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "RecordBytes.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/EventList.h"
#include "coresys/common/OruServerState.h"

namespace {

// Decodes an event list from an exactly sized copy of bytes into state and
// server; the list keeps the decoded events.
bool Apply(EventList& list, const ByteVector& bytes, std::uint32_t version, DiskArrayState& state,
           OruServerState& server) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
    if (!bytes.empty()) {
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    }
    CodedBuff buff;
    buff.SetupDecode(exact.get(), static_cast<std::uint32_t>(bytes.size()), version);
    const bool ok = list.DecodeAndApply(buff, state, server);
    EXPECT_EQ(ok, !buff.Failed());
    if (ok) {
        EXPECT_EQ(buff.position, bytes.size()) << "bytes left over";
    }
    return ok;
}

ByteVector EncodeList(const EventList& list, std::uint32_t version, DiskArrayState* state,
                      OruServerState* server) {
    CodedBuff buff;
    buff.Setup(version);
    list.EncodeWithPieces(buff, state, server);
    ByteVector out(buff.data, buff.data + buff.position);
    CodedBuff::FreeData(buff.TakeData());
    return out;
}

TEST(EventBytes, FourWordsInOrder) {
    Event e(SSW, SSW_ALARM_TEST, 0x01020304, 5);
    EXPECT_EQ(EncodeToBytes(e, 4), Bytes().Word(13).Word(3).Word(0x01020304).Word(5).Get());
    Event back;
    ASSERT_TRUE(DecodeFromBytes(back, Bytes().Word(7).Word(0).Word(4).Word(0).Get(), 4));
    EXPECT_EQ(back.majorType, MISS);
    EXPECT_EQ(back.data1, 4u);
}

TEST(EventBytes, DefaultEventHasMinor3) {
    Event e;
    EXPECT_EQ(e.minorType, 3u);
    EXPECT_EQ(e.next, nullptr);
}

// The service's side: the list built from the state and server state a
// reply is bound to codes to the golden bytes.
TEST(EventBytes, ServiceSideListCodesToTheGoldenBytes) {
    for (std::uint32_t version : {3u, 4u}) {
        DiskArrayState state;
        state.luns.resize(8);
        for (std::uint32_t n = 0; n < 3; ++n) {
            state.luns[n].status = 1;
            state.luns[n].capacity = BlockCapacity(n == 2 ? 65536 : 4096 * (n + 1), 512);
        }
        SetFieldText(state.aliasName, "Ledger");
        state.ownsLock = 1;
        state.virtualRemaining = BlockCapacity(3000, 512);
        state.modeCache.emplace();
        state.modeCache->write_cache_enable = 1;
        state.modeCache->read_cache_enable = 1;
        state.modeExtension.emplace();
        for (std::uint32_t n = 1; n <= 16; ++n) {
            state.modeExtension->values[n - 1] = n == 7 ? 5 : 300 + n;
        }
        state.stateValue2 = 1;
        DiskArrayState golden = GoldenState();
        state.drives.push_back(golden.drives[5]);
        OruServerState server;
        server.commandsInProgress.AddElement(
            CommandInProgress(CommandHandle(9, 77), MC_VerifyPhysicalDrive, 4, 255, 50));

        EventList list;
        list.Append(new Event(LUN_EVENT, LUN_CAPACITY, 2, 0));
        list.Append(new Event(DAS_MISC, DAS_MISC_ALIAS, 0, 0));
        list.Append(new Event(CAP, CAP_VIRTUAL_REMAINING, 0, 0));
        list.Append(new Event(ORUSS_MISC, ORUSS_MISC_LOG_SUSPENDED, 0, 0));
        list.Append(new Event(CPRG, CPRG_VERIFY_PROGRESS, 4, 50));
        list.Append(new Event(DAS_MISC, DAS_MISC_USER_PARAMS, 0, 0));
        list.Append(new Event(SSW, SSW_DRIVE_DIAGNOSTICS, 0, 1));
        Event* unknown = new Event;
        unknown->majorType = static_cast<EVENT_MAJOR_TYPE>(15);
        unknown->minorType = 0;
        list.Append(unknown);
        EXPECT_EQ(EncodeList(list, version, &state, &server), GoldenEventBytes(version)) << version;
    }
}

// The pieces the list above does not carry, each coded by the service
// from its state, against bytes written from the layouts; in version 3 the
// version-4 pieces shrink or vanish.
TEST(EventBytes, EveryOtherPieceCodesToItsGoldenBytes) {
    for (std::uint32_t version : {3u, 4u}) {
        DiskArrayState state = GoldenState();
        state.stateValue4 = kPieceValidState;
        state.ownsLock = kPieceOwnsLock;
        OruServerState server = GoldenServerState();
        EventList list;
        list.Append(new Event(CTLR, CTLR_STATUS, 1, 0));
        list.Append(new Event(SSS, SSS_SUBSYSTEM_STATE, 0, 0));
        list.Append(new Event(CAP, CAP_RAID1, 0, 0));
        list.Append(new Event(MISS, MISS_PRESENT, 0, 0));
        list.Append(new Event(HW, HW_LIST1, 0, 0));
        list.Append(new Event(DAS_MISC, DAS_MISC_VALID_STATE, 0, 0));
        list.Append(new Event(DAS_MISC, DAS_MISC_OWNS_LOCK, 0, 0));
        list.Append(new Event(DAS_MISC, DAS_MISC_STATE_VALUE1, 0, 0));
        list.Append(new Event(DAS_MISC, DAS_MISC_USER_PARAM3, 0, 0));
        list.Append(new Event(CRES, CRES_RESULT, 0, 0));
        list.Append(new Event(SSW, SSW_CONTROLLERS, 0, 0));
        list.Append(new Event(MEXT, MEXT_VALUE_FIRST, 0, 0));
        EXPECT_EQ(EncodeList(list, version, &state, &server), GoldenPieceEventBytes(version))
            << version;

        // A client reads the same bytes back to the same pieces.
        DiskArrayState client;
        OruServerState clientServer;
        EventList received;
        ASSERT_TRUE(Apply(received, GoldenPieceEventBytes(version), version, client, clientServer));
        EXPECT_EQ(received.Count(), 12u);
    }
}

TEST(EventApply, Version4ListUpdatesTheClientState) {
    DiskArrayState state = GoldenState();
    OruServerState server;
    const LUN* lunBefore = state.Lun(0);
    EventList list;
    ASSERT_TRUE(Apply(list, GoldenEventBytes(4), 4, state, server));

    ASSERT_EQ(list.Count(), 8u);
    EXPECT_EQ(list[0]->majorType, LUN_EVENT);
    EXPECT_EQ(list[4]->data2, 50u);
    EXPECT_EQ(list[7]->majorType, 15u);
    EXPECT_EQ(list[8], nullptr);

    // Same LUN count: the records are updated in place.
    EXPECT_EQ(state.Lun(0), lunBefore);
    EXPECT_EQ(state.Lun(2)->capacity.blocks, 65536u);
    EXPECT_EQ(state.AliasName(), "Ledger");
    EXPECT_EQ(state.virtualRemaining, BlockCapacity(3000, 512));
    EXPECT_EQ(state.raid1Capacity, BlockCapacity(1000, 512));
    ASSERT_NE(server.commandsInProgress[0], nullptr);
    EXPECT_EQ(server.commandsInProgress[0]->handle, CommandHandle(9, 77));
    EXPECT_EQ(server.commandsInProgress[0]->aux2, 50u);
    // The settings event re-derives the user parameters.
    EXPECT_EQ(state.modeCache->read_cache_enable, 1u);
    EXPECT_EQ(state.modeExtension->Value(7), 5u);
    EXPECT_EQ(state.userParam1, 0u);
    EXPECT_EQ(state.userParam2, 0u);
    EXPECT_EQ(state.userParam3, 1u);
    // A different drive count replaces the drive list.
    EXPECT_EQ(state.stateValue2, 1u);
    ASSERT_EQ(state.DriveCount(), 1u);
    EXPECT_EQ(state.Drive(0)->IdentityText1(), "ID1-5");
    EXPECT_EQ(state.Drive(1), nullptr);
    // Untouched pieces stay.
    EXPECT_EQ(state.ControllerCount(), 2u);
    EXPECT_EQ(state.hardware->Count1(), 3u);
}

TEST(EventApply, Version3ListSkipsVersion4Pieces) {
    DiskArrayState state = GoldenState();
    OruServerState server;
    EventList list;
    ASSERT_TRUE(Apply(list, GoldenEventBytes(3), 3, state, server));
    EXPECT_EQ(list.Count(), 8u);
    EXPECT_EQ(state.AliasName(), "Payroll");       // the filler word is discarded
    EXPECT_EQ(state.modeExtension->Value(7), 0u);  // no pages in version 3
    EXPECT_EQ(state.DriveCount(), 12u);            // SSW carries nothing
    EXPECT_EQ(state.stateValue2, 0u);
    EXPECT_EQ(state.Lun(2)->capacity.blocks, 65536u);
}

// Every event class, coded by the service from its state and applied by a
// client to an empty state, carries its piece across unchanged.
TEST(EventApply, EveryClassCarriesItsPieceAcross) {
    DiskArrayState source = GoldenState();
    OruServerState server;
    server.commandResults.AddElement(CommandResults(COMMAND_RESULTS, MC_CreateLUN, 1, nullptr));
    server.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(4, 2), MC_FormatLUN, 255, 1, 0));
    EventList list;
    list.Append(new Event(CTLR, CTLR_STATUS, 0, 0));
    list.Append(new Event(SSS, SSS_SUBSYSTEM_STATE, 0, 0));
    list.Append(new Event(MSS, MSS_TARGET_IDS, 0, 0));
    list.Append(new Event(MC, MC_WRITE_CACHE, 0, 0));
    list.Append(new Event(CAP, CAP_RAID1, 0, 0));
    list.Append(new Event(CAP, CAP_VIRTUAL_REMAINING, 0, 0));
    list.Append(new Event(LUN_EVENT, LUN_STATE, 1, 0));
    list.Append(new Event(PHYS, PHYS_STATE, 3, 0));
    list.Append(new Event(MISS, MISS_PRESENT, 0, 0));
    list.Append(new Event(HW, HW_LIST1, 0, 0));
    list.Append(new Event(DAS_MISC, DAS_MISC_VALID_STATE, 0, 0));
    list.Append(new Event(DAS_MISC, DAS_MISC_OWNS_LOCK, 0, 0));
    list.Append(new Event(DAS_MISC, DAS_MISC_STATE_VALUE1, 0, 0));
    list.Append(new Event(DAS_MISC, DAS_MISC_ALIAS, 0, 0));
    list.Append(new Event(CRES, CRES_RESULT, 0, 0));
    list.Append(new Event(SSW, SSW_CONTROLLERS, 0, 0));
    list.Append(new Event(MEXT, MEXT_VALUE_FIRST, 0, 0));
    const ByteVector bytes = EncodeList(list, 4, &source, &server);

    DiskArrayState client;
    OruServerState clientServer;
    EventList received;
    ASSERT_TRUE(Apply(received, bytes, 4, client, clientServer));
    ASSERT_EQ(received.Count(), 17u);
    EXPECT_EQ(client.ControllerCount(), 2u);
    EXPECT_EQ(EncodeToBytes(client.controllers[0], 4), EncodeToBytes(source.controllers[0], 4));
    EXPECT_EQ(EncodeToBytes(*client.subsystemState, 4), EncodeToBytes(*source.subsystemState, 4));
    EXPECT_EQ(EncodeToBytes(*client.modeSubsystem, 4), EncodeToBytes(*source.modeSubsystem, 4));
    EXPECT_EQ(EncodeToBytes(*client.modeCache, 4), EncodeToBytes(*source.modeCache, 4));
    EXPECT_EQ(EncodeToBytes(*client.modeExtension, 4), EncodeToBytes(*source.modeExtension, 4));
    EXPECT_EQ(client.raid1Capacity, source.raid1Capacity);
    EXPECT_EQ(client.virtualRemaining, source.virtualRemaining);
    EXPECT_EQ(client.LunCount(), 8u);
    EXPECT_EQ(client.Lun(2)->capacity, source.Lun(2)->capacity);
    EXPECT_EQ(client.DriveCount(), 12u);
    EXPECT_EQ(EncodeToBytes(client.drives[11], 4), EncodeToBytes(source.drives[11], 4));
    EXPECT_EQ(client.MissingCount(), 6u);
    EXPECT_EQ(client.Missing(0)->SerialNumber(), "MSN000001");
    EXPECT_EQ(client.hardware->values2, source.hardware->values2);
    EXPECT_EQ(client.ValidStateData(), 1u);
    EXPECT_EQ(client.ownsLock, 1u);
    EXPECT_EQ(client.stateValue1, 11u);
    EXPECT_EQ(client.stateValue3, 13u);
    EXPECT_EQ(client.AliasName(), "Payroll");
    ASSERT_EQ(clientServer.commandResults.Size(), 1u);
    EXPECT_EQ(clientServer.commandResults[0]->code, MC_CreateLUN);
    ASSERT_EQ(clientServer.commandsInProgress.Size(), 1u);
    EXPECT_EQ(clientServer.commandsInProgress[0]->handle, CommandHandle(4, 2));
}

TEST(EventApply, EventsWithoutAStateCarryEmptyPieces) {
    EventList list;
    list.Append(new Event(LUN_EVENT, LUN_STATE, 0, 0));
    list.Append(new Event(CPRG, CPRG_TEST_PROGRESS, 0, 0));
    list.Append(new Event(SSW, SSW_SERVER_SOFTWARE, 3, 9));
    const ByteVector bytes = EncodeList(list, 4, nullptr, nullptr);
    Bytes expected;
    expected.Word(3);
    expected.Word(5).Word(0).Word(0).Word(0).Word(0);
    expected.Word(11).Word(0).Word(0).Word(0).Word(0).Word(0);
    expected.Word(13).Word(2).Word(3).Word(9);
    EXPECT_EQ(bytes, expected.Get());
}

TEST(EventApply, EmptyListChangesNothing) {
    DiskArrayState state = GoldenState();
    OruServerState server;
    EventList list;
    ASSERT_TRUE(Apply(list, Bytes().Word(0).Get(), 4, state, server));
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(EncodeToBytes(state, 4), GoldenStateBytes(4));
}

TEST(EventApply, PiecesAreCreatedWhenTheStateLacksThem) {
    DiskArrayState state;
    OruServerState server;
    Bytes b;
    b.Word(7);
    b.Word(3).Word(0).Word(0).Word(0).Word(0).Word(1);                          // cache page
    b.Word(8).Word(1).Word(0).Word(0).Word(1).Word(4).Word(2).Word(5).Word(6);  // hardware
    b.Word(9).Word(0).Word(0).Word(0).Word(1);                                  // valid state
    b.Word(9).Word(1).Word(0).Word(0).Word(1);                                  // owns lock
    b.Word(9).Word(2).Word(0).Word(0).Word(42);                                 // state value 1
    b.Word(9).Word(6).Word(0).Word(0);          // beyond the known minors: no piece
    b.Word(0).Word(1).Word(0).Word(0).Word(0);  // no controllers
    const ByteVector bytes = b.Get();
    EventList list;
    ASSERT_TRUE(Apply(list, bytes, 4, state, server));
    ASSERT_TRUE(state.modeCache.has_value());
    EXPECT_EQ(state.modeCache->write_cache_enable, 0u);
    EXPECT_EQ(state.modeCache->read_cache_enable, 1u);
    ASSERT_TRUE(state.hardware.has_value());
    EXPECT_EQ(state.hardware->values1, (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(state.hardware->values2, (std::vector<std::uint32_t>{5, 6}));
    EXPECT_EQ(state.ValidStateData(), 1u);
    EXPECT_EQ(state.ownsLock, 1u);
    EXPECT_EQ(state.stateValue1, 42u);
}

TEST(EventApply, CountLargerThanTheBytesFailsBeforeAllocating) {
    DiskArrayState state;
    OruServerState server;
    EventList list;
    EXPECT_FALSE(Apply(list, Bytes().Word(0x7FFFFFFF).Word(12).Get(), 4, state, server));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(EventApply, TruncatedReplyStopsAtTheFailingPiece) {
    DiskArrayState state = GoldenState();
    OruServerState server;
    ByteVector bytes = GoldenEventBytes(4);
    // Cut inside the CPRG piece (event 5): the first pieces are applied, the
    // in-progress list and the later pieces are not.
    const std::size_t cut = 4 + (16 + 4 + 8 * 12) + (16 + 13) + (16 + 8) + 16 + 16 + 10;
    bytes.resize(cut);
    EventList list;
    EXPECT_FALSE(Apply(list, bytes, 4, state, server));
    EXPECT_EQ(state.Lun(2)->capacity.blocks, 65536u);
    EXPECT_EQ(state.AliasName(), "Ledger");
    EXPECT_EQ(server.commandsInProgress.Size(), 0u);
    EXPECT_EQ(state.DriveCount(), 12u);
    EXPECT_EQ(list.Count(), 5u);
}

TEST(EventApply, BadLunPieceLeavesTheLunsAsTheyWere) {
    DiskArrayState state = GoldenState();
    OruServerState server;
    Bytes b;
    b.Word(1).Word(5).Word(0).Word(0).Word(0).Word(8);  // 8 LUNs announced, then the end
    b.Word(1).Word(99).Word(512);
    EventList list;
    EXPECT_FALSE(Apply(list, b.Get(), 4, state, server));
    EXPECT_EQ(state.Lun(0)->capacity.blocks, 4096u);
}

TEST(EventList, TakeHeadHandsTheChainOver) {
    EventList list;
    list.Append(new Event(CTLR, CTLR_STATUS, 1, 0));
    list.Append(new Event(PHYS, PHYS_STATE, 4, 0));
    Event* chain = list.TakeHead();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Head(), nullptr);
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->next->majorType, PHYS);
    EventList::DeleteChain(chain);
}

}  // namespace
