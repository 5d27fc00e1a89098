// The service's TCP listener ("ForeignEar"). It accepts one connection per
// pass, reads the client's connect word and answers it: a management
// session goes to the session manager with its serial number, a subsystem
// list and a rescan are answered here.
//
// The connect word is big-endian: revision in the high 16 bits, type in
// the low 16 bits (0 session, 1 subsystem list, 2 rescan). Per-connection
// failures close that connection and are recorded as server-software
// events; set-up failures are fatal.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "coresys/server/task/OruTask.h"

class DeviceMgr;

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
    static constexpr int kBacklog = 5;
    static constexpr int kListenWaitMs = 5000;
    static constexpr std::uint64_t kAcceptPauseMs = 100;
    static constexpr std::size_t kSerialSize = 13;
    static constexpr std::size_t kReleaseSize = 8;
    static constexpr std::size_t kDeviceAddrSize = 152;
    static constexpr std::size_t kSecurePathSize = 261;
    static constexpr std::uint32_t kSecureMethodLocal = 0;
    static constexpr std::uint32_t kSecureMethodShare = 4;

    // owner: the session manager; family: 2 (Internet); checkPeer: 1 to
    // tell local from remote clients. Set up by request EAR_INIT, which the
    // owner sends and waits for.
    Ear(OruTask* owner, int family, int checkPeer, const char* name);
    // Stops the task (waking a waiting pass at once), then closes the socket.
    ~Ear() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    // The TCP port (host order) the listener is bound to, after set-up.
    std::uint16_t Port() const { return port_; }

  private:
    void InitTask();
    void Listen();
    void ServeConnection(int socket);
    void SendSSList(int socket, std::uint32_t revision);
    void SendRescan(int socket);

    OruTask* owner_;
    int family_;
    int checkPeer_;
    int listenSocket_ = -1;
    // Written by the destructor to end a waiting pass.
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    char hostName_[49] = {};
};
