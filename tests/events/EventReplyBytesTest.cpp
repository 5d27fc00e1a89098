// The event reply as it goes on the wire, written out from the reply layout:
// header (length, version 4, kind 3, handle 0 0), status 5, event count,
// then each event's four words followed by the piece of the new state it
// names.
#include <gtest/gtest.h>

#include <vector>

#include "EventTestSupport.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/server/events/ServerEventReport.h"
#include "coresys/server/events/StateComparison.h"

namespace eventtest {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Encode(ServerEvent_RtnMsg& reply) {
    unsigned char* data = reply.EncodeMsg();
    Bytes bytes(data, data + reply.length);
    CodedBuff::FreeData(data);
    return bytes;
}

TEST(EventReplyBytes, CacheCapacityAndSequenceChangesCarryTheirPieces) {
    BareMonitor monitor;
    auto current = ValidState(monitor);
    auto fresh = ValidState(monitor);
    fresh->modeCache->write_cache_enable = 1;
    fresh->raid1Capacity = BlockCapacity(1000, 512);
    fresh->ownsLock = 1;
    ServerEventReport report(fresh.get(), nullptr);
    ASSERT_TRUE(StateComparison::Compare(*current, *fresh, report, nullptr));
    EXPECT_EQ(report.Message().SerialNumber(), kSerial);
    EXPECT_EQ(report.Message().length, 96u);
    const Bytes expected = {
        0, 0, 0,    96,   0, 0, 0,    4,    0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,  // header
        0, 0, 0,    5,                                                           // status
        0, 0, 0,    3,                                                           // events
        0, 0, 0,    3,    0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0,              // MC 0
        0, 0, 0,    1,    0, 0, 0,    0,                                         // write 1, read 0
        0, 0, 0,    4,    0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0,              // CAP 0
        0, 0, 0x03, 0xE8, 0, 0, 0x02, 0x00,                          // 1000 blocks of 512
        0, 0, 0,    9,    0, 0, 0,    1,    0, 0, 0, 0, 0, 0, 0, 0,  // DAS_MISC 1
        0, 0, 0,    1,                                               // sequence flag
    };
    EXPECT_EQ(Encode(report.Message()), expected);
}

TEST(EventReplyBytes, AHardwareEventCarriesBothListsOfTheNewState) {
    BareMonitor monitor;
    auto current = ValidState(monitor);
    auto fresh = ValidState(monitor);
    fresh->hardware->values2[1] = 2;
    ServerEventReport report(fresh.get(), nullptr);
    ASSERT_TRUE(StateComparison::Compare(*current, *fresh, report, nullptr));
    const Bytes expected = {
        0, 0, 0, 72, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,  // header
        0, 0, 0, 5,  0, 0, 0, 1,                                      // status, 1 event
        0, 0, 0, 8,  0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0,              // HW 1, element 1
        0, 0, 0, 3,  0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1,              // first list
        0, 0, 0, 2,  0, 0, 0, 1, 0, 0, 0, 2,                          // second list
    };
    EXPECT_EQ(Encode(report.Message()), expected);
}

TEST(EventReplyBytes, AServerSoftwareEventTravelsWithoutAState) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_SERVER_SOFTWARE, 3, 6);
    EXPECT_EQ(report.Message().SerialNumber(), "");
    const Bytes expected = {
        0, 0, 0, 44, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,  // header
        0, 0, 0, 5,  0, 0, 0, 1,                                      // status, 1 event
        0, 0, 0, 13, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 6,              // SSW 2, 3, step 6
    };
    EXPECT_EQ(Encode(report.Message()), expected);
}

TEST(EventReplyBytes, ADeviceNoticeIsNoEventAndNothingIsSent) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_DEVICE_NOTICE, 0, 0);
    EXPECT_EQ(report.Message().EventCount(), 0u);
    EXPECT_EQ(report.SendEvents(), 0);
}

TEST(EventReplyBytes, WithoutAConnectionManagerTheEventsAreDropped) {
    ServerEventReport report;
    report.AddEvent(SSW, SSW_CONFIGURATION_CHANGED, 0, 0);
    ASSERT_EQ(report.Message().EventCount(), 1u);
    EXPECT_EQ(report.SendEvents(), 0);
}

}  // namespace
}  // namespace eventtest
