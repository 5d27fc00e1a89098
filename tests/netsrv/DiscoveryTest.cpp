// The UDP side of the service: discovery answers, and what it does with
// management datagrams and with datagrams it cannot use.
#include <gtest/gtest.h>

#include "NetServerFixture.h"

namespace netsrvtest {
namespace {

constexpr int kQuietMs = 600;

// A request datagram: type 0, the 12 serial bytes, then a header-and-value
// request (length 36, version 4, code, handle (7, 0), four zero values).
Bytes ManagementDatagram(const std::string& serial, std::uint32_t code) {
    Bytes datagram = {0x00};
    for (std::size_t i = 0; i < 12; ++i) {
        datagram.push_back(i < serial.size() ? static_cast<unsigned char>(serial[i]) : 0);
    }
    for (std::uint32_t word : {36u, 4u, code, 7u, 0u, 0u, 0u, 0u, 0u}) {
        Bytes be = Be32(word);
        datagram.insert(datagram.end(), be.begin(), be.end());
    }
    return datagram;
}

void ExpectHostNameReply(const Bytes& reply) {
    ASSERT_EQ(reply.size(), 49u);
    std::string expected = AnnouncedHostName();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data())), expected);
    for (std::size_t i = expected.size(); i < reply.size(); ++i) {
        EXPECT_EQ(reply[i], 0) << "byte " << i;
    }
}

using DiscoveryTest = NetServerTest;

TEST_F(DiscoveryTest, ADiscoveryDatagramOfAnyLengthGetsExactlyOneHostNameReply) {
    StartServer();
    UdpProbe probe;
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x01}));
    Bytes reply;
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply)) << "no answer on the swapped services port";
    ExpectHostNameReply(reply);

    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x01, 'm', 'o', 'r', 'e', 0x00, 0xFF}));
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply));
    ExpectHostNameReply(reply);
    EXPECT_FALSE(probe.Receive(kQuietMs, &reply)) << "a second reply came";
}

TEST_F(DiscoveryTest, UselessDatagramsAreDroppedAndDiscoveryGoesOn) {
    StartServer();
    UdpProbe probe;
    // Empty, a single zero byte, shorter than the serial field, a request
    // too short for its header, and an unknown type.
    ASSERT_TRUE(probe.SendTo(ports_.udp, {}));
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x00}));
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x00, 'A', 'B', 'C'}));
    Bytes shortRequest = ManagementDatagram("ABC", 46);
    shortRequest.resize(13 + 12);
    ASSERT_TRUE(probe.SendTo(ports_.udp, shortRequest));
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x07, 0x01}));
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x01}));

    Bytes reply;
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply));
    ExpectHostNameReply(reply);
    EXPECT_FALSE(probe.Receive(kQuietMs, &reply)) << "a useless datagram was answered";
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(DiscoveryTest, AManagementRequestByDatagramIsRefusedAndLogged) {
    StartServer();
    UdpProbe probe;
    // Code 17 would change an array: only the gross status travels by datagram.
    ASSERT_TRUE(probe.SendTo(ports_.udp, ManagementDatagram("SERIAL000001", 17)));
    const std::string refusal =
        "Management request 17 by datagram from ip: 127.0.0.1 refused: only the gross status is "
        "served by datagram.";
    EXPECT_TRUE(testsupport::WaitForEventLogText(refusal, kLimitMs));
    Bytes reply;
    EXPECT_FALSE(probe.Receive(kQuietMs, &reply)) << "the refused request was answered";

    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x01}));
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply));
    ExpectHostNameReply(reply);
    EXPECT_EQ(CountRecords(refusal), 1);
}

TEST_F(DiscoveryTest, AGrossStatusRequestForAnUnknownSerialIsDroppedWithoutAReport) {
    StartServer();
    UdpProbe probe;
    ASSERT_TRUE(probe.SendTo(ports_.udp, ManagementDatagram("NOSUCHSERIAL", 46)));
    ASSERT_TRUE(probe.SendTo(ports_.udp, {0x01}));
    Bytes reply;
    ASSERT_TRUE(probe.Receive(kLimitMs, &reply));
    ExpectHostNameReply(reply);
    EXPECT_FALSE(probe.Receive(kQuietMs, &reply));
    for (const std::string& record : testsupport::EventLogTexts()) {
        EXPECT_EQ(record.find("by datagram"), std::string::npos) << record;
    }
}

}  // namespace
}  // namespace netsrvtest
