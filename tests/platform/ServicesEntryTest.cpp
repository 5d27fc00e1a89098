#include "platform/ServicesEntry.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <netdb.h>

namespace {

using platform::LookupServiceEntry;
using platform::ServiceEntrySource;

TEST(ServicesEntry, TheRootFileComesFirst) {
    platformtest::TestRoot root;
    root.Write("etc/services",
               "# Strovane ports of this machine\n"
               "oruTCP   40001/tcp\n"
               "oruUDP   40002/udp   oru-discovery  # with an alias\n"
               "bad      notaport/tcp\n"
               "ssh      2222/tcp\n");
    auto tcp = LookupServiceEntry("oruTCP", "tcp", 34604);
    EXPECT_TRUE(tcp.found);
    EXPECT_EQ(tcp.port, 40001);
    EXPECT_EQ(tcp.source, ServiceEntrySource::ROOT_FILE);
    EXPECT_EQ(LookupServiceEntry("oru-discovery", "udp", 34604).port, 40002);
    // The root file shadows the system's entry of the same name.
    EXPECT_EQ(LookupServiceEntry("ssh", "tcp", 1).port, 2222);
    // A malformed entry is no entry.
    auto bad = LookupServiceEntry("bad", "tcp", 34604);
    EXPECT_FALSE(bad.found);
    EXPECT_EQ(bad.port, 34604);
}

TEST(ServicesEntry, ProtocolMustMatch) {
    platformtest::TestRoot root;
    root.Write("etc/services", "oruTCP 40001/tcp\n");
    auto udp = LookupServiceEntry("oruTCP", "udp", 34604);
    EXPECT_FALSE(udp.found);
    EXPECT_EQ(udp.port, 34604);
    EXPECT_EQ(udp.source, ServiceEntrySource::DEFAULT);
}

TEST(ServicesEntry, TheSystemDatabaseIsNext) {
    platformtest::TestRoot root;  // no etc/services under the root
    servent* system = ::getservbyname("ssh", "tcp");
    if (system == nullptr) {
        GTEST_SKIP() << "the system knows no ssh/tcp entry";
    }
    auto entry = LookupServiceEntry("ssh", "tcp", 1);
    EXPECT_TRUE(entry.found);
    EXPECT_EQ(entry.source, ServiceEntrySource::SYSTEM);
    EXPECT_EQ(entry.port, 22);
}

TEST(ServicesEntry, NoEntryGivesTheDefault) {
    platformtest::TestRoot root;
    auto entry = LookupServiceEntry("oruTCP-nowhere", "tcp", 34604);
    EXPECT_FALSE(entry.found);
    EXPECT_EQ(entry.port, 34604);
}

}  // namespace
