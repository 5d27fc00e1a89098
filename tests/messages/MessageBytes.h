// Helpers of the message tests: literal byte vectors, encode capture and
// decodes over exactly-sized heap copies (so AddressSanitizer sees any read
// past the received bytes).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/ORU_Message.h"

namespace msgtest {

using Bytes = std::vector<unsigned char>;

// Big-endian 32-bit words, as written in the layout tables.
inline Bytes Words(std::initializer_list<std::uint32_t> words) {
    Bytes out;
    for (std::uint32_t w : words) {
        out.push_back(static_cast<unsigned char>(w >> 24));
        out.push_back(static_cast<unsigned char>(w >> 16));
        out.push_back(static_cast<unsigned char>(w >> 8));
        out.push_back(static_cast<unsigned char>(w));
    }
    return out;
}

inline Bytes Text(const char* text, std::size_t width) {
    Bytes out(width, 0);
    std::memcpy(out.data(), text, std::min(width, std::strlen(text)));
    return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Encodes a message and returns its coded bytes (length taken from the
// message after encoding).
inline Bytes Encoded(ORU_Message& msg) {
    unsigned char* bytes = msg.EncodeMsg();
    Bytes out(bytes, bytes + msg.length);
    CodedBuff::FreeData(bytes);
    return out;
}

// Decodes a copy of the first n bytes held in a block of exactly n bytes.
template <typename Msg>
bool DecodePrefix(Msg& msg, const Bytes& bytes, std::size_t n) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[n == 0 ? 1 : n]);
    if (n != 0) {
        std::memcpy(copy.get(), bytes.data(), n);
    }
    return msg.DecodeMsg(n == 0 ? nullptr : copy.get(), static_cast<std::uint32_t>(n));
}

template <typename Msg>
bool Decode(Msg& msg, const Bytes& bytes) {
    return DecodePrefix(msg, bytes, bytes.size());
}

// The first n bytes with the header's length word rewritten to n: a message
// that claims to be exactly what arrived, so only the body's own bounds can
// stop the decode.
inline Bytes LyingPrefix(const Bytes& bytes, std::size_t n) {
    Bytes out(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (n >= 4) {
        out[0] = static_cast<unsigned char>(n >> 24);
        out[1] = static_cast<unsigned char>(n >> 16);
        out[2] = static_cast<unsigned char>(n >> 8);
        out[3] = static_cast<unsigned char>(n);
    }
    return out;
}

}  // namespace msgtest
