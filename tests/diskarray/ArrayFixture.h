// The setting of the request-layer tests: a client machine root and a
// service peer (the client tests' fixture), a QEN that has read the peer's
// subsystem list, and for every session the peer accepts, the peer's end of
// the socket handed to the test, which reads the requests from it and writes
// the replies into it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ClientFixture.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"

#if defined(__SANITIZE_ADDRESS__)
#define ARRAYTEST_SEES_FREES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ARRAYTEST_SEES_FREES 1
#endif
#endif
#ifdef ARRAYTEST_SEES_FREES
#include <sanitizer/asan_interface.h>
#endif

namespace arraytest {

// Under AddressSanitizer: whether the block at p has been freed (freed
// blocks stay poisoned in quarantine). Without it the question cannot be
// asked and every block counts as freed; leak checks then fall to the
// sanitizer build.
inline bool Freed(const void* p) {
#ifdef ARRAYTEST_SEES_FREES
    return __asan_address_is_poisoned(p) != 0;
#else
    (void)p;
    return true;
#endif
}

class ArrayFixture : public clienttest::ClientFixture {
  protected:
    static constexpr const char* kSerial = "DASERIAL0001";
    static constexpr std::uint32_t kSessionId = 7;

    void SetUp() override;
    void TearDown() override;

    // Connects a new DiskArray through qen (the fixture's QEN by default) and
    // waits for the peer's end of its session: *peerEnd (closed by TearDown).
    DiskArray* Connect(int* peerEnd, QEN* through = nullptr);

    // One whole frame from the client (type word, length word, message);
    // empty when none came within the limit.
    static std::string ReadFrame(int fd);
    // Polls until a result comes (real-time limit); null when none came.
    static PollMsg* PollForResult(DiskArray& array);
    // Polls until a message was taken from the session (or the session
    // failed), whether or not it gave a result: the result of that poll.
    static PollMsg* PollForMessage(DiskArray& array);

    OruSubsystem* Entry() { return qen_->SubsystemList().FindSubsystem(kSerial); }

    std::unique_ptr<QEN> qen_;

  private:
    std::mutex mutex_;
    std::vector<int> peerEnds_;  // peer's ends of the sessions, in order
};

}  // namespace arraytest
