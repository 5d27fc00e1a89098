#include "coresys/server/net/SessionMgr.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/net/DatagramClient.h"
#include "coresys/server/net/DatagramEar.h"
#include "coresys/server/net/Ear.h"
#include "coresys/server/net/HostName.h"
#include "coresys/server/net/NetText.h"
#include "coresys/server/net/SecureFile.h"
#include "coresys/server/net/ServerSession.h"
#include "coresys/server/net/SessionClient.h"
#include "coresys/server/task/ResourceHold.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "platform/Clock.h"
#include "platform/Trace.h"
#include "platform/net/SocketIo.h"

namespace {

// The monitor whose 12-character id equals serial (at most 12 characters),
// looked up under the subsystem-list lock; nullptr when none.
OruLite* FindSubsystem(ServerManager* manager, const std::string& serial) {
    auto* deviceMgr = dynamic_cast<DeviceMgr*>(manager);
    if (deviceMgr == nullptr || serial.empty()) {
        return nullptr;
    }
    char key[13] = {};
    std::memcpy(key, serial.data(), serial.size() < 12 ? serial.size() : 12);
    ResourceHold hold(deviceMgr->SubsystemListLock());
    return deviceMgr->LocateOruLiteArray(key);
}

// A warning about refused requests, for the record.
void ReportSuppressed(const std::string& peer, std::uint32_t suppressed) {
    ReportNtEvent(4, NetText(NET_TEXT_WARNINGS_SUPPRESSED, suppressed, peer.c_str()));
}

}  // namespace

SessionMgr::SessionMgr() : OruTask("SessionMgr"), warnings_(ReportSuppressed) {}

SessionMgr::~SessionMgr() {
    StopWaker();
    TaskRequest stop;
    stop.code = SM_STOP;
    Request(stop);
    EndThread();
    // The task may write to the pipe until it has ended.
    for (int& end : wakePipe_) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
    datagramEar_.reset();
    ear_.reset();
    for (auto& [id, pending] : pending_) {
        ::close(pending.socket);
    }
    pending_.clear();
    while (clientSet_.Count() > 0) {
        SessionClient* client = clientSet_.At(0);
        clientSet_.Remove(client);
        delete client;
    }
    for (SessionClient* client : departed_) {
        delete client;
    }
    departed_.clear();
    for (DatagramClient* client : datagramClients_) {
        delete client;
    }
    datagramClients_.clear();
}

int SessionMgr::PostReply(OruTask* owner, SESSION_MGR_REQUEST code, const void* client,
                          std::uint32_t clientId, const std::vector<unsigned char>& bytes) {
    // The session and the datagram listener send blocks as the coders
    // allocate them, and free them once sent.
    auto* block = new unsigned char[bytes.empty() ? 1 : bytes.size()];
    if (!bytes.empty()) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    TaskRequest send;
    send.code = code;
    send.args[3] = reinterpret_cast<std::intptr_t>(client);
    send.args[4] = static_cast<std::intptr_t>(clientId);
    send.args[5] = reinterpret_cast<std::intptr_t>(block);
    send.args[6] = static_cast<std::intptr_t>(bytes.size());
    if (owner->SendRequest(send) != 0) {
        CodedBuff::FreeData(block);
        return 0;
    }
    return 1;
}

std::int32_t SessionMgr::Dispatch(TaskRequest& request, TaskResponse*) {
    switch (request.code) {
        case SM_SETUP:
            Setup();
            return 0;
        case SM_ADD_SESSION:
            AddSession(request);
            return 0;
        case SM_REMOVE_CLIENT:
            RemoveClient(reinterpret_cast<SessionClient*>(request.args[3]),
                         static_cast<std::uint32_t>(request.args[4]));
            return 0;
        case SM_DELETE_OBJECT:
            DeleteObject(reinterpret_cast<DatagramClient*>(request.args[3]));
            return 0;
        case SM_POLL:
            // A timed pass that a later one replaced is dropped, so there is
            // only ever one chain of timed passes.
            if (request.args[0] == 0 || request.args[0] == pollGeneration_) {
                Poll();
            }
            return 0;
        case SM_SEND_SESSION:
            SendOnSession(request);
            return 0;
        case SM_SEND_DATAGRAM:
            SendDatagram(request);
            return 0;
        case SM_DATAGRAM_ARRIVED:
            DatagramArrived(request);
            return 0;
        case SM_BROADCAST:
            Broadcast(request);
            return 0;
        case SM_STOP:
            return 1;
        case SM_CHECK_SECURE:
            CheckSecure(static_cast<std::uint32_t>(request.args[3]));
            return 0;
        default:
            ServerFatalError("SessionMgr::Dispatch", "Bad SM TASK");
    }
}

void SessionMgr::Setup() {
    deviceMgr_ = GetManager(DEVICE_MANAGER);
    const ServerConfig* config = GetServerConfig();
    if (config == nullptr || !config->administrationPath.has_value()) {
        platform::Trace("%s\n", NetText(NET_TEXT_NO_ADMINISTRATION_PATH).c_str());
    } else {
        if (SecureFile::WorldWritable(*config->administrationPath)) {
            ReportNtEvent(4, NetText(NET_TEXT_ADMINISTRATION_WORLD_WRITABLE,
                                     config->administrationPath->c_str()));
        }
        // No connection is open yet: every secure file there is a leftover
        // that must not vouch for a later connection on its port.
        const int removed = SecureFile::RemoveLeftovers(*config->administrationPath);
        if (removed > 0) {
            platform::Trace("SessionMgr - %d secure files left behind were removed\n", removed);
        }
    }
    // Both listeners are set up before the service reports running, so a
    // port that cannot be bound ends the start.
    datagramEar_ = std::make_unique<DatagramEar>(this);
    TaskRequest init;
    init.code = DG_INIT;
    datagramEar_->Request(init);
    ear_ = std::make_unique<Ear>(this, AF_INET, 1, "ForeignEar", &warnings_);
    init.code = EAR_INIT;
    ear_->Request(init);
    StartWaker();
}

void SessionMgr::StartWaker() {
    if (waker_.joinable() || ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    waker_ = std::thread([this] { WakerLoop(); });
    // Named at once: a new thread starts with its creator's name.
    pthread_setname_np(waker_.native_handle(), "SessionWake");
}

void SessionMgr::StopWaker() {
    if (!waker_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(watchLock_);
        wakerStop_ = true;
    }
    passDone_.notify_all();
    const unsigned char byte = 0;
    (void)!::write(wakePipe_[1], &byte, 1);
    waker_.join();
}

void SessionMgr::RefreshWatchSet() {
    std::vector<pollfd> sockets;
    for (int i = 0; i < clientSet_.Count(); ++i) {
        ServerSession* session = clientSet_.At(i)->GetSession();
        if (session != nullptr && session->Open()) {
            const short events = session->WantsWrite() ? POLLIN | POLLOUT : POLLIN;
            sockets.push_back(pollfd{session->Socket(), events, 0});
        }
    }
    auto same = [](const std::vector<pollfd>& a, const std::vector<pollfd>& b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].fd != b[i].fd || a[i].events != b[i].events) {
                return false;
            }
        }
        return true;
    };
    bool changed = false;
    {
        std::lock_guard<std::mutex> hold(watchLock_);
        changed = !same(sockets, watched_);
        watched_.swap(sockets);
    }
    if (changed && wakePipe_[1] >= 0) {
        // The waker may be waiting on the old set.
        const unsigned char byte = 0;
        (void)!::write(wakePipe_[1], &byte, 1);
    }
}

void SessionMgr::WakerLoop() {
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(watchLock_);
            if (wakerStop_) {
                return;
            }
            fds.assign(1, pollfd{wakePipe_[0], POLLIN, 0});
            fds.insert(fds.end(), watched_.begin(), watched_.end());
        }
        if (::poll(fds.data(), fds.size(), static_cast<int>(kPollDelayMs)) <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            unsigned char drain[64];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        std::unique_lock<std::mutex> hold(watchLock_);
        const std::uint64_t before = passes_;
        TaskRequest poll;
        poll.code = SM_POLL;
        if (SendRequest(poll) != 0) {
            return;
        }
        // The socket stays readable until a pass has read it: wait for the
        // pass (bounded, in case the task is busy elsewhere) before looking
        // again.
        passDone_.wait_for(hold, std::chrono::milliseconds(kPollDelayMs),
                           [&] { return wakerStop_ || passes_ != before; });
    }
}

void SessionMgr::ArmPoll() {
    TaskRequest poll;
    poll.code = SM_POLL;
    poll.args[0] = ++pollGeneration_;
    SendRequest(poll, kPollDelayMs);
}

bool SessionMgr::SendWord(int socket, std::uint32_t word) {
    unsigned char bytes[4];
    netio::PutBe32(bytes, word);
    const netio::IoResult sent = netio::SendSome(socket, bytes, sizeof bytes);
    return sent.kind == netio::IoKind::MOVED && sent.count == sizeof bytes;
}

void SessionMgr::RefuseUnauthorized(int socket, const std::string& serialText, bool checkPeer,
                                    const std::string& peerAddress) {
    if (warnings_.Allow(peerAddress, platform::MonotonicMs())) {
        std::string text =
            checkPeer ? NetText(NET_TEXT_UNAUTHORIZED_FROM, serialText.c_str(), peerAddress.c_str())
                      : NetText(NET_TEXT_UNAUTHORIZED, serialText.c_str());
        ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE, text);
    }
    if (!SendWord(socket, kNotAuthorized)) {
        platform::Trace("SessionMgr::Addsession - TIMEOUT send NOT_AUTHORIZED\n");
    }
    ::close(socket);
}

void SessionMgr::AddSession(TaskRequest& request) {
    PendingSession pending;
    pending.checkPeer = request.args[0] != 0;
    pending.socket = static_cast<int>(request.args[1]);
    pending.revision =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(request.args[2]) >> 16);
    std::unique_ptr<unsigned char[]> serialBytes(reinterpret_cast<unsigned char*>(request.args[3]));
    auto serialLength = static_cast<std::size_t>(request.args[4]);
    pending.acceptedWallMs = static_cast<std::int64_t>(request.args[5]);
    const int socket = pending.socket;

    sockaddr_in peer{};
    sockaddr_in own{};
    socklen_t peerLength = sizeof peer;
    socklen_t ownLength = sizeof own;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
        platform::Trace("SessionMgr::Addsession %s\n", "getpeername");
        ::close(socket);
        return;
    }
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&own), &ownLength) != 0) {
        platform::Trace("SessionMgr::Addsession %s\n", "getsockname");
        ::close(socket);
        return;
    }
    pending.peerAddress = DottedAddress(peer);
    bool local = peer.sin_addr.s_addr == own.sin_addr.s_addr;

    bool valid = SecureFile::ValidSerial(serialBytes.get(), serialLength, &pending.serial);
    const ServerConfig* config = GetServerConfig();
    bool haveAdmin = config != nullptr && config->administrationPath.has_value();
    if (!valid || !haveAdmin) {
        // Nothing to look for: a serial that is no plain name never becomes
        // part of a path, and without an administration directory nobody
        // can prove rights. Refused at once, no file touched.
        RefuseUnauthorized(socket, SecureFile::ReportText(serialBytes.get(), serialLength),
                           pending.checkPeer, pending.peerAddress);
        return;
    }
    pending.secureFile = SecureFile::BuildName(*config->administrationPath, pending.serial, local,
                                               pending.peerAddress, ntohs(peer.sin_port));
    if (LookForSecureFile(pending)) {
        return;
    }
    // The file is not there yet: the request waits beside the others, as
    // long as there is room for it.
    std::size_t fromPeer = 0;
    for (const auto& [id, other] : pending_) {
        fromPeer += other.peerAddress == pending.peerAddress ? 1 : 0;
    }
    if (pending_.size() >= kMaxPendingSessions || fromPeer >= kMaxPendingPerPeer) {
        platform::Trace("SessionMgr::Addsession - too many session requests waiting\n");
        RefuseUnauthorized(socket, pending.serial, pending.checkPeer, pending.peerAddress);
        return;
    }
    const std::uint32_t id = ++nextPendingId_;
    pending_.emplace(id, std::move(pending));
    TaskRequest check;
    check.code = SM_CHECK_SECURE;
    check.args[3] = static_cast<std::intptr_t>(id);
    SendRequest(check, platform::ScaledMs(kSecureFileWaitMs));
}

bool SessionMgr::LookForSecureFile(PendingSession& pending) {
    SecureFile::Proof proof = SecureFile::Check(pending.secureFile, pending.acceptedWallMs);
    if (proof == SecureFile::Proof::STALE) {
        // Left behind by a connection long gone: it vouches for nobody, and
        // a client of this port could not make its own file beside it.
        platform::Trace("SessionMgr::Addsession - stale secure file %s removed\n",
                        pending.secureFile.c_str());
        SecureFile::Remove(pending.secureFile);
        proof = SecureFile::Proof::ABSENT;
    }
    if (proof == SecureFile::Proof::PRESENT) {
        Authorize(pending);
        return true;
    }
    // The last look is the one after 30 waits of 500 ms.
    if (pending.looks++ >= kSecureFileTries) {
        RefuseUnauthorized(pending.socket, pending.serial, pending.checkPeer, pending.peerAddress);
        return true;
    }
    return false;
}

void SessionMgr::CheckSecure(std::uint32_t pendingId) {
    auto found = pending_.find(pendingId);
    if (found == pending_.end()) {
        return;
    }
    if (LookForSecureFile(found->second)) {
        pending_.erase(found);
        return;
    }
    TaskRequest check;
    check.code = SM_CHECK_SECURE;
    check.args[3] = static_cast<std::intptr_t>(pendingId);
    SendRequest(check, platform::ScaledMs(kSecureFileWaitMs));
}

void SessionMgr::Authorize(const PendingSession& pending) {
    const int socket = pending.socket;
    std::string user = SecureFile::OwnerText(pending.secureFile);
    SecureFile::Remove(pending.secureFile);
    OruLite* subsystem = FindSubsystem(deviceMgr_, pending.serial);
    if (subsystem == nullptr) {
        if (!SendWord(socket, kBadSerialNo)) {
            platform::Trace("SessionMgr::Addsession - TIMEOUT send BAD_SERIALNO\n");
        }
        ::close(socket);
        return;
    }

    if (clientSet_.Count() >= ClientSet::kMaxClients) {
        // Clients that said goodbye a moment ago may still hold their places
        // until the next pass notices: they are let go first.
        FreeLeftPlaces(platform::MonotonicMs());
    }
    // Every place is taken: the client still gets its session id, as
    // clients expect, but in the same segment as the end of the connection
    // (held back by the cork until the close), so it can tell at once that
    // it has no session. The record says it was refused.
    const bool full = clientSet_.Count() >= ClientSet::kMaxClients;
    if (full) {
        if (warnings_.Allow(pending.peerAddress, platform::MonotonicMs())) {
            ReportServerEvent(
                SERVER_SOFTWARE_EVENT, SERVER_EXITED_CODE,
                NetText(NET_TEXT_SESSION_REFUSED_FULL, pending.serial.c_str(), user.c_str(),
                        pending.peerAddress.c_str(), ClientSet::kMaxClients));
        }
        netio::SetCork(socket);
    } else {
        std::string text = pending.checkPeer
                               ? NetText(NET_TEXT_AUTHORIZED_AT, pending.serial.c_str(),
                                         user.c_str(), pending.peerAddress.c_str())
                               : NetText(NET_TEXT_AUTHORIZED, pending.serial.c_str(), user.c_str());
        ReportServerEvent(SERVER_SOFTWARE_EVENT, SERVER_STARTED_CODE, text);
        // Requests and replies follow one another closely.
        netio::SetNoDelay(socket);
    }

    auto session = std::make_unique<ServerSession>(socket, pending.revision, pending.secureFile);
    std::vector<unsigned char> id(4);
    netio::PutBe32(id.data(), session->SessionID());
    if (!session->SendRaw(std::move(id), platform::MonotonicMs())) {
        platform::Trace("SessionMgr::Addsession - TIMEOUT send sessionID\n");
        // Destroying the session closes the socket; there is no client.
        return;
    }
    if (full) {
        platform::Trace("SessionMgr::Addsession - clientSet->Add failed\n");
        return;
    }
    auto* client =
        new SessionClient(this, subsystem, pending.serial, std::move(session), std::move(user));
    clientSet_.Add(client);
    RefreshWatchSet();
    if (!pollPending_) {
        pollPending_ = true;
        TaskRequest poll;
        poll.code = SM_POLL;
        SendRequest(poll);
    }
}

void SessionMgr::RemoveClient(SessionClient* client, std::uint32_t clientId) {
    if (clientSet_.Contains(client, clientId)) {
        Release(client);
        RefreshWatchSet();
        return;
    }
    // A client that left with messages still at work: its last Done asks
    // for this once the count is down.
    auto departed = departed_.find(client);
    if (departed != departed_.end() && client->ClientId() == clientId &&
        client->Unanswered() == 0) {
        departed_.erase(departed);
        delete client;
    }
}

void SessionMgr::Release(SessionClient* client) {
    if (ServerSession* session = client->GetSession()) {
        session->Close();
    }
    // The place is free at once. A subsystem may still work on messages of
    // this client (only its changes to the array: the reads are dropped
    // when their turn comes), and their replies must find the client
    // object, which waits aside until the last is done.
    client->MarkRemovalPending();
    clientSet_.Remove(client);
    if (client->Unanswered() == 0) {
        delete client;
    } else {
        departed_.insert(client);
    }
}

void SessionMgr::DeleteObject(DatagramClient* client) {
    if (datagramClients_.erase(client) != 0) {
        delete client;
    }
}

void SessionMgr::MarkForRemoval(SessionClient* client) {
    if (client->RemovalPending()) {
        return;
    }
    client->MarkRemovalPending();
    TaskRequest remove;
    remove.code = SM_REMOVE_CLIENT;
    remove.args[3] = reinterpret_cast<std::intptr_t>(client);
    remove.args[4] = static_cast<std::intptr_t>(client->ClientId());
    SendRequest(remove);
}

void SessionMgr::Poll() {
    pollPending_ = false;
    const std::uint64_t now = platform::MonotonicMs();
    const int count = clientSet_.Count();
    // Every session: waiting replies go out as far as its socket takes them,
    // and one whose started frame or replies made no progress for the
    // budget is closed, alone.
    for (int i = 0; i < count; ++i) {
        ServerSession* session = clientSet_.At(i)->GetSession();
        if (session != nullptr && session->Open()) {
            session->Flush(now);
            session->CloseIfStalled(now);
        }
    }
    // Then the sessions in turn, until one has a whole message: one message
    // per pass.
    for (int i = 0; i < count; ++i) {
        SessionClient* client = clientSet_.Next();
        if (client->GetSession() != nullptr &&
            Receive(client, now) == ServerSession::ReadResult::MESSAGE) {
            break;
        }
    }
    if (clientSet_.Count() > 0) {
        pollPending_ = true;
        ArmPoll();
    }
    RefreshWatchSet();
    {
        std::lock_guard<std::mutex> hold(watchLock_);
        ++passes_;
    }
    passDone_.notify_all();
}

ServerSession::ReadResult SessionMgr::Receive(SessionClient* client, std::uint64_t now) {
    std::vector<unsigned char> message;
    const ServerSession::ReadResult result = client->GetSession()->Read(&message, now);
    if (result == ServerSession::ReadResult::MESSAGE) {
        // Counted before the hand-over: the subsystem may finish the message
        // before SubmitMessage returns.
        client->CountAccepted();
        if (client->Subsystem()->SubmitMessage(client, std::move(message)) == 0) {
            client->Done();
        }
    } else if (result == ServerSession::ReadResult::CLOSED) {
        MarkForRemoval(client);
    }
    return result;
}

void SessionMgr::FreeLeftPlaces(std::uint64_t now) {
    // From the last entry down: a removal moves the last entry into the
    // place it frees, and that one has been looked at already.
    for (int i = clientSet_.Count() - 1; i >= 0; --i) {
        SessionClient* client = clientSet_.At(i);
        ServerSession* session = client->GetSession();
        if (session != nullptr && session->Open()) {
            Receive(client, now);
        }
        if (client->RemovalPending()) {
            Release(client);
        }
    }
    RefreshWatchSet();
}

void SessionMgr::SendOnSession(TaskRequest& request) {
    auto* client = reinterpret_cast<SessionClient*>(request.args[3]);
    auto clientId = static_cast<std::uint32_t>(request.args[4]);
    auto* message = reinterpret_cast<unsigned char*>(request.args[5]);
    auto length = static_cast<unsigned long>(request.args[6]);
    if (clientSet_.Contains(client, clientId) && client->GetSession() != nullptr) {
        // A failed send closes the session and the next pass removes the
        // client; what the socket does not take now waits in its queue.
        client->GetSession()->Send(message, length, platform::MonotonicMs());
        RefreshWatchSet();
    }
    CodedBuff::FreeData(message);
}

void SessionMgr::SendDatagram(TaskRequest& request) {
    auto* client = reinterpret_cast<DatagramClient*>(request.args[3]);
    auto* message = reinterpret_cast<unsigned char*>(request.args[5]);
    auto length = static_cast<std::uint32_t>(request.args[6]);
    if (datagramClients_.count(client) == 0 || !datagramEar_) {
        CodedBuff::FreeData(message);
        return;
    }
    datagramEar_->SendDG(client->Sender(), client->Serial().c_str(), message, length);
}

void SessionMgr::DatagramArrived(TaskRequest& request) {
    std::unique_ptr<unsigned char[]> datagram(reinterpret_cast<unsigned char*>(request.args[3]));
    auto length = static_cast<std::size_t>(request.args[4]);
    std::unique_ptr<sockaddr_in> sender(reinterpret_cast<sockaddr_in*>(request.args[5]));
    if (!datagram || !sender || length < kDatagramPrefix + kRequestHeader) {
        return;
    }
    std::string serial(reinterpret_cast<const char*>(datagram.get() + 1),
                       ::strnlen(reinterpret_cast<const char*>(datagram.get() + 1), 12));
    std::uint32_t code = netio::GetBe32(datagram.get() + kDatagramPrefix + 8);
    if (code != kGrossStatusCode) {
        // Management goes through authorized sessions only.
        const std::string from = DottedAddress(*sender);
        if (warnings_.Allow(from, platform::MonotonicMs())) {
            ReportNtEvent(4, NetText(NET_TEXT_DATAGRAM_REFUSED, code, from.c_str()));
        }
        return;
    }
    OruLite* subsystem = FindSubsystem(deviceMgr_, serial);
    if (subsystem == nullptr) {
        platform::Trace("SessionMgr - datagram for unknown serial %s dropped\n", serial.c_str());
        return;
    }
    auto* client = new DatagramClient(this, subsystem, serial, *sender);
    datagramClients_.insert(client);
    std::vector<unsigned char> message(datagram.get() + kDatagramPrefix, datagram.get() + length);
    if (subsystem->SubmitMessage(client, std::move(message)) == 0) {
        datagramClients_.erase(client);
        delete client;
    }
}

void SessionMgr::Broadcast(TaskRequest& request) {
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> message(
        reinterpret_cast<unsigned char*>(request.args[3]), CodedBuff::FreeData);
    auto length = static_cast<std::size_t>(request.args[4]);
    std::unique_ptr<char[]> serialBuffer(reinterpret_cast<char*>(request.args[5]));
    auto serialLength = static_cast<std::size_t>(request.args[6]);
    std::string serial;
    if (serialBuffer && serialLength > 0) {
        serial.assign(serialBuffer.get(),
                      ::strnlen(serialBuffer.get(), serialLength < 12 ? serialLength : 12));
    }
    if (!message) {
        return;
    }
    const std::uint64_t now = platform::MonotonicMs();
    for (int i = 0; i < clientSet_.Count(); ++i) {
        SessionClient* client = clientSet_.At(i);
        if (!serial.empty() && client->Serial() != serial) {
            continue;
        }
        ServerSession* session = client->GetSession();
        if (session == nullptr || !session->Open() || session->Revision() != 4) {
            continue;
        }
        session->Send(message.get(), length, now);
    }
    RefreshWatchSet();
}
