// Every request on the wire: what a DiskArray sends for each management
// operation, byte for byte, against the request layouts (a 20-byte header of
// length, version 4, code, sequence, session id, then the body).
#include <functional>
#include <string>
#include <vector>

#include "ArrayFixture.h"
#include "ReplyBytes.h"
#include "client/Session.h"

namespace arraytest {
namespace {

// A value request: 36 bytes, values unused are 0.
std::string ValueRequest(std::uint32_t code, std::uint32_t sequence, std::uint32_t session,
                         std::vector<std::uint32_t> values) {
    values.resize(4, 0);
    return Be(36) + Be(4) + Be(code) + Be(sequence) + Be(session) + Be(values[0]) + Be(values[1]) +
           Be(values[2]) + Be(values[3]);
}

struct Case {
    const char* name;
    std::function<CommandHandle(DiskArray&)> send;
    std::uint32_t code;
    std::vector<std::uint32_t> values;
};

// The requests in the order of the virtual table, then the others.
std::vector<Case> ValueCases() {
    return {
        {"GetState", [](DiskArray& a) { return a.GetState(); }, 12, {}},
        {"RetryLogAfterError", [](DiskArray& a) { return a.RetryLogAfterError(); }, 22, {}},
        {"FormatSubsystem", [](DiskArray& a) { return a.FormatSubsystem(3); }, 9, {3}},
        {"ShutdownSubsystem", [](DiskArray& a) { return a.ShutdownSubsystem(); }, 38, {}},
        {"StartRebuildOperation", [](DiskArray& a) { return a.StartRebuildOperation(); }, 39, {}},
        {"StopRebuildOperation", [](DiskArray& a) { return a.StopRebuildOperation(); }, 40, {}},
        {"Set_Linkage", [](DiskArray& a) { return a.Set_Linkage(2); }, 28, {2}},
        {"Set_ControllerAddress",
         [](DiskArray& a) { return a.Set_ControllerAddress(1, 15); },
         37,
         {1, 15}},
        {"CreateLUN", [](DiskArray& a) { return a.CreateLUN(3, 2048); }, 4, {3, 2048}},
        {"DeleteLUN", [](DiskArray& a) { return a.DeleteLUN(3); }, 5, {3}},
        {"RenumberLUN", [](DiskArray& a) { return a.RenumberLUN(3, 5); }, 17, {3, 5}},
        {"FormatLUN", [](DiskArray& a) { return a.FormatLUN(2, 1); }, 8, {2, 1}},
        {"AddPhysicalDrive", [](DiskArray& a) { return a.AddPhysicalDrive(11); }, 1, {11}},
        {"DownPhysicalDrive",
         [](DiskArray& a) { return a.DownPhysicalDrive(5, DT_ALLOW_ALL, 1); },
         7,
         {5, 2, 1}},
        {"TestAlarmMessage", [](DiskArray& a) { return a.TestAlarmMessage(); }, 41, {}},
        {"ConfigureDefaultScsiSettings",
         [](DiskArray& a) { return a.ConfigureDefaultScsiSettings(); },
         3,
         {}},
        {"SetPrimaryController", [](DiskArray& a) { return a.SetPrimaryController(1); }, 36, {1}},
        {"Set_RebuildPriority",
         [](DiskArray& a) { return a.Set_RebuildPriority(-1); },
         31,
         {0xFFFFFFFFu}},
        {"Set_AutoInclude", [](DiskArray& a) { return a.Set_AutoInclude(1); }, 23, {1}},
        {"Set_AutoRebuild", [](DiskArray& a) { return a.Set_AutoRebuild(0); }, 24, {0}},
        {"Set_ReadCacheEnable", [](DiskArray& a) { return a.Set_ReadCacheEnable(1); }, 30, {1}},
        {"Set_WriteCacheEnable", [](DiskArray& a) { return a.Set_WriteCacheEnable(1); }, 35, {1}},
        {"Set_Parity", [](DiskArray& a) { return a.Set_Parity(1); }, 29, {1}},
        {"Set_SDTR", [](DiskArray& a) { return a.Set_SDTR(1); }, 32, {1}},
        {"Set_WTDR", [](DiskArray& a) { return a.Set_WTDR(2); }, 34, {2}},
        {"Set_TerminatorPower", [](DiskArray& a) { return a.Set_TerminatorPower(1); }, 33, {1}},
        {"Set_HotSpare", [](DiskArray& a) { return a.Set_HotSpare(1); }, 27, {1}},
        {"Set_CapacityThreshold",
         [](DiskArray& a) { return a.Set_CapacityThreshold(90); },
         25,
         {90}},
        {"VerifyPhysicalDrive",
         [](DiskArray& a) { return a.VerifyPhysicalDrive(4, 100); },
         44,
         {4, 100, 0}},
        {"TestPhysicalDrive",
         [](DiskArray& a) { return a.TestPhysicalDrive(6, 25); },
         43,
         {6, 25, 0}},
        {"Cancel_Command",
         [](DiskArray& a) { return a.Cancel_Command(CommandHandle(3, 9)); },
         2,
         {3, 9}},
        {"Do_Prevention_Check", [](DiskArray& a) { return a.Do_Prevention_Check(); }, 6, {}},
        {"RestartSubsystem", [](DiskArray& a) { return a.RestartSubsystem(); }, 19, {}},
        {"ResetSubsystem", [](DiskArray& a) { return a.ResetSubsystem(); }, 21, {}},
        {"ReadControllerLog",
         [](DiskArray& a) { return a.ReadControllerLog(4096, 1, 1); },
         14,
         {4096, 1, 1}},
        {"RecordDiagInfo",
         [](DiskArray& a) { return a.RecordDiagInfo(2, 0x2F, 512); },
         16,
         {2, 0x2F, 512}},
        {"ReadDefectData", [](DiskArray& a) { return a.ReadDefectData(9, 1024); }, 15, {9, 1024}},
        {"ResetPhysicalDrive", [](DiskArray& a) { return a.ResetPhysicalDrive(10); }, 20, {10}},
        {"Set_FormatPatternFill", [](DiskArray& a) { return a.Set_FormatPatternFill(1); }, 26, {1}},
        {"CompareAndSwap", [](DiskArray& a) { return a.CompareAndSwap(); }, 42, {}},
        {"FlushServerLog", [](DiskArray& a) { return a.FlushServerLog(); }, 48, {}},
        {"Set_DisableRemoteReset",
         [](DiskArray& a) { return a.Set_DisableRemoteReset(1); },
         49,
         {1}},
        {"GetPerfRecs", [](DiskArray& a) { return a.GetPerfRecs(1000, 4600); }, 11, {1000, 4600}},
        {"ClearDiagInfo", [](DiskArray& a) { return a.ClearDiagInfo(3, 0x2F); }, 47, {3, 0x2F, 0}},
        {"ClearDiagResults", [](DiskArray& a) { return a.ClearDiagResults(); }, 50, {}},
        {"Set_QueueFullThreshold",
         [](DiskArray& a) { return a.Set_QueueFullThreshold(64); },
         51,
         {64}},
        {"Set_SinglePathFailover",
         [](DiskArray& a) { return a.Set_SinglePathFailover(1); },
         52,
         {1}},
        {"Set_VeryEarlyBusy", [](DiskArray& a) { return a.Set_VeryEarlyBusy(1); }, 53, {1}},
        {"Set_CreateLunLimit", [](DiskArray& a) { return a.Set_CreateLunLimit(6); }, 54, {6}},
        {"SetResiliencyParameters",
         [](DiskArray& a) { return a.SetResiliencyParameters(1, PG_SECURE); },
         55,
         {1, 3}},
    };
}

class DiskArrayRequestTest : public ArrayFixture {};

TEST_F(DiskArrayRequestTest, EveryValueRequestGoesOutAsItsLayoutWithTheNextSequence) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    ASSERT_GE(fd, 0);
    std::uint32_t sequence = 0;
    for (const Case& c : ValueCases()) {
        SCOPED_TRACE(c.name);
        ++sequence;
        const CommandHandle handle = c.send(*array);
        EXPECT_EQ(handle, CommandHandle(sequence, kSessionId));
        EXPECT_EQ(array->GetMessageStatus(), SESS_SUCCESS);
        const std::string request = ValueRequest(c.code, sequence, kSessionId, c.values);
        EXPECT_EQ(ReadFrame(fd), Frame(request));
    }
    qen_->DisConnect(array);
}

TEST_F(DiskArrayRequestTest, TheFirstRequestIsSequenceOneAndCancelNamesItsHandle) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    const CommandHandle first = array->GetState();
    EXPECT_EQ(first, CommandHandle(1, kSessionId));
    const CommandHandle cancel = array->Cancel_Command(first);
    EXPECT_EQ(cancel, CommandHandle(2, kSessionId));
    EXPECT_EQ(ReadFrame(fd), Frame(ValueRequest(12, 1, kSessionId, {})));
    EXPECT_EQ(ReadFrame(fd), Frame(ValueRequest(2, 2, kSessionId, {1, kSessionId})));
}

TEST_F(DiskArrayRequestTest, PerformanceMetricsCarryTheirIdentifiersAfterTheValues) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    const PERF_METRIC ids[] = {static_cast<PERF_METRIC>(3), static_cast<PERF_METRIC>(7),
                               static_cast<PERF_METRIC>(16)};
    EXPECT_EQ(array->GetPerfMetrics(1000, 4600, 4, 3, ids), CommandHandle(1, kSessionId));
    // 36 + 4 x 3 = 48 bytes; value4 is the count.
    EXPECT_EQ(ReadFrame(fd), Frame(Be(48) + Be(4) + Be(10) + Be(1) + Be(kSessionId) + Be(1000) +
                                   Be(4600) + Be(4) + Be(3) + Be(3) + Be(7) + Be(16)));
    // No identifiers to send: the count goes out as 0, never a count with
    // nothing behind it.
    EXPECT_EQ(array->GetPerfMetrics(1, 2, 1, 5, nullptr), CommandHandle(2, kSessionId));
    EXPECT_EQ(ReadFrame(fd), Frame(ValueRequest(10, 2, kSessionId, {1, 2, 1, 0})));
}

TEST_F(DiskArrayRequestTest, AnAliasTravelsCountedAndPaddedToAWholeWord) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    // Five letters: 32 + 5 = 37 coded bytes, length word 40, three zero pads.
    EXPECT_EQ(array->SetAliasName("VAULT"), CommandHandle(1, kSessionId));
    EXPECT_EQ(ReadFrame(fd), Frame(Be(40) + Be(4) + Be(56) + Be(1) + Be(kSessionId) + Be(0) +
                                   Be(0) + Be(5) + "VAULT" + std::string(3, '\0')));
    // Twelve letters need no pad; no terminator travels.
    EXPECT_EQ(array->SetAliasName("ARRAY_NUMBER"), CommandHandle(2, kSessionId));
    EXPECT_EQ(ReadFrame(fd), Frame(Be(44) + Be(4) + Be(56) + Be(2) + Be(kSessionId) + Be(0) +
                                   Be(0) + Be(12) + "ARRAY_NUMBER"));
    // No text at all is an empty alias.
    EXPECT_EQ(array->SetAliasName(nullptr), CommandHandle(3, kSessionId));
    EXPECT_EQ(ReadFrame(fd),
              Frame(Be(32) + Be(4) + Be(56) + Be(3) + Be(kSessionId) + Be(0) + Be(0) + Be(0)));
}

TEST_F(DiskArrayRequestTest, TheStateStartsWithTheListsNamesCutToTheirFields) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->GetStatePtr()->SerialNumber(), kSerial);
    EXPECT_EQ(array->GetStatePtr()->ServerName(), HostName().substr(0, 16));
    EXPECT_EQ(array->GetSubType(), DISK_ARRAY_TYPE{});
    EXPECT_EQ(array->GetStatePtr()->ValidStateData(), 0u);

    // A serial of 13 characters or more keeps its terminator in the field.
    Session* unopened = new Session(4);
    DiskArray loose("a-server-name-longer-than-sixteen", "SERIAL-OF-13C", unopened);
    EXPECT_EQ(loose.GetStatePtr()->SerialNumber(), "SERIAL-OF-13");
    EXPECT_EQ(loose.GetStatePtr()->serialNumber[12], '\0');
    EXPECT_EQ(loose.GetStatePtr()->ServerName(), "a-server-name-lo");
    EXPECT_EQ(loose.GetMessageStatus(), SESS_CONNECTION_UNINITIALIZED);
    // Nothing can be sent on it: the handle is (0, 0), the reason status 6.
    EXPECT_EQ(loose.GetState(), CommandHandle(0, 0));
    EXPECT_EQ(loose.GetMessageStatus(), SESS_CONNECTION_UNINITIALIZED);
}

}  // namespace
}  // namespace arraytest
