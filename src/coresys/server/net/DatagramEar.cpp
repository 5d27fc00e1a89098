#include "coresys/server/net/DatagramEar.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/server/net/HostName.h"
#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "platform/ServicesEntry.h"
#include "platform/Trace.h"

DatagramEar::DatagramEar(OruTask* owner) : OruTask("DGEar"), owner_(owner) {}

DatagramEar::~DatagramEar() {
    if (wakePipe_[1] >= 0) {
        const char wake = 1;
        (void)!::write(wakePipe_[1], &wake, 1);
    }
    // Stop first: a pass in progress must never see a closed (or reused)
    // descriptor.
    TaskRequest stop;
    stop.code = DG_STOP;
    Request(stop);
    EndThread();
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

std::int32_t DatagramEar::Dispatch(TaskRequest& request, TaskResponse*) {
    switch (request.code) {
        case DG_INIT:
            InitTask();
            return 0;
        case DG_LISTEN:
            Listen();
            return 0;
        case DG_STOP:
            return 1;
        default:
            ServerFatalError("DatagramEar::Dispatch", "Bad DG TASK");
    }
}

void DatagramEar::InitTask() {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket_ < 0) {
        ServerFatalError("DatagramEar::InitTask", "socket");
    }
    int on = 1;
    if (::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        platform::Trace("DatagramEar::InitTask - SO_REUSEADDR refused\n");
    }
    const ServerConfig* config = GetServerConfig();
    std::string service = config != nullptr ? config->udpServiceName : "oruUDP";
    std::uint16_t fallback = config != nullptr ? config->port : 34604;
    platform::ServiceEntry entry = platform::LookupServiceEntry(service, "udp", fallback);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    // An entry's port goes into network order once more: the clients do the
    // same, and deployed peers rely on it.
    address.sin_port = entry.found ? htons(htons(entry.port)) : htons(fallback);
    port_ = ntohs(address.sin_port);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ServerFatalError("DatagramEar::InitTask", "bind");
    }
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ServerFatalError("DatagramEar::InitTask", "pipe");
    }
    TaskRequest listen;
    listen.code = DG_LISTEN;
    SendRequest(listen);
}

void DatagramEar::Listen() {
    pollfd waits[2] = {{socket_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    const int ready = ::poll(waits, 2, static_cast<int>(kListenDelayMs));
    if (ready > 0 && (waits[1].revents & POLLIN) != 0) {
        // The service is stopping: no further pass.
        return;
    }
    std::vector<unsigned char> buffer(kMaxDatagram);
    for (int taken = 0; taken < kDatagramsPerPass; ++taken) {
        std::fill(buffer.begin(), buffer.end(), 0);
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t received = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received < 0 && errno == EINTR) {
            continue;
        }
        if (received < 0) {
            break;  // nothing more waiting (or an error: the next pass tries again)
        }
        if (received > 0) {
            Take(buffer.data(), static_cast<std::size_t>(received), sender, senderLength);
        }
    }
    TaskRequest again;
    again.code = DG_LISTEN;
    SendRequest(again);
}

void DatagramEar::Take(const unsigned char* datagram, std::size_t length, const sockaddr_in& sender,
                       socklen_t senderLength) {
    switch (datagram[0]) {
        case kManagementType: {
            if (length < kMinManagement) {
                platform::Trace("DatagramEar::Listen - short datagram (%zu bytes) dropped\n",
                                length);
                return;
            }
            auto* copy = new unsigned char[length];
            std::memcpy(copy, datagram, length);
            auto* from = new sockaddr_in(sender);
            TaskRequest arrived;
            arrived.code = SM_DATAGRAM_ARRIVED;
            arrived.args[3] = reinterpret_cast<std::intptr_t>(copy);
            arrived.args[4] = static_cast<std::intptr_t>(length);
            arrived.args[5] = reinterpret_cast<std::intptr_t>(from);
            arrived.args[6] = static_cast<std::intptr_t>(sizeof *from);
            if (owner_->SendRequest(arrived) != 0) {
                delete[] copy;
                delete from;
            }
            return;
        }
        case kDiscoveryType: {
            char name[HostName::kFieldSize];
            if (!HostName::Read(name)) {
                platform::Trace("DatagramEar::Listen - gethostname failed\n");
                return;
            }
            if (::sendto(socket_, name, sizeof name, MSG_DONTWAIT | MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&sender), senderLength) < 0) {
                platform::Trace("DatagramEar::Listen - sendto failed, errno %d\n", errno);
            }
            return;
        }
        default:
            platform::Trace("DatagramEar::Listen - default: %x msgType error\n", datagram[0]);
            return;
    }
}

void DatagramEar::SendDG(const sockaddr_in& destination, const char* serial, unsigned char* message,
                         std::uint32_t length) {
    std::vector<unsigned char> datagram(1 + kSerialBytes + length, 0);
    datagram[0] = kManagementType;
    std::size_t serialLength = ::strnlen(serial, kSerialBytes);
    std::memcpy(datagram.data() + 1, serial, serialLength);
    if (length > 0 && message != nullptr) {
        std::memcpy(datagram.data() + 1 + kSerialBytes, message, length);
    }
    CodedBuff::FreeData(message);
    if (socket_ < 0) {
        return;
    }
    if (::sendto(socket_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0) {
        // Too large for a datagram, an unreachable sender, a full buffer:
        // the reply is dropped, the service goes on.
        platform::Trace("DatagramEar::SendDG - sendto failed, errno %d\n", errno);
    }
}
