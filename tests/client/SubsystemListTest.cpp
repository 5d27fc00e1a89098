// Subsystem lists fetched over TCP from a peer that answers as the service
// does: decoding of the records, sorting, bad and short answers, rescan.
#include <arpa/inet.h>
#include <stdlib.h>

#include <cstring>

#include "ClientFixture.h"
#include "WireBytes.h"
#include "client/OruSubsystemList.h"

namespace clienttest {
namespace {

class SubsystemListTest : public ClientFixture {
  protected:
    ASL_STATUS FetchFromLoopback(OruSubsystemList& list, int reset = 0) {
        return list.Update("127.0.0.1", 0, reset);
    }
};

TEST_F(SubsystemListTest, DecodesEveryFieldOfSeveralRecordsAndKeepsThemSorted) {
    ListRecord second = LocalRecord("SER000000002");
    second.type = 0x01020304;
    second.secureMethod = 4;
    second.device0 = DeviceImage(0x11, 0x22, {{0x11, 0x22}, {0x33, 0x44}});
    second.device1 = DeviceImage(0x55, 0x66, {{0x55, 0x66}}, '\x7f');
    ListRecord first = LocalRecord("SER000000001");
    first.alias = "first";
    ListRecord otherHost = LocalRecord("SER000000000");
    otherHost.serverName = "zz-other-host";
    // Sent out of order: the list sorts by server name, then serial.
    peer_->SetListAnswer(ListAnswer({otherHost, second, first}));

    OruSubsystemList list(0);
    ASSERT_EQ(FetchFromLoopback(list), ASL_GOOD);
    EXPECT_EQ(list.GetStatus(), ASL_GOOD);
    ASSERT_EQ(list.Size(), 3);
    EXPECT_EQ(peer_->ConnectWords(), std::vector<std::uint32_t>({0x00040001u}));

    EXPECT_STREQ(list[0]->SerialNumber(), "SER000000001");
    EXPECT_STREQ(list[1]->SerialNumber(), "SER000000002");
    EXPECT_STREQ(list[2]->ServerName(), "zz-other-host");
    EXPECT_EQ(list[3], nullptr);

    OruSubsystem* entry = list[1];
    EXPECT_STREQ(entry->ServerName(), HostName().c_str());
    EXPECT_STREQ(entry->Alias(), "alias-SER000");
    EXPECT_EQ(static_cast<std::uint32_t>(entry->SubsystemType()), 0x01020304u);
    EXPECT_EQ(entry->secureMethod, 4u);
    EXPECT_STREQ(entry->securePath, "C:\\oru_admin\\SER000000002.");
    EXPECT_EQ(entry->deviceAddr[0].major_number, 0x11u);
    EXPECT_EQ(entry->deviceAddr[0].minor_number, 0x22u);
    EXPECT_EQ(entry->deviceAddr[0].address[1].major, 0x33u);
    EXPECT_EQ(entry->deviceAddr[0].address[1].minor, 0x44u);
    EXPECT_EQ(entry->deviceAddr[1].address[0].major, 0x55u);
    EXPECT_EQ(entry->deviceAddr[1].address[15].minor, 0u);
    EXPECT_EQ(entry->deviceAddr[1].reserved[3], 0x7f7f7f7fu);
    EXPECT_EQ(entry->IsSecure(), 0);
    EXPECT_EQ(entry->serverAddress.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(ntohs(entry->serverAddress.sin_port), root_.TcpPort());
}

TEST_F(SubsystemListTest, UnterminatedFieldsAreCutWithinTheirWidth) {
    ListRecord record = LocalRecord("");
    record.serverName = std::string(49, 'h');
    record.serial = std::string(13, 'S');
    record.alias = std::string(13, 'a');
    record.securePath = std::string(261, 'p');
    peer_->SetListAnswer(ListAnswer({record}));

    OruSubsystemList list(0);
    ASSERT_EQ(FetchFromLoopback(list), ASL_GOOD);
    ASSERT_EQ(list.Size(), 1);
    EXPECT_EQ(std::string(list[0]->ServerName()), std::string(48, 'h'));
    EXPECT_EQ(std::string(list[0]->SerialNumber()), std::string(12, 'S'));
    EXPECT_EQ(std::string(list[0]->Alias()), std::string(12, 'a'));
    EXPECT_EQ(std::string(list[0]->securePath), std::string(260, 'p'));
}

TEST_F(SubsystemListTest, ReleaseThreeRecordsCarryNoAlias) {
    ListRecord old = LocalRecord("OLDSERIAL001");
    old.release = std::string("A.03.15\0", 8);
    ListRecord current = LocalRecord("NEWSERIAL001");
    peer_->SetListAnswer(ListAnswer({old, current}));

    OruSubsystemList list(0);
    ASSERT_EQ(FetchFromLoopback(list), ASL_GOOD);
    ASSERT_EQ(list.Size(), 2);
    OruSubsystem* oldEntry = list.FindSubsystem("OLDSERIAL001");
    ASSERT_NE(oldEntry, nullptr);
    EXPECT_STREQ(oldEntry->Alias(), "");
    EXPECT_STREQ(oldEntry->securePath, "C:\\oru_admin\\OLDSERIAL001.");
    EXPECT_STREQ(list.FindSubsystem("NEWSERIAL001")->Alias(), "alias-NEWSER");
}

TEST_F(SubsystemListTest, AnEmptyListIsTheSingleCountWord) {
    peer_->SetListAnswer(Be(0));
    OruSubsystemList list(0);
    EXPECT_EQ(FetchFromLoopback(list), ASL_GOOD);
    EXPECT_EQ(list.Size(), 0);
}

TEST_F(SubsystemListTest, BadAnswersEndTheUpdateButKeepTheRecordsBefore) {
    struct Case {
        const char* what;
        std::string answer;
    };
    ListRecord good = LocalRecord("GOODSERIAL01");
    ListRecord release05 = LocalRecord("BADSERIAL001");
    release05.release = std::string("A.05.15\0", 8);
    ListRecord garbled = LocalRecord("BADSERIAL002");
    garbled.release = std::string("B.04.15\0", 8);
    ListRecord duplicate = LocalRecord("GOODSERIAL01");
    const std::string truncated = RecordBytes(LocalRecord("CUTSERIAL001")).substr(0, 200);
    const std::vector<Case> cases = {
        {"release 05", Be(2) + RecordBytes(good) + RecordBytes(release05)},
        {"not a release text", Be(2) + RecordBytes(good) + RecordBytes(garbled)},
        {"duplicate server and serial", Be(2) + RecordBytes(good) + RecordBytes(duplicate)},
        {"list cut short", Be(3) + RecordBytes(good) + truncated},
        {"count beyond the records", Be(0xFFFFFFFF) + RecordBytes(good)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        peer_->SetListAnswer(c.answer);
        OruSubsystemList list(0);
        EXPECT_EQ(FetchFromLoopback(list), ASL_SCAN_FAILED);
        EXPECT_EQ(list.GetStatus(), ASL_SCAN_FAILED);
        ASSERT_EQ(list.Size(), 1);
        EXPECT_STREQ(list[0]->SerialNumber(), "GOODSERIAL01");
    }
}

TEST_F(SubsystemListTest, NoServiceOrNoSuchHostFails) {
    OruSubsystemList list(0);
    EXPECT_EQ(list.Update("no-such-host.invalid", 0, 0), ASL_SCAN_FAILED);
    // Nothing listens on this port: three tries, then failure.
    EXPECT_EQ(list.Update("127.0.0.1", testsupport::FreePort(SOCK_STREAM), 0), ASL_SCAN_FAILED);
    EXPECT_EQ(list.Size(), 0);
}

TEST_F(SubsystemListTest, WithoutAHostTheListComesFromOruhost) {
    peer_->SetListAnswer(ListAnswer({LocalRecord("ORUHOSTSER01")}));
    ASSERT_EQ(setenv("ORUHOST", "127.0.0.1", 1), 0);
    OruSubsystemList list(1);
    unsetenv("ORUHOST");
    EXPECT_EQ(list.GetStatus(), ASL_GOOD);
    ASSERT_EQ(list.Size(), 1);
    EXPECT_STREQ(list[0]->SerialNumber(), "ORUHOSTSER01");
}

TEST_F(SubsystemListTest, WithoutAHostOrOruhostTheListComesFromThisHost) {
    unsetenv("ORUHOST");
    peer_->SetListAnswer(ListAnswer({LocalRecord("THISHOST0001")}));
    OruSubsystemList list(0);
    EXPECT_EQ(list.Update(nullptr, 0, 0), ASL_GOOD);
    ASSERT_EQ(list.Size(), 1);
}

TEST_F(SubsystemListTest, ResetDropsOnlyThatServersEntries) {
    ListRecord mine = LocalRecord("MINE00000001");
    ListRecord other = LocalRecord("OTHER0000001");
    other.serverName = "other-host";
    peer_->SetListAnswer(ListAnswer({mine, other}));
    OruSubsystemList list(0);
    ASSERT_EQ(FetchFromLoopback(list), ASL_GOOD);
    ASSERT_EQ(list.Size(), 2);

    // The same answer again adds nothing new: every record is a duplicate.
    EXPECT_EQ(FetchFromLoopback(list), ASL_SCAN_FAILED);
    EXPECT_EQ(list.Size(), 2);

    list.ResetMap("other-host");
    ASSERT_EQ(list.Size(), 1);
    EXPECT_STREQ(list[0]->SerialNumber(), "MINE00000001");

    // Update with reset drops the host's entries first.
    peer_->SetListAnswer(ListAnswer({LocalRecord("MINE00000002")}));
    ASSERT_EQ(list.Update(HostName().c_str(), 0, 1), ASL_GOOD);
    ASSERT_EQ(list.Size(), 1);
    EXPECT_STREQ(list[0]->SerialNumber(), "MINE00000002");

    list.ResetMap(nullptr);
    EXPECT_EQ(list.Size(), 0);
}

TEST_F(SubsystemListTest, FindsEntriesBySerialServerAndDeviceAddress) {
    ListRecord a = LocalRecord("FINDSERIAL01");
    a.device0 = DeviceImage(1, 0, {{1, 0}, {1, 1}});
    a.device1 = DeviceImage(2, 0, {{2, 0}});
    ListRecord b = LocalRecord("FINDSERIAL02");
    b.serverName = "another-host";
    b.device0 = DeviceImage(7, 7, {{7, 7}});
    peer_->SetListAnswer(ListAnswer({a, b}));
    OruSubsystemList list(0);
    ASSERT_EQ(FetchFromLoopback(list), ASL_GOOD);

    Device_Addr wanted;
    wanted.major_number = 2;
    wanted.minor_number = 0;
    EXPECT_EQ(list.FindSubsystem(wanted), list.FindSubsystem("FINDSERIAL01"));
    EXPECT_EQ(list.FindSubsystem(HostName().c_str(), wanted), list.FindSubsystem("FINDSERIAL01"));
    EXPECT_EQ(list.FindSubsystem("another-host", wanted), nullptr);
    wanted.major_number = 7;
    wanted.minor_number = 7;
    EXPECT_STREQ(list.FindSubsystem(wanted)->SerialNumber(), "FINDSERIAL02");
    wanted.minor_number = 8;
    EXPECT_EQ(list.FindSubsystem(wanted), nullptr);

    EXPECT_NE(list.FindSubsystem("another-host", "FINDSERIAL02"), nullptr);
    EXPECT_EQ(list.FindSubsystem("another-host", "FINDSERIAL01"), nullptr);
    EXPECT_EQ(list.FindSubsystem("NOSUCHSERIAL"), nullptr);
}

TEST_F(SubsystemListTest, RescanAsksTheServiceThenReadsTheListAgain) {
    peer_->SetListAnswer(ListAnswer({LocalRecord("RESCANSER001")}));
    OruSubsystemList list(0);
    EXPECT_EQ(list.Rescan("127.0.0.1", 0, 0), ASL_GOOD);
    EXPECT_EQ(peer_->ConnectWords(), std::vector<std::uint32_t>({0x00040002u, 0x00040001u}));
    EXPECT_EQ(list.Size(), 1);

    // A refused rescan (answer 0) still reads the list, here with reset.
    peer_->SetRescanAnswer(Be(0));
    peer_->SetListAnswer(ListAnswer({LocalRecord("RESCANSER002")}));
    EXPECT_EQ(list.Rescan("127.0.0.1", 0, 1), ASL_GOOD);
    ASSERT_EQ(list.Size(), 2);  // reset dropped the entries of "127.0.0.1" only
    EXPECT_NE(list.FindSubsystem("RESCANSER002"), nullptr);
}

TEST_F(SubsystemListTest, RescanOfAnUnreachableHostReportsTheFailedList) {
    OruSubsystemList list(0);
    EXPECT_EQ(list.Rescan("127.0.0.1", testsupport::FreePort(SOCK_STREAM), 0), ASL_SCAN_FAILED);
}

}  // namespace
}  // namespace clienttest
