// Preventive records for the performance tests: payload words P[k] (record
// offset 60 + 4k) of an 848-byte record, a "quiet" record whose every
// metric check passes (but check 13, which never has data), and the record
// bytes themselves for the metric arithmetic.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "coresys/server/log/LogBlock.h"
#include "coresys/server/log/LogLayout.h"

namespace perftest {

// Payload words of an 848-byte preventive record.
inline constexpr std::uint32_t kRecordLength = 848;
inline constexpr std::uint32_t kWords = (kRecordLength - 60) / 4;

// Word indexes of the record layout the checks read.
inline constexpr std::uint32_t kCompletion = 0;    // offset 60
inline constexpr std::uint32_t kRedundancy = 20;   // offset 140
inline constexpr std::uint32_t kStatusPolls = 33;  // offset 192
inline constexpr std::uint32_t kCabinet = 49;      // offset 256
// Counter Cn at offset 196 + 4 (n - 1).
constexpr std::uint32_t Counter(std::uint32_t n) {
    return 33 + n;
}

using Words = std::vector<std::uint32_t>;

// words with the given (index, value) pairs changed.
inline Words With(Words words, std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> set) {
    for (const auto& [index, value] : set) {
        if (index >= words.size()) {
            words.resize(index + 1, 0);
        }
        words[index] = value;
    }
    return words;
}

// A valid, complete record of a subsystem at rest: every check passes
// against its limits, no condition, room left in drive slots and memory.
//   metric 2 = 11 of 12 slots, 5 = 1 of 3 modules, 6 = 2 - 1 = 1,
//   7 = 1 x 5 x 200 / 900 x 100 / (1280 / 128) = 10, 8 = 1000 x 100 / 1280 = 78,
//   9 = 1 x 1000 / 10 = 100, 10 = 16 = 12 x 5 = 60, 11 = 2 x 100 / 10 = 20,
//   12 = 0, 14 = 1800 / 900 x 512 = 1024, 15 = 9000 / 900 = 10.
inline Words QuietWords() {
    Words w(kWords, 0);
    w[kCompletion] = 1;
    w[1] = 2;
    w[2] = 1;
    w[3] = 12;
    w[9] = 11;
    w[kRedundancy] = 1;
    w[31] = 3;
    w[32] = 1;
    w[kStatusPolls] = 8;
    w[kCabinet] = 1;
    w[51] = 1;
    w[59] = 1000;
    w[60] = 800;
    w[61] = 4500;
    w[62] = 4500;
    w[63] = 10;
    w[70] = 1;
    w[71] = 1;
    w[81] = 1;
    w[89] = 1280;
    w[91] = 1000;
    for (std::uint32_t k = 92; k <= 103; ++k) {
        w[k] = 5;
    }
    return w;
}

// The bytes of a record of length bytes carrying words (zero beyond them).
class RecordBytes {
  public:
    explicit RecordBytes(const Words& words, std::uint32_t length = kRecordLength)
        : bytes_(std::max<std::size_t>(length, 60 + 4 * words.size()), 0), length_(length) {
        logfmt::PutLe32(bytes_.data() + logfmt::kRecLength, length);
        logfmt::PutLe16(bytes_.data() + logfmt::kRecClass, 2);
        logfmt::PutLe16(bytes_.data() + logfmt::kRecCode, 4);
        for (std::size_t k = 0; k < words.size(); ++k) {
            logfmt::PutLe32(bytes_.data() + 60 + 4 * k, words[k]);
        }
    }
    LogRecordView View() const { return LogRecordView(bytes_.data(), length_); }

  private:
    std::vector<unsigned char> bytes_;
    std::uint32_t length_;
};

}  // namespace perftest
