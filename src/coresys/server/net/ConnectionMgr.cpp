#include "coresys/server/net/ConnectionMgr.h"

#include <cstring>

#include "coresys/common/CodedBuff.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/net/ServerEventHook.h"

ConnectionMgr::~ConnectionMgr() {
    live_.store(nullptr);
    sessionMgr_.reset();
}

void ConnectionMgr::Init() {
    sessionMgr_ = std::make_unique<SessionMgr>();
    TaskRequest setup;
    setup.code = SM_SETUP;
    sessionMgr_->Request(setup);
    live_.store(sessionMgr_.get());
    if (auto* deviceMgr = dynamic_cast<DeviceMgr*>(GetManager(DEVICE_MANAGER))) {
        deviceMgr->SetRescanListener([] { SendConfigurationChanged(); });
    }
}

void ConnectionMgr::BeginShutdown() {
    live_.store(nullptr);
    sessionMgr_.reset();
}

int ConnectionMgr::Broadcast(unsigned char* message, std::uint32_t length, const char* serial) {
    SessionMgr* sessionMgr = live_.load();
    if (sessionMgr == nullptr) {
        CodedBuff::FreeData(message);
        return 0;
    }
    auto* serialCopy = new char[13]();
    std::size_t serialLength = 0;
    if (serial != nullptr) {
        serialLength = ::strnlen(serial, 12);
        std::memcpy(serialCopy, serial, serialLength);
    }
    TaskRequest broadcast;
    broadcast.code = SM_BROADCAST;
    broadcast.args[3] = reinterpret_cast<std::intptr_t>(message);
    broadcast.args[4] = static_cast<std::intptr_t>(length);
    broadcast.args[5] = reinterpret_cast<std::intptr_t>(serialCopy);
    broadcast.args[6] = static_cast<std::intptr_t>(serialLength);
    if (sessionMgr->SendRequest(broadcast) != 0) {
        CodedBuff::FreeData(message);
        delete[] serialCopy;
        return 0;
    }
    return 1;
}
