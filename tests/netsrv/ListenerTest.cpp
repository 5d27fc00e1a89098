// The TCP listener: the subsystem list, the rescan request, connect words
// it refuses, and clients that hang up half way (clients that hold on are
// HostileClientTest's).
#include <gtest/gtest.h>

#include "NetServerFixture.h"

namespace netsrvtest {
namespace {

using ListenerTest = NetServerTest;

TEST_F(ListenerTest, WithoutSubsystemsTheListIsTheSingleCountWordZero) {
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    ASSERT_TRUE(probe.Send({0x00, 0x04, 0x00, 0x01}));
    Bytes got;
    ASSERT_TRUE(probe.ReadExactly(4, kLimitMs, &got));
    EXPECT_EQ(got, (Bytes{0x00, 0x00, 0x00, 0x00}));
    Bytes extra;
    EXPECT_TRUE(probe.WaitClosed(kLimitMs, &extra));
    EXPECT_TRUE(extra.empty());
}

TEST_F(ListenerTest, ARevisionThreeClientGetsTheSameEmptyList) {
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    ASSERT_TRUE(probe.Send({0x00, 0x03, 0x00, 0x01}));
    Bytes got;
    ASSERT_TRUE(probe.ReadExactly(4, kLimitMs, &got));
    EXPECT_EQ(got, (Bytes{0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(probe.WaitClosed(kLimitMs));
}

TEST_F(ListenerTest, ARescanIsAcknowledgedInTheServicesOwnByteOrder) {
    StartServer();
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    ASSERT_TRUE(probe.Send({0x00, 0x04, 0x00, 0x02}));
    Bytes got;
    ASSERT_TRUE(probe.ReadExactly(4, kLimitMs, &got));
    EXPECT_EQ(got, (Bytes{0x01, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(probe.WaitClosed(kLimitMs));

    // The listener goes on serving after the rescan.
    TcpProbe list;
    ASSERT_TRUE(list.Connect(ports_.tcp));
    ASSERT_TRUE(list.Send({0x00, 0x04, 0x00, 0x01}));
    ASSERT_TRUE(list.ReadExactly(4, kLimitMs, &got));
}

TEST_F(ListenerTest, RefusedConnectWordsCloseTheConnectionWithoutAnAnswer) {
    StartServer();
    // Revision 5 is refused whatever the type; an unknown type is refused.
    for (const Bytes& word : {Bytes{0x00, 0x05, 0x00, 0x01}, Bytes{0x00, 0x05, 0x00, 0x00},
                              Bytes{0x00, 0x04, 0x12, 0x34}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}}) {
        TcpProbe probe;
        ASSERT_TRUE(probe.Connect(ports_.tcp));
        ASSERT_TRUE(probe.Send(word));
        Bytes extra;
        EXPECT_TRUE(probe.WaitClosed(kLimitMs, &extra));
        EXPECT_TRUE(extra.empty()) << "answered a refused connect word";
    }
    TcpProbe list;
    ASSERT_TRUE(list.Connect(ports_.tcp));
    ASSERT_TRUE(list.Send({0x00, 0x04, 0x00, 0x01}));
    Bytes got;
    EXPECT_TRUE(list.ReadExactly(4, kLimitMs, &got));
}

TEST_F(ListenerTest, ClientsThatHangUpHalfWayAreLetGoAndTheListenerGoesOn) {
    StartServer();
    {
        // A connect word cut short, then a session request cut inside its
        // serial field: both hang up.
        TcpProbe cut;
        ASSERT_TRUE(cut.Connect(ports_.tcp));
        ASSERT_TRUE(cut.Send({0x00, 0x04}));
    }
    {
        TcpProbe cut;
        ASSERT_TRUE(cut.Connect(ports_.tcp));
        ASSERT_TRUE(cut.Send({0x00, 0x04, 0x00, 0x00, 'A', 'B', 'C'}));
    }
    TcpProbe list;
    ASSERT_TRUE(list.Connect(ports_.tcp));
    ASSERT_TRUE(list.Send({0x00, 0x04, 0x00, 0x01}));
    // Discovery has its own thread and answers meanwhile.
    UdpProbe udp;
    ASSERT_TRUE(udp.SendTo(ports_.udp, {0x01}));
    Bytes reply;
    EXPECT_TRUE(udp.Receive(kLimitMs, &reply));
    EXPECT_EQ(reply.size(), 49u);

    Bytes got;
    ASSERT_TRUE(list.ReadExactly(4, kLimitMs, &got));
    EXPECT_EQ(Be32At(got, 0), 0u);
    EXPECT_TRUE(server_.Process().Running());
}

}  // namespace
}  // namespace netsrvtest
