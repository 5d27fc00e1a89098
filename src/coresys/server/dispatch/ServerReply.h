// What a server message holds besides its request: the reply its handler
// built, how that reply leaves (the disposition), the continuation of a long
// command and the cancel bookkeeping. ManagementMsg and AliasMsg each keep
// one, so both reply, refuse and complete a change in exactly the same way.
//
// Dispositions:
//   0 nothing is sent, nothing re-posted (a long command that has ended);
//   1 the reply goes to the requesting client;
//   2 nothing is sent, the continuation is re-posted;
//   3 the reply goes to the client, then the continuation is re-posted.
//
// Used on the subsystem's task only, under the subsystem-in-use lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/oruerr.h"

class OruLite;
class OruLiteTask;
class ServerDiskArrayState;
struct ClientMessage;
struct TaskRequest;

enum REPLY_DISPOSITION : std::uint32_t {
    DISP_NONE = 0,
    DISP_REPLY = 1,
    DISP_CONTINUE = 2,
    DISP_REPLY_AND_CONTINUE = 3,
};

class ServerReply {
  public:
    // Status of every final reply.
    static constexpr std::uint32_t kStatusFinished = 1;

    // request must outlive this object; subsystem may be null (refusals only).
    ServerReply(const ORU_Message& request, OruLite* subsystem);
    ServerReply(const ServerReply&) = delete;
    ServerReply& operator=(const ServerReply&) = delete;

    // Takes reply, encodes it into the reply bytes and sets the disposition.
    void SetReply(std::unique_ptr<ORU_ReturnMsg> reply, std::uint32_t disposition = DISP_REPLY);
    // The plain reply with status 1 over the request; disposition 1.
    void ReplyOk();
    // A copy of record with the three values set, as an error reply.
    void RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t moduleId,
                       const oruerr& record);
    // The error-status reply (kind 10, status 1) carrying record.
    void SetErrorReply(const oruerr& record);
    // The ending of every handler that changed the array: on success a fresh
    // state is read, compared (events) and installed before the plain reply;
    // a failed change or an unreadable state is refused (see the .cpp).
    void CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                        std::uint32_t qualifier);
    // Reads a fresh state of subsystem now. A valid one clears the
    // state-invalid flag, is compared with the current state (events) and
    // replaces it; it is returned and no reply is built. An invalid one sets
    // the flag and is refused here with errorCode, qualifier, SUBSYSTEM and
    // its own error record; nullptr is returned.
    const ServerDiskArrayState* InstallFreshState(OruLite& subsystem, std::uint32_t errorCode,
                                                  std::uint32_t qualifier);

    // The continuation of a long command: its encoded request and delay.
    void SetContinuation(std::vector<unsigned char> bytes, std::uint32_t delayMs = 0);
    void SetDisposition(std::uint32_t disposition) { disposition_ = disposition; }

    // Acts on the disposition for the message that carried the request.
    // Sends through message.client; re-posts the continuation to task as a
    // new continuation request (no client). The message itself stays with
    // the caller.
    void SendReply(TaskRequest& request, OruLiteTask& task, const ClientMessage& message);

    std::uint32_t Disposition() const { return disposition_; }
    const ORU_ReturnMsg* Reply() const { return reply_.get(); }
    const std::vector<unsigned char>& ReplyBytes() const { return replyBytes_; }
    const std::vector<unsigned char>& ContinuationBytes() const { return continuation_; }
    OruLite* Subsystem() const { return subsystem_; }

    // Cancel bookkeeping (set by the cancel path only).
    std::uint32_t cancelError = 0;
    std::uint32_t cancelReply = 0;

  private:
    const ORU_Message& request_;
    OruLite* subsystem_;
    std::unique_ptr<ORU_ReturnMsg> reply_;
    std::vector<unsigned char> replyBytes_;
    std::uint32_t disposition_ = DISP_NONE;
    std::vector<unsigned char> continuation_;
    std::uint32_t delayMs_ = 0;
};
