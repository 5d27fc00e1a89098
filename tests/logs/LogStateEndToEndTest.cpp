// The state of the service's log reaching a revision-4 client through
// libqen: the real OruServr next to strovsim, its log suspended by a write
// that fails even on a fresh file (a file-size limit of 0 put on the running
// service stands in for a full disk), then resumed by the client's retry.
// The client decodes each log-state event, and its copy of the state, as
// well as every state the service builds, says whether the log is
// suspended.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <vector>

#include "ArrayClientFixture.h"
#include "LogTestSupport.h"
#include "coresys/common/EventTypes.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

namespace {

using netsrvtest::kLimitMs;

constexpr const char* kFirst = "QX0000000001";

class LogStateEndToEnd : public netsrvtest::ArrayClientTest {
  protected:
    struct LogEvent {
        std::uint32_t lrba;
        std::uint32_t readErrors;
        // The client's copy of "log suspended" right after the event.
        std::uint32_t stateValue;
    };
    struct Outcome {
        bool replied = false;
        std::uint32_t kind = RMT_INVALID;
        std::uint32_t errorCode = 0;
        std::uint32_t qualifier = 0;
        std::vector<LogEvent> events;
    };

    void SetUp() override {
        StartAndConnect(kFirst, {"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    }

    // The largest file the running service may write (RLIM_INFINITY: none).
    void LimitServiceFiles(rlim_t bytes) {
        rlimit limit{};
        ASSERT_EQ(::prlimit(server_.Process().Pid(), RLIMIT_FSIZE, nullptr, &limit), 0);
        limit.rlim_cur = bytes;
        ASSERT_EQ(::prlimit(server_.Process().Pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
    }

    // Polls until the final reply to handle and at least `events` log-state
    // events have arrived.
    Outcome Await(const CommandHandle& handle, std::size_t events) {
        Outcome outcome;
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end &&
               (!outcome.replied || outcome.events.size() < events)) {
            PollMsg* result = array_->PollQEN();
            if (result == nullptr) {
                platform::SleepMs(2);
                continue;
            }
            if (result->kind == RMT_INVALID) {
                break;
            }
            if (auto* list = dynamic_cast<EventPollMsg*>(result)) {
                EXPECT_EQ(result->status, 5u);
                for (unsigned short i = 0; i < list->EventCount(); ++i) {
                    const Event* e = (*list)[i];
                    if (e->majorType == DAS_MISC && e->minorType == DAS_MISC_STATE_VALUE1) {
                        outcome.events.push_back({e->data1, e->data2, State().stateValue1});
                    }
                }
                continue;
            }
            if (!DiskArray::Answers(result, handle)) {
                continue;
            }
            if (auto* error = dynamic_cast<ErrorPollMsg*>(result)) {
                outcome.replied = true;
                outcome.kind = result->kind;
                outcome.errorCode = error->error.errorCode;
                outcome.qualifier = error->error.qualifier;
            } else if (result->status == 1) {
                outcome.replied = true;
                outcome.kind = result->kind;
            }
        }
        return outcome;
    }
};

TEST_F(LogStateEndToEnd, SuspensionAndResumptionReachTheClientAndItsState) {
    ASSERT_TRUE(FetchState());
    EXPECT_EQ(State().stateValue1, 0u);

    // Nothing can be written any more: the flush sends the block with the
    // service's start record, which fails on its file and on a new one.
    LimitServiceFiles(0);
    Outcome flush = Await(array_->FlushServerLog(), 1);
    ASSERT_TRUE(flush.replied);
    // The flush did not reach the disk, and the client hears so.
    EXPECT_EQ(flush.errorCode, static_cast<std::uint32_t>(ERR_COMMAND_FAILED));
    EXPECT_EQ(flush.qualifier, static_cast<std::uint32_t>(LOG_FLUSH));
    ASSERT_EQ(flush.events.size(), 1u);
    EXPECT_EQ(flush.events[0].lrba, 4096u);  // the block that could not be written
    EXPECT_EQ(flush.events[0].readErrors, 0u);
    EXPECT_EQ(flush.events[0].stateValue, 1u);
    ASSERT_TRUE(FetchState());
    EXPECT_EQ(State().stateValue1, 1u);

    // A retry while the disk is still full is refused, and says so.
    Outcome refused = Await(array_->RetryLogAfterError(), 0);
    ASSERT_TRUE(refused.replied);
    EXPECT_EQ(refused.errorCode, static_cast<std::uint32_t>(ERR_COMMAND_FAILED));
    EXPECT_EQ(refused.qualifier, static_cast<std::uint32_t>(RETRY_LOG));

    LimitServiceFiles(RLIM_INFINITY);
    Outcome retry = Await(array_->RetryLogAfterError(), 1);
    ASSERT_TRUE(retry.replied);
    EXPECT_EQ(retry.kind, static_cast<std::uint32_t>(RMT_OKSTATUS_MSG));
    ASSERT_GE(retry.events.size(), 1u);
    const LogEvent& resumed = retry.events.back();
    EXPECT_EQ(resumed.stateValue, 0u);
    // Resumed above the records dropped while suspended: the start record's.
    EXPECT_GE(resumed.lrba, 4096u);
    ASSERT_TRUE(FetchState());
    EXPECT_EQ(State().stateValue1, 0u);

    // The log writes again, from a new file above the dropped records.
    Outcome flushed = Await(array_->FlushServerLog(), 0);
    ASSERT_TRUE(flushed.replied);
    EXPECT_EQ(flushed.kind, static_cast<std::uint32_t>(RMT_OKSTATUS_MSG));
    // The suspension could not reach the event log either; the resumption
    // did.
    EXPECT_TRUE(logtest::EventLogHas("Logging resumed above LRBA 4096"));
}

}  // namespace
