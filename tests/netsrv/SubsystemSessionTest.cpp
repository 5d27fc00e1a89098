// With the simulated cabinets served: the subsystem list as the service
// sends it, authorized sessions and the replies that travel back on them,
// the gross status by datagram, and hostile or vanishing session clients
// next to well-behaved ones.
#include <gtest/gtest.h>
#include <unistd.h>

#include "NetServerFixture.h"
#include "platform/FileOwner.h"

namespace netsrvtest {
namespace {

constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;

struct ListRecord {
    std::string release;
    Bytes serverName;
    std::string serial;
    std::string alias;
    std::uint32_t type = 0;
    Bytes deviceAddr;
    std::uint32_t secureMethod = 0;
    Bytes securePath;
};

std::string Text(const Bytes& bytes, std::size_t offset, std::size_t width) {
    std::string text;
    for (std::size_t i = offset; i < offset + width && bytes[i] != 0; ++i) {
        text.push_back(static_cast<char>(bytes[i]));
    }
    return text;
}

class SubsystemSessionTest : public NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        admin_ = ConfigureAdministration(root_.File("c/oru_admin"), AdministrationDirectory());
        StartServer();
        ASSERT_FALSE(ReadList(4, "", &records_).empty()) << "no subsystem listed";
        serial_ = records_.front().serial;
    }

    // The list as a client of that revision gets it, from localAddress.
    std::vector<ListRecord> ReadList(std::uint32_t revision, const std::string& localAddress,
                                     std::vector<ListRecord>* records) {
        records->clear();
        TcpProbe probe;
        EXPECT_TRUE(probe.Connect(ports_.tcp, localAddress));
        EXPECT_TRUE(probe.Send({0x00, static_cast<unsigned char>(revision), 0x00, 0x01}));
        Bytes got;
        if (!probe.ReadExactly(4, kLimitMs, &got)) {
            ADD_FAILURE() << "no count word";
            return *records;
        }
        std::uint32_t count = Be32At(got, 0);
        std::size_t size = revision >= 4 ? 656 : 643;
        for (std::uint32_t n = 0; n < count; ++n) {
            Bytes raw;
            if (!probe.ReadExactly(size, kLimitMs, &raw)) {
                ADD_FAILURE() << "record " << n << " cut short";
                return *records;
            }
            ListRecord record;
            std::size_t at = 0;
            record.release = std::string(reinterpret_cast<const char*>(raw.data()), 8);
            at += 8;
            record.serverName.assign(raw.begin() + at, raw.begin() + at + 49);
            at += 49;
            record.serial = Text(raw, at, 13);
            at += 13;
            if (revision >= 4) {
                record.alias = Text(raw, at, 13);
                at += 13;
            }
            record.type = Be32At(raw, at);
            at += 4;
            record.deviceAddr.assign(raw.begin() + at, raw.begin() + at + 304);
            at += 304;
            record.secureMethod = Be32At(raw, at);
            at += 4;
            record.securePath.assign(raw.begin() + at, raw.begin() + at + 261);
            records->push_back(record);
        }
        EXPECT_TRUE(probe.WaitClosed(kLimitMs));
        return *records;
    }

    // Opens an authorized session to serial_ from localAddress; the id.
    std::uint32_t OpenSession(TcpProbe& probe, const std::string& localAddress = "",
                              unsigned char revision = 4) {
        return NetServerTest::OpenSession(probe, serial_, admin_, localAddress, revision);
    }

    virtual std::string AdministrationDirectory() const { return "oru_admin"; }

    static std::string Account() {
        std::string account;
        int error = 0;
        EXPECT_TRUE(platform::AccountOfUid(::getuid(), &account, &error));
        return account;
    }

    std::string admin_;
    std::string serial_;
    std::vector<ListRecord> records_;
};

TEST_F(SubsystemSessionTest, TheListCarriesEverySimulatedSubsystemWithTheLocalSecurePath) {
    ASSERT_EQ(records_.size(), 2u);
    std::string host = AnnouncedHostName();
    for (const ListRecord& record : records_) {
        EXPECT_EQ(record.release, std::string("A.04.15\0", 8));
        EXPECT_EQ(Text(record.serverName, 0, 49), host);
        EXPECT_EQ(record.serial.size(), 12u) << record.serial;
        EXPECT_EQ(record.secureMethod, 0u);
        EXPECT_EQ(Text(record.securePath, 0, 261), "C:\\oru_admin\\" + record.serial + ".");
        // Each controller path: (interface kind 4, device index), little-endian.
        for (std::size_t slot = 0; slot < 2; ++slot) {
            const unsigned char* image = record.deviceAddr.data() + slot * 152;
            EXPECT_EQ(Bytes(image, image + 4), (Bytes{0x04, 0x00, 0x00, 0x00})) << slot;
            EXPECT_EQ(Bytes(image + 8, image + 12), (Bytes{0x04, 0x00, 0x00, 0x00})) << slot;
            EXPECT_EQ(Bytes(image + 4, image + 8), Bytes(image + 12, image + 16)) << slot;
        }
    }
    EXPECT_NE(records_[0].serial, records_[1].serial);

    std::vector<ListRecord> old;
    ReadList(3, "", &old);
    ASSERT_EQ(old.size(), 2u);
    EXPECT_EQ(old[0].release, std::string("A.01.15\0", 8));
    EXPECT_EQ(old[0].serial, records_[0].serial);
    EXPECT_EQ(old[0].secureMethod, 0u);
}

TEST_F(SubsystemSessionTest, ARemoteClientGetsTheShareMethodAndIsAuthorizedByItsAddress) {
    std::vector<ListRecord> remote;
    ReadList(4, "127.0.0.2", &remote);
    ASSERT_FALSE(remote.empty());
    EXPECT_EQ(remote[0].secureMethod, 4u);
    EXPECT_EQ(Text(remote[0].securePath, 0, 261),
              "\\" + root_.File("c/oru_admin") + "\\" + remote[0].serial + ".");

    TcpProbe probe;
    std::uint32_t id = OpenSession(probe, "127.0.0.2");
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, kNotAuthorized);
    EXPECT_TRUE(
        testsupport::WaitForEventLogText("Management Authorization to Strovane: " + serial_ +
                                             " Succeeded for: " + Account() + " at ip: 127.0.0.2.",
                                         kLimitMs));
}

TEST_F(SubsystemSessionTest, AuthorizedSessionsGetRisingIdsAndTheirRepliesOnTheSession) {
    TcpProbe first;
    std::uint32_t id1 = OpenSession(first);
    ASSERT_NE(id1, 0u);
    ASSERT_NE(id1, kNotAuthorized);
    TcpProbe second;
    std::uint32_t id2 = OpenSession(second);
    EXPECT_EQ(id2, id1 + 1);
    const std::string report = "Management Authorization to Strovane: " + serial_ +
                               " Succeeded for: " + Account() + " at ip: 127.0.0.1.";
    EXPECT_TRUE(testsupport::WaitForEventLogText(report, kLimitMs));
    EXPECT_EQ(CountRecords(report), 2);

    // Code 45 is refused by every release: received (3), started (2), then
    // the error reply (kind 10, status 1), all over the request's handle.
    ASSERT_TRUE(second.Send(Frame(Request(45, 77, id2))));
    Bytes reply;
    ASSERT_TRUE(ReadReply(second, &reply));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 8), 1u);
    EXPECT_EQ(Be32At(reply, 12), 77u);
    EXPECT_EQ(Be32At(reply, 16), id2);
    EXPECT_EQ(Be32At(reply, 20), 3u);
    ASSERT_TRUE(ReadReply(second, &reply));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 20), 2u);
    ASSERT_TRUE(ReadReply(second, &reply));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 8), 10u);
    EXPECT_EQ(Be32At(reply, 12), 77u);
    EXPECT_EQ(Be32At(reply, 20), 1u);
}

TEST_F(SubsystemSessionTest, HostileAndVanishingClientsAreDroppedWhileOthersAreServed) {
    TcpProbe good;
    std::uint32_t goodId = OpenSession(good);
    ASSERT_NE(goodId, kNotAuthorized);

    // A length word of 0xFFFFFFFF, a length below a header, an unknown frame
    // type: each session is closed.
    for (const Bytes& hostile :
         {Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
          Bytes{0, 0, 0, 0, 0, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8}, Bytes{0, 0, 0, 7}}) {
        TcpProbe bad;
        std::uint32_t id = OpenSession(bad);
        ASSERT_NE(id, kNotAuthorized);
        ASSERT_TRUE(bad.Send(hostile));
        EXPECT_TRUE(bad.WaitClosed(kLimitMs)) << "a hostile session stayed open";
    }
    {
        // A client killed in the middle of a request.
        TcpProbe killed;
        ASSERT_NE(OpenSession(killed), kNotAuthorized);
        Bytes partial = {0, 0, 0, 0, 0, 0, 0, 36, 0, 0, 0, 36, 0, 0};
        ASSERT_TRUE(killed.Send(partial));
    }
    // A message whose header lies about its length is refused by the
    // subsystem without an answer; the session goes on.
    Bytes liar = Request(45, 1, goodId);
    liar[3] = 0xF0;
    ASSERT_TRUE(good.Send(Frame(liar)));
    ASSERT_TRUE(good.Send(Frame(Request(45, 2, goodId))));
    // The broken sessions were told to the good one as server-software
    // events (event replies, kind 3); the first other reply is the answer.
    Bytes reply;
    do {
        ASSERT_TRUE(ReadReply(good, &reply));
        ASSERT_GE(reply.size(), 24u);
    } while (Be32At(reply, 8) == 3);
    EXPECT_EQ(Be32At(reply, 12), 2u) << "the refused message was answered";
    EXPECT_EQ(Be32At(reply, 20), 3u);

    TcpProbe later;
    std::uint32_t laterId = OpenSession(later);
    EXPECT_NE(laterId, kNotAuthorized);
    EXPECT_GT(laterId, goodId);
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(SubsystemSessionTest, TheTwentyFirstClientGetsItsIdAndIsClosedAtOnce) {
    std::vector<std::unique_ptr<TcpProbe>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<TcpProbe>());
        std::uint32_t id = OpenSession(*clients.back());
        ASSERT_NE(id, 0u) << i;
        ASSERT_NE(id, kNotAuthorized) << i;
    }
    TcpProbe extra;
    std::uint32_t id = OpenSession(extra);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, kNotAuthorized);
    EXPECT_TRUE(extra.WaitClosed(kLimitMs));

    // The twenty are still served.
    TcpProbe& last = *clients.back();
    ASSERT_TRUE(last.Send(Frame(Request(45, 9, id - 1))));
    Bytes reply;
    ASSERT_TRUE(ReadReply(last, &reply));
    EXPECT_EQ(Be32At(reply, 12), 9u);
}

TEST_F(SubsystemSessionTest, ARescanIsToldToRevisionFourSessionsOnly) {
    TcpProbe current;
    std::uint32_t id = OpenSession(current);
    ASSERT_NE(id, kNotAuthorized);
    TcpProbe old;
    std::uint32_t oldId = OpenSession(old, "", 3);
    ASSERT_NE(oldId, kNotAuthorized);
    ASSERT_NE(oldId, 0u);

    TcpProbe rescan;
    ASSERT_TRUE(rescan.Connect(ports_.tcp));
    ASSERT_TRUE(rescan.Send({0x00, 0x04, 0x00, 0x02}));
    Bytes got;
    ASSERT_TRUE(rescan.ReadExactly(4, kLimitMs, &got));

    // One event reply: kind 3, status 5, one event SSW (13) minor 13 (the
    // configuration changed), arguments 0 and 0, no state piece.
    Bytes event;
    ASSERT_TRUE(ReadReply(current, &event));
    const Bytes expected = {0, 0, 0, 44, 0, 0, 0, 4, 0, 0,  0, 3, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,
                            0, 5, 0, 0,  0, 1, 0, 0, 0, 13, 0, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(event, expected);
    Bytes nothing;
    EXPECT_FALSE(old.ReadExactly(1, 600, &nothing)) << "a revision-3 session got a broadcast";
}

TEST_F(SubsystemSessionTest, AGrossStatusRequestByDatagramIsAnsweredByDatagram) {
    UdpProbe probe;
    Bytes datagram = {0x00};
    datagram.insert(datagram.end(), serial_.begin(), serial_.end());
    Bytes request = Request(46, 7, 0);
    datagram.insert(datagram.end(), request.begin(), request.end());
    ASSERT_TRUE(probe.SendTo(ports_.udp, datagram));
    Bytes reply;
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply));
    ASSERT_GE(reply.size(), 13u + 24u);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(std::string(reply.begin() + 1, reply.begin() + 13), serial_);
    EXPECT_EQ(Be32At(reply, 13), reply.size() - 13);
    EXPECT_EQ(Be32At(reply, 13 + 12), 7u);
    EXPECT_FALSE(probe.Receive(600, &reply)) << "no status replies go to a gross status request";
}

// An administration path so long that no secure path fits its field.
class LongAdministrationPathTest : public SubsystemSessionTest {
  protected:
    std::string AdministrationDirectory() const override { return std::string(250, 'd'); }
};

TEST_F(LongAdministrationPathTest, ASecurePathThatDoesNotFitIsSentEmptyAndRecorded) {
    ASSERT_FALSE(records_.empty());
    for (const ListRecord& record : records_) {
        EXPECT_EQ(record.securePath, Bytes(261, 0)) << record.serial;
    }
    EXPECT_TRUE(testsupport::WaitForEventLogText(
        "The secure path for Strovane " + records_[0].serial +
            " does not fit in 260 characters; the client gets an empty path.",
        kLimitMs));
}

}  // namespace
}  // namespace netsrvtest
