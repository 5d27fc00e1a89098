#include "client/DiskArray.h"

#include <cstring>
#include <new>
#include <vector>

#include "client/DiskArrayTexts.h"
#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/PollMsg.h"
#include "coresys/common/RequestMsgs.h"
#include "platform/Trace.h"

std::mutex DiskArray::listLock;
DiskArray* DiskArray::diskarrays = nullptr;

namespace {

// Copies at most chars characters of text into a field of chars + 1 bytes,
// always terminated (a null text leaves the field empty).
void CopyField(char* field, std::size_t chars, const char* text) {
    std::memset(field, 0, chars + 1);
    if (text != nullptr) {
        std::strncpy(field, text, chars);
    }
}

// An int argument travels as its 32-bit two's complement.
std::uint32_t Word(int value) {
    return static_cast<std::uint32_t>(value);
}

// The reply kinds that travel on a session.
bool SessionKind(std::uint32_t kind) {
    switch (kind) {
        case RMT_OKSTATUS_MSG:
        case RMT_ERRORSTATUS_MSG:
        case RMT_EVENT_MSG:
        case RMT_STATE_MSG:
        case RMT_VALUESTATUS_MSG:
        case RMT_PERFMETRICS_MSG:
        case RMT_PERFRECS_MSG:
        case RMT_BUFFER_MSG:
        case RMT_ORUERRORSTATUS_MSG:
            return true;
        default:
            return false;
    }
}

}  // namespace

DiskArray::DiskArray(const char* serverName, const char* serialNumber, Session* ownSession)
    : session(ownSession),
      handle(0, ownSession != nullptr ? ownSession->SessionID() : 0),
      state(std::make_unique<DiskArrayState>()),
      serverState(std::make_unique<OruServerState>()) {
    static_assert(sizeof(DiskArrayState::serverName) == kServerNameChars + 1);
    static_assert(sizeof(DiskArrayState::serialNumber) == kSerialChars + 1);
    CopyField(state->serverName, kServerNameChars, serverName);
    // The serial field holds 12 characters and its terminator: a longer text
    // is cut so that the field always ends.
    CopyField(state->serialNumber, kSerialChars, serialNumber);
    Register();
}

DiskArray::~DiskArray() {
    Unregister();
    // The session's destructor says goodbye to the service and closes.
    session.reset();
    lastPoll.reset();
}

// ---------------------------------------------------------------------------
// Sending

CommandHandle DiskArray::Send(ORU_Message& message) {
    unsigned char* bytes = message.EncodeMsg();
    const std::uint32_t length = message.length;
    if (session == nullptr) {
        CodedBuff::FreeData(bytes);
        messageStatus = SESS_CONNECTION_UNINITIALIZED;
    } else {
        // The session frees the bytes, sent or not.
        messageStatus = session->SendMsg(bytes, length);
    }
    // A request that never left gets a handle no reply can carry: the
    // service never hands out session id 0.
    return messageStatus == SESS_SUCCESS ? handle : CommandHandle(0, 0);
}

CommandHandle DiskArray::SendHeaderandValueMsg(std::uint32_t code, std::uint32_t version,
                                               std::uint32_t v1, std::uint32_t v2, std::uint32_t v3,
                                               std::uint32_t v4) {
    ++handle.sequence;
    HeaderandValueMsg message(HeaderandValueMsg::kWireLength, code, version, handle, v1, v2, v3,
                              v4);
    return Send(message);
}

CommandHandle DiskArray::SendHeaderandStringMsg(std::uint32_t code, std::uint32_t version,
                                                std::uint32_t v1, std::uint32_t v2,
                                                const char* text, std::uint32_t length) {
    ++handle.sequence;
    HeaderandStringMsg message(32 + length, code, version, handle, v1, v2, text, length);
    return Send(message);
}

CommandHandle DiskArray::SendHeaderandPerfArrayMsg(std::uint32_t code, std::uint32_t version,
                                                   std::uint32_t v1, std::uint32_t v2,
                                                   std::uint32_t v3, std::uint32_t count,
                                                   const PERF_METRIC* ids) {
    ++handle.sequence;
    // Without identifiers nothing can be asked for: the count goes out as 0.
    std::vector<std::uint32_t> words;
    if (ids != nullptr) {
        words.assign(ids, ids + count);
    }
    const auto n = static_cast<std::uint32_t>(words.size());
    HeaderandPerfArrayMsg message(HeaderandValueMsg::kWireLength + 4 * n, code, version, handle, v1,
                                  v2, v3, n, words.data());
    return Send(message);
}

// ---------------------------------------------------------------------------
// The requests

CommandHandle DiskArray::GetState() {
    return SendHeaderandValueMsg(MC_GetState, kRequestVersion);
}

CommandHandle DiskArray::RetryLogAfterError() {
    return SendHeaderandValueMsg(MC_RetryLogAfterError, kRequestVersion);
}

CommandHandle DiskArray::FormatSubsystem(int pattern) {
    return SendHeaderandValueMsg(MC_FormatSubsystem, kRequestVersion, Word(pattern));
}

CommandHandle DiskArray::ShutdownSubsystem() {
    return SendHeaderandValueMsg(MC_ShutdownSubsystem, kRequestVersion);
}

CommandHandle DiskArray::StartRebuildOperation() {
    return SendHeaderandValueMsg(MC_StartRebuildOperation, kRequestVersion);
}

CommandHandle DiskArray::StopRebuildOperation() {
    return SendHeaderandValueMsg(MC_StopRebuildOperation, kRequestVersion);
}

CommandHandle DiskArray::Set_Linkage(std::uint32_t linkage) {
    return SendHeaderandValueMsg(MC_Set_Linkage, kRequestVersion, linkage);
}

CommandHandle DiskArray::Set_ControllerAddress(std::uint32_t controller, std::uint32_t scsiId) {
    return SendHeaderandValueMsg(MC_Set_ControllerAddress, kRequestVersion, controller, scsiId);
}

CommandHandle DiskArray::CreateLUN(std::uint32_t lun, std::uint32_t capacity) {
    return SendHeaderandValueMsg(MC_CreateLUN, kRequestVersion, lun, capacity);
}

CommandHandle DiskArray::DeleteLUN(std::uint32_t lun) {
    return SendHeaderandValueMsg(MC_DeleteLUN, kRequestVersion, lun);
}

CommandHandle DiskArray::RenumberLUN(std::uint32_t lun, std::uint32_t newLun) {
    return SendHeaderandValueMsg(MC_RenumberLUN, kRequestVersion, lun, newLun);
}

CommandHandle DiskArray::FormatLUN(std::uint32_t lun, int pattern) {
    return SendHeaderandValueMsg(MC_FormatLUN, kRequestVersion, lun, Word(pattern));
}

CommandHandle DiskArray::AddPhysicalDrive(std::uint32_t drive) {
    return SendHeaderandValueMsg(MC_AddPhysicalDrive, kRequestVersion, drive);
}

CommandHandle DiskArray::DownPhysicalDrive(std::uint32_t drive, DOWN_TYPE allowance, int value) {
    return SendHeaderandValueMsg(MC_DownPhysicalDrive, kRequestVersion, drive, allowance,
                                 Word(value));
}

CommandHandle DiskArray::TestAlarmMessage() {
    return SendHeaderandValueMsg(MC_TestAlarmMessage, kRequestVersion);
}

CommandHandle DiskArray::ConfigureDefaultScsiSettings() {
    return SendHeaderandValueMsg(MC_ConfigureDefaultScsiSettings, kRequestVersion);
}

CommandHandle DiskArray::SetPrimaryController(std::uint32_t controller) {
    return SendHeaderandValueMsg(MC_SetPrimaryController, kRequestVersion, controller);
}

CommandHandle DiskArray::Set_RebuildPriority(int priority) {
    return SendHeaderandValueMsg(MC_Set_RebuildPriority, kRequestVersion, Word(priority));
}

CommandHandle DiskArray::Set_AutoInclude(int on) {
    return SendHeaderandValueMsg(MC_Set_AutoInclude, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_AutoRebuild(int on) {
    return SendHeaderandValueMsg(MC_Set_AutoRebuild, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_ReadCacheEnable(int on) {
    return SendHeaderandValueMsg(MC_Set_ReadCacheEnable, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_WriteCacheEnable(int on) {
    return SendHeaderandValueMsg(MC_Set_WriteCacheEnable, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_Parity(int on) {
    return SendHeaderandValueMsg(MC_Set_Parity, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_SDTR(int on) {
    return SendHeaderandValueMsg(MC_Set_SDTR, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_WTDR(int on) {
    return SendHeaderandValueMsg(MC_Set_WTDR, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_TerminatorPower(int on) {
    return SendHeaderandValueMsg(MC_Set_TerminatorPower, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_HotSpare(int on) {
    return SendHeaderandValueMsg(MC_Set_HotSpare, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_CapacityThreshold(std::uint32_t threshold) {
    return SendHeaderandValueMsg(MC_Set_CapacityThreshold, kRequestVersion, threshold);
}

CommandHandle DiskArray::VerifyPhysicalDrive(std::uint32_t drive, std::uint32_t percent) {
    // value3 is the service's own continuation mark: a client always sends 0.
    return SendHeaderandValueMsg(MC_VerifyPhysicalDrive, kRequestVersion, drive, percent, 0);
}

CommandHandle DiskArray::TestPhysicalDrive(std::uint32_t drive, std::uint32_t percent) {
    return SendHeaderandValueMsg(MC_TestPhysicalDrive, kRequestVersion, drive, percent, 0);
}

CommandHandle DiskArray::Cancel_Command(CommandHandle request) {
    return SendHeaderandValueMsg(MC_Cancel_Command, kRequestVersion, request.sequence,
                                 request.sessionID);
}

CommandHandle DiskArray::Do_Prevention_Check() {
    return SendHeaderandValueMsg(MC_Do_Prevention_Check, kRequestVersion);
}

CommandHandle DiskArray::RestartSubsystem() {
    return SendHeaderandValueMsg(MC_RestartSubsystem, kRequestVersion);
}

CommandHandle DiskArray::ResetSubsystem() {
    return SendHeaderandValueMsg(MC_ResetSubsystem, kRequestVersion);
}

CommandHandle DiskArray::ReadControllerLog(std::uint32_t size, std::uint32_t logType, int clear) {
    return SendHeaderandValueMsg(MC_ReadControllerLog, kRequestVersion, size, logType, Word(clear));
}

CommandHandle DiskArray::RecordDiagInfo(std::uint32_t drive, std::uint32_t page,
                                        std::uint32_t size) {
    return SendHeaderandValueMsg(MC_RecordDiagInfo, kRequestVersion, drive, page, size);
}

CommandHandle DiskArray::ReadDefectData(std::uint32_t drive, std::uint32_t size) {
    return SendHeaderandValueMsg(MC_ReadDefectData, kRequestVersion, drive, size);
}

CommandHandle DiskArray::ResetPhysicalDrive(std::uint32_t drive) {
    return SendHeaderandValueMsg(MC_ResetPhysicalDrive, kRequestVersion, drive);
}

CommandHandle DiskArray::Set_FormatPatternFill(int on) {
    return SendHeaderandValueMsg(MC_Set_FormatPatternFill, kRequestVersion, Word(on));
}

CommandHandle DiskArray::CompareAndSwap() {
    return SendHeaderandValueMsg(MC_CompareAndSwap, kRequestVersion);
}

CommandHandle DiskArray::FlushServerLog() {
    return SendHeaderandValueMsg(MC_FlushServerLog, kRequestVersion);
}

CommandHandle DiskArray::Set_DisableRemoteReset(int on) {
    return SendHeaderandValueMsg(MC_Set_DisableRemoteReset, kRequestVersion, Word(on));
}

CommandHandle DiskArray::GetPerfMetrics(std::uint32_t start, std::uint32_t end, std::uint32_t slots,
                                        std::uint32_t count, const PERF_METRIC* ids) {
    return SendHeaderandPerfArrayMsg(MC_GetPerfMetrics, kRequestVersion, start, end, slots, count,
                                     ids);
}

CommandHandle DiskArray::GetPerfRecs(std::uint32_t start, std::uint32_t end) {
    return SendHeaderandValueMsg(MC_GetPerfRecs, kRequestVersion, start, end);
}

CommandHandle DiskArray::ClearDiagInfo(std::uint32_t drive, std::uint32_t page) {
    return SendHeaderandValueMsg(MC_ClearDiagInfo, kRequestVersion, drive, page, 0);
}

CommandHandle DiskArray::ClearDiagResults() {
    return SendHeaderandValueMsg(MC_ClearDiagResults, kRequestVersion);
}

CommandHandle DiskArray::Set_QueueFullThreshold(std::uint32_t threshold) {
    return SendHeaderandValueMsg(MC_Set_QueueFullThreshold, kRequestVersion, threshold);
}

CommandHandle DiskArray::Set_SinglePathFailover(int on) {
    return SendHeaderandValueMsg(MC_Set_SinglePathFailover, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_VeryEarlyBusy(int on) {
    return SendHeaderandValueMsg(MC_Set_VeryEarlyBusy, kRequestVersion, Word(on));
}

CommandHandle DiskArray::Set_CreateLunLimit(std::uint32_t limit) {
    return SendHeaderandValueMsg(MC_Set_CreateLunLimit, kRequestVersion, limit);
}

CommandHandle DiskArray::SetResiliencyParameters(int singleController, PERF_GOAL goal) {
    return SendHeaderandValueMsg(MC_SetResiliencyParameters, kRequestVersion,
                                 Word(singleController), goal);
}

CommandHandle DiskArray::SetAliasName(const char* alias) {
    const std::size_t length = alias != nullptr ? std::strlen(alias) : 0;
    return SendHeaderandStringMsg(MC_SetAliasName, kRequestVersion, 0, 0, alias,
                                  static_cast<std::uint32_t>(length));
}

// ---------------------------------------------------------------------------
// Polling

PollMsg* DiskArray::PollQEN() {
    lastPoll.reset();
    void* body = nullptr;
    unsigned long length = 0;
    messageStatus =
        session != nullptr ? session->GetMsg(&body, &length) : SESS_CONNECTION_UNINITIALIZED;
    switch (messageStatus) {
        case SESS_SUCCESS:
            lastPoll.reset(ServerMessageHandler(static_cast<unsigned char*>(body), length));
            break;
        case SESS_CONNECTION_DOWN:
        case SESS_CONNECTION_UNINITIALIZED: {
            // Every wait loop ends on this result, so it must never pass for
            // a reply: no kind, status 6, and a handle no request carries.
            auto lost = std::make_unique<PollMsg>();
            lost->kind = RMT_INVALID;
            lost->status = SESS_CONNECTION_UNINITIALIZED;
            lost->handle = CommandHandle(0, kLostSessionWord);
            lastPoll = std::move(lost);
            break;
        }
        default:
            break;  // nothing waiting
    }
    return lastPoll.get();
}

bool DiskArray::WaitForReply(unsigned long milliseconds) const {
    return session != nullptr && session->WaitForMessage(milliseconds);
}

int DiskArray::ReplySocket() const {
    return session != nullptr && session->State() != 0 ? session->Socket() : -1;
}

PollMsg* DiskArray::ServerMessageHandler(unsigned char* bytes, unsigned long length) {
    std::unique_ptr<PollMsg> result;
    ORU_ReturnMsg header;
    const bool headerRead =
        length <= 0xFFFFFFFFul && header.DecodeMsg(bytes, static_cast<std::uint32_t>(length));
    if (headerRead && SessionKind(header.code)) {
        const auto size = static_cast<std::uint32_t>(length);
        if (header.code == RMT_EVENT_MSG) {
            // Events are applied to copies: a reply that breaks off half way
            // leaves the state as it was instead of partly changed. The
            // copies are then moved in, so the state pointers stay the same.
            DiskArrayState nextState = *state;
            OruServerState nextServer = *serverState;
            result = PollMsg::FromReply(bytes, size, nextState, nextServer);
            if (result != nullptr) {
                *state = std::move(nextState);
                *serverState = std::move(nextServer);
            }
        } else {
            // A state reply is decoded aside and installed only when whole.
            result = PollMsg::FromReply(bytes, size, *state, *serverState);
        }
    }
    if (result == nullptr) {
        ++badReplies;
        platform::Trace(DiskArrayTexts::kBadReply, headerRead ? header.code : 0u, length);
    }
    CodedBuff::FreeData(bytes);
    return result.release();
}

bool DiskArray::Answers(const PollMsg* result, const CommandHandle& request) {
    return result != nullptr && result->kind != RMT_INVALID && request.sessionID != 0 &&
           request.sessionID != kLostSessionWord && result->handle == request;
}

// ---------------------------------------------------------------------------
// The list of live objects

void DiskArray::Register() {
    std::lock_guard<std::mutex> hold(listLock);
    next = diskarrays;
    diskarrays = this;
}

void DiskArray::Unregister() {
    std::lock_guard<std::mutex> hold(listLock);
    for (DiskArray** link = &diskarrays; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            next = nullptr;
            return;
        }
    }
}

bool DiskArray::IsLive(const DiskArray* array) {
    std::lock_guard<std::mutex> hold(listLock);
    for (const DiskArray* a = diskarrays; a != nullptr; a = a->next) {
        if (a == array) {
            return true;
        }
    }
    return false;
}

void DiskArray::CleanUp() {
    for (;;) {
        DiskArray* victim = nullptr;
        {
            std::lock_guard<std::mutex> hold(listLock);
            victim = diskarrays;
        }
        if (victim == nullptr) {
            return;
        }
        delete victim;  // unlinks itself
    }
}

void DiskArray::CleanUp(const QEN* ownerQen) {
    for (;;) {
        DiskArray* victim = nullptr;
        {
            std::lock_guard<std::mutex> hold(listLock);
            for (DiskArray* a = diskarrays; a != nullptr && victim == nullptr; a = a->next) {
                if (a->owner == ownerQen) {
                    victim = a;
                }
            }
        }
        if (victim == nullptr) {
            return;
        }
        delete victim;
    }
}
