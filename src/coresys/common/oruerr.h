// The error record of command results and error replies.
//
// text holds a message, or SCSI sense data when senseValid is non-zero; it is
// not always terminated, so read it through TextView or SenseBytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "coresys/common/FieldText.h"
#include "coresys/common/OruXdr.h"

class oruerr : public OruXdr {
  public:
    static constexpr std::uint32_t kTextSize = 256;
    // Smallest coded record: no extra bytes.
    static constexpr std::uint32_t kMinWireSize = kTextSize + 10 * 4;

    std::uint32_t source = 0;  // source of the error, or the OEM catalog number
    std::uint32_t errorClass = 3;
    std::uint32_t detail = 0;
    std::uint32_t senseValid = 0;  // non-zero: text holds sense data
    char text[kTextSize] = {};
    std::uint32_t oemSet = 0;
    std::uint32_t oemItem = 0;
    std::vector<unsigned char> extraBytes;  // extraLength bytes on the wire
    std::uint32_t errorCode = 0;
    std::uint32_t qualifier = 0;
    std::uint32_t moduleId = 0;

    // Wire: text (256 bytes), senseValid, source, errorClass, detail, oemSet,
    // oemItem, extraLength, the extra bytes, errorCode, qualifier, moduleId.
    // Decode fails the buffer when extraLength is larger than the bytes left.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::uint32_t ExtraLength() const { return static_cast<std::uint32_t>(extraBytes.size()); }
    // The message text up to its terminator, never past the field.
    std::string_view TextView() const { return FieldText(text); }
    // The whole field as bytes, for sense data.
    std::string_view SenseBytes() const { return std::string_view(text, kTextSize); }
    void SetText(std::string_view message) { SetFieldText(text, message); }
};
