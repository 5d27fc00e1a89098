// Abstract base of every protocol message.
//
// A message codes itself whole: EncodeMsg builds the complete message in the
// message's own buffer and hands the bytes to the caller; DecodeMsg reads a
// whole received message. The record-style coders Encode/Decode of OruXdr
// make no sense for a message and end the process if called.
#pragma once

#include <cstdint>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/OruXdr.h"

class OruXdrMsg : public OruXdr {
  public:
    OruXdrMsg() = default;
    // A copy starts with an empty buffer: coded bytes are never shared.
    OruXdrMsg(const OruXdrMsg& other) : OruXdr(other) {}
    OruXdrMsg& operator=(const OruXdrMsg&) { return *this; }
    ~OruXdrMsg() override;

    // Misuse: end the process through ReportError.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // Codes the whole message and returns the coded bytes, which from then on
    // belong to the caller (free them with CodedBuff::FreeData, also when
    // sending failed). Their count is the message's length afterwards.
    virtual unsigned char* EncodeMsg() = 0;

    // Decodes a whole received message of length bytes. The bytes stay the
    // caller's. Returns false when the message is short, inconsistent or lies
    // about its counts; the receiver then drops it. Never reads past length.
    virtual bool DecodeMsg(unsigned char* data, std::uint32_t length) = 0;

  protected:
    CodedBuff buff;
};
