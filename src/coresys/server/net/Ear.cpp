#include "coresys/server/net/Ear.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "client/Session.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/SubsystemEntry.h"
#include "coresys/server/net/HostName.h"
#include "coresys/server/net/NetText.h"
#include "coresys/server/net/SecureFile.h"
#include "coresys/server/net/ServerEventHook.h"
#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Clock.h"
#include "platform/ServicesEntry.h"
#include "platform/Trace.h"

namespace {

// One list record as it is sent, taken from the table under its lock so
// that a slow client never holds the lock while it is sent to.
struct ListRecord {
    char serial[13] = {};
    char alias[13] = {};
    std::uint32_t type = 0;
    unsigned char deviceAddr[2][Ear::kDeviceAddrSize] = {};
};

void PutBe32(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

void PutLe32(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

// The device address of one controller path as the service reports it: the
// pair (interface kind, device-table index) of the path, which is also the
// first of the pairs it answers to; the words lie little-endian, as in the
// service's memory.
void FillDeviceAddr(const DeviceRecord* record, unsigned char* image) {
    std::memset(image, 0, Ear::kDeviceAddrSize);
    if (record == nullptr) {
        return;
    }
    PutLe32(image, record->interfaceKind);
    PutLe32(image + 4, record->deviceIndex);
    PutLe32(image + 8, record->interfaceKind);
    PutLe32(image + 12, record->deviceIndex);
}

DeviceMgr* TheDeviceMgr() {
    return dynamic_cast<DeviceMgr*>(GetManager(DEVICE_MANAGER));
}

bool SendPart(int socket, const void* bytes, std::size_t count, const char* what,
              std::uint32_t step) {
    if (Session::sendNB(socket, bytes, count, Session::kBudgetSeconds)) {
        return true;
    }
    platform::Trace("Ear::SendSSList %s\n", what);
    RaiseServerEvent(step);
    return false;
}

}  // namespace

Ear::Ear(OruTask* owner, int family, int checkPeer, const char* name)
    : OruTask(name), owner_(owner), family_(family), checkPeer_(checkPeer) {}

Ear::~Ear() {
    if (wakePipe_[1] >= 0) {
        char wake = 1;
        (void)::write(wakePipe_[1], &wake, 1);
    }
    TaskRequest stop;
    stop.code = EAR_STOP;
    Request(stop);
    EndThread();
    if (listenSocket_ >= 0) {
        ::close(listenSocket_);
        listenSocket_ = -1;
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

std::int32_t Ear::Dispatch(TaskRequest& request, TaskResponse*) {
    switch (request.code) {
        case EAR_INIT:
            InitTask();
            return 0;
        case EAR_LISTEN:
            Listen();
            return 0;
        case EAR_SEND_SSLIST:
            SendSSList(static_cast<int>(request.args[2]),
                       static_cast<std::uint32_t>(request.args[3]));
            return 0;
        case EAR_RESCAN:
            SendRescan(static_cast<int>(request.args[2]));
            return 0;
        case EAR_STOP:
            return 1;
        default:
            return 0;
    }
}

void Ear::InitTask() {
    if (!HostName::Read(hostName_)) {
        ServerFatalError("Ear::InitTask", "gethostname");
    }
    if (family_ != AF_INET) {
        ServerFatalError("Ear::InitTask", "Unsupported AF type");
    }
    listenSocket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenSocket_ < 0) {
        ServerFatalError("Ear::InitTask", "socket");
    }
    // A restarted service must not wait for the old connections to time out.
    int on = 1;
    if (::setsockopt(listenSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        platform::Trace("Ear::InitTask - SO_REUSEADDR refused\n");
    }
    const ServerConfig* config = GetServerConfig();
    std::string service = config != nullptr ? config->tcpServiceName : "oruTCP";
    std::uint16_t fallback = config != nullptr ? config->port : 34604;
    platform::ServiceEntry entry = platform::LookupServiceEntry(service, "tcp", fallback);
    port_ = entry.found ? entry.port : fallback;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port_);
    if (::bind(listenSocket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ServerFatalError("Ear::InitTask", "bind");
    }
    if (::listen(listenSocket_, kBacklog) != 0) {
        ServerFatalError("Ear::InitTask", "listen");
    }
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ServerFatalError("Ear::InitTask", "pipe");
    }
    TaskRequest listen;
    listen.code = EAR_LISTEN;
    SendRequest(listen);
}

void Ear::Listen() {
    if (listenSocket_ < 0) {
        return;
    }
    pollfd waits[2] = {{listenSocket_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int ready = ::poll(waits, 2, kListenWaitMs);
    if (ready > 0 && (waits[1].revents & POLLIN) != 0) {
        // The service is stopping: no further pass.
        return;
    }
    if (ready > 0 && (waits[0].revents & POLLIN) != 0) {
        int socket = ::accept4(listenSocket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket >= 0) {
            int flags = ::fcntl(socket, F_GETFL);
            if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
                RaiseServerEvent(8);
                ::close(socket);
            } else {
                ServeConnection(socket);
            }
        } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors or memory: the pending connection stays
            // readable, so pause instead of spinning on it.
            platform::Trace("Ear::Listen - accept failed, errno %d\n", errno);
            platform::SleepMs(kAcceptPauseMs);
        }
    }
    if (listenSocket_ < 0 || IsTerminating()) {
        return;
    }
    TaskRequest again;
    again.code = EAR_LISTEN;
    SendRequest(again);
}

void Ear::ServeConnection(int socket) {
    unsigned char wordBytes[4] = {};
    if (!Session::recvNB(socket, wordBytes, sizeof wordBytes, Session::kBudgetSeconds)) {
        RaiseServerEvent(7);
        ::close(socket);
        return;
    }
    std::uint32_t word = (std::uint32_t{wordBytes[0]} << 24) | (std::uint32_t{wordBytes[1]} << 16) |
                         (std::uint32_t{wordBytes[2]} << 8) | std::uint32_t{wordBytes[3]};
    std::uint32_t revision = word >> 16;
    std::uint32_t type = word & 0xFFFFu;
    if (revision < kCurrentRevision) {
        revision = 3;
    } else if (revision > kCurrentRevision) {
        type = kRefusedType;
    }
    TaskRequest request;
    switch (type) {
        case kConnectSession: {
            auto* serial = new unsigned char[kSerialSize];
            if (!Session::recvNB(socket, serial, kSerialSize, Session::kBudgetSeconds)) {
                delete[] serial;
                ::close(socket);
                return;
            }
            request.code = SM_ADD_SESSION;
            request.args[0] = checkPeer_;
            request.args[1] = socket;
            request.args[2] = static_cast<std::intptr_t>((revision << 16) | (family_ & 0xFFFF));
            request.args[3] = reinterpret_cast<std::intptr_t>(serial);
            request.args[4] = static_cast<std::intptr_t>(kSerialSize);
            if (owner_->SendRequest(request) != 0) {
                delete[] serial;
                ::close(socket);
            }
            return;
        }
        case kConnectSsList:
        case kConnectRescan:
            request.code = type == kConnectSsList ? EAR_SEND_SSLIST : EAR_RESCAN;
            request.args[2] = socket;
            request.args[3] = static_cast<std::intptr_t>(revision);
            if (SendRequest(request) != 0) {
                ::close(socket);
            }
            return;
        default:
            RaiseServerEvent(9);
            ::close(socket);
            return;
    }
}

void Ear::SendSSList(int socket, std::uint32_t revision) {
    sockaddr_in peer{};
    sockaddr_in own{};
    socklen_t peerLength = sizeof peer;
    socklen_t ownLength = sizeof own;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
        platform::Trace("Ear::SendSSList %s\n", "getpeername");
        RaiseServerEvent(1);
        ::close(socket);
        return;
    }
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&own), &ownLength) != 0) {
        platform::Trace("Ear::SendSSList %s\n", "getsockname");
        RaiseServerEvent(2);
        ::close(socket);
        return;
    }
    bool local = checkPeer_ == 0 || peer.sin_addr.s_addr == own.sin_addr.s_addr;

    const ServerConfig* config = GetServerConfig();
    std::string adminPrefix;
    std::string sharePrefix;
    bool haveShare = config != nullptr && config->shareName.has_value();
    bool haveAdmin = config != nullptr && config->administrationPath.has_value();
    if (haveAdmin) {
        adminPrefix = SecureFile::Prefix(*config->administrationPath);
    }
    if (haveShare) {
        sharePrefix = *config->shareName;
        if (sharePrefix.empty() || sharePrefix.front() != '\\') {
            sharePrefix.insert(sharePrefix.begin(), '\\');
        }
        if (sharePrefix.back() != '\\') {
            sharePrefix += '\\';
        }
    }

    std::vector<ListRecord> records;
    DeviceMgr* deviceMgr = TheDeviceMgr();
    if (deviceMgr != nullptr) {
        ResourceHold hold(deviceMgr->SubsystemListLock());
        std::uint32_t count = deviceMgr->SubsystemCount();
        for (std::uint32_t n = 0; n < count; ++n) {
            SubsystemEntry* entry = deviceMgr->GetSubsystemEntry(n);
            if (entry == nullptr) {
                continue;
            }
            ListRecord record;
            std::memcpy(record.serial, entry->serialNumber, sizeof record.serial - 1);
            if (revision >= kCurrentRevision) {
                entry->Alias();
                std::memcpy(record.alias, entry->alias, sizeof record.alias - 1);
            }
            record.type = entry->subsystemTypeId;
            FillDeviceAddr(entry->controllerDevice[0], record.deviceAddr[0]);
            FillDeviceAddr(entry->controllerDevice[1], record.deviceAddr[1]);
            records.push_back(record);
        }
    }

    unsigned char word[4];
    PutBe32(word, static_cast<std::uint32_t>(records.size()));
    if (!Session::sendNB(socket, word, sizeof word, Session::kBudgetSeconds)) {
        platform::Trace("Ear::SendSSList %s\n", "sendMsg ssCount");
        ::close(socket);
        return;
    }
    char release[kReleaseSize] = "A.01.15";
    if (revision > 3) {
        release[2] = static_cast<char>('0' + (revision / 10) % 10);
        release[3] = static_cast<char>('0' + revision % 10);
    }
    for (const ListRecord& record : records) {
        if (!SendPart(socket, release, sizeof release, "sendMsg ssListRel", 3) ||
            !SendPart(socket, hostName_, sizeof hostName_, "sendMsg serverName", 4) ||
            !SendPart(socket, record.serial, sizeof record.serial, "sendMsg serialNumber", 5)) {
            break;
        }
        if (revision >= kCurrentRevision &&
            !SendPart(socket, record.alias, sizeof record.alias, "sendMsg aliasName", 6)) {
            break;
        }
        PutBe32(word, record.type);
        if (!SendPart(socket, word, sizeof word, "sendMsg ssType", 7) ||
            !SendPart(socket, record.deviceAddr, sizeof record.deviceAddr, "sendMsg deviceAddr",
                      8)) {
            break;
        }
        PutBe32(word, local ? kSecureMethodLocal : kSecureMethodShare);
        if (!SendPart(socket, word, sizeof word, "sendMsg oruSS->secureMethod", 9)) {
            break;
        }
        char securePath[kSecurePathSize] = {};
        // Without an administration path (or, for a remote client, a share)
        // there is nowhere to prove rights: the client gets an empty path.
        if (haveAdmin && (local || haveShare)) {
            std::string path = local ? adminPrefix : sharePrefix;
            path += record.serial;
            path += SecureFile::SerialDirectoryExists(adminPrefix, record.serial) ? "\\" : ".";
            if (path.size() < sizeof securePath) {
                std::memcpy(securePath, path.data(), path.size());
            } else {
                ReportNtEvent(4, NetText(NET_TEXT_SECURE_PATH_TOO_LONG, record.serial));
            }
            platform::Trace("Ear::Listen - Secure Path = %s\n", securePath);
        }
        if (!SendPart(socket, securePath, sizeof securePath, "sendMsg secureFile", 10)) {
            break;
        }
    }
    ::close(socket);
}

void Ear::SendRescan(int socket) {
    DeviceMgr* deviceMgr = TheDeviceMgr();
    std::uint32_t value =
        deviceMgr != nullptr ? static_cast<std::uint32_t>(deviceMgr->RequestRescan()) : 0;
    // The value goes in the service's own memory order; clients test it for
    // zero only.
    unsigned char bytes[4];
    PutLe32(bytes, value);
    if (!Session::sendNB(socket, bytes, sizeof bytes, Session::kBudgetSeconds)) {
        platform::Trace("Ear::SendRescan - send failed\n");
    }
    ::close(socket);
}
