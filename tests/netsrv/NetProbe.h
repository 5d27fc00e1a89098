// Raw protocol probes for the end-to-end tests of the service's network
// side: a TCP connection and a UDP socket that send literal bytes and read
// what comes back with time limits, plus the machine-root set-up those
// tests share (ports in etc/services, the administration key).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/FreshRoot.h"

namespace netsrvtest {

using Bytes = std::vector<unsigned char>;

// A TCP connection to 127.0.0.1:port, optionally from a chosen local
// address (e.g. "127.0.0.2" to look like another host).
class TcpProbe {
  public:
    TcpProbe() = default;
    ~TcpProbe();
    TcpProbe(const TcpProbe&) = delete;
    TcpProbe& operator=(const TcpProbe&) = delete;

    // Connects within timeoutMs; false when refused or not accepted in time.
    bool Connect(std::uint16_t port, const std::string& localAddress = "", int timeoutMs = 30000);
    // The receive buffer the next Connect asks for (0: the system's).
    void ReceiveBuffer(int bytes) { receiveBuffer_ = bytes; }
    // The local port of the connection (host order).
    std::uint16_t LocalPort() const;
    bool Send(const Bytes& bytes);
    // Reads exactly count bytes within timeoutMs; false when the peer
    // closed first or time ran out (*got holds what arrived).
    bool ReadExactly(std::size_t count, int timeoutMs, Bytes* got);
    // True when the peer closes the connection (EOF or reset) within
    // timeoutMs without sending anything more than *extra.
    bool WaitClosed(int timeoutMs, Bytes* extra = nullptr);
    void Close();

  private:
    int fd_ = -1;
    int receiveBuffer_ = 0;
};

// A UDP socket bound to an ephemeral port on 127.0.0.1.
class UdpProbe {
  public:
    UdpProbe();
    ~UdpProbe();
    UdpProbe(const UdpProbe&) = delete;
    UdpProbe& operator=(const UdpProbe&) = delete;

    bool SendTo(std::uint16_t port, const Bytes& bytes);
    // One datagram within timeoutMs; false when none came.
    bool Receive(int timeoutMs, Bytes* datagram);

  private:
    int fd_ = -1;
};

// Big-endian word.
Bytes Be32(std::uint32_t value);
std::uint32_t Be32At(const Bytes& bytes, std::size_t offset);

// The ports a test root gives the service.
struct Ports {
    std::uint16_t tcp = 0;
    std::uint16_t udp = 0;  // the port the service really listens on
};

// Rewrites etc/services of root with free ports. The UDP entry holds the
// port byte-swapped, because the service puts an entry's port into network
// order once more: the service then listens on Ports::udp.
Ports WriteServices(const testsupport::FreshRoot& root);

// Writes the "Administration" key: "Path Name" (and "Share Name" when not
// empty). Returns false when the registry refuses.
bool WriteAdministration(const std::string& pathName, const std::string& shareName = "");

// The short host name as the service announces it (at most 48 characters).
std::string AnnouncedHostName();

// Whether anything (a link too) stands at path.
bool Exists(const std::string& path);
// Creates path as an empty file (or empties it); false when it cannot.
bool Touch(const std::string& path);

}  // namespace netsrvtest
