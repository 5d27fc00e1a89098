// oru-snmp-host started by a test under the test's private snmpd, and the
// arrays the service lists: shared by the agent's and the map
// application's end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"
#include "support/SnmpMaster.h"

namespace agenttest {

// Starts oru-snmp-host in the foreground on the master's AgentX socket in
// the root's machine, its waits a hundred times shorter, its texts from the
// pseudo-language catalogs ("[set.number]"), the environment added; waits
// until it connected to the master.
::testing::AssertionResult StartSnmpHost(testsupport::ChildProcess& host,
                                         testsupport::SnmpMaster& master,
                                         const testsupport::FreshRoot& root,
                                         const std::vector<std::string>& environment = {});

// The serial numbers the service lists, in its order.
std::vector<std::string> ListedSerials(const testsupport::FreshRoot& root);

}  // namespace agenttest
