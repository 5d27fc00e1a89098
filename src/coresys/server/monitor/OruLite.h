// One disk subsystem: the controllers that report one backplane id (at most
// two, in slot X = 0 and slot Y = 1), its current array state, its host
// sequence with the controllers, its timers and the client messages queued
// for it on its subsystem task.
//
// Threads and locks. Everything except SubmitMessage, IsShuttingDown and the
// identity getters runs on the subsystem's task (or in the device manager
// while the subsystem tasks are parked) under the device manager's
// subsystem-in-use lock, so the monitor's state needs no lock of its own.
// SubmitMessage runs on the session manager's thread: it checks the
// shutting-down flag and posts to the task under the monitor's own mutex,
// which BeginShutdown takes to set the flag, so no message is posted to a
// task that is being ended.
//
// Lifetime: created by the device manager at discovery or rescan; a monitor
// that a rescan drops is torn down and marked shutting-down, but its memory
// stays with the device manager until the device manager is destroyed, so a
// session that still holds the pointer can call SubmitMessage safely (the
// message is refused).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/ControllerLogWalk.h"
#include "coresys/common/OruServerState.h"
#include "coresys/server/monitor/ControllerDetail.h"
#include "coresys/server/monitor/DriveSlotRecord.h"
#include "coresys/server/monitor/PendingCommand.h"
#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/state/PreventiveRecord.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSys.h"

class DeviceMgr;
class OruLiteTask;
class ServerClient;
class ORU_Message;
struct ClientMessage;
struct TaskRequest;

// Requests of a subsystem task (the code word of its TaskRequest).
enum ORULITE_REQUEST : std::int32_t {
    OL_NOTHING = 0,
    OL_MANAGEMENT = 1,
    OL_CONTINUATION = 2,
    OL_CANCEL = 3,
    OL_TIMER = 5,
    OL_PARK = 6,
    OL_PERF_METRICS = 8,
    OL_PERF_RECS = 9,
    OL_ALIAS = 10,
    OL_END = 666,
};

// Sub-codes of a timer request.
enum ORULITE_TIMER : std::int32_t { OL_TIMER_MONITOR = 1, OL_TIMER_PREVENTIVE = 2 };

// Argument slots of a subsystem task request.
enum ORULITE_REQUEST_ARG : int {
    OL_ARG_SUBCODE = 0,
    OL_ARG_INTERVAL = 1,
    OL_ARG_REQUEUED = 2,
    OL_ARG_MESSAGE = 3,  // ClientMessage*, owned by the request
};

class OruLite : public OruServerState, public ServerDiskArrayState::Source {
  public:
    static constexpr int kSlotX = 0;
    static constexpr int kSlotY = 1;
    static constexpr std::uint32_t kNoSlot = 2;
    static constexpr std::uint32_t kValid = 0;
    static constexpr std::uint32_t kInvalid = 2;
    static constexpr std::uint32_t kDriveSlots = 12;
    // The next number that signs the service off.
    static constexpr std::uint32_t kSignOffNumber = 65520;

    // Makes the monitor with its first controller: reads the identity page
    // (level below 4 required), places the controller and reads its backplane
    // id and subsystem page values. Any failure leaves the monitor invalid.
    // manager must outlive the monitor.
    OruLite(DeviceMgr& manager, const DeviceRecord* record);
    ~OruLite() override;
    OruLite(const OruLite&) = delete;
    OruLite& operator=(const OruLite&) = delete;

    // --- life cycle (device manager) ---
    // Selects the active controller, builds the first state and starts both
    // timers. The task must be bound first.
    void Init();
    // Signs off (when valid), frees the controllers, the state, the pending
    // list and the preventive record. Idempotent.
    void Teardown();
    // Refuses every later message. Taken under the submit mutex.
    void SetShuttingDown();
    bool IsShuttingDown() const { return shuttingDown_.load(); }

    // --- client messages (session manager's thread) ---
    // Takes ownership of bytes in every case. Returns 1 when the message was
    // queued for the task (the client then gets Done once), 0 when it was
    // refused (shutting down, too short for a header, or the client could
    // not take the "received" status); a refused message is freed here and
    // the client gets no Done for it.
    int SubmitMessage(ServerClient* client, std::vector<unsigned char> bytes);
    // Sends a plain reply (kind 1) with status over request's handle and
    // version; the client's Reply result.
    static int SendImmediateStatus(ServerClient* client, const ORU_Message& request,
                                   std::uint32_t status);
    // Encodes reply and hands its bytes to the client; the client's Reply
    // result, 0 without a client or when the reply cannot be encoded.
    static int SendReply(ServerClient* client, ORU_Message& reply);

    // --- controllers ---
    // Reads the controller's raw page and stores the controller in the slot
    // the page names, or in the other slot when that one is taken. Fails
    // when the page cannot be read, names no slot 0 or 1, or both slots are
    // taken; a failure to read the page marks the monitor invalid. On
    // success the monitor owns the controller; on failure storSys stays the
    // caller's.
    bool PlaceController(std::unique_ptr<StorSys>& storSys);
    // Adds a controller of this backplane id whose slot is already known
    // (from its own placement): into that slot when free, else into the
    // other one. Fails when both are taken; storSys then stays the caller's.
    bool AdoptController(std::unique_ptr<StorSys>& storSys, std::uint32_t slot);
    // Hands the controller of a slot out (the slot becomes empty).
    std::unique_ptr<StorSys> TakeController(std::uint32_t slot);
    // Reads the unit serial page through the placed controller: backplane id.
    bool ReadBackplaneId();
    // Reads mode page 0x21 through the placed controller: type id and first value.
    bool ReadSubsystemPageValues();
    // Deletes both controllers and marks the monitor invalid (rescan).
    void ReleaseControllers();
    // Chooses the controller commands go to (see the .cpp for the rule) and
    // returns its slot, or -1 while neither slot is filled and none was chosen.
    int SelectActiveController() override;

    StorSys* Controller(int slot) override;
    const StorSys* Controller(int slot) const;
    // The active controller's StorSys, or nullptr when none is chosen.
    StorSys* ActiveStorSys() const;
    // The slot commands go to now, and its controller's format level as the
    // last choice found it: readable from any thread (the listener reads
    // the alias through that controller).
    int ActiveController() const override { return activeController_; }
    std::uint32_t ActiveFormatLevel() const { return activeFormatLevel_; }
    // Makes the controller in the slot the active one, with its format level.
    void SetActiveController(int slot);
    const DeviceRecord* ControllerDevice(int slot) const;
    std::uint32_t PlacedSlot() const { return placedSlot_; }
    bool PlacedControllerActive() const { return placedActive_; }
    // Cached active bit of a slot's controller from its last serial page read.
    bool CachedActiveBit(int slot) const;

    // --- host sequence ---
    // Brings a next number into the range the controllers accept.
    static std::uint16_t SequenceInRange(std::uint32_t next);
    // One 0xEE exchange through the active controller; mode 0 normal, 1
    // forced. number carries the current number in and the controller's
    // number out (on success or on the sequence refusal). *refused (may be
    // null) tells whether the failure was the sequence refusal.
    bool ExchangeSequence(int mode, std::uint16_t& number, std::uint32_t next,
                          bool* refused = nullptr);
    // The next exchange of the table build: current number + 1.
    bool ExchangeNextSequence();
    void Heartbeat();

    // --- timers and work (subsystem task) ---
    void StarttheMonitor();
    void StartPreventageCheck();
    void MonitorCycle(const TaskRequest& request);
    void PreventiveCheck(const TaskRequest& request);
    void RefreshState();
    // Reads and walks the controller log through the active controller.
    // flag set: the controller status is read first and the entries are
    // consumed. buffer (may be null) receives up to size bytes of the log;
    // *moved (may be null) the bytes read.
    bool ReadControllerLog(int flag, unsigned char* buffer, std::uint32_t size,
                           std::uint32_t* moved, std::uint32_t status[4]);
    void BuildPreventiveRecord();
    // The preventive check's look at each drive slot through controller: a
    // write/read test whose drive now holds array data ends.
    void CheckDriveSlots(StorSys& controller);

    // --- what a state build asks of the monitor ---
    void ReadControllerLog() override;
    const char* BackplaneId() const override { return backplaneId_; }
    std::uint32_t SequenceFlag() const override { return sequenceFlag_ ? 1 : 0; }
    std::uint32_t LogSuspended() const override;
    std::uint32_t DriveDiagnosticState(std::uint32_t slot) const override;
    void Notice(const char* text) override;
    void SetStateInvalid(bool invalid) override { stateInvalid_ = invalid; }
    bool CompareStates(const ServerDiskArrayState& current, ServerDiskArrayState& fresh) override;
    void WriteLogRecord(const unsigned char* bytes, std::uint32_t length) override;

    // Event detection plugs in here: compares two states of a monitor and
    // reports the differences; returns true when any was found. Until one
    // is installed no events are raised.
    using StateComparer = std::function<bool(OruLite& monitor, const ServerDiskArrayState& current,
                                             ServerDiskArrayState& fresh)>;
    static void SetStateComparer(StateComparer comparer);
    // The log writer plugs in here: writes one record of the subsystem's log
    // bundle. Until one is installed records are counted and dropped.
    using LogRecordWriter =
        std::function<void(OruLite& monitor, const unsigned char* bytes, std::uint32_t length)>;
    static void SetLogRecordWriter(LogRecordWriter writer);
    // Records handed to the log (written or dropped).
    std::uint32_t LogRecordsWritten() const { return logRecords_.load(); }

    // --- pending commands (cancel bookkeeping; subsystem task) ---
    bool PendingFlag() const { return pendingFlag_; }
    std::vector<PendingCommand>& PendingCommands() { return pending_; }
    void SetPendingFlag(bool on) { pendingFlag_ = on; }

    // --- identity and state ---
    bool IsValid() const { return validity_ == kValid; }
    std::uint32_t Validity() const { return validity_; }
    void SetInvalid() { validity_ = kInvalid; }
    std::uint32_t SubsystemNumber() const { return subsystemNumber_; }
    void SetSubsystemNumber(std::uint32_t number) {
        subsystemNumber_ = number;
        hasNumber_ = true;
    }
    bool HasSubsystemNumber() const { return hasNumber_; }
    std::uint32_t SubsystemTypeId() const { return subsystemTypeId_; }
    std::uint32_t PageFirstValue() const { return pageFirstValue_; }
    std::uint16_t SequenceNumber() const { return sequenceNumber_; }
    std::uint32_t ControllerNumber() const { return controllerNumber_; }
    std::uint32_t RepeatCounter() const { return repeatCounter_; }
    bool StateInvalid() const { return stateInvalid_; }
    OruLiteTask* Task() const { return task_; }
    void SetTask(OruLiteTask* task) { task_ = task; }
    DeviceMgr& Manager() const { return manager_; }
    // Status-poll and preventive-check intervals read at start (0 = off).
    std::uint32_t MonitorInterval() const { return monitorInterval_; }
    std::uint32_t PlogInterval() const { return plogInterval_; }

    ServerDiskArrayState* CurrentState() const { return currentState_.get(); }
    // Replaces the current state (the monitor owns it from then on).
    void SetCurrentState(std::unique_ptr<ServerDiskArrayState> state);
    PreventiveRecord* Preventive() const { return preventive_.get(); }

    ControllerDetail& ControllerDetails(int slot) { return controllerDetails_[slot & 1]; }
    // The record of a drive slot; callers check slot < kDriveSlots first.
    DriveSlotRecord& DriveSlot(std::uint32_t slot) { return driveSlots_[slot % kDriveSlots]; }
    // Usage counters of the drive tests: each test counts once, when it starts.
    struct DiagnosticUsage {
        std::uint32_t verifies = 0;
        std::uint32_t writeReadTests = 0;
    };
    DiagnosticUsage& DiagnosticsRun() { return diagnosticsRun_; }

    // How many 0xEE exchanges, polls and preventive checks ran (tests and
    // the table build read them).
    std::uint32_t MonitorCycles() const { return monitorCycles_.load(); }
    std::uint32_t PreventiveChecks() const { return preventiveChecks_.load(); }

  private:
    bool ReadActiveBit(int slot);
    void PostTimer(std::int32_t subCode, std::uint32_t interval);
    void ApplyLogEntry(const ControllerLogWalk::Entry& entry);
    void MarkControllerEvents(std::uint32_t code, std::uint32_t value);

    DeviceMgr& manager_;
    ControllerDetail controllerDetails_[2];
    DriveSlotRecord driveSlots_[kDriveSlots];
    DiagnosticUsage diagnosticsRun_;
    std::unique_ptr<StorSys> controllers_[2];
    bool activeBit_[2] = {false, false};
    std::atomic<int> activeController_{-1};
    std::atomic<std::uint32_t> activeFormatLevel_{StorSys::kFormatLevelUnknown};
    OruLiteTask* task_ = nullptr;
    std::uint32_t validity_ = kInvalid;
    std::mutex submitLock_;
    std::atomic<bool> shuttingDown_{false};
    bool pendingFlag_ = false;
    bool placedActive_ = false;
    bool sequenceFlag_ = false;
    std::vector<PendingCommand> pending_;
    char backplaneId_[13] = {};
    std::unique_ptr<ServerDiskArrayState> currentState_;
    std::uint32_t subsystemTypeId_ = 0;
    std::unique_ptr<PreventiveRecord> preventive_;
    std::uint32_t pageFirstValue_ = 0;
    std::uint32_t controllerNumber_ = 0;
    std::uint16_t sequenceNumber_ = 0;
    std::uint32_t placedSlot_ = kNoSlot;
    std::uint32_t subsystemNumber_ = 0;
    bool hasNumber_ = false;
    std::uint32_t repeatCounter_ = 0;
    bool stateInvalid_ = false;
    bool tornDown_ = false;
    std::uint32_t monitorInterval_ = 0;
    std::uint32_t plogInterval_ = 0;
    std::atomic<std::uint32_t> monitorCycles_{0};
    std::atomic<std::uint32_t> preventiveChecks_{0};
    std::atomic<std::uint32_t> logRecords_{0};
};
