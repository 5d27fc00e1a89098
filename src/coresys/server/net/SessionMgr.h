// The session manager task ("SessionMgr"). It owns the two listeners (the
// UDP "DGEar" and the TCP "ForeignEar"), accepts the management sessions the
// TCP listener hands it after proving the client's rights with its secure
// file, keeps the set of connected clients, reads their messages one per
// pass and hands each to the subsystem it addresses, and does every write
// to a client: replies, datagram replies and event broadcasts. Other
// threads never write to a client socket; they post to this task.
//
// Request words are args[0] (argument 1) to args[6] (argument 7); buffers
// handed over in a request belong to this task from then on and are freed
// here whatever happens.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "coresys/server/net/ClientSet.h"
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
    // 16 bits), 4 the 13-byte serial buffer (new unsigned char[]), 5 its length.
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
};

class SessionMgr : public OruTask {
  public:
    // Polling the clients, and waiting for a vanished client's replies.
    static constexpr std::uint64_t kPollDelayMs = 100;
    static constexpr std::uint64_t kRemoveRetryMs = 300000;
    // The client has 30 x 500 ms to create its secure file.
    static constexpr int kSecureFileTries = 30;
    static constexpr std::uint64_t kSecureFileWaitMs = 500;
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

  private:
    void Setup();
    void AddSession(TaskRequest& request);
    void RemoveClient(SessionClient* client, std::uint32_t clientId);
    void DeleteObject(DatagramClient* client);
    void Poll();
    void SendOnSession(TaskRequest& request);
    void SendDatagram(TaskRequest& request);
    void DatagramArrived(TaskRequest& request);
    void Broadcast(TaskRequest& request);

    // Sends one 32-bit answer word (network order) within the session budget.
    static bool SendWord(int socket, std::uint32_t word);
    // Reports the refusal, answers NOT_AUTHORIZED and closes the socket.
    void RefuseUnauthorized(int socket, const std::string& serialText, bool checkPeer,
                            const std::string& peerAddress);
    void FreeClient(SessionClient* client);
    // The waker: a thread that watches the session sockets and asks for a
    // pass at once when one has bytes waiting, so a message need not sit
    // out the rest of the 100 ms between passes. Passes still read one
    // message each and still come at most 100 ms apart.
    void StartWaker();
    void StopWaker();
    void WakerLoop();
    // Hands the waker the sockets of the connected sessions (task thread).
    void RefreshWatchSet();
    // Queues the next timed pass; any earlier timed pass becomes stale.
    void ArmPoll();

    ServerManager* deviceMgr_ = nullptr;
    std::unique_ptr<DatagramEar> datagramEar_;
    std::unique_ptr<Ear> ear_;
    ClientSet clientSet_;
    // A poll request is queued: a new client needs no second one.
    bool pollPending_ = false;
    // Datagram clients whose message a subsystem still handles.
    std::set<DatagramClient*> datagramClients_;
    // The timed pass that counts; others still queued are stale.
    std::intptr_t pollGeneration_ = 0;
    std::thread waker_;
    int wakePipe_[2] = {-1, -1};
    std::mutex watchLock_;
    std::condition_variable passDone_;
    std::vector<int> watched_;
    std::uint64_t passes_ = 0;
    bool wakerStop_ = false;
};
