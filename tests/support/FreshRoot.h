// A fresh machine root (ORU_ROOT) for one test.
//
// The constructor makes an empty directory under $TMPDIR (or /tmp), points
// this process at it (platform::SetRootDir) and writes etc/services with
// free TCP and UDP ports for "oruTCP" and "oruUDP", and a registry whose
// "Subnet Mask" (255.255.255.255) keeps discovery on this host. Both the service and the
// clients put the port of an "oruUDP" entry into network order once more, so
// the entry holds the free UDP port with its two bytes swapped: UdpPort() is
// the port datagrams really travel on. The destructor removes
// the directory again, unless the environment variable ORU_KEEP_TEST_ROOT is
// set (then its path is printed for a look after the test).
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

class FreshRoot {
  public:
    FreshRoot();
    ~FreshRoot();
    FreshRoot(const FreshRoot&) = delete;
    FreshRoot& operator=(const FreshRoot&) = delete;

    const std::string& Path() const { return path_; }
    // Path + "/" + relative.
    std::string File(const std::string& relative) const;
    // Writes a file below the root (creating directories); false on failure.
    bool Write(const std::string& relative, const std::string& content) const;
    // The whole of a file below the root ("" when missing).
    std::string Read(const std::string& relative) const;

    // The ports the service really listens on (host order).
    std::uint16_t TcpPort() const { return tcpPort_; }
    std::uint16_t UdpPort() const { return udpPort_; }

  private:
    std::string path_;
    std::uint16_t tcpPort_ = 0;
    std::uint16_t udpPort_ = 0;
};

// A port that was free a moment ago on every address (0 when none could be
// found), chosen below the range the kernel gives to outgoing connections so
// that no connection made meanwhile takes it, and held for the rest of this
// process so that no other test process picks it. type: SOCK_STREAM or
// SOCK_DGRAM.
std::uint16_t FreePort(int type);

// The same within the ports first .. end - 1 (0 when none is free there).
std::uint16_t FreePortIn(int type, unsigned first, unsigned end);

}  // namespace testsupport
