// The set-alias-name request as the service handles it: the header-and-
// string request with the same reply machinery as ManagementMsg.
//
// The alias is at most 12 characters of A..Z, 0..9, blank, '_', '.' and
// '#'; it is padded with blanks to 12 and written to the array, unless it
// is another served array's serial number or alias.
#pragma once

#include <cstdint>
#include <string_view>

#include "coresys/common/RequestMsgs.h"
#include "coresys/server/dispatch/ServerReply.h"

class OruLite;
class OruLiteTask;
struct ClientMessage;
struct TaskRequest;

class AliasMsg : public HeaderandStringMsg {
  public:
    static constexpr std::uint32_t kAliasLength = 12;

    AliasMsg(const ClientMessage& message, OruLite* subsystem);

    bool Decoded() const { return decoded_; }
    void do_message_action();
    void SendReply(TaskRequest& request, OruLiteTask& task, const ClientMessage& message);
    void RejectRequest(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t moduleId,
                       const oruerr& record);
    void SetErrorReply(const oruerr& record);
    void CompleteChange(bool succeeded, const oruerr& record, OruLite* subsystem,
                        std::uint32_t qualifier);
    void SetAliasName();

    // The 12 bytes written for alias, or false when the alias is refused.
    static bool MakeAlias(std::string_view alias, char out[kAliasLength]);
    // Whether alias (blank-padded, blank: no alias) is the serial number or
    // the alias of another subsystem the service serves: an identifier that
    // names two arrays names neither, so such an alias is refused.
    bool NamesAnotherArray(std::string_view alias) const;

    const ServerReply& Reply() const { return reply_; }

  private:
    OruLite* subsystem_;
    ServerReply reply_;
    bool decoded_ = false;
};
