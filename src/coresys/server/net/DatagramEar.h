// The service's UDP listener ("DGEar"). It owns the UDP socket: it answers
// discovery datagrams (first byte 1) with this host's name in exactly 49
// bytes, hands management datagrams (first byte 0: the serial number in
// bytes 1..12, a request from byte 13 on) to the session manager, and sends
// the replies to them. A pass waits up to 100 ms for datagrams to arrive and
// then answers every one that is waiting, up to kDatagramsPerPass, so a
// flood of datagrams delays the others by a moment only.
//
// The port is the services entry "oruUDP" with the entry's port put into
// network order once more (both sides do so), else 34604. A failed send is
// traced and the datagram dropped: a sender can never stop the service.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "coresys/server/task/OruTask.h"

enum DGEAR_REQUEST : std::int32_t {
    DG_INIT = 0,
    DG_LISTEN = 1,
    DG_STOP = 2,
};

class DatagramEar : public OruTask {
  public:
    static constexpr std::size_t kMaxDatagram = 4096;
    static constexpr std::uint64_t kListenDelayMs = 100;
    static constexpr int kDatagramsPerPass = 64;
    static constexpr unsigned char kManagementType = 0;
    static constexpr unsigned char kDiscoveryType = 1;
    static constexpr std::size_t kSerialBytes = 12;
    // Serial field plus a request header: anything shorter is no request.
    static constexpr std::size_t kMinManagement = 13 + 20;

    // owner: the session manager. Set up by request DG_INIT, which the owner
    // sends and waits for.
    explicit DatagramEar(OruTask* owner);
    // Stops the task first (waking a waiting pass at once), then closes the
    // socket.
    ~DatagramEar() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    // Sends a reply datagram (byte 0 = 0, the 12 serial bytes, the message)
    // to destination. message is freed (CodedBuff::FreeData). Failures are
    // traced only. Called on the session manager's thread.
    void SendDG(const sockaddr_in& destination, const char* serial, unsigned char* message,
                std::uint32_t length);

    // The UDP port (host order) the socket is bound to, after set-up.
    std::uint16_t Port() const { return port_; }

  private:
    void InitTask();
    void Listen();
    // Answers or hands on one received datagram.
    void Take(const unsigned char* datagram, std::size_t length, const sockaddr_in& sender,
              socklen_t senderLength);

    OruTask* owner_;
    int socket_ = -1;
    // Written by the destructor to end a waiting pass.
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
};
