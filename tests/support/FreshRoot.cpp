#include "support/FreshRoot.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <vector>

#include "platform/Root.h"

namespace testsupport {

namespace {

// The first port the kernel hands out to connections on its own.
unsigned FirstEphemeralPort() {
    std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
    unsigned low = 0;
    return range >> low && low > 2048 ? low : 32768;
}

// Whether a socket of that type can be bound to the port on every address
// now (as the service binds it).
bool Bindable(int type, std::uint16_t port) {
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return free;
}

std::string TemporaryDir() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

// Holds a port for the rest of this process: a lock on a file named after
// it, which ends with the process. Tests run side by side each look for a
// port at random, and two of them could otherwise both find the same port
// free before either binds it. False when another process (or an earlier
// call of this one) holds it. Called with the picking lock held.
bool Reserve(std::uint16_t port) {
    static const std::string dir = TemporaryDir() + "/oru-test-ports";
    static std::vector<int> held;
    if (::mkdir(dir.c_str(), 01777) == 0) {
        ::chmod(dir.c_str(), 01777);  // whatever the umask, every user may lock
    }
    const std::string file = dir + "/" + std::to_string(port);
    int fd = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return true;  // no place for the locks: the bind check alone decides
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    held.push_back(fd);
    return true;
}

}  // namespace

std::uint16_t FreePortIn(int type, unsigned first, unsigned end) {
    static std::mutex mutex;
    static std::mt19937 pick(static_cast<unsigned>(getpid()) ^
                             static_cast<unsigned>(std::random_device{}()));
    if (end <= first) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(mutex);
    std::uniform_int_distribution<unsigned> ports(first, end - 1);
    const unsigned attempts = std::max(200u, 4 * (end - first));
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        const auto port = static_cast<std::uint16_t>(ports(pick));
        if (Bindable(type, port) && Reserve(port)) {
            return port;
        }
    }
    return 0;
}

std::uint16_t FreePort(int type) {
    // Below the ephemeral range: a port the kernel gives to some connection
    // between this look and the service's bind would make the bind fail,
    // and busy tests open many connections.
    if (const std::uint16_t port = FreePortIn(type, 10000, FirstEphemeralPort()); port != 0) {
        return port;
    }
    // Else whatever the kernel finds free.
    int fd = socket(AF_INET, type, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

FreshRoot::FreshRoot() {
    std::string pattern = TemporaryDir() + "/oru-root-XXXXXX";
    std::string buffer = pattern;
    if (mkdtemp(buffer.data()) != nullptr) {
        path_ = buffer;
    }
    platform::SetRootDir(path_);
    tcpPort_ = FreePort(SOCK_STREAM);
    udpPort_ = FreePort(SOCK_DGRAM);
    // Readers of the "oruUDP" entry swap its bytes once more; writing the
    // port swapped lets them land on the free port, not on one that may be
    // taken or below 1024.
    auto udpEntry = static_cast<std::uint16_t>((udpPort_ >> 8) | (udpPort_ << 8));
    std::ostringstream services;
    services << "# written by the test fixture\n"
             << "oruTCP " << tcpPort_ << "/tcp\n"
             << "oruUDP " << udpEntry << "/udp\n";
    Write("etc/services", services.str());
    // Clients find services by a datagram to the broadcast address of the
    // registry's subnet; a mask of all ones keeps that on this host.
    Write("registry/HKEY_LOCAL_MACHINE.reg",
          "Windows Registry Editor Version 5.00\n\n"
          "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane]\n"
          "\"Subnet Mask\"=\"255.255.255.255\"\n");
}

FreshRoot::~FreshRoot() {
    platform::SetRootDir("");
    if (path_.empty()) {
        return;
    }
    if (std::getenv("ORU_KEEP_TEST_ROOT") != nullptr) {
        std::fprintf(stderr, "test root kept: %s\n", path_.c_str());
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string FreshRoot::File(const std::string& relative) const {
    return path_ + "/" + relative;
}

bool FreshRoot::Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path file = File(relative);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

std::string FreshRoot::Read(const std::string& relative) const {
    std::ifstream in(File(relative), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace testsupport
