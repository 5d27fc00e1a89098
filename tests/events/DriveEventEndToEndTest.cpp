// A drive pulled in the simulated cabinet, seen through the real service:
// its next status poll compares the states, the revision-4 client gets the
// drive events and its copy of the state follows them, the NT event log gets
// the drive's text, and a revision-3 session is told nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ArrayClientFixture.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"
#include "support/SimProcess.h"

namespace {

using netsrvtest::Bytes;
using netsrvtest::kLimitMs;

constexpr const char* kFirst = "QX0000000001";
constexpr std::uint32_t kSlotA2 = 2;
constexpr const char* kDriveA2 = "D1S02000000";
constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;

class DriveEventEndToEnd : public netsrvtest::ArrayClientTest {
  protected:
    void SetUp() override {
        // A status poll every second; no preventive check.
        StartAndConnect(kFirst, {"ORU_SMON_INTERVAL=1", "ORU_PLOG_INTERVAL=0"});
    }

    // Polls until an event reply brings the state event of a drive slot;
    // every event reply seen has status 5.
    bool AwaitDriveStateEvent(std::uint32_t slot) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (platform::MonotonicMs() < end) {
            PollMsg* result = array_->PollQEN();
            if (result == nullptr) {
                platform::SleepMs(5);
                continue;
            }
            if (result->kind == RMT_INVALID) {
                return false;
            }
            auto* events = dynamic_cast<EventPollMsg*>(result);
            if (result->kind != RMT_EVENT_MSG || events == nullptr) {
                continue;
            }
            EXPECT_EQ(result->status, 5u);
            for (unsigned short i = 0; i < events->EventCount(); ++i) {
                const Event* e = (*events)[i];
                if (e->majorType == PHYS && e->minorType == PHYS_STATE && e->data1 == slot) {
                    return true;
                }
            }
        }
        return false;
    }

    // A revision-3 session to the first cabinet, authorized by secure file.
    bool OpenOldSession(netsrvtest::TcpProbe& probe) {
        if (!probe.Connect(ports_.tcp)) {
            return false;
        }
        EXPECT_TRUE(netsrvtest::Touch(admin_ + "/" + kFirst + ".local." +
                                      std::to_string(probe.LocalPort())));
        Bytes preamble = SessionPreamble(kFirst);
        preamble[1] = 3;
        std::uint32_t answer = kNotAuthorized;
        return AskForSession(probe, preamble, &answer) && answer != 0 && answer != kNotAuthorized;
    }
};

TEST_F(DriveEventEndToEnd, APulledDriveReachesTheClientAndTheEventLog) {
    ASSERT_TRUE(FetchState());
    ASSERT_NE(State().Drive(kSlotA2), nullptr);
    // The controller pads a drive's serial number with blanks.
    ASSERT_EQ(std::string(State().Drive(kSlotA2)->serialNumber).rfind(kDriveA2, 0), 0u);
    ASSERT_EQ(State().Drive(kSlotA2)->driveState, 0u);
    netsrvtest::TcpProbe old;
    ASSERT_TRUE(OpenOldSession(old));

    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    // No request after the pull: only events can change the client's copy.
    ASSERT_TRUE(AwaitDriveStateEvent(kSlotA2));
    const Physical_Drive* pulled = State().Drive(kSlotA2);
    ASSERT_NE(pulled, nullptr);
    EXPECT_EQ(pulled->driveState, Physical_Drive::kNoDrive);
    EXPECT_STREQ(pulled->serialNumber, "");
    // The drive's neighbours stay as they were.
    EXPECT_EQ(std::string(State().Drive(3)->serialNumber).rfind("D1S03000000", 0), 0u);

    EXPECT_TRUE(testsupport::WaitForEventLogText(
        std::string("Strovane ") + kFirst +
            ": array event. Drive in slot A2 changed state: drive state 1.",
        kLimitMs));
    EXPECT_TRUE(testsupport::WaitForEventLogText(
        std::string("Drive serial number changed: drive state 1. Slot A2, previous drive ") +
            kDriveA2,
        kLimitMs));

    Bytes nothing;
    EXPECT_FALSE(old.ReadExactly(1, 600, &nothing)) << "a revision-3 session got an event";
}

}  // namespace
