// The agent's MIB chain and the query walk over it.
#include <gtest/gtest.h>

#include <cstring>

#include "AgentTestSupport.h"
#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentTexts.h"

namespace {

using agenttest::Binding;
using agenttest::ViewOid;
using namespace oruagent;

std::vector<MibRow> TwoRows() {
    return {
        {"QRVZX ARRAY     ", "QX0000000001", "0301", "QRVZX-4003", 2},
        {"OTHER", "QX0000000002", "0400", "CODE-2", 7},
    };
}

class AgentMibTest : public ::testing::Test {
  protected:
    void SetUp() override { mib_.Publish(MibChain::Build(TwoRows())); }

    // One request of one binding; its error status and index.
    std::pair<std::int32_t, std::int32_t> Ask(std::uint8_t type, Binding& binding) {
        SnmpVarBindList list{&binding.get(), 1};
        std::int32_t status = -1;
        std::int32_t index = -1;
        EXPECT_EQ(mib_.Query(type, &list, &status, &index), 1);
        return {status, index};
    }

    AgentMib mib_;
};

TEST(MibChain, HoldsFiveColumnsPerRowAndTwoScalarsInOidOrder) {
    auto chain = MibChain::Build(TwoRows());
    ASSERT_EQ(chain->Size(), 12u);
    const std::vector<std::vector<std::uint32_t>> expected = {
        {1, 0},       {2, 0},       {3, 1, 2, 1}, {3, 1, 2, 2}, {3, 1, 3, 1}, {3, 1, 3, 2},
        {3, 1, 4, 1}, {3, 1, 4, 2}, {3, 1, 5, 1}, {3, 1, 5, 2}, {3, 1, 6, 1}, {3, 1, 6, 2},
    };
    std::size_t i = 0;
    for (MibEntry* e = chain->First(); e != nullptr; e = e->next, ++i) {
        ASSERT_LT(i, expected.size());
        EXPECT_EQ(e->oid, expected[i]);
        EXPECT_EQ(e->access, MibEntry::kReadOnly);
    }
    EXPECT_EQ(i, expected.size());
    EXPECT_EQ(MibChain::Build({})->Size(), 2u);
}

TEST_F(AgentMibTest, GetAnswersEachVariable) {
    Binding version(ViewOid({1, 0}));
    EXPECT_EQ(Ask(SNMP_PDU_GET, version).first, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(version.get().value.asnType, ASN_OCTETSTRING);
    // The text without its terminator.
    EXPECT_EQ(version.Text(), "ORUAgent.dll - Version:2");

    Binding count(ViewOid({2, 0}));
    EXPECT_EQ(Ask(SNMP_PDU_GET, count).first, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(count.get().value.asnType, ASN_INTEGER);
    EXPECT_EQ(count.get().value.asnValue.number, 2);

    Binding product(ViewOid({3, 1, 2, 1}));
    Ask(SNMP_PDU_GET, product);
    EXPECT_EQ(product.Text(), "QRVZX ARRAY     ");
    Binding serial(ViewOid({3, 1, 3, 2}));
    Ask(SNMP_PDU_GET, serial);
    EXPECT_EQ(serial.Text(), "QX0000000002");
    Binding status(ViewOid({3, 1, 6, 2}));
    Ask(SNMP_PDU_GET, status);
    EXPECT_EQ(status.get().value.asnValue.number, 7);
}

TEST_F(AgentMibTest, GetOfANameThatIsNoVariableIsNoSuchName) {
    for (const auto& name : {ViewOid({3, 1, 6, 3}), ViewOid({3, 1}), ViewOid({2}),
                             ViewOid({2, 0, 0}), std::vector<std::uint32_t>{1, 3, 6, 1}}) {
        Binding b(name);
        EXPECT_EQ(Ask(SNMP_PDU_GET, b), std::make_pair(SNMP_ERRORSTATUS_NOSUCHNAME, 1));
    }
}

TEST_F(AgentMibTest, GetNextWalksTheWholeViewAndThenNamesThePlacePastIt) {
    Binding b({1, 3, 6, 1});  // below the view
    std::vector<std::vector<std::uint32_t>> seen;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Ask(SNMP_PDU_GETNEXT, b).first, SNMP_ERRORSTATUS_NOERROR);
        seen.push_back(b.Name());
        if (b.Name().size() == kViewArcs.size()) {
            break;
        }
    }
    ASSERT_EQ(seen.size(), 13u);
    EXPECT_EQ(seen.front(), ViewOid({1, 0}));
    EXPECT_EQ(seen[2], ViewOid({3, 1, 2, 1}));
    EXPECT_EQ(seen[11], ViewOid({3, 1, 6, 2}));
    // After the last variable: the view with its last arc plus one, no error.
    std::vector<std::uint32_t> past(kViewArcs.begin(), kViewArcs.end());
    past.back() += 1;
    EXPECT_EQ(seen[12], past);
}

TEST_F(AgentMibTest, GetNextFromBetweenVariablesTakesTheNextOne) {
    Binding b(ViewOid({3, 1, 2, 2, 9}));
    EXPECT_EQ(Ask(SNMP_PDU_GETNEXT, b).first, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(b.Name(), ViewOid({3, 1, 3, 1}));
    EXPECT_EQ(b.Text(), "QX0000000001");

    Binding beyond(ViewOid({4}));
    EXPECT_EQ(Ask(SNMP_PDU_GETNEXT, beyond).first, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(beyond.Name().size(), kViewArcs.size());
}

TEST_F(AgentMibTest, SetIsNoSuchNameOnEveryVariable) {
    Binding b(ViewOid({2, 0}));
    b.get().value.asnType = ASN_INTEGER;
    b.get().value.asnValue.number = 9;
    EXPECT_EQ(Ask(SNMP_PDU_SET, b), std::make_pair(SNMP_ERRORSTATUS_NOSUCHNAME, 1));
    Binding count(ViewOid({2, 0}));
    Ask(SNMP_PDU_GET, count);
    EXPECT_EQ(count.get().value.asnValue.number, 2);
}

TEST_F(AgentMibTest, TheFirstFailingBindingEndsTheRequestWithItsPosition) {
    SnmpVarBind list[3] = {};
    const std::vector<std::vector<std::uint32_t>> names = {ViewOid({2, 0}), ViewOid({9, 0}),
                                                           ViewOid({1, 0})};
    for (int i = 0; i < 3; ++i) {
        SnmpUtilOidSet(&list[i].name, names[i].data(), static_cast<std::uint32_t>(names[i].size()));
        list[i].value.asnType = ASN_NULL;
    }
    SnmpVarBindList bindings{list, 3};
    std::int32_t status = 0;
    std::int32_t index = 0;
    mib_.Query(SNMP_PDU_GET, &bindings, &status, &index);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(list[0].value.asnValue.number, 2);
    EXPECT_EQ(list[2].value.asnType, ASN_NULL);  // never reached
    for (SnmpVarBind& b : list) {
        SnmpUtilVarBindFree(&b);
    }
}

TEST(AgentMib, BeforeTheFirstRoundNothingIsThere) {
    AgentMib mib;
    Binding count(ViewOid({2, 0}));
    SnmpVarBindList list{&count.get(), 1};
    std::int32_t status = 0;
    std::int32_t index = 0;
    mib.Query(SNMP_PDU_GET, &list, &status, &index);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(index, 1);
    mib.Query(SNMP_PDU_GETNEXT, &list, &status, &index);
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(count.Name().size(), kViewArcs.size());
    EXPECT_EQ(count.Name().back(), kViewArcs.back() + 1);
}

TEST(MibValueHandler, ASetStoresAtMostTheFieldsWidth) {
    // No entry of the agent is writable; the handler still keeps a write
    // within the entry's field.
    auto chain = MibChain::Build(TwoRows());
    MibEntry* revision = chain->First();
    while (revision != nullptr && revision->oid != std::vector<std::uint32_t>{3, 1, 4, 1}) {
        revision = revision->next;
    }
    ASSERT_NE(revision, nullptr);
    revision->access = MibEntry::kReadWrite;
    Binding b(ViewOid({3, 1, 4, 1}));
    char bytes[] = "0123456789";
    b.get().value.asnType = ASN_OCTETSTRING;
    b.get().value.asnValue.string = {reinterpret_cast<std::uint8_t*>(bytes), 10, 0};
    EXPECT_EQ(MibValueHandler(SNMP_PDU_SET, *revision, b.get()), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(revision->text, "0123");

    Binding wrongType(ViewOid({3, 1, 4, 1}));
    wrongType.get().value.asnType = ASN_INTEGER;
    EXPECT_EQ(MibValueHandler(SNMP_PDU_SET, *revision, wrongType.get()), SNMP_ERRORSTATUS_BADVALUE);
    revision->access = MibEntry::kWriteOnly;
    Binding get(ViewOid({3, 1, 4, 1}));
    EXPECT_EQ(MibValueHandler(SNMP_PDU_GET, *revision, get.get()), SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(MibValueHandler(0xA4, *revision, get.get()), SNMP_ERRORSTATUS_GENERR);
}

TEST(MibRows, ControllerTextsStopAtTheirFieldWidth) {
    DiskArrayState state = agenttest::HealthyState();
    // A peer that sent no terminator fills every byte of the fields.
    std::memset(state.controllers[0].productId, 'P', sizeof state.controllers[0].productId);
    std::memset(state.controllers[0].productRev, 'R', sizeof state.controllers[0].productRev);
    std::memset(state.controllers[0].mfgProdCode, 'M', sizeof state.controllers[0].mfgProdCode);
    std::memset(state.serialNumber, 'S', sizeof state.serialNumber);
    const MibRow row = RowFromState(state, 2);
    EXPECT_EQ(row.productId, std::string(17, 'P'));
    EXPECT_EQ(row.productRev, std::string(5, 'R'));
    EXPECT_EQ(row.mfgProdCode, std::string(11, 'M'));
    EXPECT_EQ(row.serialNumber, std::string(13, 'S'));
    // The variables hold at most the field's characters.
    auto chain = MibChain::Build({row});
    std::vector<std::size_t> lengths;
    for (MibEntry* e = chain->First(); e != nullptr; e = e->next) {
        if (e->type == ASN_OCTETSTRING && e->oid.size() == 4) {
            lengths.push_back(e->text.size());
        }
    }
    EXPECT_EQ(lengths, (std::vector<std::size_t>{16, 12, 4, 10}));
}

TEST(MibRows, AnAbsentFirstControllerLendsEachFieldFromTheSecond) {
    DiskArrayState state = agenttest::HealthyState();
    SetFieldText(state.controllers[0].productId, "");
    SetFieldText(state.controllers[0].mfgProdCode, "");
    SetFieldText(state.controllers[1].productId, "SECOND");
    SetFieldText(state.controllers[1].productRev, "0999");
    const MibRow row = RowFromState(state, 2);
    EXPECT_EQ(row.productId, "SECOND");
    EXPECT_EQ(row.productRev, "0301");  // the first controller's own
    EXPECT_EQ(row.mfgProdCode, "QRVZX-4003");

    state.controllers.resize(1);
    EXPECT_EQ(RowFromState(state, 2).productId, "");
    state.controllers.clear();
    EXPECT_EQ(RowFromState(state, 2).productRev, "");
}

}  // namespace
