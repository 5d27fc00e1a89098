#include "coresys/server/net/ConnectionMgr.h"

ConnectionMgr::~ConnectionMgr() {
    sessionMgr_.reset();
}

void ConnectionMgr::Init() {
    sessionMgr_ = std::make_unique<SessionMgr>();
    TaskRequest setup;
    setup.code = SM_SETUP;
    sessionMgr_->Request(setup);
}

void ConnectionMgr::BeginShutdown() {
    sessionMgr_.reset();
}
