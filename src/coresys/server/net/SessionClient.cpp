#include "coresys/server/net/SessionClient.h"

#include <utility>

#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/OruTask.h"

SessionClient::SessionClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                             std::unique_ptr<ServerSession> session, std::string user)
    : owner_(owner),
      subsystem_(subsystem),
      serial_(serial),
      session_(std::move(session)),
      user_(std::move(user)) {}

SessionClient::~SessionClient() = default;

int SessionClient::Reply(std::vector<unsigned char> bytes) {
    return SessionMgr::PostReply(owner_, SM_SEND_SESSION, this, ClientId(), bytes);
}

void SessionClient::Done() {
    // Once the count is down the session manager may free this client at
    // any moment: what the removal request needs is taken first.
    OruTask* owner = owner_;
    const std::uint32_t clientId = ClientId();
    std::uint32_t value = unanswered_.load();
    while ((value & kCountMask) > 0 && !unanswered_.compare_exchange_weak(value, value - 1)) {
    }
    if (value == (kLeft | 1)) {
        // The client left while this, its last message, was worked on: its
        // place is freed now rather than at the removal's late retry. A
        // client already gone by then is not found, so a second removal
        // request is harmless.
        TaskRequest remove;
        remove.code = SM_REMOVE_CLIENT;
        remove.args[3] = reinterpret_cast<std::intptr_t>(this);
        remove.args[4] = static_cast<std::intptr_t>(clientId);
        owner->SendRequest(remove);
    }
}
