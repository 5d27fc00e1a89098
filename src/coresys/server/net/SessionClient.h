// One accepted management session: the subsystem it manages, its session,
// the account that proved its rights, and the count of its messages that a
// subsystem accepted and has not finished yet.
//
// Replies travel as session-manager requests (the session manager does every
// write to a client socket); the client itself is owned by the session
// manager, which frees it, with its Session, only once that count is 0, so
// a subsystem never replies to a freed client.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/monitor/ServerClient.h"
#include "coresys/server/net/ServerSession.h"

class OruLite;
class OruTask;

class SessionClient : public ServerClient {
  public:
    // owner: the session manager task the replies are posted to.
    SessionClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                  std::unique_ptr<ServerSession> session, std::string user);
    ~SessionClient() override;

    // Posts the reply to the session manager (send on this session).
    // 0 when the session manager is ending.
    int Reply(std::vector<unsigned char> bytes) override;
    // One accepted message is finished: the unanswered count drops. When
    // that was the last message of a client that has left, the session
    // manager is asked to remove it now. Called on a subsystem's thread.
    void Done() override;
    bool Gone() const override { return RemovalPending(); }

    OruLite* Subsystem() const { return subsystem_; }
    // The subsystem's serial number (12 characters at most).
    const std::string& Serial() const { return serial_; }
    ServerSession* GetSession() const { return session_.get(); }
    const std::string& User() const { return user_; }

    // Messages accepted by the subsystem and not yet done.
    std::uint32_t Unanswered() const { return unanswered_.load() & kCountMask; }
    void CountAccepted() { unanswered_.fetch_add(1); }

    // The client has left (its session is closed) and waits for removal.
    bool RemovalPending() const { return (unanswered_.load() & kLeft) != 0; }
    void MarkRemovalPending() { unanswered_.fetch_or(kLeft); }

  private:
    OruTask* owner_;
    OruLite* subsystem_;
    std::string serial_;
    std::unique_ptr<ServerSession> session_;
    std::string user_;
    // The unanswered count and, in its top bit, the removal-pending mark: one
    // word, so that the subsystem's last Done and the session manager's mark
    // always see each other, whichever comes first.
    static constexpr std::uint32_t kLeft = 0x80000000u;
    static constexpr std::uint32_t kCountMask = ~kLeft;
    std::atomic<std::uint32_t> unanswered_{0};
};
