#include "AgentTestSupport.h"

#include <cstdlib>

#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentTexts.h"
#include "platform/EventLog.h"

namespace agenttest {

std::vector<std::uint32_t> ViewOid(std::initializer_list<std::uint32_t> below) {
    std::vector<std::uint32_t> oid(oruagent::kViewArcs.begin(), oruagent::kViewArcs.end());
    oid.insert(oid.end(), below.begin(), below.end());
    return oid;
}

void AgentTest::SetUp() {
    ::setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
    ::setenv("LANG", "C", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    UseCatalogs("known");
}

void AgentTest::TearDown() {
    ::unsetenv("ORU_NLSPATH");
}

void AgentTest::UseCatalogs(const std::string& tree) {
    ::setenv("ORU_NLSPATH", (std::string(AGENT_TEST_NLS) + "/" + tree).c_str(), 1);
}

std::vector<std::string> AgentTest::AgentReports() {
    std::vector<platform::EventRecord> records;
    std::vector<std::string> texts;
    platform::ReadEventLog("Application", &records);
    for (const platform::EventRecord& record : records) {
        if (record.source == oruagent::AgentTexts::kEventSource && !record.strings.empty()) {
            texts.push_back(record.strings[0]);
        }
    }
    return texts;
}

DiskArrayState HealthyState() {
    DiskArrayState state;
    state.controllers.assign(DiskArrayState::kControllers, ControllerInfo{});
    for (ControllerInfo& c : state.controllers) {
        SetFieldText(c.productId, "QRVZX ARRAY");
        SetFieldText(c.productRev, "0301");
        SetFieldText(c.mfgProdCode, "QRVZX-4003");
    }
    state.drives.assign(DiskArrayState::kDriveSlots, Physical_Drive{});
    for (Physical_Drive& d : state.drives) {
        SetFieldText(d.identityText1, "QDISK QD-9100");
    }
    state.subsystemState.emplace();
    state.modeSubsystem.emplace();
    state.modeExtension.emplace();
    state.hardware.emplace();
    state.hardware->values1 = {1, 1, 1, 7};
    state.hardware->values2 = {1, 2, 3, 8};
    state.stateValue4 = 1;
    SetFieldText(state.serialNumber, "QX0000000007");
    return state;
}

Event MakeEvent(std::uint32_t major, std::uint32_t minor, std::uint32_t data1,
                std::uint32_t data2) {
    Event e;
    e.majorType = static_cast<EVENT_MAJOR_TYPE>(major);
    e.minorType = minor;
    e.data1 = data1;
    e.data2 = data2;
    return e;
}

Binding::Binding(const std::vector<std::uint32_t>& name) {
    binding_.value.asnType = ASN_NULL;
    SnmpUtilOidSet(&binding_.name, name.data(), static_cast<std::uint32_t>(name.size()));
}

Binding::~Binding() {
    SnmpUtilVarBindFree(&binding_);
}

std::vector<std::uint32_t> Binding::Name() const {
    return std::vector<std::uint32_t>(binding_.name.ids,
                                      binding_.name.ids + binding_.name.idLength);
}

std::string Binding::Text() const {
    const AsnOctetString& s = binding_.value.asnValue.string;
    return std::string(reinterpret_cast<const char*>(s.stream), s.length);
}

}  // namespace agenttest
