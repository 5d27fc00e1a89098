#include "coresys/server/net/DatagramClient.h"

#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/OruTask.h"

DatagramClient::DatagramClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                               const sockaddr_in& sender)
    : owner_(owner), subsystem_(subsystem), serial_(serial), sender_(sender) {}

DatagramClient::~DatagramClient() = default;

int DatagramClient::Reply(std::vector<unsigned char> bytes) {
    return SessionMgr::PostReply(owner_, SM_SEND_DATAGRAM, this, 0, bytes);
}

void DatagramClient::Done() {
    // Posted after every reply of the message, so the deletion runs after
    // the last send.
    TaskRequest remove;
    remove.code = SM_DELETE_OBJECT;
    remove.args[3] = reinterpret_cast<std::intptr_t>(this);
    owner_->SendRequest(remove);
}
