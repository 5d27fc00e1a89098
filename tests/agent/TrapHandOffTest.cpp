// The pending trap between the poll thread and the SNMP service's thread,
// and the trap as the SNMP service gets it.
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <thread>

#include "AgentTestSupport.h"
#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/TrapBindings.h"
#include "netmgmt/agent/TrapSlot.h"

namespace {

using namespace oruagent;

PendingTrap Trap(std::uint32_t id) {
    PendingTrap trap;
    trap.catalogId = id;
    trap.text = "text " + std::to_string(id);
    trap.serialNumber = "QX0000000001";
    trap.specific = 7;
    return trap;
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

TEST(TrapSlot, APostedTrapIsSignalledTakenOnceAndReleased) {
    TrapSlot slot;
    ASSERT_TRUE(slot.Create());
    EXPECT_FALSE(Readable(slot.Descriptor()));
    PendingTrap taken;
    EXPECT_FALSE(slot.Take(&taken));
    EXPECT_FALSE(slot.Release());

    ASSERT_EQ(slot.Post(Trap(15060)), TrapSlot::PostResult::kPosted);
    EXPECT_TRUE(Readable(slot.Descriptor()));
    ASSERT_TRUE(slot.Take(&taken));
    EXPECT_EQ(taken.catalogId, 15060u);
    EXPECT_FALSE(slot.Take(&taken));  // taken once only
    EXPECT_TRUE(slot.Release());
    EXPECT_FALSE(slot.Release());
}

TEST(TrapSlot, TheNextPostWaitsUntilTheTrapWasTakenAndReleased) {
    TrapSlot slot;
    ASSERT_TRUE(slot.Create());
    ASSERT_EQ(slot.Post(Trap(1)), TrapSlot::PostResult::kPosted);
    std::atomic<bool> second{false};
    std::thread poster([&] {
        EXPECT_EQ(slot.Post(Trap(2)), TrapSlot::PostResult::kPosted);
        second = true;
    });
    PendingTrap taken;
    ASSERT_TRUE(slot.Take(&taken));
    EXPECT_EQ(taken.catalogId, 1u);
    // Taken but still held: the first trap's fields may still be read.
    EXPECT_FALSE(second.load());
    EXPECT_FALSE(slot.Take(&taken));
    slot.Release();
    poster.join();
    EXPECT_TRUE(second.load());
    ASSERT_TRUE(slot.Take(&taken));
    EXPECT_EQ(taken.catalogId, 2u);
}

TEST(TrapSlot, StopEndsAPostThatWaits) {
    TrapSlot slot;
    ASSERT_TRUE(slot.Create());
    ASSERT_EQ(slot.Post(Trap(1)), TrapSlot::PostResult::kPosted);
    std::thread poster([&] { EXPECT_EQ(slot.Post(Trap(2)), TrapSlot::PostResult::kStopped); });
    slot.Stop();
    poster.join();
    EXPECT_EQ(slot.Post(Trap(3)), TrapSlot::PostResult::kStopped);
    TrapSlot unmade;
    EXPECT_EQ(unmade.Post(Trap(4)), TrapSlot::PostResult::kNoEvent);
}

TEST(TrapBindings, FourBindingsNamedByTheViewWithTextsCountingTheirTerminator) {
    SnmpVarBindList list{nullptr, 0};
    ASSERT_TRUE(MakeTrapBindings(Trap(28011), &list));
    ASSERT_EQ(list.len, 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(std::vector<std::uint32_t>(list.list[i].name.ids,
                                             list.list[i].name.ids + list.list[i].name.idLength),
                  std::vector<std::uint32_t>(kViewArcs.begin(), kViewArcs.end()));
    }
    EXPECT_EQ(list.list[0].value.asnType, ASN_INTEGER);
    EXPECT_EQ(list.list[0].value.asnValue.number, 2);
    EXPECT_EQ(list.list[2].value.asnType, ASN_INTEGER);
    EXPECT_EQ(list.list[2].value.asnValue.number, 28011);
    const AsnOctetString& serial = list.list[1].value.asnValue.string;
    EXPECT_EQ(list.list[1].value.asnType, ASN_OCTETSTRING);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(serial.stream), serial.length),
              std::string("QX0000000001\0", 13));
    const AsnOctetString& text = list.list[3].value.asnValue.string;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text.stream), text.length),
              std::string("text 28011\0", 11));
    SnmpUtilVarBindListFree(&list);
    EXPECT_EQ(list.list, nullptr);
}

TEST(TrapBindings, TheTimeStampIsInHundredthsOfASecond) {
    EXPECT_EQ(TrapTimeStamp(12345, 345), 1200u);
    // Across the wrap of the millisecond count.
    EXPECT_EQ(TrapTimeStamp(5, 0xFFFFFFF0u), 2u);
}

}  // namespace
