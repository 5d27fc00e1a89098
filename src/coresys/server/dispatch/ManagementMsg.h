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
#include <vector>

#include "coresys/common/RequestMsgs.h"
#include "coresys/server/dispatch/ServerReply.h"

class OruLite;
class OruLiteTask;
class ServerClient;
class StorSys;
struct ClientMessage;
struct SubsystemStateRecord;
struct TaskRequest;

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
