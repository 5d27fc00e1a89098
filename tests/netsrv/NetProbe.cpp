#include "NetProbe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/Clock.h"
#include "platform/Registry.h"

namespace netsrvtest {

namespace {

int RemainingMs(std::uint64_t deadline) {
    std::uint64_t now = platform::MonotonicMs();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

// Waits until fd has bytes (or its end) to read: false when the deadline
// passed first or the wait failed. An interrupted wait goes on.
bool WaitReadable(int fd, std::uint64_t deadline) {
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        int ready = ::poll(&wait, 1, RemainingMs(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

TcpProbe::~TcpProbe() {
    Close();
}

bool TcpProbe::Connect(std::uint16_t port, const std::string& localAddress, int timeoutMs) {
    Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return false;
    }
    if (receiveBuffer_ > 0) {
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
    }
    if (!localAddress.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr) != 1 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            Close();
            return false;
        }
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Connected without blocking, within the limit, then used blocking.
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        pollfd wait{fd_, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (errno != EINPROGRESS || ::poll(&wait, 1, timeoutMs) != 1 ||
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Close();
            return false;
        }
    }
    ::fcntl(fd_, F_SETFL, flags);
    return true;
}

std::uint16_t TcpProbe::LocalPort() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

bool TcpProbe::Send(const Bytes& bytes) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        ssize_t sent = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return fd_ >= 0;
}

bool TcpProbe::ReadExactly(std::size_t count, int timeoutMs, Bytes* got) {
    got->clear();
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    while (fd_ >= 0 && got->size() < count) {
        if (!WaitReadable(fd_, deadline)) {
            return false;
        }
        unsigned char buffer[4096];
        std::size_t want = count - got->size();
        ssize_t n = ::recv(fd_, buffer, want < sizeof buffer ? want : sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        got->insert(got->end(), buffer, buffer + n);
    }
    return fd_ >= 0;
}

bool TcpProbe::WaitClosed(int timeoutMs, Bytes* extra) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    while (fd_ >= 0) {
        if (!WaitReadable(fd_, deadline)) {
            return false;
        }
        unsigned char buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) {
            return true;
        }
        if (n < 0) {
            return false;
        }
        if (extra != nullptr) {
            extra->insert(extra->end(), buffer, buffer + n);
        }
    }
    return false;
}

void TcpProbe::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

UdpProbe::UdpProbe() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
}

UdpProbe::~UdpProbe() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool UdpProbe::SendTo(std::uint16_t port, const Bytes& bytes) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return fd_ >= 0 &&
           ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&server),
                    sizeof server) == static_cast<ssize_t>(bytes.size());
}

bool UdpProbe::Receive(int timeoutMs, Bytes* datagram) {
    datagram->clear();
    if (fd_ < 0) {
        return false;
    }
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, timeoutMs) <= 0) {
        return false;
    }
    unsigned char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0) {
        return false;
    }
    datagram->assign(buffer, buffer + n);
    return true;
}

Bytes Be32(std::uint32_t value) {
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

std::uint32_t Be32At(const Bytes& bytes, std::size_t offset) {
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

Ports WriteServices(const testsupport::FreshRoot& root) {
    Ports ports;
    ports.tcp = testsupport::FreePort(SOCK_STREAM);
    ports.udp = testsupport::FreePort(SOCK_DGRAM);
    auto swapped = static_cast<std::uint16_t>((ports.udp >> 8) | (ports.udp << 8));
    root.Write("etc/services", "oruTCP " + std::to_string(ports.tcp) + "/tcp\n" + "oruUDP " +
                                   std::to_string(swapped) + "/udp\n");
    return ports;
}

bool WriteAdministration(const std::string& pathName, const std::string& shareName) {
    platform::RegistryKey admin;
    if (!platform::RegistryKey::Create(platform::Hive::LOCAL_MACHINE,
                                       "Software\\Verdanix\\Strovane\\OruServer\\Administration",
                                       &admin)
             .ok()) {
        return false;
    }
    if (!admin.WriteString("Path Name", pathName).ok()) {
        return false;
    }
    return shareName.empty() || admin.WriteString("Share Name", shareName).ok();
}

std::string AnnouncedHostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    std::string text(name);
    return text.substr(0, 48);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool Touch(const std::string& path) {
    std::ofstream file(path);
    return static_cast<bool>(file);
}

}  // namespace netsrvtest
