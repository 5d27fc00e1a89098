// Datagrams and discovery against a peer that answers as the service does:
// subsystem datagrams both ways, the port of the services entry, dropped
// datagrams, discovery by a datagram to the subnet's broadcast address.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "ClientFixture.h"
#include "WireBytes.h"
#include "client/OruSubsystemList.h"
#include "platform/Registry.h"

namespace clienttest {
namespace {

// A gross-status request: length 36, version 4, code 46, handle (0, 0),
// four values 0.
std::string GrossStatusRequest() {
    return Be(36) + Be(4) + Be(46) + Be(0) + Be(0) + Be(0) + Be(0) + Be(0) + Be(0);
}

unsigned char* NewBody(const std::string& bytes) {
    auto* body = new unsigned char[bytes.size()];
    std::memcpy(body, bytes.data(), bytes.size());
    return body;
}

class DatagramTest : public ClientFixture {
  protected:
    void SetUp() override {
        ClientFixture::SetUp();
        // Made after the fixture wrote the services file: the list takes its
        // datagram port from there.
        list_.emplace(0);
        peer_->SetListAnswer(ListAnswer({LocalRecord("DGSERIAL0001")}));
        ASSERT_EQ(list_->Update("127.0.0.1", 0, 0), ASL_GOOD);
        entry_ = list_->FindSubsystem("DGSERIAL0001");
        ASSERT_NE(entry_, nullptr);
    }

    // Takes datagrams until one is accepted (real-time limit).
    DATAGRAM_STATUS NextDatagram(OruSubsystem** from, std::string* bytes) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            void* body = nullptr;
            unsigned short length = 0;
            if (list_->GetMsg(from, &body, &length) == DATAGRAM_SUCCESS) {
                bytes->assign(static_cast<char*>(body), length);
                delete[] static_cast<unsigned char*>(body);
                return DATAGRAM_SUCCESS;
            }
            EXPECT_EQ(body, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return DATAGRAM_NONE;
    }

    void SetSubnetMask(const std::string& mask) {
        platform::RegistryKey key;
        ASSERT_TRUE(platform::RegistryKey::Create(platform::Hive::LOCAL_MACHINE,
                                                  "Software\\Verdanix\\Strovane", &key)
                        .ok());
        ASSERT_TRUE(key.WriteString("Subnet Mask", mask).ok());
    }

    std::optional<OruSubsystemList> list_;
    OruSubsystem* entry_ = nullptr;
};

TEST_F(DatagramTest, ASubsystemMessageGoesToTheSwappedPortWithTheSerialPrefix) {
    const std::string request = GrossStatusRequest();
    EXPECT_EQ(entry_->SendMsg(NewBody(request), request.size()), DATAGRAM_SUCCESS);
    ASSERT_TRUE(peer_->WaitForDatagrams(1, 10000));
    EXPECT_EQ(peer_->Datagrams()[0].bytes, std::string(1, '\0') + "DGSERIAL0001" + request);
}

TEST_F(DatagramTest, TheReplyComesBackFromTheSubsystemThatSentIt) {
    const std::string reply = Be(24) + Be(4) + Be(100) + Be(0) + Be(0) + Be(0);
    peer_->SetDatagramAnswer([reply](const std::string& in) -> std::optional<std::string> {
        return std::string(1, '\0') + in.substr(1, 12) + reply;
    });
    const std::string request = GrossStatusRequest();
    ASSERT_EQ(list_->SendMsg(entry_, NewBody(request), request.size()), DATAGRAM_SUCCESS);
    OruSubsystem* from = nullptr;
    std::string got;
    ASSERT_EQ(NextDatagram(&from, &got), DATAGRAM_SUCCESS);
    EXPECT_EQ(from, entry_);
    EXPECT_EQ(got, reply);
}

TEST_F(DatagramTest, ForeignShortAndUnknownDatagramsAreDropped) {
    const std::string request = GrossStatusRequest();
    ASSERT_EQ(entry_->SendMsg(NewBody(request), request.size()), DATAGRAM_SUCCESS);
    ASSERT_TRUE(peer_->WaitForDatagrams(1, 10000));
    sockaddr_in client = peer_->Datagrams()[0].from;
    const std::string prefix = std::string(1, '\0') + "DGSERIAL0001";
    const std::string reply = Be(24) + Be(4) + Be(100) + Be(7) + Be(0) + Be(0);

    auto sendFrom = [&](int fd, const std::string& bytes) {
        ASSERT_EQ(sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&client),
                         sizeof client),
                  static_cast<ssize_t>(bytes.size()));
    };
    const int fd = peer_->UdpSocket();
    sendFrom(fd, std::string(1, '\0'));                               // one byte
    sendFrom(fd, prefix + reply.substr(0, 23));                       // one byte short of a reply
    sendFrom(fd, std::string(1, '\x01') + prefix.substr(1) + reply);  // not type 0
    sendFrom(fd, std::string(1, '\0') + "NOSUCHSERIAL" + reply);      // unknown serial
    int other = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in otherAddress{};
    otherAddress.sin_family = AF_INET;
    otherAddress.sin_addr.s_addr = inet_addr("127.0.0.2");
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&otherAddress), sizeof otherAddress), 0);
    sendFrom(other, prefix + reply);  // right serial, another host
    close(other);
    const std::string last = Be(28) + Be(4) + Be(100) + Be(8) + Be(0) + Be(0) + Be(0x1234);
    sendFrom(fd, prefix + last);

    OruSubsystem* from = nullptr;
    std::string got;
    ASSERT_EQ(NextDatagram(&from, &got), DATAGRAM_SUCCESS);
    EXPECT_EQ(got, last);
    EXPECT_EQ(from, entry_);
    void* body = nullptr;
    unsigned short length = 0;
    EXPECT_EQ(list_->GetMsg(&from, &body, &length), DATAGRAM_NONE);
}

TEST_F(DatagramTest, AnEntryOf34604MeansPort11399) {
    ASSERT_TRUE(root_.Write(
        "etc/services", "oruTCP " + std::to_string(root_.TcpPort()) + "/tcp\noruUDP 34604/udp\n"));
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(11399);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0) << "port 11399 is in use";
    OruSubsystemList list(0);
    ASSERT_EQ(list.Update("127.0.0.1", 0, 0), ASL_GOOD);
    const std::string request = GrossStatusRequest();
    ASSERT_EQ(list.SendMsg(list[0], NewBody(request), request.size()), DATAGRAM_SUCCESS);
    char buffer[512];
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    EXPECT_EQ(recv(fd, buffer, sizeof buffer, 0), static_cast<ssize_t>(13 + request.size()));
    close(fd);
}

TEST_F(DatagramTest, DiscoveryAsksTheSubnetAndReadsTheListOfEveryHostThatAnswers) {
    list_->ResetMap(nullptr);
    // A host mask: the "broadcast" address is this host's own address.
    SetSubnetMask("255.255.255.255");
    std::string name = HostName();
    name.resize(49, '\0');
    // An answer of another length is not a host name.
    peer_->SetDiscoveryAnswers({std::string(50, 'x'), name});
    EXPECT_EQ(list_->Discover(), ASL_GOOD);
    ASSERT_GE(peer_->Datagrams().size(), 1u);
    EXPECT_EQ(peer_->Datagrams()[0].bytes, std::string(1, '\x01'));
    ASSERT_EQ(list_->Size(), 1);
    EXPECT_STREQ((*list_)[0]->SerialNumber(), "DGSERIAL0001");

    // Update without a host but with reset discovers too.
    EXPECT_EQ(list_->Update(nullptr, 0, 1), ASL_GOOD);
    EXPECT_EQ(list_->Size(), 1);
    EXPECT_EQ(peer_->Datagrams().size(), 2u);
}

TEST_F(DatagramTest, DiscoveryWithoutAUsableSubnetMaskSendsNothing) {
    // The test root names a mask; without one there is no subnet to ask.
    platform::RegistryKey key;
    ASSERT_TRUE(platform::RegistryKey::Open(platform::Hive::LOCAL_MACHINE,
                                            "Software\\Verdanix\\Strovane", &key)
                    .ok());
    ASSERT_TRUE(key.DeleteValue("Subnet Mask").ok());
    EXPECT_EQ(list_->Discover(), ASL_SCAN_FAILED);
    SetSubnetMask("not a mask");
    EXPECT_EQ(list_->Discover(), ASL_SCAN_FAILED);
    EXPECT_EQ(list_->GetStatus(), ASL_SCAN_FAILED);
    // Had anything been sent, the peer would have it long before this.
    EXPECT_FALSE(peer_->WaitForDatagrams(1, 300));
}

}  // namespace
}  // namespace clienttest
