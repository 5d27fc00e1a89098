#include "coresys/common/RequestMsgs.h"

#include <cstring>
#include <new>

#include "coresys/common/ReportError.h"

void HeaderandValueMsg::EncodeBody(CodedBuff& b) {
    EncodeVal(b, value1);
    EncodeVal(b, value2);
    EncodeVal(b, value3);
    EncodeVal(b, value4);
}

void HeaderandValueMsg::DecodeBody(CodedBuff& b) {
    DecodeVal(b, value1);
    DecodeVal(b, value2);
    DecodeVal(b, value3);
    DecodeVal(b, value4);
}

HeaderandStringMsg::HeaderandStringMsg(std::uint32_t initialLength, std::uint32_t msgCode,
                                       std::uint32_t msgVersion, const CommandHandle& msgHandle,
                                       std::uint32_t v1, std::uint32_t v2, const char* bytes,
                                       std::uint32_t count)
    : ORU_Message(initialLength, msgCode, msgVersion, msgHandle), value1(v1), value2(v2) {
    // A copy, so the caller's text may go away before the message is sent.
    SetText(bytes, bytes != nullptr ? count : 0);
}

HeaderandStringMsg::~HeaderandStringMsg() {
    FreeText();
}

void HeaderandStringMsg::FreeText() {
    if (ownsText) {
        delete[] text;
    }
    text = nullptr;
    textLength = 0;
    ownsText = false;
}

void HeaderandStringMsg::SetText(const char* bytes, std::uint32_t count) {
    FreeText();
    text = new (std::nothrow) char[static_cast<std::size_t>(count) + 1];
    if (text == nullptr) {
        ReportError("HeaderandStringMsg", "No Memory");
    }
    if (count != 0) {
        std::memcpy(text, bytes, count);
    }
    text[count] = '\0';
    textLength = count;
    ownsText = true;
}

void HeaderandStringMsg::EncodeBody(CodedBuff& b) {
    EncodeVal(b, value1);
    EncodeVal(b, value2);
    EncodeVal(b, textLength);
    EncodeVal(b, text, textLength);
}

void HeaderandStringMsg::DecodeBody(CodedBuff& b) {
    FreeText();
    DecodeVal(b, value1);
    DecodeVal(b, value2);
    std::uint32_t count = 0;
    DecodeVal(b, count);
    if (!b.CanHold(count, 1)) {
        b.Fail();
        return;
    }
    const unsigned char* at = b.NextItem(count);
    SetText(reinterpret_cast<const char*>(at), at != nullptr ? count : 0);
}

HeaderandPerfArrayMsg::HeaderandPerfArrayMsg(std::uint32_t initialLength, std::uint32_t msgCode,
                                             std::uint32_t msgVersion,
                                             const CommandHandle& msgHandle, std::uint32_t v1,
                                             std::uint32_t v2, std::uint32_t v3,
                                             std::uint32_t count, const std::uint32_t* ids)
    : HeaderandValueMsg(initialLength, msgCode, msgVersion, msgHandle, v1, v2, v3, 0) {
    if (ids == nullptr || count == 0) {
        return;
    }
    metricIds = new (std::nothrow) std::uint32_t[count];
    if (metricIds == nullptr) {
        ReportError("HeaderandPerfArrayMsg", "No Memory");
    }
    std::memcpy(metricIds, ids, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
    value4 = count;
}

HeaderandPerfArrayMsg::~HeaderandPerfArrayMsg() {
    delete[] metricIds;
}

void HeaderandPerfArrayMsg::EncodeBody(CodedBuff& b) {
    // The count on the wire is always the number of identifiers held.
    const std::uint32_t count = MetricCount();
    value4 = count;
    HeaderandValueMsg::EncodeBody(b);
    for (std::uint32_t i = 0; i < count; ++i) {
        EncodeVal(b, metricIds[i]);
    }
}

void HeaderandPerfArrayMsg::DecodeBody(CodedBuff& b) {
    delete[] metricIds;
    metricIds = nullptr;
    HeaderandValueMsg::DecodeBody(b);
    if (!b.CanHold(value4, 4)) {
        value4 = 0;
        b.Fail();
        return;
    }
    if (value4 == 0) {
        return;
    }
    metricIds = new (std::nothrow) std::uint32_t[value4];
    if (metricIds == nullptr) {
        ReportError("HeaderandPerfArrayMsg", "No Memory");
    }
    for (std::uint32_t i = 0; i < value4; ++i) {
        DecodeVal(b, metricIds[i]);
    }
}
