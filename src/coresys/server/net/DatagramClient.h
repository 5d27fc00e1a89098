// The sender of one management datagram: replies to its message go back by
// datagram to the sender's address. It lives from the datagram's arrival
// until the subsystem reports the message done, when the session manager
// deletes it.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "coresys/server/monitor/ServerClient.h"

class OruLite;
class OruTask;

class DatagramClient : public ServerClient {
  public:
    // serial: the 12 serial bytes of the datagram, sent back in each reply.
    DatagramClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                   const sockaddr_in& sender);
    ~DatagramClient() override;

    // Posts the reply to the session manager (send by datagram).
    int Reply(std::vector<unsigned char> bytes) override;
    // Posts the deletion of this client to the session manager.
    void Done() override;

    OruLite* Subsystem() const { return subsystem_; }
    const std::string& Serial() const { return serial_; }
    const sockaddr_in& Sender() const { return sender_; }

  private:
    OruTask* owner_;
    OruLite* subsystem_;
    std::string serial_;
    // The client's own copy: the datagram's address record is freed as soon
    // as the message has been handed on.
    sockaddr_in sender_;
};
