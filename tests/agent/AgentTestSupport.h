// Shared pieces of the agent's in-process tests: a fresh machine root with
// its event log kept to itself, the catalogs of known wording, states and
// events built in the test, and SNMP bindings owned by the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/Event.h"
#include "netmgmt/agent/SnmpTypes.h"
#include "support/FreshRoot.h"

namespace agenttest {

// The view's arcs plus `below`.
std::vector<std::uint32_t> ViewOid(std::initializer_list<std::uint32_t> below);

// A test with its own machine root (event log without syslog) and the
// catalogs of one tree of known wording ("known", "suppressed",
// "agent-only", or a missing one).
class AgentTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Points the catalog lookups at tree (English).
    static void UseCatalogs(const std::string& tree);

    // Every ORUAgent record's text in the root's event log.
    static std::vector<std::string> AgentReports();

    testsupport::FreshRoot root_;
};

// A valid state of subsystem "QX0000000007": two controllers (product
// "QRVZX ARRAY", revision "0301", code "QRVZX-4003"), twelve drive slots
// of members with identity, the pages present, all values 0.
DiskArrayState HealthyState();

// An event of the given class and minor type with arguments.
Event MakeEvent(std::uint32_t major, std::uint32_t minor, std::uint32_t data1 = 0,
                std::uint32_t data2 = 0);

// One binding whose name the test sets; freed with the object.
class Binding {
  public:
    explicit Binding(const std::vector<std::uint32_t>& name);
    ~Binding();
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

    SnmpVarBind& get() { return binding_; }
    std::vector<std::uint32_t> Name() const;
    std::string Text() const;  // an OCTET STRING value's bytes

  private:
    SnmpVarBind binding_{};
};

}  // namespace agenttest
