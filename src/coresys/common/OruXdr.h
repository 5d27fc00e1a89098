// Abstract base of every coded record and message.
//
// Every wire value is a 4-byte big-endian word, whatever its type in memory:
// an unsigned char travels zero-extended, a signed value sign-extends on
// decode. Character arrays travel as exactly n raw bytes, with no length,
// terminator or padding, so a value after a text field sits at whatever
// offset the stream has reached.
#pragma once

#include <cstdint>
#include <cstring>

#include "coresys/common/CodedBuff.h"

class OruXdr {
  public:
    OruXdr() = default;
    OruXdr(const OruXdr&) = default;
    OruXdr& operator=(const OruXdr&) = default;
    virtual ~OruXdr() = default;

    virtual void Encode(CodedBuff& buff) = 0;
    virtual void Decode(CodedBuff& buff) = 0;

  protected:
    static void EncodeVal(CodedBuff& buff, unsigned char value) { PutWord(buff, value); }
    static void EncodeVal(CodedBuff& buff, std::int32_t value) {
        PutWord(buff, static_cast<std::uint32_t>(value));
    }
    static void EncodeVal(CodedBuff& buff, std::uint32_t value) { PutWord(buff, value); }
    static void EncodeVal(CodedBuff& buff, const char* bytes, std::uint32_t n) {
        if (n == 0) {
            return;
        }
        unsigned char* at = buff.NextItem(n);
        std::memcpy(at, bytes, n);
    }

    static void DecodeVal(CodedBuff& buff, unsigned char& value) {
        value = static_cast<unsigned char>(GetWord(buff) & 0xFFu);
    }
    static void DecodeVal(CodedBuff& buff, std::int32_t& value) {
        value = static_cast<std::int32_t>(GetWord(buff));
    }
    static void DecodeVal(CodedBuff& buff, std::uint32_t& value) { value = GetWord(buff); }
    // Copies the next n bytes; after an overrun the destination is zeroed
    // instead, so a failed decode never leaves stale or foreign bytes behind.
    static void DecodeVal(CodedBuff& buff, char* bytes, std::uint32_t n) {
        if (n == 0) {
            return;
        }
        const unsigned char* at = buff.NextItem(n);
        if (at == nullptr) {
            std::memset(bytes, 0, n);
            return;
        }
        std::memcpy(bytes, at, n);
    }

  private:
    static void PutWord(CodedBuff& buff, std::uint32_t value) {
        unsigned char* at = buff.NextItem(4);
        at[0] = static_cast<unsigned char>(value >> 24);
        at[1] = static_cast<unsigned char>(value >> 16);
        at[2] = static_cast<unsigned char>(value >> 8);
        at[3] = static_cast<unsigned char>(value);
    }
    static std::uint32_t GetWord(CodedBuff& buff) {
        const unsigned char* at = buff.NextItem(4);
        if (at == nullptr) {
            return 0;
        }
        return (static_cast<std::uint32_t>(at[0]) << 24) |
               (static_cast<std::uint32_t>(at[1]) << 16) |
               (static_cast<std::uint32_t>(at[2]) << 8) | static_cast<std::uint32_t>(at[3]);
    }
};
