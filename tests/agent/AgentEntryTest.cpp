// The agent library's entry points as a loader calls them.
#include <gtest/gtest.h>

#include <poll.h>

#include "AgentTestSupport.h"
#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/agent/OruAgent.h"

namespace {

using agenttest::Binding;
using agenttest::ViewOid;
using namespace oruagent;

class AgentEntryTest : public agenttest::AgentTest {};

TEST_F(AgentEntryTest, WithoutItsCatalogTheAgentRefusesToLoad) {
    UseCatalogs("none-there");
    EXPECT_EQ(OruAgentDllMain(AGENT_PROCESS_ATTACH), 0);
    ASSERT_FALSE(AgentReports().empty());
    EXPECT_EQ(AgentReports().back(), "Unable to open the ORUAgent catalog file... Exiting!");

    UseCatalogs("agent-only");
    EXPECT_EQ(OruAgentDllMain(AGENT_PROCESS_ATTACH), 0);
    EXPECT_EQ(AgentReports().back(), "agent 1.6 no server catalog");
}

TEST_F(AgentEntryTest, BeforeTheFirstRoundTheViewIsEmpty) {
    ASSERT_EQ(OruAgentDllMain(AGENT_PROCESS_ATTACH), 1);
    int trapEvent = -1;
    AsnObjectIdentifier view{0, nullptr};
    ASSERT_EQ(SnmpExtensionInit(1000, &trapEvent, &view), 1);
    EXPECT_GE(trapEvent, 0);
    EXPECT_EQ(std::vector<std::uint32_t>(view.ids, view.ids + view.idLength),
              std::vector<std::uint32_t>(kViewArcs.begin(), kViewArcs.end()));
    // A second start is refused.
    int again = -1;
    EXPECT_EQ(SnmpExtensionInit(1000, &again, &view), 0);

    Binding count(ViewOid({2, 0}));
    SnmpVarBindList list{&count.get(), 1};
    std::int32_t status = -1;
    std::int32_t index = -1;
    ASSERT_EQ(SnmpExtensionQuery(SNMP_PDU_GET, &list, &status, &index), 1);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(SnmpExtensionQuery(SNMP_PDU_GETNEXT, &list, &status, &index), 1);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(count.Name().back(), kViewArcs.back() + 1);

    // No trap is waiting.
    pollfd p{trapEvent, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0);
    AsnObjectIdentifier enterprise{0, nullptr};
    std::int32_t generic = 0;
    std::int32_t specific = 0;
    std::uint32_t stamp = 0;
    SnmpVarBindList bindings{nullptr, 0};
    EXPECT_EQ(SnmpExtensionTrap(&enterprise, &generic, &specific, &stamp, &bindings), 0);

    // The poll thread sits in its first wait of a minute; the detach stops
    // it there at once.
    EXPECT_EQ(OruAgentDllMain(AGENT_PROCESS_DETACH), 1);
    EXPECT_EQ(AgentReports().back(), AgentTexts::kShutDown);
    // After the detach, queries find no agent.
    EXPECT_EQ(SnmpExtensionQuery(SNMP_PDU_GET, &list, &status, &index), 1);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_GENERR);
}

}  // namespace
