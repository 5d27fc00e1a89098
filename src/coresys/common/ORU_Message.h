// The message header shared by every request and reply.
//
// Wire form, five 32-bit big-endian words: length (whole message in bytes,
// rounded up to a multiple of 4), version, code (request code or reply kind),
// then the command handle (sequence, sessionID). A derived class codes its
// body after the header through EncodeBody/DecodeBody.
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/OruXdrMsg.h"

class ORU_Message : public OruXdrMsg {
  public:
    static constexpr std::uint32_t kHeaderLength = 20;
    // Protocol version of every message this release sends.
    static constexpr std::uint32_t kProtocolVersion = 4;
    // Largest length estimate that sizes the encode buffer in advance.
    static constexpr std::uint32_t kMaxPresize = 16u << 20;

    std::uint32_t length = kHeaderLength;
    std::uint32_t version = kProtocolVersion;
    std::uint32_t code = 0;
    CommandHandle handle;

    // The initial length is only an estimate: it sizes the encode buffer, and
    // EncodeMsg writes the real length.
    explicit ORU_Message(std::uint32_t initialLength = kHeaderLength, std::uint32_t msgCode = 0,
                         std::uint32_t msgVersion = kProtocolVersion,
                         const CommandHandle& msgHandle = CommandHandle());

    // Header, body, zeroed pad up to a multiple of 4; the real length is
    // written into the first word and kept in `length`. The buffer is coded
    // with the message's own version, so a version-3 message leaves out the
    // version-4 fields of every record it carries.
    unsigned char* EncodeMsg() override;

    // Reads the header, then the body with the sender's version. Fails when
    // the header is short or its length is below 20 or beyond the received
    // bytes; the body is read only up to the header's length.
    bool DecodeMsg(unsigned char* data, std::uint32_t frameLength) override;

    // True after a decode that ran short or found a lying count.
    bool DecodeFailed() const { return buff.Failed(); }

  protected:
    virtual void EncodeBody(CodedBuff&) {}
    virtual void DecodeBody(CodedBuff&) {}

    // Rounds the coded length up to a multiple of 4 with zero pad bytes,
    // writes it at offset 0 and hands the bytes out.
    unsigned char* FinishLength();
};
