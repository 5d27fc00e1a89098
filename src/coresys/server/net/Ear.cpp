#include "coresys/server/net/Ear.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/SubsystemEntry.h"
#include "coresys/server/net/HostName.h"
#include "coresys/server/net/NetText.h"
#include "coresys/server/net/PeerWarnings.h"
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
#include "platform/net/SocketIo.h"

namespace {

// One list record as it is sent, taken from the table under its lock so
// that a slow client never holds the lock while it is sent to.
struct ListRecord {
    char serial[13] = {};
    char alias[13] = {};
    std::uint32_t type = 0;
    unsigned char deviceAddr[2][Ear::kDeviceAddrSize] = {};
};

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

// What each part of a list answer is, by the step its failed send is
// recorded with (0: the count word, which raises no event).
const char* PartName(std::uint32_t step) {
    switch (step) {
        case 3:
            return "sendMsg ssListRel";
        case 4:
            return "sendMsg serverName";
        case 5:
            return "sendMsg serialNumber";
        case 6:
            return "sendMsg aliasName";
        case 7:
            return "sendMsg ssType";
        case 8:
            return "sendMsg deviceAddr";
        case 9:
            return "sendMsg oruSS->secureMethod";
        case 10:
            return "sendMsg secureFile";
        default:
            return "sendMsg ssCount";
    }
}

std::int64_t WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Ear::Ear(OruTask* owner, int family, int checkPeer, const char* name, PeerWarnings* warnings)
    : OruTask(name), owner_(owner), family_(family), checkPeer_(checkPeer), warnings_(warnings) {}

Ear::~Ear() {
    if (wakePipe_[1] >= 0) {
        char wake = 1;
        (void)::write(wakePipe_[1], &wake, 1);
    }
    TaskRequest stop;
    stop.code = EAR_STOP;
    Request(stop);
    EndThread();
    for (Connection& connection : connections_) {
        Close(connection);
    }
    connections_.clear();
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
    // Non-blocking: a pass accepts every waiting connection until none is left.
    listenSocket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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

void Ear::Fail(const std::string& peer, std::uint32_t step) {
    if (warnings_ == nullptr || warnings_->Allow(peer, platform::MonotonicMs())) {
        RaiseServerEvent(step);
    } else {
        platform::Trace("Ear - connection step %u of %s failed (not recorded)\n", step,
                        peer.c_str());
    }
}

void Ear::Close(Connection& connection) {
    if (connection.socket >= 0) {
        ::close(connection.socket);
        connection.socket = -1;
    }
}

Ear::Connection* Ear::Find(int socket) {
    for (Connection& connection : connections_) {
        if (connection.socket == socket) {
            return &connection;
        }
    }
    return nullptr;
}

void Ear::Listen() {
    if (listenSocket_ < 0) {
        return;
    }
    std::uint64_t now = platform::MonotonicMs();
    std::uint64_t wait = kListenWaitMs;
    std::vector<pollfd> waits;
    // With every place taken, a new connection is still accepted while an
    // unidentified one can give way to it; else the pending ones wait in
    // the backlog until a place is free.
    const short listenEvents = HasRoom() ? POLLIN : 0;
    waits.push_back(pollfd{listenSocket_, listenEvents, 0});
    waits.push_back(pollfd{wakePipe_[0], POLLIN, 0});
    for (const Connection& connection : connections_) {
        short events = 0;
        if (connection.phase == Connection::Phase::ANSWER) {
            events = POLLOUT;
        } else if (connection.phase != Connection::Phase::QUEUED) {
            events = POLLIN;
        }
        waits.push_back(pollfd{connection.socket, events, 0});
        if (events != 0) {
            wait = std::min(wait, connection.deadline > now ? connection.deadline - now : 0);
        }
    }
    if (warnings_ != nullptr) {
        const std::uint64_t sweep = warnings_->NextSweepMs();
        if (sweep != 0) {
            wait = std::min(wait, sweep > now ? sweep - now : 0);
        }
    }
    int ready = ::poll(waits.data(), waits.size(), static_cast<int>(wait));
    if (ready > 0 && (waits[1].revents & POLLIN) != 0) {
        // The service is stopping: no further pass.
        return;
    }
    now = platform::MonotonicMs();
    // The connections that were polled, then the ones accepted now (their
    // first bytes may be there already).
    const std::size_t polled = connections_.size();
    if (ready > 0 && (waits[0].revents & POLLIN) != 0) {
        AcceptWaiting(now);
    }
    std::vector<Connection> kept;
    kept.reserve(connections_.size());
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        Connection& connection = connections_[i];
        const bool readyNow = i >= polled || waits[i + 2].revents != 0;
        // A connection that gave way to a newer one is closed already.
        bool keep = connection.socket >= 0 && (readyNow ? Serve(connection) : true);
        if (keep && connection.phase != Connection::Phase::QUEUED && now >= connection.deadline) {
            Expire(connection);
            keep = false;
        }
        if (keep) {
            kept.push_back(std::move(connection));
        }
    }
    connections_.swap(kept);
    if (warnings_ != nullptr) {
        warnings_->Sweep(now);
    }
    if (listenSocket_ < 0 || IsTerminating()) {
        return;
    }
    TaskRequest again;
    again.code = EAR_LISTEN;
    SendRequest(again);
}

void Ear::AcceptWaiting(std::uint64_t now) {
    for (int accepted = 0; accepted < kAcceptsPerPass && HasRoom(); ++accepted) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        int socket =
            ::accept4(listenSocket_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory: the pending connection stays
                // readable, so pause instead of spinning on it.
                platform::Trace("Ear::Listen - accept failed, errno %d\n", errno);
                platform::SleepMs(kAcceptPauseMs);
            }
            return;
        }
        const std::string from = DottedAddress(peer);
        if (!netio::SetNonBlocking(socket)) {
            Fail(from, 8);
            ::close(socket);
            continue;
        }
        Connection connection;
        connection.socket = socket;
        connection.peer = from;
        connection.deadline = now + kConnectReadMs;
        connection.acceptedMs = now;
        connection.acceptedWallMs = WallMs();
        // Served at once: a client that already said what it wants is on its
        // way, and one that already hung up holds no place.
        if (!Serve(connection)) {
            continue;
        }
        if (Unidentified(connection)) {
            MakeRoomFor(from, now);
        }
        connections_.push_back(std::move(connection));
        if (OpenCount() > kMaxConnections) {
            GiveWayToNewcomer();
        }
    }
}

std::size_t Ear::OpenCount() const {
    std::size_t open = 0;
    for (const Connection& connection : connections_) {
        open += connection.socket >= 0 ? 1 : 0;
    }
    return open;
}

bool Ear::HasRoom() const {
    if (OpenCount() < kMaxConnections) {
        return true;
    }
    return std::any_of(connections_.begin(), connections_.end(), Unidentified);
}

void Ear::GiveWayToNewcomer() {
    // The address that holds the most unidentified connections gives up its
    // oldest, whatever its age: one address never keeps another's clients
    // waiting for a place. Among addresses that hold as many, the one with
    // the oldest connection gives way.
    struct Holding {
        std::size_t count = 0;
        Connection* oldest = nullptr;
    };
    std::map<std::string, Holding> held;
    for (Connection& connection : connections_) {
        if (Unidentified(connection)) {
            Holding& holding = held[connection.peer];
            ++holding.count;
            if (holding.oldest == nullptr) {
                holding.oldest = &connection;
            }
        }
    }
    const Holding* busiest = nullptr;
    for (const auto& [peer, holding] : held) {
        if (busiest == nullptr || holding.count > busiest->count ||
            (holding.count == busiest->count &&
             holding.oldest->acceptedMs < busiest->oldest->acceptedMs)) {
            busiest = &holding;
        }
    }
    if (busiest != nullptr) {
        Fail(busiest->oldest->peer, 7);
        Close(*busiest->oldest);
    }
}

bool Ear::Unidentified(const Connection& connection) {
    return connection.socket >= 0 && (connection.phase == Connection::Phase::WORD ||
                                      connection.phase == Connection::Phase::SERIAL);
}

void Ear::MakeRoomFor(const std::string& peer, std::uint64_t now) {
    Connection* oldest = nullptr;
    std::size_t fromPeer = 0;
    for (Connection& connection : connections_) {
        if (connection.peer == peer && Unidentified(connection)) {
            oldest = oldest != nullptr ? oldest : &connection;
            ++fromPeer;
        }
    }
    // One address keeps that many connections open without saying what they
    // want: the one that has kept silent longest gives way, so a client that
    // identifies itself is served even from the address of a flood. A
    // connection younger than kSilentGivesWayMs may be a client still making
    // its secure file (a remote one pauses 1.5 s for it): while places
    // remain it keeps its place, and the newcomer is served beside it (once
    // they run short, GiveWayToNewcomer spares no age). The pass drops the
    // closed entry.
    if (fromPeer >= kMaxConnectionsPerPeer && now >= oldest->acceptedMs + kSilentGivesWayMs) {
        Fail(peer, 7);
        Close(*oldest);
    }
}

bool Ear::Serve(Connection& connection) {
    while (connection.phase == Connection::Phase::WORD ||
           connection.phase == Connection::Phase::SERIAL) {
        const std::size_t whole = connection.phase == Connection::Phase::WORD ? 4 : 4 + kSerialSize;
        const netio::IoResult got = netio::ReceiveSome(
            connection.socket, connection.in + connection.have, whole - connection.have);
        if (got.kind == netio::IoKind::WOULD_BLOCK) {
            return true;
        }
        if (got.kind != netio::IoKind::MOVED) {
            // The connect word broke off: the step that failed; a serial
            // that broke off closes the connection without one.
            if (connection.phase == Connection::Phase::WORD) {
                Fail(connection.peer, 7);
            }
            Close(connection);
            return false;
        }
        connection.have += got.count;
        if (connection.have < whole) {
            continue;
        }
        if (connection.phase == Connection::Phase::WORD) {
            const std::uint32_t word = netio::GetBe32(connection.in);
            std::uint32_t revision = word >> 16;
            std::uint32_t type = word & 0xFFFFu;
            if (revision < kCurrentRevision) {
                revision = 3;
            } else if (revision > kCurrentRevision) {
                type = kRefusedType;
            }
            connection.revision = revision;
            if (type == kConnectSession) {
                connection.phase = Connection::Phase::SERIAL;
                continue;
            }
            if (type != kConnectSsList && type != kConnectRescan) {
                Fail(connection.peer, 9);
                Close(connection);
                return false;
            }
            connection.list = type == kConnectSsList;
        }
        return Dispatched(connection);
    }
    if (connection.phase != Connection::Phase::ANSWER) {
        return true;
    }
    while (connection.sent < connection.out.size()) {
        const netio::IoResult sent =
            netio::SendSome(connection.socket, connection.out.data() + connection.sent,
                            connection.out.size() - connection.sent);
        if (sent.kind == netio::IoKind::WOULD_BLOCK) {
            return true;
        }
        if (sent.kind != netio::IoKind::MOVED) {
            Expire(connection);
            return false;
        }
        connection.sent += sent.count;
    }
    Close(connection);
    return false;
}

bool Ear::Dispatched(Connection& connection) {
    TaskRequest request;
    if (connection.phase == Connection::Phase::SERIAL) {
        auto* serial = new unsigned char[kSerialSize];
        std::memcpy(serial, connection.in + 4, kSerialSize);
        request.code = SM_ADD_SESSION;
        request.args[0] = checkPeer_;
        request.args[1] = connection.socket;
        request.args[2] =
            static_cast<std::intptr_t>((connection.revision << 16) | (family_ & 0xFFFF));
        request.args[3] = reinterpret_cast<std::intptr_t>(serial);
        request.args[4] = static_cast<std::intptr_t>(kSerialSize);
        request.args[5] = static_cast<std::intptr_t>(connection.acceptedWallMs);
        if (owner_->SendRequest(request) != 0) {
            delete[] serial;
            Close(connection);
        }
        // The socket is the session manager's now.
        connection.socket = -1;
        return false;
    }
    request.code = connection.list ? EAR_SEND_SSLIST : EAR_RESCAN;
    request.args[2] = connection.socket;
    request.args[3] = static_cast<std::intptr_t>(connection.revision);
    if (SendRequest(request) != 0) {
        Close(connection);
        return false;
    }
    connection.phase = Connection::Phase::QUEUED;
    return true;
}

void Ear::Expire(Connection& connection) {
    switch (connection.phase) {
        case Connection::Phase::WORD:
            Fail(connection.peer, 7);
            break;
        case Connection::Phase::ANSWER:
            if (!connection.list) {
                platform::Trace("Ear::SendRescan - send failed\n");
                break;
            }
            for (std::size_t part = 0; part < connection.partEnds.size(); ++part) {
                if (connection.sent < connection.partEnds[part]) {
                    const std::uint32_t step = connection.partSteps[part];
                    platform::Trace("Ear::SendSSList %s\n", PartName(step));
                    if (step != 0) {
                        Fail(connection.peer, step);
                    }
                    break;
                }
            }
            break;
        default:
            break;
    }
    Close(connection);
}

void Ear::SendSSList(int socket, std::uint32_t revision) {
    Connection* connection = Find(socket);
    if (connection == nullptr) {
        ::close(socket);
        return;
    }
    sockaddr_in peer{};
    sockaddr_in own{};
    socklen_t peerLength = sizeof peer;
    socklen_t ownLength = sizeof own;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
        platform::Trace("Ear::SendSSList %s\n", "getpeername");
        Fail(connection->peer, 1);
        Forget(*connection);
        return;
    }
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&own), &ownLength) != 0) {
        platform::Trace("Ear::SendSSList %s\n", "getsockname");
        Fail(connection->peer, 2);
        Forget(*connection);
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

    // The whole answer is built here and written as the client takes it;
    // each part's end is kept to name the part whose send failed.
    Connection& answer = *connection;
    auto part = [&answer](const void* bytes, std::size_t count, std::uint32_t step) {
        const auto* from = static_cast<const unsigned char*>(bytes);
        answer.out.insert(answer.out.end(), from, from + count);
        answer.partEnds.push_back(answer.out.size());
        answer.partSteps.push_back(step);
    };
    unsigned char word[4];
    netio::PutBe32(word, static_cast<std::uint32_t>(records.size()));
    part(word, sizeof word, 0);
    char release[kReleaseSize] = "A.01.15";
    if (revision > 3) {
        release[2] = static_cast<char>('0' + (revision / 10) % 10);
        release[3] = static_cast<char>('0' + revision % 10);
    }
    for (const ListRecord& record : records) {
        part(release, sizeof release, 3);
        part(hostName_, sizeof hostName_, 4);
        part(record.serial, sizeof record.serial, 5);
        if (revision >= kCurrentRevision) {
            part(record.alias, sizeof record.alias, 6);
        }
        netio::PutBe32(word, record.type);
        part(word, sizeof word, 7);
        part(record.deviceAddr, sizeof record.deviceAddr, 8);
        netio::PutBe32(word, local ? kSecureMethodLocal : kSecureMethodShare);
        part(word, sizeof word, 9);
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
        part(securePath, sizeof securePath, 10);
    }
    StartAnswer(answer);
}

void Ear::SendRescan(int socket) {
    Connection* connection = Find(socket);
    if (connection == nullptr) {
        ::close(socket);
        return;
    }
    DeviceMgr* deviceMgr = TheDeviceMgr();
    std::uint32_t value =
        deviceMgr != nullptr ? static_cast<std::uint32_t>(deviceMgr->RequestRescan()) : 0;
    // The value goes in the service's own memory order; clients test it for
    // zero only.
    connection->out.resize(4);
    PutLe32(connection->out.data(), value);
    StartAnswer(*connection);
}

void Ear::StartAnswer(Connection& connection) {
    connection.phase = Connection::Phase::ANSWER;
    connection.deadline = netio::DeadlineAfterSeconds(netio::kBudgetSeconds);
    if (!Serve(connection)) {
        Forget(connection);
    }
}

void Ear::Forget(Connection& connection) {
    Close(connection);
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (&*it == &connection) {
            connections_.erase(it);
            return;
        }
    }
}
