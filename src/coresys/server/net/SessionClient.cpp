#include "coresys/server/net/SessionClient.h"

#include <cstring>
#include <utility>

#include "coresys/common/CodedBuff.h"
#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/OruTask.h"

SessionClient::SessionClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                             std::unique_ptr<Session> session, std::string user)
    : owner_(owner),
      subsystem_(subsystem),
      serial_(serial),
      session_(std::move(session)),
      user_(std::move(user)) {}

SessionClient::~SessionClient() = default;

int SessionClient::Reply(std::vector<unsigned char> bytes) {
    // The session sends blocks as the coders allocate them.
    auto* block = new unsigned char[bytes.empty() ? 1 : bytes.size()];
    if (!bytes.empty()) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    TaskRequest send;
    send.code = SM_SEND_SESSION;
    send.args[3] = reinterpret_cast<std::intptr_t>(this);
    send.args[4] = static_cast<std::intptr_t>(ClientId());
    send.args[5] = reinterpret_cast<std::intptr_t>(block);
    send.args[6] = static_cast<std::intptr_t>(bytes.size());
    if (owner_->SendRequest(send) != 0) {
        CodedBuff::FreeData(block);
        return 0;
    }
    return 1;
}

void SessionClient::Done() {
    std::uint32_t count = unanswered_.load();
    while (count > 0 && !unanswered_.compare_exchange_weak(count, count - 1)) {
    }
}
