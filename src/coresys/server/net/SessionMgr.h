// The session manager task ("SessionMgr"). It owns the two listeners (the
// UDP "DGEar" and the TCP "ForeignEar"), accepts the management sessions the
// TCP listener hands it after proving the client's rights with its secure
// file, keeps the set of connected clients, reads their messages one per
// pass and hands each to the subsystem it addresses, and does every write
// to a client: replies, datagram replies and event broadcasts. Other
// threads never write to a client socket; they post to this task.
//
// Nothing on this thread waits for one client. A session request whose
// secure file is not there yet waits beside the others: the file is looked
// for again on this task's timer every 500 ms, for the whole 30 x 500 ms,
// while the established sessions go on being read and answered; at most
// kMaxPendingSessions requests wait at once, kMaxPendingPerPeer from one
// address, and further ones are refused at once. Sessions read their frames
// a piece at a time and queue what they send (ServerSession). Warnings about
// refused requests are rate-limited per peer address (PeerWarnings).
//
// Request words are args[0] (argument 1) to args[6] (argument 7); buffers
// handed over in a request belong to this task from then on and are freed
// here whatever happens.
#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "coresys/server/net/ClientSet.h"
#include "coresys/server/net/PeerWarnings.h"
#include "coresys/server/net/ServerSession.h"
#include "coresys/server/task/OruTask.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class DatagramClient;
class DatagramEar;
class Ear;
class SessionClient;
class OruLite;

enum SESSION_MGR_REQUEST : std::int32_t {
    SM_SETUP = 0,
    // 1 check-peer flag, 2 socket, 3 family (low 16 bits) and revision (high
    // 16 bits), 4 the 13-byte serial buffer (new unsigned char[]), 5 its
    // length, 6 when the listener accepted the connection (milliseconds
    // since 1970).
    SM_ADD_SESSION = 1,
    // 4 the SessionClient, 5 its client id.
    SM_REMOVE_CLIENT = 3,
    // 4 the DatagramClient.
    SM_DELETE_OBJECT = 4,
    // 1 0 for a pass at once, else the generation of a timed pass.
    SM_POLL = 5,
    // 4 the SessionClient, 5 its client id, 6 the message (new unsigned
    // char[]), 7 its length.
    SM_SEND_SESSION = 6,
    // 4 the DatagramClient, 6 the message, 7 its length.
    SM_SEND_DATAGRAM = 7,
    // 4 the datagram (new unsigned char[]), 5 its length, 6 the sender
    // (new sockaddr_in), 7 its length.
    SM_DATAGRAM_ARRIVED = 8,
    // 4 the message (new unsigned char[]), 5 its length, 6 a 13-byte serial
    // buffer (new char[13]), 7 the serial's length (0: every client).
    SM_BROADCAST = 9,
    SM_STOP = 10,
    // 4 the id of a session request waiting for its secure file: look again.
    SM_CHECK_SECURE = 11,
};

class SessionMgr : public OruTask {
  public:
    // Polling the clients.
    static constexpr std::uint64_t kPollDelayMs = 100;
    // The client has 30 x 500 ms to create its secure file.
    static constexpr int kSecureFileTries = 30;
    static constexpr std::uint64_t kSecureFileWaitMs = 500;
    // Session requests waiting for their secure file at once: in all, and
    // from one address.
    static constexpr std::size_t kMaxPendingSessions = 16;
    static constexpr std::size_t kMaxPendingPerPeer = 4;
    // Session answers besides the session id.
    static constexpr std::uint32_t kBadSerialNo = 0;
    static constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;
    // A datagram's serial field and the header a request needs at least.
    static constexpr std::uint32_t kDatagramPrefix = 13;
    static constexpr std::uint32_t kRequestHeader = 20;
    // The one request served by datagram.
    static constexpr std::uint32_t kGrossStatusCode = 46;

    SessionMgr();
    // Ends the task, then the listeners (datagram first), then every client.
    ~SessionMgr() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    // Posts one reply to the session manager `owner` as a send request
    // (SM_SEND_SESSION or SM_SEND_DATAGRAM) for `client`: the bytes go in a
    // block of their own that the session manager frees. 1 posted, 0 when
    // the session manager is ending (the block is freed here then).
    static int PostReply(OruTask* owner, SESSION_MGR_REQUEST code, const void* client,
                         std::uint32_t clientId, const std::vector<unsigned char>& bytes);

    // The device manager, known after set-up.
    ServerManager* DeviceManager() const { return deviceMgr_; }
    // The UDP socket's listener (after set-up), through which datagram
    // replies are sent.
    DatagramEar* GetDatagramEar() const { return datagramEar_.get(); }
    // The rate limit of the warnings about refused requests and failed
    // connections, which the listeners share.
    PeerWarnings& Warnings() { return warnings_; }

  private:
    // A session request waiting for its secure file.
    struct PendingSession {
        int socket = -1;
        bool checkPeer = true;
        std::uint32_t revision = 4;
        std::string serial;
        std::string peerAddress;
        std::string secureFile;
        // When the listener accepted the connection (ms since 1970).
        std::int64_t acceptedWallMs = 0;
        // Looks at the file so far.
        int looks = 0;
    };

    void Setup();
    void AddSession(TaskRequest& request);
    // Looks for the secure file of a waiting request once: authorizes it,
    // refuses it after the last look, else returns false (look again).
    bool LookForSecureFile(PendingSession& pending);
    void CheckSecure(std::uint32_t pendingId);
    // The secure file is there: its owner is read, the file removed, the
    // session answered and, for a known serial, added to the client set.
    void Authorize(const PendingSession& pending);
    void RemoveClient(SessionClient* client, std::uint32_t clientId);
    // Closes a client's session and takes it out of the set; it is freed
    // now, or once the subsystems are done with its messages.
    void Release(SessionClient* client);
    // Reads what the client's session holds, up to one message: a whole
    // message goes to the client's subsystem, a closed session marks the
    // client for removal.
    ServerSession::ReadResult Receive(SessionClient* client, std::uint64_t now);
    // Every place is taken: the clients that have left already are taken
    // out now rather than by their removal request.
    void FreeLeftPlaces(std::uint64_t now);
    void DeleteObject(DatagramClient* client);
    void Poll();
    void SendOnSession(TaskRequest& request);
    void SendDatagram(TaskRequest& request);
    void DatagramArrived(TaskRequest& request);
    void Broadcast(TaskRequest& request);

    // Sends one 32-bit answer word (network order) to a fresh connection,
    // whose socket buffer is empty: one attempt, never a wait.
    static bool SendWord(int socket, std::uint32_t word);
    // Reports the refusal (rate-limited per peer), answers NOT_AUTHORIZED
    // and closes the socket.
    void RefuseUnauthorized(int socket, const std::string& serialText, bool checkPeer,
                            const std::string& peerAddress);
    // Marks a client whose session is closed for removal (once).
    void MarkForRemoval(SessionClient* client);
    // The waker: a thread that watches the session sockets and asks for a
    // pass at once when one has bytes waiting, so a message need not sit
    // out the rest of the 100 ms between passes. Passes still read one
    // message each and still come at most 100 ms apart.
    void StartWaker();
    void StopWaker();
    void WakerLoop();
    // Hands the waker the sockets of the connected sessions, with room to
    // write watched for those whose replies wait (task thread).
    void RefreshWatchSet();
    // Queues the next timed pass; any earlier timed pass becomes stale.
    void ArmPoll();

    ServerManager* deviceMgr_ = nullptr;
    std::unique_ptr<DatagramEar> datagramEar_;
    std::unique_ptr<Ear> ear_;
    ClientSet clientSet_;
    PeerWarnings warnings_;
    std::map<std::uint32_t, PendingSession> pending_;
    std::uint32_t nextPendingId_ = 0;
    // A poll request is queued: a new client needs no second one.
    bool pollPending_ = false;
    // Datagram clients whose message a subsystem still handles.
    std::set<DatagramClient*> datagramClients_;
    // Session clients that left while a subsystem still handled a message
    // of theirs: out of the set, freed by their last message's removal
    // request.
    std::set<SessionClient*> departed_;
    // The timed pass that counts; others still queued are stale.
    std::intptr_t pollGeneration_ = 0;
    std::thread waker_;
    int wakePipe_[2] = {-1, -1};
    std::mutex watchLock_;
    std::condition_variable passDone_;
    std::vector<pollfd> watched_;
    std::uint64_t passes_ = 0;
    bool wakerStop_ = false;
};
