// The request messages: a header followed by a small fixed body.
//
//   HeaderandValueMsg      value1..value4                          36 bytes
//   HeaderandStringMsg     value1, value2, textLength, text bytes  32 + n, padded to 4
//   HeaderandPerfArrayMsg  value1..value4 (value4 = n), n ids      36 + 4n
//   GrossStatusRequestMsg  a HeaderandValueMsg of code 46, all 0   36
//
// Every request but GetPerfMetrics (10), the gross-status request (46) and
// SetAliasName (56) is a HeaderandValueMsg.
#pragma once

#include <cstdint>
#include <string_view>

#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/ORU_Message.h"

class HeaderandValueMsg : public ORU_Message {
  public:
    static constexpr std::uint32_t kWireLength = 36;

    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    std::uint32_t value3 = 0;
    std::uint32_t value4 = 0;

    HeaderandValueMsg() : ORU_Message(kWireLength) {}
    HeaderandValueMsg(std::uint32_t initialLength, std::uint32_t msgCode, std::uint32_t msgVersion,
                      const CommandHandle& msgHandle, std::uint32_t v1 = 0, std::uint32_t v2 = 0,
                      std::uint32_t v3 = 0, std::uint32_t v4 = 0)
        : ORU_Message(initialLength, msgCode, msgVersion, msgHandle),
          value1(v1),
          value2(v2),
          value3(v3),
          value4(v4) {}

  protected:
    void EncodeBody(CodedBuff& b) override;
    void DecodeBody(CodedBuff& b) override;
};

class HeaderandStringMsg : public ORU_Message {
  public:
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    // Counted text; the wire form has no terminator. The object always holds
    // its own zero-terminated copy (textLength + 1 bytes), so a received text
    // can be read as a C string without running past it.
    char* text = nullptr;
    std::uint32_t textLength = 0;
    bool ownsText = false;

    HeaderandStringMsg() : ORU_Message(32) {}
    HeaderandStringMsg(std::uint32_t initialLength, std::uint32_t msgCode, std::uint32_t msgVersion,
                       const CommandHandle& msgHandle, std::uint32_t v1, std::uint32_t v2,
                       const char* bytes, std::uint32_t count);
    HeaderandStringMsg(const HeaderandStringMsg&) = delete;
    HeaderandStringMsg& operator=(const HeaderandStringMsg&) = delete;
    ~HeaderandStringMsg() override;

    std::string_view Text() const {
        return std::string_view(text != nullptr ? text : "", textLength);
    }

  protected:
    void EncodeBody(CodedBuff& b) override;
    // Takes textLength from the wire only when that many bytes are left.
    void DecodeBody(CodedBuff& b) override;

  private:
    void SetText(const char* bytes, std::uint32_t count);
    void FreeText();
};

class HeaderandPerfArrayMsg : public HeaderandValueMsg {
  public:
    // value4 is the number of identifiers; the array below holds that many.
    std::uint32_t* metricIds = nullptr;

    HeaderandPerfArrayMsg() = default;
    // value1..value3 as given; value4 := count; the identifiers are copied.
    HeaderandPerfArrayMsg(std::uint32_t initialLength, std::uint32_t msgCode,
                          std::uint32_t msgVersion, const CommandHandle& msgHandle,
                          std::uint32_t v1, std::uint32_t v2, std::uint32_t v3, std::uint32_t count,
                          const std::uint32_t* ids);
    HeaderandPerfArrayMsg(const HeaderandPerfArrayMsg&) = delete;
    HeaderandPerfArrayMsg& operator=(const HeaderandPerfArrayMsg&) = delete;
    ~HeaderandPerfArrayMsg() override;

    std::uint32_t MetricCount() const { return metricIds != nullptr ? value4 : 0; }
    // The i-th identifier, 0 past the end.
    std::uint32_t MetricId(std::uint32_t i) const { return i < MetricCount() ? metricIds[i] : 0; }

  protected:
    void EncodeBody(CodedBuff& b) override;
    // A count larger than the bytes left fails the decode; no array then.
    void DecodeBody(CodedBuff& b) override;
};

class GrossStatusRequestMsg : public HeaderandValueMsg {
  public:
    // Travels by datagram outside any session, so it carries no handle of
    // its own: (0, 0).
    CommandHandle requestHandle;

    GrossStatusRequestMsg()
        : HeaderandValueMsg(kWireLength, MC_GrossStatus, kProtocolVersion, CommandHandle()) {}
};
