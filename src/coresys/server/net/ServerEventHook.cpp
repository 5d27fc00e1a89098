#include "coresys/server/net/ServerEventHook.h"

#include <atomic>

#include "coresys/common/Event.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/net/ConnectionMgr.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Trace.h"

namespace {

std::atomic<ServerEventRaiser> g_raiser{nullptr};

// One event without a state piece, to every revision-4 session.
void SendEvent(Event* event) {
    Event_RtnMsg reply;
    reply.events.Append(event);
    unsigned char* bytes = reply.EncodeMsg();
    auto* connections = dynamic_cast<ConnectionMgr*>(GetManager(CONNECTION_MANAGER));
    if (connections == nullptr) {
        platform::Trace("Unable to find Connection Manager\n");
        CodedBuff::FreeData(bytes);
        return;
    }
    connections->Broadcast(bytes, reply.length, nullptr);
}

}  // namespace

void SetServerEventRaiser(ServerEventRaiser raiser) {
    g_raiser.store(raiser);
}

void RaiseServerEvent(std::uint32_t value) {
    platform::Trace("RaiseServerEvent - connection step %u failed\n", value);
    ServerEventRaiser raiser = g_raiser.load();
    if (raiser != nullptr) {
        raiser(value);
        return;
    }
    SendEvent(new Event(SSW, SSW_SERVER_SOFTWARE, 3, value));
}

void SendConfigurationChanged() {
    SendEvent(new Event(SSW, SSW_CONFIGURATION_CHANGED, 0, 0));
}
