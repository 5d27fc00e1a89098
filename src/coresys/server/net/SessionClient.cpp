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
    std::uint32_t count = unanswered_.load();
    while (count > 0 && !unanswered_.compare_exchange_weak(count, count - 1)) {
    }
}
