#include "RshTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace remruntest {
namespace {

// The test server never waits for ever: a client that does not come or
// stops talking ends the service after this long.
constexpr int kWaitMs = 30000;
// A command that reads its input waits this long for the client to end it;
// a client that never does fails its test in seconds, not by the time-out.
constexpr int kInputWaitMs = 5000;
constexpr std::size_t kFieldLimit = 1 << 20;

bool WaitReadable(int fd, int waitMs = kWaitMs) {
    pollfd wait{fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&wait, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Reads and drops input until the client ends its sending side; false when
// it does not within the wait.
bool ReadUntilInputEnds(int fd) {
    char buffer[512];
    for (;;) {
        if (!WaitReadable(fd, kInputWaitMs)) {
            return false;
        }
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got == 0) {
            return true;
        }
        if (got < 0 && errno != EINTR) {
            return false;
        }
    }
}

// Reads one field up to its zero byte; false when the connection ends first.
bool ReadField(int fd, std::string* field) {
    field->clear();
    while (field->size() < kFieldLimit) {
        if (!WaitReadable(fd)) {
            return false;
        }
        char byte = 0;
        ssize_t got = recv(fd, &byte, 1, 0);
        if (got <= 0) {
            return false;
        }
        if (byte == '\0') {
            return true;
        }
        field->push_back(byte);
    }
    return false;
}

void SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t done = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (done <= 0) {
            if (done < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        sent += static_cast<std::size_t>(done);
    }
}

int ConnectBack(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

RshTestServer::RshTestServer() {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        listen(listenFd_, 1) == 0 &&
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

RshTestServer::~RshTestServer() {
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
}

void RshTestServer::Serve(RshBehaviour behaviour, const std::string& output,
                          const std::string& errorOutput) {
    thread_ = std::thread(&RshTestServer::Run, this, behaviour, output, errorOutput);
}

RshRequest RshTestServer::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return request_;
}

void RshTestServer::Run(RshBehaviour behaviour, std::string output, std::string errorOutput) {
    if (!WaitReadable(listenFd_)) {
        return;
    }
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    request_.accepted = true;
    request_.clientPort = ntohs(peer.sin_port);
    if (behaviour == RshBehaviour::CLOSE_AT_ONCE) {
        close(fd);
        return;
    }
    request_.complete = ReadField(fd, &request_.errorPort) && ReadField(fd, &request_.localUser) &&
                        ReadField(fd, &request_.remoteUser) && ReadField(fd, &request_.command);
    if (!request_.complete || behaviour == RshBehaviour::CLOSE_BEFORE_ANSWER) {
        close(fd);
        return;
    }
    const bool refuse =
        behaviour == RshBehaviour::REFUSE || behaviour == RshBehaviour::REFUSE_THEN_RESET;
    int errorFd = -1;
    unsigned long errorPort = std::strtoul(request_.errorPort.c_str(), nullptr, 10);
    if (!refuse && errorPort != 0 && errorPort < 65536) {
        errorFd = ConnectBack(static_cast<std::uint16_t>(errorPort));
        request_.errorConnected = errorFd >= 0;
    }
    if (behaviour == RshBehaviour::READ_INPUT_FIRST) {
        request_.inputEnded = ReadUntilInputEnds(fd);
        if (!request_.inputEnded) {
            if (errorFd >= 0) {
                close(errorFd);
            }
            close(fd);
            return;
        }
    }
    SendAll(fd, std::string(1, refuse ? '\1' : '\0'));
    SendAll(fd, output);
    if (errorFd >= 0) {
        SendAll(errorFd, errorOutput);
        close(errorFd);
    }
    if (behaviour == RshBehaviour::RESET_DURING_OUTPUT ||
        behaviour == RshBehaviour::REFUSE_THEN_RESET) {
        linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    close(fd);
}

bool CanBindReservedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    bool allowed = false;
    for (int port = 1023; port > 512; --port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            allowed = true;
            break;
        }
        if (errno != EADDRINUSE) {
            break;
        }
    }
    close(fd);
    return allowed;
}

}  // namespace remruntest
