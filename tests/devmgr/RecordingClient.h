// A client that records what a subsystem monitor sends it: the replies (as
// bytes) and the number of finished messages. Thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "coresys/server/monitor/ServerClient.h"

namespace devmgrtest {

// The fields of a reply at their wire offsets (BE32 words).
struct ReplyWords {
    std::uint32_t length = 0, version = 0, kind = 0, sequence = 0, session = 0, status = 0;
    // Error replies (kind 10): the record's three trailing values.
    std::uint32_t errorCode = 0, qualifier = 0, moduleId = 0;
};

class RecordingClient : public ServerClient {
  public:
    int Reply(std::vector<unsigned char> bytes) override;
    void Done() override;

    std::vector<std::vector<unsigned char>> Replies();
    std::vector<ReplyWords> Words();
    int DoneCount();
    // Waits (up to timeoutMs) until at least n messages are done.
    bool WaitDone(int n, int timeoutMs);
    void SetRefuse(bool refuse) { refuse_ = refuse; }

  private:
    std::mutex mutex_;
    std::condition_variable cond_;
    std::vector<std::vector<unsigned char>> replies_;
    int done_ = 0;
    bool refuse_ = false;
};

// Appends v to b as a BE32 word.
void PutBe32(std::vector<unsigned char>& b, std::uint32_t v);

// A request of header and four values, as the protocol lays it out: length,
// version, code, handle (sequence, session), value1..value4, BE32 each.
std::vector<unsigned char> RequestBytes(std::uint32_t code, std::uint32_t sequence,
                                        std::uint32_t session, std::uint32_t value1 = 0,
                                        std::uint32_t value2 = 0);

}  // namespace devmgrtest
