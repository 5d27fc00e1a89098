#include "MapTestSupport.h"

#include <cstdlib>

#include "netmgmt/map/standin/Qxw.h"
#include "netmgmt/map/standin/QxwStandIn.h"

namespace maptest {

using nlohmann::json;

void MapAppTest::SetUp() {
    snmpPort_ = testsupport::FreePort(SOCK_DGRAM);
    trapPort_ = testsupport::FreePort(SOCK_DGRAM);
    ASSERT_NE(snmpPort_, 0);
    ASSERT_NE(trapPort_, 0);
    ::setenv("ORU_MAP_DATABASE", root_.File("map/database.json").c_str(), 1);
    ::setenv("ORU_MAP_DUMP", root_.File("map/dump.json").c_str(), 1);
    ::setenv("ORU_MAP_CONTROL", root_.File("map/control").c_str(), 1);
    ::setenv("ORU_MAP_SNMP_PORT", std::to_string(snmpPort_).c_str(), 1);
    ::setenv("ORU_MAP_TRAP_PORT", std::to_string(trapPort_).c_str(), 1);
    loop_ = std::make_unique<qxapp::AppLoop>(clock_);
}

void MapAppTest::TearDown() {
    Stop();
    EXPECT_FALSE(clock_.Stalled());
    loop_.reset();
    for (const char* name : {"ORU_MAP_DATABASE", "ORU_MAP_DUMP", "ORU_MAP_CONTROL",
                             "ORU_MAP_SNMP_PORT", "ORU_MAP_TRAP_PORT"}) {
        ::unsetenv(name);
    }
}

ScriptedAgent& MapAppTest::AddAgent(const std::string& address, const std::vector<Row>& rows) {
    agents_.push_back(std::make_unique<ScriptedAgent>(address, snmpPort_));
    ScriptedAgent& agent = *agents_.back();
    EXPECT_TRUE(agent.Bound()) << address;
    agent.SetRows(rows);
    clock_.Add(&agent);
    return agent;
}

void MapAppTest::WriteComputers(const std::vector<std::string>& hosts) {
    ASSERT_TRUE(root_.Write("map/database.json", ComputersDatabase(hosts)));
}

void MapAppTest::Start() {
    app_ = std::make_unique<vxqxoru::MapApplication>();
    ASSERT_TRUE(app_->InitInstance());
    Pump();
}

void MapAppTest::Pump() {
    qxapp::Msg msg;
    for (int i = 0; i < 100000 && loop_->PeekMessage(&msg, false); ++i) {
        if (msg.message == qxapp::WM_QUIT) {
            return;
        }
        loop_->PumpMessage();
    }
}

void MapAppTest::Idle() {
    app_->OnIdle(0);
    Pump();
}

void MapAppTest::Control(const std::string& line) {
    ASSERT_EQ(qxw::Control(line), "") << line;
    Pump();
}

void MapAppTest::SendTrap(const Trap& trap) {
    EXPECT_TRUE(SendTrapTo(trapPort_, trap));
    Pump();
}

void MapAppTest::SendTrap(const std::string& serial, std::int64_t specific,
                          std::int64_t catalogId) {
    Trap trap;
    trap.specific = specific;
    trap.bindings = TrapBindings(serial, catalogId);
    SendTrap(trap);
}

void MapAppTest::Stop() {
    if (app_ != nullptr) {
        app_->ExitInstance(0);
        app_.reset();
    }
}

json MapAppTest::Dump() const {
    return json::parse(qxw::DumpText());
}

std::map<std::string, int> MapAppTest::SymbolsOn(const std::string& submapName) const {
    const json dump = Dump();
    std::map<std::string, int> symbols;
    for (const json& submap : dump["submaps"]) {
        if (submap["name"] != submapName) {
            continue;
        }
        for (const json& symbol : dump["symbols"]) {
            if (symbol["submap"] == submap["id"]) {
                symbols[symbol["label"].get<std::string>()] = symbol["status"].get<int>();
            }
        }
    }
    return symbols;
}

bool MapAppTest::HasSubmap(const std::string& name) const {
    const json dump = Dump();
    for (const json& submap : dump["submaps"]) {
        if (submap["name"] == name) {
            return true;
        }
    }
    return false;
}

std::uint32_t MapAppTest::ObjectId(const std::string& selectionName) const {
    const json dump = Dump();
    for (const json& object : dump["objects"]) {
        if (object["selectionName"] == selectionName) {
            return object["id"].get<std::uint32_t>();
        }
    }
    return 0;
}

const vxqxoru::ArrayEntry* MapAppTest::Entry(const std::string& host) const {
    if (app_ == nullptr || app_->Map() == nullptr) {
        return nullptr;
    }
    for (const vxqxoru::ArrayEntry& entry : app_->Map()->Entries()) {
        if (entry.hostName == host) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::string> MapAppTest::JournalSince(std::size_t from) const {
    const std::vector<std::string>& journal = qxw::Journal();
    return std::vector<std::string>(journal.begin() + static_cast<std::ptrdiff_t>(from),
                                    journal.end());
}

}  // namespace maptest
