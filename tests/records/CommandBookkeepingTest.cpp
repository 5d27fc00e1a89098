// Command bookkeeping: handles, the running-command list, the results list
// of three kinds and the error record.
#include <gtest/gtest.h>

#include "RecordBytes.h"
#include "coresys/common/CommandHandle.h"
#include "coresys/common/CommandInProgressArray.h"
#include "coresys/common/CommandResultsArray.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/ProactivePerformanceCommandResults.h"

namespace {

TEST(CommandHandleTest, IncrementGivesTheOldHandle) {
    CommandHandle h(41, 7);
    const CommandHandle old = h++;
    EXPECT_EQ(old, CommandHandle(41, 7));
    EXPECT_EQ(h.sequence, 42u);
    const CommandHandle old2 = ++h;
    EXPECT_EQ(old2.sequence, 42u);
    EXPECT_EQ(h.sequence, 43u);
    EXPECT_EQ(h.sessionID, 7u);
}

TEST(CommandHandleTest, ComparesBothWordsOrTheSequenceAlone) {
    const CommandHandle h(5, 9);
    EXPECT_EQ(h, CommandHandle(5, 9));
    EXPECT_NE(h, CommandHandle(5, 8));
    EXPECT_TRUE(h == 5u);
    EXPECT_TRUE(h != 6u);
    EXPECT_EQ(static_cast<std::uint32_t>(h), 5u);
    CommandHandle copy = h;
    EXPECT_EQ(EncodeToBytes(copy, 4), Bytes().Word(5).Word(9).Get());
}

TEST(InProgress, DecodedListIsInReverseWireOrder) {
    CommandInProgressArray list;
    ASSERT_TRUE(DecodeFromBytes(list, GoldenInProgressBytes(), 4));
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[0]->handle, CommandHandle(3, 7));
    EXPECT_EQ(list[0]->code, MC_DownPhysicalDrive);
    EXPECT_EQ(list[1]->handle, CommandHandle(2, 7));
    EXPECT_EQ(list[2]->handle, CommandHandle(1, 7));
    EXPECT_EQ(list[2]->aux2, 10u);
    EXPECT_EQ(list[3], nullptr);
}

TEST(InProgress, EachRoundTripReversesTheList) {
    CommandInProgressArray list;
    ASSERT_TRUE(DecodeFromBytes(list, GoldenInProgressBytes(), 4));
    CommandInProgressArray again;
    ASSERT_TRUE(DecodeFromBytes(again, EncodeToBytes(list, 4), 4));
    EXPECT_EQ(EncodeToBytes(again, 4), GoldenInProgressBytes());
}

TEST(InProgress, AddReplacesAnEqualEntryKeepingItsPlace) {
    CommandInProgressArray list;
    list.AddElement(CommandInProgress(CommandHandle(1, 1), MC_TestPhysicalDrive, 2, 255, 10));
    list.AddElement(CommandInProgress(CommandHandle(2, 1), MC_VerifyPhysicalDrive, 3, 255, 10));
    // aux2 is progress, not identity.
    list.AddElement(CommandInProgress(CommandHandle(1, 1), MC_TestPhysicalDrive, 2, 255, 60));
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[1]->aux2, 60u);
    EXPECT_EQ(list[0]->handle, CommandHandle(2, 1));
    // A different aux1 is another entry, put at the head.
    list.AddElement(CommandInProgress(CommandHandle(1, 1), MC_TestPhysicalDrive, 2, 0, 0));
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[0]->aux1, 0u);
}

TEST(InProgress, RemoveDriveElementRemovesEveryEntryOfThatDrive) {
    CommandInProgressArray list;
    list.AddElement(CommandInProgress(CommandHandle(1, 1), MC_TestPhysicalDrive, 3, 255, 0));
    list.AddElement(CommandInProgress(CommandHandle(2, 1), MC_VerifyPhysicalDrive, 4, 255, 0));
    list.AddElement(CommandInProgress(CommandHandle(3, 1), MC_VerifyPhysicalDrive, 0x103, 255, 0));
    list.AddElement(CommandInProgress(CommandHandle(4, 1), MC_FormatLUN, 255, 255, 0));
    list.RemoveDriveElement(3);
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[0]->drive, 255u);
    EXPECT_EQ(list[1]->drive, 4u);
    list.RemoveElement(CommandInProgress(CommandHandle(4, 1), MC_FormatLUN, 255, 255, 99));
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(
        list.IsMember(CommandInProgress(CommandHandle(2, 1), MC_VerifyPhysicalDrive, 4, 255, 0)),
        list[0]);
}

TEST(InProgress, LyingCountFailsAndLeavesTheListEmpty) {
    CommandInProgressArray list;
    list.AddElement(CommandInProgress());
    ByteVector bytes = GoldenInProgressBytes();
    bytes[3] = 4;  // one entry more than sent
    EXPECT_FALSE(DecodeFromBytes(list, bytes, 4));
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_FALSE(DecodeFromBytes(list, Bytes().Word(0xFFFFFFFF).Get(), 4));
}

TEST(InProgress, EncodingStopsAt65535Entries) {
    CommandInProgressArray list;
    ByteVector wire = Bytes().Word(65536).Get();
    wire.resize(4 + 65536 * 24, 0);
    ASSERT_TRUE(DecodeFromBytes(list, wire, 4));
    EXPECT_EQ(list.Size(), 65535u);
    const ByteVector bytes = EncodeToBytes(list, 4);
    EXPECT_EQ(bytes.size(), 4u + 65535u * 24u);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);
}

TEST(Results, DecodedListHoldsTheThreeKindsInReverseWireOrder) {
    CommandResultsArray list;
    ASSERT_TRUE(DecodeFromBytes(list, GoldenResultsBytes(), 4));
    ASSERT_EQ(list.Size(), 3u);
    const auto* perf = dynamic_cast<const ProactivePerformanceCommandResults*>(list[0]);
    ASSERT_NE(perf, nullptr);
    EXPECT_EQ(perf->perfValue, -2);
    EXPECT_EQ(perf->recs.valueA, 9u);
    EXPECT_EQ(perf->recs.metricChecks[16], 1u);
    const auto* diag = dynamic_cast<const DiagCommandResults*>(list[1]);
    ASSERT_NE(diag, nullptr);
    EXPECT_EQ(diag->code, MC_VerifyPhysicalDrive);
    EXPECT_EQ(diag->drive, 3u);
    EXPECT_EQ(diag->diagState, DIAG_STATE_RUNNING);
    EXPECT_EQ(diag->diagValue3, 30u);
    const CommandResults* plain = list[2];
    EXPECT_EQ(plain->type, COMMAND_RESULTS);
    EXPECT_EQ(plain->code, MC_DeleteLUN);
    EXPECT_EQ(plain->result, 1);
    EXPECT_EQ(plain->error.TextView(), "LUN deleted");
    EXPECT_EQ(plain->error.source, 2u);
    EXPECT_EQ(plain->error.oemItem, 6u);
    EXPECT_EQ(plain->error.extraBytes, (std::vector<unsigned char>{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(plain->error.moduleId, 5u);
    EXPECT_EQ(list[3], nullptr);
}

TEST(Results, ServiceSideListCodesToTheGoldenBytes) {
    CommandResultsArray list;
    PerfRecs recs;
    recs.valueA = 9;
    list.AddElement(ProactivePerformanceCommandResults(-2, recs, 1));
    list.AddElement(
        DiagCommandResults(MC_VerifyPhysicalDrive, 0, 3, DIAG_STATE_RUNNING, 10, 20, 30, nullptr));
    const oruerr err = GoldenDeleteLunError();
    list.AddElement(CommandResults(COMMAND_RESULTS, MC_DeleteLUN, 1, &err));
    EXPECT_EQ(EncodeToBytes(list, 4), GoldenResultsBytes());
}

TEST(Results, SameTypeAndCodeReplacesTheEntry) {
    CommandResultsArray list;
    list.AddElement(CommandResults(COMMAND_RESULTS, MC_CreateLUN, 0, nullptr));
    list.AddElement(CommandResults(COMMAND_RESULTS, MC_DeleteLUN, 0, nullptr));
    list.AddElement(CommandResults(COMMAND_RESULTS, MC_CreateLUN, 1, nullptr));
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[1]->code, MC_CreateLUN);
    EXPECT_EQ(list[1]->result, 1);
}

TEST(Results, DiagnosticsOfDifferentDrivesAreKeptApart) {
    CommandResultsArray list;
    list.AddElement(
        DiagCommandResults(MC_TestPhysicalDrive, 0, 1, DIAG_STATE_RUNNING, 0, 0, 0, nullptr));
    list.AddElement(
        DiagCommandResults(MC_TestPhysicalDrive, 0, 2, DIAG_STATE_RUNNING, 0, 0, 0, nullptr));
    list.AddElement(
        DiagCommandResults(MC_TestPhysicalDrive, 1, 1, DIAG_STATE_FINISHED, 7, 0, 0, nullptr));
    ASSERT_EQ(list.Size(), 2u);
    const auto* first = dynamic_cast<const DiagCommandResults*>(list[1]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->drive, 1u);
    EXPECT_EQ(first->diagState, DIAG_STATE_FINISHED);
    EXPECT_EQ(first->diagValue1, 7u);
    list.RemoveElement(
        DiagCommandResults(MC_TestPhysicalDrive, 0, 2, DIAG_STATE_NONE, 0, 0, 0, nullptr));
    EXPECT_EQ(list.Size(), 1u);
}

TEST(Results, UnknownKindIsIgnoredWhenAdded) {
    CommandResultsArray list;
    list.AddElement(CommandResults(static_cast<COMMAND_TYPE>(4), MC_GetState, 0, nullptr));
    EXPECT_EQ(list.Size(), 0u);
}

TEST(Results, PlainRecordOfADiagnosticKindIsStoredWithTheDiagnosticFields) {
    CommandResultsArray list;
    list.AddElement(CommandResults(DIAG_COMMAND_RESULTS, MC_TestPhysicalDrive, 1, nullptr));
    ASSERT_EQ(list.Size(), 1u);
    const auto* diag = dynamic_cast<const DiagCommandResults*>(list[0]);
    ASSERT_NE(diag, nullptr);
    EXPECT_EQ(diag->drive, 255u);
    EXPECT_EQ(diag->result, 1);
    // It codes as a full diagnostic entry, which a reader can decode.
    CommandResultsArray back;
    EXPECT_TRUE(DecodeFromBytes(back, EncodeToBytes(list, 4), 4));
    EXPECT_EQ(back.Size(), 1u);
}

TEST(Results, UnknownKindOnTheWireStopsTheWholeMessage) {
    // A server state whose results list holds a type-4 entry: the decode
    // stops there and nothing after it is read, so the running-command list
    // is not filled with bytes from the wrong offset.
    Bytes b;
    b.Word(2).Word(1).Word(1).Word(5).Word(1);
    b.Text("", 256).Word(0).Word(0).Word(3).Word(0).Word(0).Word(0).Word(0);
    b.Word(0).Word(0).Word(0);
    b.Word(4).Word(4).Word(5).Word(0);
    b.Text("", 256).Word(0).Word(0).Word(3).Word(0).Word(0).Word(0).Word(0);
    b.Word(0).Word(0).Word(0);
    b.Raw(GoldenInProgressBytes());
    OruServerState server;
    server.commandsInProgress.AddElement(CommandInProgress());
    EXPECT_FALSE(DecodeFromBytes(server, b.Get(), 4));
    EXPECT_EQ(server.commandsInProgress.Size(), 1u);  // left as it was
    CommandResultsArray results;
    EXPECT_FALSE(DecodeFromBytes(results, b.Get(), 4));
    EXPECT_EQ(results.Size(), 0u);
}

TEST(Results, KindWordsThatDisagreeFailTheDecode) {
    ByteVector bytes = GoldenResultsBytes();
    bytes[4 + 7] = 2;  // outer word says diagnostic, the entry's own word says plain
    CommandResultsArray list;
    EXPECT_FALSE(DecodeFromBytes(list, bytes, 4));
    EXPECT_EQ(list.Size(), 0u);
}

TEST(Results, CopiesAreDeep) {
    CommandResultsArray list;
    list.AddElement(
        DiagCommandResults(MC_TestPhysicalDrive, 0, 1, DIAG_STATE_RUNNING, 0, 0, 0, nullptr));
    CommandResultsArray copy = list;
    dynamic_cast<DiagCommandResults*>(copy[0])->drive = 9;
    EXPECT_EQ(dynamic_cast<DiagCommandResults*>(list[0])->drive, 1u);
    copy = list;
    EXPECT_EQ(EncodeToBytes(copy, 4), EncodeToBytes(list, 4));
}

TEST(ErrorRecord, WireOrderStartsWithTheText) {
    oruerr err;
    err.SetText("Bad");
    err.senseValid = 1;
    err.errorClass = 4;
    err.extraBytes = {1, 2};
    err.qualifier = 3;
    Bytes expected;
    expected.Text("Bad", 256).Word(1).Word(0).Word(4).Word(0).Word(0).Word(0);
    expected.Word(2).Raw({1, 2}).Word(0).Word(3).Word(0);
    EXPECT_EQ(EncodeToBytes(err, 4), expected.Get());
    EXPECT_EQ(oruerr().errorClass, 3u);
}

TEST(ErrorRecord, ExtraLengthBeyondTheBytesFails) {
    Bytes b;
    b.Text("x", 256).Word(0).Word(0).Word(3).Word(0).Word(0).Word(0).Word(0x7FFFFFF0);
    b.Word(0).Word(0).Word(0);
    oruerr err;
    EXPECT_FALSE(DecodeFromBytes(err, b.Get(), 4));
    EXPECT_EQ(err.ExtraLength(), 0u);
}

TEST(ErrorRecord, SenseDataAndUnterminatedTextStayBounded) {
    oruerr err;
    std::memset(err.text, 'E', sizeof err.text);
    EXPECT_EQ(err.TextView().size(), 256u);
    err.text[0] = 0x70;
    err.text[1] = 0;
    err.senseValid = 1;
    EXPECT_EQ(err.TextView().size(), 1u);
    EXPECT_EQ(err.SenseBytes().size(), 256u);
    oruerr copy = err;
    EXPECT_EQ(copy.SenseBytes(), err.SenseBytes());
}

}  // namespace
