// The session manager's set of connected management clients: at most 20,
// visited round robin by the poll. Used only on the session manager's
// thread, so it needs no lock.
#pragma once

#include <cstdint>

class SessionClient;

class ClientSet {
  public:
    static constexpr int kMaxClients = 20;

    ClientSet() = default;
    ClientSet(const ClientSet&) = delete;
    ClientSet& operator=(const ClientSet&) = delete;

    // Adds a client: 1, or 0 when the set is full (the 21st client).
    int Add(SessionClient* client);
    // Takes a client out: the last entry moves into its place and the
    // cursor goes back to the first. 1 when it was in the set.
    int Remove(SessionClient* client);
    // Advances the cursor and returns that client, wrapping to the first
    // after the last; nullptr for an empty set.
    SessionClient* Next();
    // True when this very client (pointer and client id) is in the set: a
    // reply queued for a client that was removed meanwhile finds it gone.
    bool Contains(const SessionClient* client, std::uint32_t clientId) const;

    int Count() const { return count_; }
    // Entry i (0 <= i < Count()).
    SessionClient* At(int i) const { return clients_[i]; }

  private:
    SessionClient* clients_[kMaxClients] = {};
    int count_ = 0;
    // Index of the client Next returned last; -1 before the first.
    int cursor_ = -1;
};
