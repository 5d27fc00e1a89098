// The replies a scripted service sends, coded by the shared data model for
// the handle of the request they answer (anything with a sequence and a
// session id).
#pragma once

#include <cstdint>
#include <string>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/CommandHandle.h"
#include "coresys/common/ReturnMsgs.h"

namespace clienttest {

template <typename Request>
std::string EncodedReply(ORU_ReturnMsg& reply, const Request& request) {
    reply.handle = CommandHandle(request.sequence, request.session);
    unsigned char* bytes = reply.EncodeMsg();
    std::string coded(reinterpret_cast<char*>(bytes), reply.length);
    CodedBuff::FreeData(bytes);
    return coded;
}

// A plain reply with the status given (3 received, 2 started, 1 done).
template <typename Request>
std::string OkReply(const Request& request, std::uint32_t status) {
    OkStatus_RtnMsg reply(status);
    return EncodedReply(reply, request);
}

}  // namespace clienttest
