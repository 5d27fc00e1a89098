// The setting of every client test: a fresh machine root whose services
// file names free ports, an administration directory, the waits of the suite
// sped up, and a service peer listening on those ports.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ServicePeer.h"
#include "WireBytes.h"
#include "support/FreshRoot.h"

namespace clienttest {

class ClientFixture : public ::testing::Test {
  protected:
    // The speed factor of the fixed waits (a 500 ms wait lasts 5 ms).
    static constexpr double kTimeScale = 100.0;

    void SetUp() override;
    void TearDown() override;

    // Windows form of the administration directory, as the service sends it.
    static constexpr const char* kAdminWindowsPath = "C:\\oru_admin\\";
    // Where that directory lies here.
    std::string AdminDir() const { return root_.File("c/oru_admin"); }
    std::string HostName() const { return ServicePeer::OwnHostName(); }

    // A record of this host's peer: method 0, the local administration path.
    ListRecord LocalRecord(const std::string& serial) const;

    testsupport::FreshRoot root_;
    // The port the datagrams really travel on; the services entry holds it
    // with its bytes swapped, as both ends read the entry.
    std::uint16_t udpPort_ = 0;
    std::unique_ptr<ServicePeer> peer_;
};

std::uint16_t Swap16(std::uint16_t value);

}  // namespace clienttest
