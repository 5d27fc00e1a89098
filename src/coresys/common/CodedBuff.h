// Growable byte buffer that messages are coded into and decoded from.
//
// The coding is a plain big-endian stream: no tags, no alignment. An encoding
// buffer allocates its own block (Setup) and grows in whole steps; its bytes
// are handed to the sender, which frees them with CodedBuff::FreeData. A
// decoding buffer reads bytes it was handed (SetupDecode) and never frees
// them.
//
// Decoding never reads past the received bytes: a read that would pass the
// end sets `failed`, reads as zeros, and every later read of that buffer reads
// as zeros too. Receivers check Failed() after decoding and drop the message.
#pragma once

#include <cstdint>

class CodedBuff {
  public:
    static constexpr std::uint32_t kBlockSize = 8100;

    unsigned char* data = nullptr;  // start of the coded bytes
    int owns = 0;                   // 1: encoding buffer that allocated data
    std::uint32_t size = 0;         // capacity (encoding) or received length (decoding)
    std::uint32_t position = 0;     // offset of the next byte to write or read
    std::uint32_t version = 4;      // protocol version of the message being coded
    bool failed = false;            // a decode ran past the received bytes

    // Prepares an encoding buffer of one block.
    void Setup(std::uint32_t codingVersion);
    // Prepares a decoding buffer over length received bytes.
    void SetupDecode(unsigned char* bytes, std::uint32_t length, std::uint32_t codingVersion);

    // Address of the next n bytes to write or read; advances position by n.
    // Encoding: grows the buffer as needed. Decoding: returns nullptr, sets
    // failed and leaves position at the end when fewer than n bytes are left.
    unsigned char* NextItem(std::uint32_t n) {
        if (owns != 0) {
            if (static_cast<std::uint64_t>(position) + n > size) {
                Grow(n);
            }
        } else if (failed || static_cast<std::uint64_t>(position) + n > size) {
            failed = true;
            position = size;
            return nullptr;
        }
        unsigned char* at = data + position;
        position += n;
        return at;
    }

    // Checks after encoding that position has not passed size.
    void ValidateLength() const;

    // Bytes not yet read (decoding) or free (encoding).
    std::uint32_t Remaining() const { return position < size ? size - position : 0; }

    // True when count items of itemSize bytes each can still be read. Used to
    // bound every count taken from the wire before anything is allocated.
    bool CanHold(std::uint64_t count, std::uint64_t itemSize) const {
        return !failed && (itemSize == 0 || count <= Remaining() / itemSize);
    }

    // Marks the decode as failed (a record found its own content inconsistent).
    void Fail() {
        failed = true;
        if (owns == 0) {
            position = size;
        }
    }

    bool Failed() const { return failed; }

    // Hands the encoded bytes to the caller, who frees them with FreeData.
    unsigned char* TakeData() {
        unsigned char* bytes = data;
        data = nullptr;
        owns = 0;
        size = 0;
        position = 0;
        return bytes;
    }

    // Frees bytes allocated by an encoding buffer.
    static void FreeData(unsigned char* bytes);

  private:
    void Grow(std::uint32_t n);
};
