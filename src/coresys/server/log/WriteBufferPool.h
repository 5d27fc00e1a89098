// The ring of 10 write buffers that packs records into blocks and hands
// out LRBAs. Writers on any task thread take space with GetRecord, copy
// their record into it outside the lock and release it with FreeRecord.
// Writers wait for the disk only when the ring wraps onto a block the Log
// Task has not written yet.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "coresys/server/log/WriteBuffer.h"

class LogTask;

class WriteBufferPool {
  public:
    static constexpr int kBufferCount = 10;

    // lastLrba: the LRBA from which writing continues (the Log Task's
    // answer to request 0); the first record goes into the next block.
    WriteBufferPool(LogTask* task, std::uint32_t lastLrba);
    // Destroy only after Flush and after the Log Task has ended.
    ~WriteBufferPool() = default;
    WriteBufferPool(const WriteBufferPool&) = delete;
    WriteBufferPool& operator=(const WriteBufferPool&) = delete;

    // Space for a record whose 60-byte header is given (its length word
    // read from it): stamps the header's LRBA and back link. Fatal for a
    // length above 4096.
    unsigned char* GetRecord(unsigned char* header);
    // Releases a record's space (its header already in place). Fatal for
    // space the pool did not hand out.
    void FreeRecord(const unsigned char* space);
    // Sends the current block to the Log Task even if not full.
    void Flush();
    // What the Log Task answers a resume: the LRBA above which it writes;
    // whether it resumed (the log was suspended); and the LRBA of the last
    // record in the log on disk, which the next record links back to.
    struct Resumed {
        std::uint32_t lrba = 0;
        bool resumed = false;
        std::uint32_t lastWritten = 0;
    };
    // Resumes a suspended log without a gap in the numbering: under the
    // pool's lock, sends the current block, waits until the Log Task has
    // handled every block sent (dropped while suspended), calls resume with
    // the last LRBA handed out and, when the log runs again afterwards,
    // numbers on above resume's answer. The records handed out meanwhile
    // were dropped, never written: the next record links back to the last
    // record on disk. Answers resume's LRBA. Call on a task's thread.
    std::uint32_t Resume(const std::function<Resumed(std::uint32_t lastLrba)>& resume);

    std::uint32_t LastLrba();

  private:
    // Makes the next buffer of the ring current at the block after the
    // closed one; waits for the Log Task when it is still in use.
    void Advance(std::uint32_t blockLrba);

    LogTask* task_;
    // The LRBA of the last record handed out: the next block is numbered
    // above it.
    std::uint32_t lastLrba_;
    // The LRBA the next record links back to: the last record handed out,
    // or after a resume the last record on disk.
    std::uint32_t backLink_;
    WriteBuffer buffers_[kBufferCount];
    int currentIndex_ = 0;
    WriteBuffer* current_;
    std::mutex lock_;
};
