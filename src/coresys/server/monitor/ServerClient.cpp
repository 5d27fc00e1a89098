#include "coresys/server/monitor/ServerClient.h"

#include <atomic>

namespace {

std::atomic<std::uint32_t> g_nextClientId{1};

}  // namespace

ServerClient::ServerClient() : clientId_(g_nextClientId.fetch_add(1)) {}

ServerClient::~ServerClient() = default;
