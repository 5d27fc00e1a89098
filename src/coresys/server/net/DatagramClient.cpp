#include "coresys/server/net/DatagramClient.h"

#include <cstring>

#include "coresys/common/CodedBuff.h"
#include "coresys/server/net/SessionMgr.h"
#include "coresys/server/task/OruTask.h"

DatagramClient::DatagramClient(OruTask* owner, OruLite* subsystem, const std::string& serial,
                               const sockaddr_in& sender)
    : owner_(owner), subsystem_(subsystem), serial_(serial), sender_(sender) {}

DatagramClient::~DatagramClient() = default;

int DatagramClient::Reply(std::vector<unsigned char> bytes) {
    auto* block = new unsigned char[bytes.empty() ? 1 : bytes.size()];
    if (!bytes.empty()) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    TaskRequest send;
    send.code = SM_SEND_DATAGRAM;
    send.args[3] = reinterpret_cast<std::intptr_t>(this);
    send.args[5] = reinterpret_cast<std::intptr_t>(block);
    send.args[6] = static_cast<std::intptr_t>(bytes.size());
    if (owner_->SendRequest(send) != 0) {
        CodedBuff::FreeData(block);
        return 0;
    }
    return 1;
}

void DatagramClient::Done() {
    // Posted after every reply of the message, so the deletion runs after
    // the last send.
    TaskRequest remove;
    remove.code = SM_DELETE_OBJECT;
    remove.args[3] = reinterpret_cast<std::intptr_t>(this);
    owner_->SendRequest(remove);
}
