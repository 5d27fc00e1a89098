#include "coresys/server/monitor/OruLite.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <shared_mutex>
#include <utility>

#include "coresys/common/ORU_Message.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/device/DeviceText.h"
#include "coresys/server/diag/DriveCommands.h"
#include "coresys/server/log/LogMgr.h"
#include "coresys/server/monitor/ClientMessage.h"
#include "coresys/server/monitor/MonitorInterval.h"
#include "coresys/server/monitor/OruLiteTask.h"
#include "coresys/server/monitor/ServerClient.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Clock.h"
#include "platform/Trace.h"

namespace {

// Task request codes by message code.
constexpr std::uint32_t kCodeCancel = 2;
constexpr std::uint32_t kCodePerfMetrics = 10;
constexpr std::uint32_t kCodePerfRecs = 11;
constexpr std::uint32_t kCodeGrossStatus = 46;
constexpr std::uint32_t kCodeSetAlias = 56;

// Reply statuses sent at once.
constexpr std::uint32_t kStatusReceived = 3;

// Room beyond the log itself in the controller-log buffer.
constexpr std::uint32_t kLogSlack = 183;

// Controller-log entries that mark a drive slot or a module.
constexpr std::uint32_t kEventDriveFault = 102;
constexpr std::uint32_t kEventDriveRemovedA = 144;
constexpr std::uint32_t kEventDriveRemovedB = 146;
constexpr std::uint32_t kEventModuleA = 156;
constexpr std::uint32_t kEventModuleB = 157;
constexpr std::uint32_t kSlotByte = 10;
constexpr std::uint32_t kModuleItemByte = 11;
constexpr std::uint32_t kModuleStateByte = 2;

// Drive state of an empty slot.
constexpr std::uint32_t kNoDrive = 1;

// Forced exchange after this many refusals of one number in a row.
constexpr std::uint32_t kRefusalsBeforeForce = 4;

// Subsystem-log records: header length, and where its fields lie.
constexpr std::uint32_t kRecordHeader = 60;
constexpr std::uint32_t kLogClassController = 2;

std::shared_mutex g_hookLock;
OruLite::StateComparer g_comparer;
OruLite::LogRecordWriter g_logWriter;

std::uint32_t TaskCodeOf(std::uint32_t messageCode) {
    switch (messageCode) {
        case kCodePerfMetrics:
            return OL_PERF_METRICS;
        case kCodePerfRecs:
            return OL_PERF_RECS;
        case kCodeSetAlias:
            return OL_ALIAS;
        case kCodeCancel:
            return OL_CANCEL;
        default:
            return OL_MANAGEMENT;
    }
}

void PutLe32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

// Length, class, code and serial of a subsystem-log record; the log writer
// fills the rest of the header.
void FillRecordHeader(unsigned char* record, std::uint32_t length, std::uint32_t code,
                      const char* serial) {
    PutLe32(record + 4, length);
    record[12] = static_cast<unsigned char>(kLogClassController);
    record[13] = 0;
    record[14] = static_cast<unsigned char>(code);
    record[15] = static_cast<unsigned char>(code >> 8);
    std::memcpy(record + 36, serial, 12);
}

}  // namespace

void OruLite::SetStateComparer(StateComparer comparer) {
    std::unique_lock<std::shared_mutex> hold(g_hookLock);
    g_comparer = std::move(comparer);
}

void OruLite::SetLogRecordWriter(LogRecordWriter writer) {
    std::unique_lock<std::shared_mutex> hold(g_hookLock);
    g_logWriter = std::move(writer);
}

// ---------------------------------------------------------------------------
// Construction and teardown

OruLite::OruLite(DeviceMgr& manager, const DeviceRecord* record) : manager_(manager) {
    for (std::uint32_t slot = 0; slot < kDriveSlots; ++slot) {
        driveSlots_[slot].drive = slot;
    }
    auto storSys = std::make_unique<StorSys>(record);
    IdentityPage identity;
    ScsiResult result;
    if (storSys->ReadIdentityPage(0, identity, result) == 0 || storSys->FormatLevel() >= 4) {
        validity_ = kInvalid;
        return;
    }
    if (!PlaceController(storSys)) {
        validity_ = kInvalid;
        return;
    }
    ReadBackplaneId();
    ReadSubsystemPageValues();
    if (placedActive_) {
        SetActiveController(static_cast<int>(placedSlot_));
    }
}

OruLite::~OruLite() {
    Teardown();
}

void OruLite::Teardown() {
    if (tornDown_) {
        return;
    }
    tornDown_ = true;
    if (IsValid() && ActiveStorSys() == nullptr) {
        SelectActiveController();
    }
    if (IsValid() && ActiveStorSys() != nullptr) {
        // Next number 65520 goes out as 0: the service signs off, so another
        // host may take the sequence over.
        ExchangeSequence(0, sequenceNumber_, kSignOffNumber);
    }
    controllers_[kSlotX].reset();
    controllers_[kSlotY].reset();
    validity_ = kInvalid;
    currentState_.reset();
    pending_.clear();
    pendingFlag_ = false;
    preventive_.reset();
}

void OruLite::SetShuttingDown() {
    std::lock_guard<std::mutex> hold(submitLock_);
    shuttingDown_.store(true);
}

void OruLite::Init() {
    monitorInterval_ = MonitorInterval::StatusPoll();
    plogInterval_ = MonitorInterval::PreventiveCheck();
    SelectActiveController();
    currentState_ = std::make_unique<ServerDiskArrayState>(*this);
    stateInvalid_ = !currentState_->Valid();
    StarttheMonitor();
    StartPreventageCheck();
    preventive_ = std::make_unique<PreventiveRecord>(currentState_.get());
}

// ---------------------------------------------------------------------------
// Client messages

int OruLite::SendImmediateStatus(ServerClient* client, const ORU_Message& request,
                                 std::uint32_t status) {
    if (client == nullptr) {
        return 0;
    }
    OkStatus_RtnMsg reply(request, status);
    reply.code = RMT_OKSTATUS_MSG;
    return SendReply(client, reply);
}

int OruLite::SendReply(ServerClient* client, ORU_Message& reply) {
    if (client == nullptr) {
        return 0;
    }
    unsigned char* bytes = reply.EncodeMsg();
    if (bytes == nullptr) {
        return 0;
    }
    std::vector<unsigned char> copy(bytes, bytes + reply.length);
    CodedBuff::FreeData(bytes);
    return client->Reply(std::move(copy));
}

int OruLite::SubmitMessage(ServerClient* client, std::vector<unsigned char> bytes) {
    // The bytes are ours from here on: every return frees them.
    std::lock_guard<std::mutex> hold(submitLock_);
    if (shuttingDown_.load() || task_ == nullptr) {
        return 0;
    }
    // Bytes from a client are untrusted: a message too short for its
    // header, or one whose header lies, is refused here and never decoded
    // further.
    ORU_Message header;
    if (bytes.size() < ORU_Message::kHeaderLength || bytes.size() > 0xFFFFFFFFu ||
        !header.DecodeMsg(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
        DeviceMgr::PostDeviceNotice(
            DeviceText(DTEXT_MESSAGE_REFUSED, backplaneId_, "message header unreadable"));
        return 0;
    }
    if (header.code != kCodeGrossStatus &&
        SendImmediateStatus(client, header, kStatusReceived) == 0) {
        return 0;
    }
    const std::int32_t taskCode = static_cast<std::int32_t>(TaskCodeOf(header.code));
    auto message = std::make_unique<ClientMessage>();
    message->subsystemNumber = subsystemNumber_;
    message->client = client;
    std::memcpy(message->serialNumber, backplaneId_, sizeof message->serialNumber);
    message->bytes = std::move(bytes);
    if (!task_->PostMessage(taskCode, std::move(message), 0, taskCode == OL_CANCEL)) {
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Controllers

bool OruLite::PlaceController(std::unique_ptr<StorSys>& storSys) {
    if (storSys == nullptr) {
        return false;
    }
    PageTlvDecoder page(*storSys);
    if (!page.Usable()) {
        validity_ = kInvalid;
        return false;
    }
    if (!page.SlotValid()) {
        // A slot other than X or Y would index past the two slots.
        DeviceMgr::PostDeviceNotice(DeviceText(DTEXT_CONTROLLER_NO_SLOT));
        return false;
    }
    std::uint32_t slot = static_cast<std::uint32_t>(page.Slot());
    if (controllers_[slot] != nullptr) {
        slot ^= 1u;
        if (controllers_[slot] != nullptr) {
            return false;
        }
    }
    controllers_[slot] = std::move(storSys);
    activeBit_[slot] = false;
    placedSlot_ = slot;
    validity_ = kValid;
    return true;
}

bool OruLite::AdoptController(std::unique_ptr<StorSys>& storSys, std::uint32_t slot) {
    if (storSys == nullptr || slot > 1) {
        return false;
    }
    if (controllers_[slot] != nullptr) {
        slot ^= 1u;
        if (controllers_[slot] != nullptr) {
            return false;
        }
    }
    controllers_[slot] = std::move(storSys);
    activeBit_[slot] = false;
    return true;
}

std::unique_ptr<StorSys> OruLite::TakeController(std::uint32_t slot) {
    if (slot > 1) {
        return nullptr;
    }
    return std::move(controllers_[slot]);
}

bool OruLite::ReadBackplaneId() {
    if (placedSlot_ > 1 || controllers_[placedSlot_] == nullptr) {
        return false;
    }
    UnitSerialPage page;
    ScsiResult result;
    if (controllers_[placedSlot_]->ReadUnitSerialPage(0, page, result) == 0) {
        return false;
    }
    // The id names the subsystem for good: controllers placed later were
    // matched by it, and sessions read it without the device manager's
    // locks, so it is written once only.
    if (backplaneId_[0] == '\0') {
        std::memcpy(backplaneId_, page.backplaneId, DeviceMgr::kSerialLength);
        backplaneId_[DeviceMgr::kSerialLength] = '\0';
    }
    placedActive_ = page.active != 0;
    activeBit_[placedSlot_] = placedActive_;
    return true;
}

bool OruLite::ReadSubsystemPageValues() {
    if (placedSlot_ > 1 || controllers_[placedSlot_] == nullptr) {
        return false;
    }
    ModePage21Record page;
    ScsiResult result;
    if (controllers_[placedSlot_]->ReadModePage21(0, page, result) == 0) {
        return false;
    }
    // Word 27 is page byte 21 (the subsystem type id), word 1 page byte 10.
    subsystemTypeId_ = page.word[27];
    pageFirstValue_ = page.word[1];
    return true;
}

void OruLite::ReleaseControllers() {
    controllers_[kSlotX].reset();
    controllers_[kSlotY].reset();
    activeBit_[kSlotX] = activeBit_[kSlotY] = false;
    validity_ = kInvalid;
}

StorSys* OruLite::Controller(int slot) {
    return slot == kSlotX || slot == kSlotY ? controllers_[slot].get() : nullptr;
}

const StorSys* OruLite::Controller(int slot) const {
    return slot == kSlotX || slot == kSlotY ? controllers_[slot].get() : nullptr;
}

void OruLite::SetActiveController(int slot) {
    activeController_ = slot;
    if (const StorSys* active = ActiveStorSys()) {
        activeFormatLevel_ = active->FormatLevel();
    }
}

StorSys* OruLite::ActiveStorSys() const {
    const int active = activeController_;
    if (active != kSlotX && active != kSlotY) {
        return nullptr;
    }
    return controllers_[active].get();
}

const DeviceRecord* OruLite::ControllerDevice(int slot) const {
    const StorSys* storSys = Controller(slot);
    return storSys != nullptr ? storSys->Record() : nullptr;
}

bool OruLite::CachedActiveBit(int slot) const {
    return (slot == kSlotX || slot == kSlotY) && activeBit_[slot];
}

bool OruLite::ReadActiveBit(int slot) {
    UnitSerialPage page;
    ScsiResult result;
    const bool bit = controllers_[slot] != nullptr &&
                     controllers_[slot]->ReadUnitSerialPage(0, page, result) != 0 &&
                     page.active != 0;
    activeBit_[slot] = bit;
    return bit;
}

int OruLite::SelectActiveController() {
    const bool haveX = controllers_[kSlotX] != nullptr;
    const bool haveY = controllers_[kSlotY] != nullptr;
    if (haveX && haveY) {
        // X's bit as its previous read left it decides whom to believe: a
        // controller that stops answering reads as not active, so the role
        // passes to the partner, and returns once X answers again.
        const bool xWasActive = activeBit_[kSlotX];
        const bool xNow = ReadActiveBit(kSlotX);
        const bool yNow = ReadActiveBit(kSlotY);
        if (xWasActive) {
            SetActiveController(xNow ? kSlotX : kSlotY);
        } else {
            SetActiveController(yNow ? kSlotY : kSlotX);
        }
    } else if (haveX) {
        SetActiveController(kSlotX);
    } else if (haveY) {
        SetActiveController(kSlotY);
    }
    return activeController_;
}

// ---------------------------------------------------------------------------
// Host sequence

std::uint16_t OruLite::SequenceInRange(std::uint32_t next) {
    if (next == kSignOffNumber) {
        return 0;
    }
    if (next > kSignOffNumber && next <= 0xFFFFu) {
        return static_cast<std::uint16_t>(next);
    }
    // Also above 65535: the field is 16 bits, and 65536 cut to 16 bits
    // would read as a sign-off.
    return static_cast<std::uint16_t>((next % 65519u) + 1u);
}

bool OruLite::ExchangeSequence(int mode, std::uint16_t& number, std::uint32_t next, bool* refused) {
    if (refused != nullptr) {
        *refused = false;
    }
    StorSys* active = ActiveStorSys();
    if (active == nullptr) {
        return false;
    }
    std::uint16_t value = number;
    ScsiResult result;
    const bool good = active->ReadSequenceNumber(mode, value, SequenceInRange(next), result) != 0;
    const bool refusal = !good && StorSys::IsSequenceRefusal(result);
    if (refused != nullptr) {
        *refused = refusal;
    }
    if (good || refusal) {
        number = value;
    }
    if (good) {
        sequenceFlag_ = true;
        controllerNumber_ = value;
        sequenceNumber_ = value;
        repeatCounter_ = 0;
    }
    return good;
}

bool OruLite::ExchangeNextSequence() {
    return ExchangeSequence(0, sequenceNumber_, static_cast<std::uint32_t>(sequenceNumber_) + 1);
}

void OruLite::Heartbeat() {
    std::uint32_t next = static_cast<std::uint32_t>(sequenceNumber_) + 1;
    if (!sequenceFlag_) {
        next += repeatCounter_;
    }
    bool refused = false;
    if (ExchangeSequence(0, sequenceNumber_, next, &refused)) {
        return;
    }
    sequenceFlag_ = false;
    if (!refused) {
        return;
    }
    // The controller repeats a refused number while another host holds the
    // sequence; after enough refusals of the same number we take it over.
    const std::uint32_t theirs = sequenceNumber_;
    if (theirs == controllerNumber_) {
        ++repeatCounter_;
        if (repeatCounter_ > kRefusalsBeforeForce) {
            std::uint16_t forced = sequenceNumber_;
            ExchangeSequence(1, forced, theirs + 2);
            if (!sequenceFlag_) {
                sequenceNumber_ = forced;
            }
        }
    } else {
        repeatCounter_ = 0;
    }
    controllerNumber_ = theirs;
}

// ---------------------------------------------------------------------------
// Timers

void OruLite::PostTimer(std::int32_t subCode, std::uint32_t interval) {
    if (interval == 0 || task_ == nullptr) {
        return;
    }
    auto message = std::make_unique<ClientMessage>();
    message->subsystemNumber = subsystemNumber_;
    std::memcpy(message->serialNumber, backplaneId_, sizeof message->serialNumber);
    task_->PostMessage(OL_TIMER, std::move(message), platform::ScaledMs(interval), false, subCode,
                       static_cast<std::intptr_t>(interval));
}

void OruLite::StarttheMonitor() {
    platform::Trace("%s\n", DeviceText(DTEXT_MONITOR_INTERVAL, monitorInterval_).c_str());
    PostTimer(OL_TIMER_MONITOR, monitorInterval_);
}

void OruLite::StartPreventageCheck() {
    platform::Trace("%s\n", DeviceText(DTEXT_PLOG_INTERVAL, plogInterval_).c_str());
    PostTimer(OL_TIMER_PREVENTIVE, plogInterval_);
}

void OruLite::MonitorCycle(const TaskRequest& request) {
    SelectActiveController();
    RefreshState();
    monitorCycles_.fetch_add(1);
    PostTimer(OL_TIMER_MONITOR, static_cast<std::uint32_t>(request.args[OL_ARG_INTERVAL]));
}

void OruLite::RefreshState() {
    ServerDiskArrayState::Refresh(*this, currentState_, preventive_.get());
}

void OruLite::PreventiveCheck(const TaskRequest& request) {
    SelectActiveController();
    for (int slot : {kSlotX, kSlotY}) {
        if (controllers_[slot] == nullptr) {
            continue;
        }
        UnitSerialPage page;
        ScsiResult result;
        if (controllers_[slot]->ReadUnitSerialPage(0, page, result) == 0) {
            continue;
        }
        if (slot != activeController_) {
            continue;
        }
        Heartbeat();
        if (currentState_ != nullptr && currentState_->ownsLock != 0) {
            ReadControllerLog();
        }
        BuildPreventiveRecord();
        CheckDriveSlots(*controllers_[slot]);
    }
    preventiveChecks_.fetch_add(1);
    PostTimer(OL_TIMER_PREVENTIVE, static_cast<std::uint32_t>(request.args[OL_ARG_INTERVAL]));
}

void OruLite::CheckDriveSlots(StorSys& controller) {
    if (currentState_ == nullptr) {
        return;
    }
    // A write/read test goes on only while its drive holds no array data;
    // the drive states the last refresh read say whether it still does.
    for (std::uint32_t slot = 0; slot < kDriveSlots && slot < currentState_->DriveCount(); ++slot) {
        const std::uint32_t driveState = currentState_->drives[slot].driveState;
        if (driveState != kNoDrive) {
            StorSysDrive drive(controller, static_cast<std::uint8_t>(slot));
            driveSlots_[slot].EndWriteReadTest(drive, driveState);
        }
    }
}

void OruLite::BuildPreventiveRecord() {
    PreventiveRecord::RunCheck(*this, currentState_, preventive_);
}

// ---------------------------------------------------------------------------
// Controller log

bool OruLite::ReadControllerLog(int flag, unsigned char* buffer, std::uint32_t size,
                                std::uint32_t* moved, std::uint32_t status[4]) {
    StorSys* active = ActiveStorSys();
    if (active == nullptr) {
        return false;
    }
    ScsiResult result;
    unsigned char head[ControllerLogWalk::kHeaderLength] = {};
    std::uint32_t headLength = 0;
    if (active->ReadControllerLog(0, head, sizeof head, &headLength, result) == 0) {
        return false;
    }
    // The short read above already fetched the whole log once; its header
    // gives the length that bounds the full read below.
    const std::uint32_t firstLength = (static_cast<std::uint32_t>(head[1]) << 8) | head[2];
    if (flag != 0) {
        std::uint32_t values[4] = {};
        if (active->ReadControllerStatus(0, values, result) != 0) {
            if (status != nullptr) {
                std::memcpy(status, values, sizeof values);
            }
            unsigned char record[kRecordHeader + 16] = {};
            FillRecordHeader(record, sizeof record, 0, backplaneId_);
            for (std::uint32_t i = 0; i < 4; ++i) {
                PutLe32(record + kRecordHeader + 4 * i, values[i]);
            }
            WriteLogRecord(record, sizeof record);
        }
    }
    std::vector<unsigned char> log(firstLength + kLogSlack);
    std::uint32_t received = 0;
    if (active->ReadControllerLog(flag, log.data(), static_cast<std::uint32_t>(log.size()),
                                  &received, result) == 0) {
        return false;
    }
    received = std::min<std::uint32_t>(received, static_cast<std::uint32_t>(log.size()));
    if (buffer != nullptr && size != 0) {
        std::memcpy(buffer, log.data(), std::min(size, received));
    }
    if (moved != nullptr) {
        *moved = received;
    }
    ControllerLogWalk walk(log.data(), received, firstLength);
    ControllerLogWalk::Entry entry;
    while (walk.Next(entry)) {
        if (preventive_ != nullptr) {
            preventive_->CountLogEntry(entry.bytes, entry.length);
        }
        ApplyLogEntry(entry);
    }
    if (walk.Damaged()) {
        platform::Trace("%s\n", DeviceText(DTEXT_INVALID_EVENT_TYPE).c_str());
        Notice(DeviceText(DTEXT_CONTROLLER_LOG_DAMAGED, backplaneId_,
                          walk.UnknownKind() ? "unknown entry kind" : "entry cut off")
                   .c_str());
        return false;
    }
    return true;
}

void OruLite::ReadControllerLog() {
    ReadControllerLog(1, nullptr, 0, nullptr, nullptr);
}

void OruLite::ApplyLogEntry(const ControllerLogWalk::Entry& logEntry) {
    const unsigned char* entry = logEntry.bytes;
    const std::uint32_t kind = logEntry.kind;
    // The log record of the entry: 16 data bytes and the last value (kind
    // 0), 12 bytes and the last value (kind 1), the seven words (kind 2).
    unsigned char record[kRecordHeader + 28] = {};
    const std::uint32_t recordLength = kRecordHeader + (kind == 0 ? 20 : (kind == 1 ? 16 : 28));
    FillRecordHeader(record, recordLength, kind + 1, backplaneId_);
    std::memcpy(record + kRecordHeader, entry,
                std::min<std::uint32_t>(logEntry.length, recordLength - kRecordHeader));
    WriteLogRecord(record, recordLength);

    const std::uint32_t code = logEntry.EventCode();
    if (kind == 0 && code == kEventDriveFault && entry[kSlotByte] < kDriveSlots) {
        driveSlots_[entry[kSlotByte]].logMarkA = 1;
    } else if (kind == 2 && (code == kEventDriveRemovedA || code == kEventDriveRemovedB) &&
               entry[kSlotByte] < kDriveSlots) {
        driveSlots_[entry[kSlotByte]].logMarkB = 1;
    } else if (kind == 1 && (code == kEventModuleA || code == kEventModuleB)) {
        MarkControllerEvents(entry[kModuleItemByte], entry[kModuleStateByte]);
    }
}

void OruLite::MarkControllerEvents(std::uint32_t code, std::uint32_t value) {
    const int active = activeController_ == kSlotY ? kSlotY : kSlotX;
    int slot = -1;
    std::uint32_t item = 0;
    switch (code) {
        case 129:
            slot = active;
            item = 0;
            break;
        case 130:
            slot = kSlotX;
            item = 1;
            break;
        case 131:
            slot = kSlotX;
            item = 2;
            break;
        case 132:
            slot = kSlotY;
            item = 1;
            break;
        case 133:
            slot = kSlotY;
            item = 2;
            break;
        case 134:
            slot = active ^ 1;
            item = 0;
            break;
        default:
            return;
    }
    controllerDetails_[slot].moduleState[item] = value;
    ++controllerDetails_[slot].updates;
}

// ---------------------------------------------------------------------------
// What a state build asks

std::uint32_t OruLite::LogSuspended() const {
    auto* log = dynamic_cast<LogMgr*>(GetManager(LOG_MANAGER));
    return log != nullptr && log->IsLogSuspended() ? 1 : 0;
}

std::uint32_t OruLite::DriveDiagnosticState(std::uint32_t slot) const {
    return slot < kDriveSlots ? driveSlots_[slot].DiagnosticState() : 0;
}

void OruLite::Notice(const char* text) {
    DeviceMgr::PostDeviceNotice(text != nullptr ? text : "");
}

bool OruLite::CompareStates(const ServerDiskArrayState& current, ServerDiskArrayState& fresh) {
    StateComparer comparer;
    {
        std::shared_lock<std::shared_mutex> hold(g_hookLock);
        comparer = g_comparer;
    }
    return comparer ? comparer(*this, current, fresh) : false;
}

void OruLite::WriteLogRecord(const unsigned char* bytes, std::uint32_t length) {
    logRecords_.fetch_add(1);
    LogRecordWriter writer;
    {
        std::shared_lock<std::shared_mutex> hold(g_hookLock);
        writer = g_logWriter;
    }
    if (writer) {
        writer(*this, bytes, length);
    }
}

void OruLite::SetCurrentState(std::unique_ptr<ServerDiskArrayState> state) {
    currentState_ = std::move(state);
}
