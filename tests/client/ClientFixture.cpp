#include "ClientFixture.h"

#include <sys/socket.h>

#include <sstream>

#include "WireBytes.h"
#include "platform/Clock.h"
#include "platform/Root.h"

namespace clienttest {

std::uint16_t Swap16(std::uint16_t value) {
    return static_cast<std::uint16_t>(value << 8 | value >> 8);
}

void ClientFixture::SetUp() {
    platform::SetTimeScale(kTimeScale);
    udpPort_ = testsupport::FreePort(SOCK_DGRAM);
    std::ostringstream services;
    services << "oruTCP " << root_.TcpPort() << "/tcp\n"
             << "oruUDP " << Swap16(udpPort_) << "/udp\n";
    ASSERT_TRUE(root_.Write("etc/services", services.str()));
    ASSERT_EQ(platform::MakeDirs(AdminDir()), 0);
    peer_ = std::make_unique<ServicePeer>(root_.TcpPort(), udpPort_);
    ASSERT_TRUE(peer_->Listening()) << peer_->Error();
    peer_->SetAdminDir(AdminDir());
}

void ClientFixture::TearDown() {
    peer_.reset();
    platform::SetTimeScale(0);
}

ListRecord ClientFixture::LocalRecord(const std::string& serial) const {
    ListRecord record;
    record.serverName = HostName();
    record.serial = serial;
    record.alias = "alias-" + serial.substr(0, 6);
    record.secureMethod = 0;
    record.securePath = std::string(kAdminWindowsPath) + serial + ".";
    return record;
}

}  // namespace clienttest
