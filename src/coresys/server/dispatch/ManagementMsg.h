// The service's form of a management request: the header-and-value request
// as a client sent it, with the subsystem it addresses and the reply its
// handler builds. ManagementMsg::do_message_action selects the handler by
// the request code; ManagementMsg::SendReply hands the reply to the client
// and re-posts the continuation of a long command.
//
// One object lives for one turn of the subsystem task, on that task, under
// the subsystem-in-use lock.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/RequestMsgs.h"
#include "coresys/server/dispatch/ServerReply.h"

class OruLite;
class OruLiteTask;
class ServerClient;
class StorSys;
struct ClientMessage;
struct ScsiResult;
struct SubsystemStateRecord;
struct TaskRequest;

// Field numbers of the settings handlers: which value of which mode page a
// request sets. 1 to 18 are values of the subsystem page (0x21; 15 is no
// field), 19 and 20 of the caching page, 21 to 24 of the extension page
// (0x22).
enum SETTING_FIELD : std::uint32_t {
    FIELD_HOT_SPARE = 1,
    FIELD_PARTITION = 2,
    FIELD_AUTO_REBUILD = 3,
    FIELD_AUTO_INCLUDE = 4,
    FIELD_LOG_FULL_WARNING = 5,
    FIELD_REBUILD_PRIORITY = 6,
    FIELD_PARITY = 7,
    FIELD_SDTR = 8,
    FIELD_WDTR = 9,
    FIELD_TERMINATOR_POWER = 10,
    FIELD_UNIT_ATTENTION = 11,
    FIELD_FORMAT_PATTERN_FILL = 12,
    FIELD_DISABLE_REMOTE_RESET = 13,
    FIELD_CONTROLLER_ADDRESS = 14,
    FIELD_LANGUAGE = 16,
    FIELD_CAPACITY_THRESHOLD = 17,
    FIELD_WRITE_WORKING_SET = 18,
    FIELD_READ_CACHE = 19,
    FIELD_WRITE_CACHE = 20,
    FIELD_QUEUE_FULL_THRESHOLD = 21,
    FIELD_SINGLE_PATH_FAILOVER = 22,
    FIELD_VERY_EARLY_BUSY = 23,
    FIELD_CREATE_LUN_LIMIT = 24,
};

class ManagementMsg : public HeaderandValueMsg {
  public:
    // Waits of the subsystem-control handlers, in milliseconds of the
    // service's clock.
    static constexpr std::uint64_t kRestartDelayMs = 120000;
    static constexpr std::uint64_t kResetDelayMs = 2000;
    static constexpr std::uint64_t kReadyPollMs = 2000;
    static constexpr int kReadyPolls = 90;
    static constexpr std::uint64_t kRebuildSettleMs = 15000;
    // Subsystem state values the handlers test.
    static constexpr std::uint32_t kStateShutDown = 6;
    static constexpr std::uint32_t kStateNotReady = 7;
    // The largest format argument: the command carries it in one byte.
    static constexpr std::uint32_t kMaxFormatArgument = 255;
    // A lock exchange that takes the management lock for the service.
    static constexpr std::uint32_t kLockTakeValue = 0xFFFF;

    // A request of subsystem: decodes message's bytes. A request that came
    // back as a continuation (task request kind 2 without a client) is
    // marked as such; nothing a client sends is ever taken for one.
    ManagementMsg(const ClientMessage& message, OruLite* subsystem, bool continuation = false);
    // A request found by the record's serial number on the device manager.
    explicit ManagementMsg(const ClientMessage& message);

    // Whether the bytes decoded as a whole request.
    bool Decoded() const { return decoded_; }
    bool IsContinuation() const { return continuation_; }
    // Whether the request came by datagram (outside any session).
    bool FromDatagram() const { return fromDatagram_; }

    // Runs the handler of the request code; afterwards the message holds
    // its reply and disposition.
    void do_message_action();
    // Acts on the disposition (see ServerReply).
    void SendReply(TaskRequest& request, OruLiteTask& task, const ClientMessage& message);

    // --- common reply builders ---
    void RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t moduleId,
                       const oruerr& record);
    void SetErrorReply(const oruerr& record);
    void CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                        std::uint32_t qualifier);
    // The next step of a long command: a request of the same code, version
    // and handle with values (drive, 0, 1, 0) and a plain reply with status 1
    // (sent only for disposition 3).
    void ScheduleContinuation(std::uint32_t disposition, std::uint32_t messageCode);
    // The reply path of a cancelled command and of a cancel request: a
    // client's command gets the cancel error (replyToClient set) or its
    // cancel finished with status 1; a continuation sends nothing and
    // leaves the commands in progress.
    void FinishCancelled(TaskRequest& request, OruLite* subsystem, bool replyToClient,
                         ServerClient* client);

    ServerReply& Reply() { return reply_; }
    const ServerReply& Reply() const { return reply_; }
    OruLite* Subsystem() const { return subsystem_; }

    // --- the subsystem-control handlers ---
    void GetState();
    void GrossStatus();
    void TestAlarmMessage();
    void Rescan(bool replyWanted);
    void ShutdownSubsystem();
    void RestartSubsystem();
    void ResetSubsystem();
    void SetPrimaryController();
    void FormatSubsystem();
    void RebuildOperation(bool start);
    void CompareAndSwap();

    // --- the logical-unit handlers ---
    void CreateLUN();
    void DeleteLUN();
    void RenumberLUN();
    void FormatLUN();

    // --- the settings handlers ---
    // field: a SETTING_FIELD of the page the handler writes.
    void SetParameter(std::uint32_t field);
    void SetCacheEnable(std::uint32_t field);
    void SetControllerOption(std::uint32_t field);
    void SetResiliencyParameters();
    void ConfigureDefaultScsiSettings();
    void Set_Linkage();

    // --- the handlers of the service's log ---
    void RetryLogAfterError();
    void FlushServerLog();

    // --- the drive handlers ---
    void AddPhysicalDrive();
    void DownPhysicalDrive();
    void ResetPhysicalDrive();
    // A verify (44) or write/read test (43): its first step, or one later
    // step when the message is a continuation.
    void DriveTest(MESSAGE_CODE testCode);
    void ClearDiagResults();

    // --- the log and diagnostic-data handlers ---
    void ReadControllerLog();
    void ReadDefectData();
    // RecordDiagInfo (16) and ClearDiagInfo (47).
    void DiagInfo();
    void Do_Prevention_Check();

    // Sleeps initialDelayMs, sends two REQUEST SENSE, then reads the
    // subsystem state up to 90 times 2000 ms apart until it is read and not
    // "not yet ready". True when the subsystem became ready.
    static bool WaitForSubsystemReady(StorSys& controller, std::uint64_t initialDelayMs);
    // Reads and decodes the subsystem state block through controller; on
    // failure error holds the command's record.
    static bool ReadSubsystemState(StorSys& controller, SubsystemStateRecord& record,
                                   oruerr& error);

  private:
    void Dispatch(StorSys& active);
    // LUN numbers below this are valid: the size of the current state's LUN
    // table (8 when there is no state yet), never more than the LUN map holds.
    std::uint32_t LunLimit() const;
    // True when every number is below the LUN limit; else the request is
    // refused (INVALID_PARAMETER) before anything is sent.
    bool LunNumbersValid(std::initializer_list<std::uint32_t> numbers);
    // True when the array's LUN map lists lun; else the request is refused
    // (LUN_INQUIRY when the map cannot be read, NO_LUN_EXISTS).
    bool LunPresent(std::uint32_t lun);
    // The ending of a LUN command: a device rescan is asked for when the
    // command's record says that the array's LUN set changed (class 7),
    // whether the command succeeded or not; then the change is completed.
    void CompleteLunCommand(bool done, const ScsiResult& result, std::uint32_t qualifier);
    // The ending of a hot spare asked for: a fresh state at once, and the
    // reply says whether the array can provide the spare.
    void CompleteHotSpareRequest();
    // A drive slot a request may name: below the drive count of the state.
    bool DriveSlotValid(std::uint32_t slot) const;
    // Reads the state of the drive in slot; refuses the request when the
    // read fails.
    bool ReadDriveState(std::uint32_t slot, std::uint32_t& driveState);
    void DriveTestStep(MESSAGE_CODE testCode);
    // The cancelled continuation of a drive test of slot: the test ends as
    // cancelled and its result is published.
    void FinishDriveTest(std::uint32_t slot);
    // A buffer reply carrying bytes (status 1).
    void BufferReply(const std::vector<unsigned char>& bytes);
    // A request whose handler comes with a later release of the service.
    void RefuseUnknown();
    // Server message event: a notice for the event log, no client event.
    static void ServerMessage(int textId);

    OruLite* subsystem_;
    ServerReply reply_;
    bool decoded_ = false;
    bool continuation_ = false;
    ServerClient* client_ = nullptr;
    bool fromDatagram_ = false;
};
