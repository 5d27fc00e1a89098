// Bytes waiting to go out on one non-blocking socket, written as the socket
// takes them and never waited for. The queue is bounded: bytes that would
// take it past its limit are refused, so a peer that stops reading costs at
// most that much memory. Stalled tells when bytes have waited without any
// of them going out for longer than a budget. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace netio {

class SendQueue {
  public:
    enum class Flush {
        DONE,     // everything went out
        PENDING,  // bytes wait until the socket has room again
        FAILED,   // the connection is closed or broken
    };

    explicit SendQueue(std::size_t limit) : limit_(limit) {}

    // Queues the bytes behind the ones waiting; false (nothing queued) when
    // they would take the queue past its limit. nowMs starts the stall
    // clock of a queue that was empty.
    bool Push(std::vector<unsigned char> bytes, std::uint64_t nowMs);
    // Writes as much as the socket takes now.
    Flush Write(int fd, std::uint64_t nowMs);
    // Bytes wait and none went out since more than budgetMs before nowMs.
    bool Stalled(std::uint64_t nowMs, std::uint64_t budgetMs) const;

    bool Empty() const { return queued_ == 0; }
    std::size_t Queued() const { return queued_; }
    void Clear();

  private:
    std::size_t limit_;
    std::deque<std::vector<unsigned char>> blocks_;
    // Bytes of the first block already sent.
    std::size_t sentOfFirst_ = 0;
    std::size_t queued_ = 0;
    std::uint64_t lastProgress_ = 0;
};

}  // namespace netio
