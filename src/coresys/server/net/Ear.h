// The service's TCP listener ("ForeignEar"). It accepts connections, reads
// each client's connect word and answers it: a management session goes to
// the session manager with its serial number, a subsystem list and a rescan
// are answered here.
//
// No client can hold it up. Each pass waits (at most 5 s) for the listening
// socket and every open connection together, accepts all connections that
// are waiting, and serves each connection as far as its bytes allow: the
// connect word and the serial must come within kConnectReadMs of the
// accept, a list or rescan answer is written as the client takes it, within
// the session budget. A connection that misses its deadline is closed
// alone. At most kMaxConnections connections are served at once. A new
// connection is served as soon as it is accepted, so one that has hung up
// already takes no place. When one address holds kMaxConnectionsPerPeer
// connections that have not yet sent their connect word (and serial), a new
// one from it makes the oldest of them give way, once that one has been
// silent for kSilentGivesWayMs. When every place is taken, a new connection
// is still accepted: the oldest unidentified connection of the address that
// holds the most gives way to it, whatever its age, so one address never
// keeps another address's clients waiting.
//
// The connect word is big-endian: revision in the high 16 bits, type in
// the low 16 bits (0 session, 1 subsystem list, 2 rescan). Per-connection
// failures close that connection and are recorded as server-software
// events, rate-limited per peer address (PeerWarnings); set-up failures are
// fatal.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "coresys/server/task/OruTask.h"

class DeviceMgr;
class PeerWarnings;

enum EAR_REQUEST : std::int32_t {
    EAR_INIT = 0,
    EAR_LISTEN = 1,
    // 3 the accepted socket, 4 the client's revision.
    EAR_SEND_SSLIST = 2,
    EAR_RESCAN = 3,
    EAR_STOP = 4,
};

class Ear : public OruTask {
  public:
    static constexpr std::uint32_t kConnectSession = 0;
    static constexpr std::uint32_t kConnectSsList = 1;
    static constexpr std::uint32_t kConnectRescan = 2;
    static constexpr std::uint32_t kRefusedType = 9999;
    static constexpr std::uint32_t kCurrentRevision = 4;
    // The listen backlog: the system's maximum (the kernel caps a larger
    // value at net.core.somaxconn).
    static constexpr int kBacklog = 0x7FFFFFFF;
    static constexpr int kListenWaitMs = 5000;
    static constexpr std::uint64_t kAcceptPauseMs = 100;
    // The connect word and the serial must arrive this soon after the accept
    // (real milliseconds: a client sends them at once).
    static constexpr std::uint64_t kConnectReadMs = 5000;
    static constexpr std::size_t kMaxConnections = 256;
    static constexpr std::size_t kMaxConnectionsPerPeer = 16;
    // How long an unidentified connection keeps its place against newer
    // ones from its address (real milliseconds; longer than the pause of a
    // client that proves its rights remotely).
    static constexpr std::uint64_t kSilentGivesWayMs = 2000;
    // Connections accepted in one pass at most.
    static constexpr int kAcceptsPerPass = 64;
    static constexpr std::size_t kSerialSize = 13;
    static constexpr std::size_t kReleaseSize = 8;
    static constexpr std::size_t kDeviceAddrSize = 152;
    static constexpr std::size_t kSecurePathSize = 261;
    static constexpr std::uint32_t kSecureMethodLocal = 0;
    static constexpr std::uint32_t kSecureMethodShare = 4;

    // owner: the session manager; family: 2 (Internet); checkPeer: 1 to
    // tell local from remote clients; warnings: the rate limit of the
    // per-connection failure events (none: every one is raised). Set up by
    // request EAR_INIT, which the owner sends and waits for.
    Ear(OruTask* owner, int family, int checkPeer, const char* name,
        PeerWarnings* warnings = nullptr);
    // Stops the task (waking a waiting pass at once), then closes the socket.
    ~Ear() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    // The TCP port (host order) the listener is bound to, after set-up.
    std::uint16_t Port() const { return port_; }

  private:
    // One accepted connection being served.
    struct Connection {
        enum class Phase {
            WORD,    // reading the connect word
            SERIAL,  // reading a session request's serial number
            QUEUED,  // its answer is being prepared (requests 2 and 3)
            ANSWER,  // writing the list or rescan answer
        };
        int socket = -1;
        std::string peer;  // dotted address
        Phase phase = Phase::WORD;
        std::uint64_t deadline = 0;    // monotonic ms
        std::uint64_t acceptedMs = 0;  // monotonic ms
        std::int64_t acceptedWallMs = 0;
        unsigned char in[4 + kSerialSize] = {};
        std::size_t have = 0;
        std::uint32_t revision = 0;
        std::vector<unsigned char> out;
        std::size_t sent = 0;
        // Where each part of a list answer ends, for the failed-send events.
        std::vector<std::size_t> partEnds;
        std::vector<std::uint32_t> partSteps;
        bool list = false;
    };

    void InitTask();
    void Listen();
    void AcceptWaiting(std::uint64_t now);
    // Still open and waiting for its connect word or serial.
    static bool Unidentified(const Connection& connection);
    // Closes the oldest unidentified connection of peer when it has
    // kMaxConnectionsPerPeer of them and that one has been silent long enough.
    void MakeRoomFor(const std::string& peer, std::uint64_t now);
    // More connections are open than there are places: the oldest
    // unidentified connection of the address that holds the most closes.
    void GiveWayToNewcomer();
    // Connections still open (entries closed in this pass are not yet gone).
    std::size_t OpenCount() const;
    // A new connection can be taken: a place is free, or an unidentified
    // connection can give way.
    bool HasRoom() const;
    // Serves a connection as far as its bytes allow; false when it is done
    // (answered, handed on or closed).
    bool Serve(Connection& connection);
    // The connect word (and serial) are whole: hands the connection on.
    // False when it is done here.
    bool Dispatched(Connection& connection);
    // A deadline passed: the failure is recorded and the connection closed.
    void Expire(Connection& connection);
    void SendSSList(int socket, std::uint32_t revision);
    void SendRescan(int socket);
    // The answer is in connection.out: written from now on, within the
    // session budget.
    void StartAnswer(Connection& connection);
    Connection* Find(int socket);
    // Closes a connection and takes it out of the list.
    void Forget(Connection& connection);
    // Raises the failure event of a connection, rate-limited per peer.
    void Fail(const std::string& peer, std::uint32_t step);
    void Close(Connection& connection);

    OruTask* owner_;
    int family_;
    int checkPeer_;
    PeerWarnings* warnings_;
    int listenSocket_ = -1;
    std::vector<Connection> connections_;
    // Written by the destructor to end a waiting pass.
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    char hostName_[49] = {};
};
