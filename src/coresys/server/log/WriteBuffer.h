// One 4096-byte block of the log being filled in memory. Records are
// handed out of it by Alloc and released by FreeSpace; once closed and
// with no record outstanding it is posted to the Log Task (request 1),
// which writes it and resets it. The pool's lock guards every member
// except the data bytes of a record being copied; the Log Task touches a
// buffer only between its posting and its Reset.
#pragma once

#include <atomic>
#include <cstdint>

class OruTask;

class WriteBuffer {
  public:
    static constexpr std::uint32_t kSize = 4096;

    WriteBuffer() { Reset(); }
    WriteBuffer(const WriteBuffer&) = delete;
    WriteBuffer& operator=(const WriteBuffer&) = delete;

    // The task that receives the buffer when it is posted.
    void SetLogTask(OruTask* task) { logTask_ = task; }
    // Space for a record of that length, or nullptr when it does not fit.
    unsigned char* Alloc(std::uint32_t length);
    // Releases a record's space; the last release of a closed buffer posts
    // it. Fatal when the space is not in this buffer.
    void FreeSpace(const unsigned char* space);
    // Ends filling: writes the end marker behind the last record, posts at
    // once when nothing is outstanding. False for a buffer without records.
    bool Close();
    // Empties the buffer (by the Log Task after its block was written or
    // dropped).
    void Reset();
    bool Holds(const unsigned char* space) const { return space >= data_ && space < data_ + kSize; }

    bool InUse() const { return inUse_.load(); }
    bool IsClosed() const { return closed_; }
    const unsigned char* Data() const { return data_; }
    std::uint32_t FreeBytes() const { return freeBytes_; }
    std::uint32_t Outstanding() const { return outstanding_; }
    std::uint32_t BlockLrba() const { return blockLrba_; }
    void SetBlockLrba(std::uint32_t lrba) { blockLrba_ = lrba; }
    std::uint32_t LastLrba() const { return lastLrba_; }
    std::uint32_t TimeStamp() const { return timeStamp_; }
    std::uint32_t BundleId() const { return bundleId_; }
    void SetBundleId(std::uint32_t bundle) { bundleId_ = bundle; }

  private:
    void Post();

    alignas(8) unsigned char data_[kSize];
    std::uint32_t freeOffset_ = 0;
    std::uint32_t freeBytes_ = kSize;
    std::atomic<bool> inUse_{false};
    bool closed_ = false;
    std::uint32_t outstanding_ = 0;
    std::uint32_t blockLrba_ = 0;
    std::uint32_t lastLrba_ = 0;
    std::uint32_t timeStamp_ = 0;
    std::uint32_t bundleId_ = 0;
    OruTask* logTask_ = nullptr;
};
