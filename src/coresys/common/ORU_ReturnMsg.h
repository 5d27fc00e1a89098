// The common part of every reply: the message header, whose code holds the
// reply kind, and a 32-bit status. The handle is the one of the request the
// reply answers.
#pragma once

#include <cstdint>

#include "coresys/common/ORU_Message.h"

// Reply kinds (the header's code word of a reply).
enum RETURN_MSG_TYPE : std::uint32_t {
    RMT_INVALID = 0,  // never sent: a poll result with no reply behind it
    RMT_OKSTATUS_MSG = 1,
    RMT_ERRORSTATUS_MSG = 2,
    RMT_EVENT_MSG = 3,
    RMT_STATE_MSG = 5,
    RMT_VALUESTATUS_MSG = 6,
    RMT_PERFMETRICS_MSG = 7,
    RMT_PERFRECS_MSG = 8,
    RMT_BUFFER_MSG = 9,
    RMT_ORUERRORSTATUS_MSG = 10,
    RMT_GROSSSTATUS_MSG = 100,
};

// The symbolic name of a reply kind, or nullptr for a value that is none.
const char* MessageKindName(std::uint32_t kind);

class ORU_ReturnMsg : public ORU_Message {
  public:
    // Length of a reply without body.
    static constexpr std::uint32_t kBareLength = 24;

    std::uint32_t status = 0;

    explicit ORU_ReturnMsg(std::uint32_t initialLength = kBareLength)
        : ORU_Message(initialLength) {}
    ORU_ReturnMsg(std::uint32_t initialLength, std::uint32_t replyStatus)
        : ORU_Message(initialLength), status(replyStatus) {}

    // Makes this the reply to request: its handle and protocol version (a
    // version-3 request gets a version-3 reply).
    void ReplyTo(const ORU_Message& request) {
        handle = request.handle;
        version = request.version;
    }

  protected:
    // Status, then the kind's body.
    void EncodeBody(CodedBuff& b) final;
    void DecodeBody(CodedBuff& b) final;
    virtual void EncodeReply(CodedBuff&) {}
    virtual void DecodeReply(CodedBuff&) {}
};
