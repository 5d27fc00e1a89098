// Finished blocks that reached the Log Task before the block that must be
// written first: up to 10, kept in ascending block LRBA order.
#pragma once

#include <cstdint>

class WriteBuffer;

class PendingQueue {
  public:
    static constexpr int kCapacity = 10;

    // Inserts in LRBA order. Fatal when full or when the block LRBA is
    // already queued.
    void Add(WriteBuffer* buffer);
    // The buffer with the lowest block LRBA, or nullptr.
    WriteBuffer* First() const { return count_ > 0 ? buffers_[0] : nullptr; }
    // Takes the first buffer out (nullptr when empty).
    WriteBuffer* TakeFirst();
    int Count() const { return count_; }

  private:
    int count_ = 0;
    WriteBuffer* buffers_[kCapacity] = {};
};
