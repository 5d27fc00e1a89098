#include "client/QEN.h"

#include <new>

#include "client/DiskArrayTexts.h"
#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PollMsg.h"
#include "coresys/common/RequestMsgs.h"
#include "platform/Trace.h"

QEN::QEN(unsigned short scan) : list(scan), noScan(scan == 0) {}

QEN::~QEN() {
    // Only this QEN's arrays: another QEN of the process keeps its own.
    DiskArray::CleanUp(this);
    lastDatagramPoll.reset();
}

DiskArray* QEN::Connect(OruSubsystem* subsystem) {
    if (subsystem == nullptr) {
        lastStatus = SESS_CONNECTION_FAILED;
        return nullptr;
    }
    auto session = std::unique_ptr<Session>(new (std::nothrow) Session(kRevision));
    if (session == nullptr) {
        lastStatus = SESS_CONNECTION_FAILED;
        return nullptr;
    }
    session->SetBudgetSeconds(budgetSeconds);
    lastStatus = session->Connect(subsystem);
    if (lastStatus != SESS_SUCCESS) {
        return nullptr;
    }
    auto* array = new (std::nothrow)
        DiskArray(subsystem->ServerName(), subsystem->SerialNumber(), session.get());
    if (array == nullptr) {
        lastStatus = SESS_CONNECTION_FAILED;
        return nullptr;  // the session closes on its way out
    }
    session.release();  // the array owns it now
    array->owner = this;
    return array;
}

void QEN::DisConnect(DiskArray* array) {
    // A second DisConnect of the same array finds it gone and does nothing.
    if (array != nullptr && DiskArray::IsLive(array)) {
        delete array;
    }
}

void QEN::SetBudgetSeconds(int seconds) {
    budgetSeconds = seconds;
    list.SetBudgetSeconds(seconds);
}

ASL_STATUS QEN::ScanforSubsystems(const char* host, unsigned short port, int reset) {
    return list.Update(host, port, reset);
}

ASL_STATUS QEN::Rescan(const char* host, unsigned short port, int reset) {
    return list.Rescan(host, port, reset);
}

void QEN::ClearNameArray() {
    list.ResetMap(nullptr);
}

unsigned short QEN::NameArraySize() const {
    return list.Size();
}

ASL_STATUS QEN::OruListStatus() const {
    return list.GetStatus();
}

void QEN::RequestGrossStatus(OruSubsystem& subsystem) {
    Send_Datagram(subsystem, MC_GrossStatus);
}

void QEN::Send_Datagram(OruSubsystem& subsystem, std::uint32_t code) {
    if (code != MC_GrossStatus) {
        return;
    }
    GrossStatusRequestMsg request;
    unsigned char* bytes = request.EncodeMsg();
    // The list frees the bytes, sent or not.
    list.SendMsg(&subsystem, bytes, request.length);
}

PollMsg* QEN::PollQEN() {
    lastDatagramPoll.reset();
    OruSubsystem* from = nullptr;
    void* body = nullptr;
    unsigned short length = 0;
    if (list.GetMsg(&from, &body, &length) != DATAGRAM_SUCCESS) {
        return nullptr;
    }
    lastDatagramPoll.reset(DatagramHandler(from, static_cast<unsigned char*>(body), length));
    return lastDatagramPoll.get();
}

PollMsg* QEN::DatagramHandler(OruSubsystem* subsystem, unsigned char* bytes,
                              unsigned short length) {
    std::unique_ptr<PollMsg> result;
    ORU_ReturnMsg header;
    const bool headerRead = header.DecodeMsg(bytes, length);
    if (headerRead &&
        (header.code == RMT_ERRORSTATUS_MSG || header.code == RMT_ORUERRORSTATUS_MSG ||
         header.code == RMT_GROSSSTATUS_MSG)) {
        // None of these kinds touches a state: scratch records serve.
        DiskArrayState unusedState;
        OruServerState unusedServer;
        result = PollMsg::FromReply(bytes, length, unusedState, unusedServer, subsystem);
    }
    if (result == nullptr) {
        platform::Trace(DiskArrayTexts::kBadDatagram, headerRead ? header.code : 0u,
                        static_cast<unsigned>(length));
    }
    CodedBuff::FreeData(bytes);
    return result.release();
}
