#include "coresys/server/net/ClientSet.h"

#include "coresys/server/net/SessionClient.h"

int ClientSet::Add(SessionClient* client) {
    if (client == nullptr || count_ >= kMaxClients) {
        return 0;
    }
    clients_[count_++] = client;
    return 1;
}

int ClientSet::Remove(SessionClient* client) {
    for (int i = 0; i < count_; ++i) {
        if (clients_[i] == client) {
            clients_[i] = clients_[count_ - 1];
            clients_[count_ - 1] = nullptr;
            --count_;
            cursor_ = -1;
            return 1;
        }
    }
    return 0;
}

SessionClient* ClientSet::Next() {
    if (count_ == 0) {
        return nullptr;
    }
    cursor_ = (cursor_ + 1) % count_;
    return clients_[cursor_];
}

bool ClientSet::Contains(const SessionClient* client, std::uint32_t clientId) const {
    for (int i = 0; i < count_; ++i) {
        if (clients_[i] == client && clients_[i]->ClientId() == clientId) {
            return true;
        }
    }
    return false;
}
