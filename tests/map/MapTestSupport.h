// The map application in-process: the real vxqxoru application object on
// the stand-in platform, under a virtual clock, with scripted agents on
// loopback addresses (one SNMP port for all of them) and a trap port.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ScriptedAgent.h"
#include "netmgmt/map/ArrayMap.h"
#include "netmgmt/map/MapApplication.h"
#include "netmgmt/map/standin/AppLoop.h"
#include "support/FreshRoot.h"

namespace maptest {

class MapAppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // An agent at address (127.0.0.x) with these rows.
    ScriptedAgent& AddAgent(const std::string& address, const std::vector<Row>& rows);
    void WriteComputers(const std::vector<std::string>& hosts);
    // Constructs the application and runs its start.
    void Start();
    // Dispatches every message there is, without waiting.
    void Pump();
    // One idle pass of the application, then its messages.
    void Idle();
    // A control line of the platform, then its messages.
    void Control(const std::string& line);
    // Sends a trap to the application's trap port, then its messages.
    void SendTrap(const Trap& trap);
    void SendTrap(const std::string& serial, std::int64_t specific, std::int64_t catalogId = 15010);
    // Exit and destruction of the application.
    void Stop();

    nlohmann::json Dump() const;
    // Label -> status of the symbols on the submap named name.
    std::map<std::string, int> SymbolsOn(const std::string& submapName) const;
    bool HasSubmap(const std::string& name) const;
    // The object with this selection name (0: none).
    std::uint32_t ObjectId(const std::string& selectionName) const;
    const vxqxoru::ArrayEntry* Entry(const std::string& host) const;
    std::vector<std::string> JournalSince(std::size_t from) const;

    testsupport::FreshRoot root_;
    VirtualClock clock_;
    std::unique_ptr<qxapp::AppLoop> loop_;
    std::uint16_t snmpPort_ = 0;
    std::uint16_t trapPort_ = 0;
    std::vector<std::unique_ptr<ScriptedAgent>> agents_;
    std::unique_ptr<vxqxoru::MapApplication> app_;
};

}  // namespace maptest
