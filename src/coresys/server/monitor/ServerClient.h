// A party that sent a message to a subsystem and receives its replies: a
// management session or the sender of a datagram. The session manager owns
// every client and derives its own kinds from this class; a subsystem
// monitor only replies through it and tells it when a message is done.
//
// Lifetime: the session manager keeps a client alive while any message it
// handed to a monitor (OruLite::SubmitMessage returned 1) has not yet been
// reported done. Done runs exactly once for every accepted message, on the
// subsystem's task thread, also when the message was dropped (its subsystem
// vanished in a rescan, or the service is stopping).
#pragma once

#include <cstdint>
#include <vector>

class ServerClient {
  public:
    ServerClient();
    virtual ~ServerClient();
    ServerClient(const ServerClient&) = delete;
    ServerClient& operator=(const ServerClient&) = delete;

    // Hands one encoded reply to the client, which owns the bytes from then
    // on (also when it cannot send them). Returns 1 when the reply was
    // accepted for sending, 0 when the client is gone. Any thread may call
    // it; it must not block on subsystem work.
    virtual int Reply(std::vector<unsigned char> bytes) = 0;
    // The handling of one accepted message has ended.
    virtual void Done() = 0;
    // The client's connection has ended: its replies go nowhere. Any thread
    // may ask.
    virtual bool Gone() const { return false; }

    // Number of this client: unique in the process, rising by one per client.
    std::uint32_t ClientId() const { return clientId_; }

  private:
    std::uint32_t clientId_;
};
