// The chunk bit map of a running drive test: one bit per chunk of the drive,
// set once the chunk was taken. Bit i is bit i mod 8 (least significant
// first) of byte i / 8.
//
// Every operation ignores an index at or beyond the count. A map whose bytes
// cannot be had has a count of 0 (and answers every NextFree with -1), so
// the caller learns of it by the count and never by an exception.
#pragma once

#include <cstdint>
#include <vector>

class BitMap {
  public:
    BitMap() = default;
    explicit BitMap(std::uint64_t count);

    std::uint64_t Count() const { return count_; }
    bool Test(std::uint64_t index) const;
    void Clear(std::uint64_t index);
    void Set(std::uint64_t index);
    // Sets the bit when it was clear and answers 1; a bit already set
    // answers 0; an index beyond the count answers 1.
    int ChkSet(std::uint64_t index);
    // From start (taken modulo the count) upwards, then wrapping to 0: the
    // first index whose bit ChkSet can set, which is then set; -1 when every
    // bit is set or the count is 0.
    std::int64_t NextFree(std::uint64_t start);
    // Forgets the bits and the count (a test that ended).
    void Release();

  private:
    std::uint64_t count_ = 0;
    std::vector<std::uint8_t> bytes_;
};
