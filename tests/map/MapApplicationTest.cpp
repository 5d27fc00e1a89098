// vxqxoru in-process against the stand-in platform, scripted agents and a
// virtual clock: finding the agents, reading their tables, the symbols on
// the map, the platform's events and the agents' traps.
#include <gtest/gtest.h>

#include <functional>

#include "MapTestSupport.h"
#include "netmgmt/map/SnmpPoller.h"
#include "netmgmt/map/standin/Qxw.h"
#include "netmgmt/map/standin/QxwStandIn.h"

namespace maptest {
namespace {

using nlohmann::json;
using Symbols = std::map<std::string, int>;

class MapApplicationTest : public MapAppTest {};

TEST_F(MapApplicationTest, EachAgentsArraysBecomeSymbolsOnTheHostsSubmap) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000002", 3}, {"QX0000000001", 2}});
    Start();

    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}, {"QX0000000002", 3}}));
    // Every answer came at once: nothing waited.
    EXPECT_EQ(clock_.NowMs(), 0u);
    const json dump = Dump();
    const std::uint32_t host = ObjectId("localhost");
    const std::uint32_t first = ObjectId("localhost:QX0000000001");
    ASSERT_NE(first, 0u);
    for (const json& submap : dump["submaps"]) {
        if (submap["name"] == "localhost") {
            EXPECT_EQ(submap["parentObject"], host);
            EXPECT_EQ(submap["app"], QXwGetAppName());
        }
    }
    for (const json& symbol : dump["symbols"]) {
        if (symbol["object"] == first) {
            EXPECT_EQ(symbol["type"], "Device:Strovane");
            EXPECT_EQ(symbol["app"], QXwGetAppName());
            EXPECT_EQ(symbol["behavior"]["action"], "RunGUI");
            EXPECT_EQ(symbol["behavior"]["objects"], json::array({first}));
        }
    }
    const vxqxoru::ArrayEntry* entry = Entry("localhost");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->objectInfo.objectId, host);
    ASSERT_EQ(entry->rows.size(), 2u);
    EXPECT_EQ(entry->rows[0].serialNumber, "QX0000000001");
    // The end of the sync wrote the dump; the exit writes it once more.
    EXPECT_EQ(json::parse(root_.Read("map/dump.json")), dump);
    Stop();
    EXPECT_EQ(json::parse(root_.Read("map/dump.json")), dump);
}

TEST_F(MapApplicationTest, SilentHostsAreGivenUpAfterOneTwoFourAndEightSeconds) {
    WriteComputers({"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        AddAgent(address, {{"QX0000000001"}}).SetSilent(true);
    }
    Start();
    EXPECT_EQ(clock_.NowMs(), 15000u);
    EXPECT_TRUE(app_->Map()->Entries().empty());
    EXPECT_TRUE(app_->Map()->Poller().Probes().empty());
    // The probe was sent again after 5 and 10 s (and at 15 s, when the
    // wait ended).
    EXPECT_GE(agents_[0]->RequestsSeen(), 3u);
}

TEST_F(MapApplicationTest, AnAnswerInTheLastPauseIsRead) {
    WriteComputers({"127.0.0.2"});
    AddAgent("127.0.0.2", {{"QX0000000001"}}).ReplyAt(14999);
    Start();
    // Pauses of 1, 2 and 4 s, then the last one (8 s) ends with the answer.
    EXPECT_EQ(clock_.NowMs(), 14999u);
    EXPECT_EQ(SymbolsOn("127.0.0.2"), (Symbols{{"QX0000000001", 2}}));
}

TEST_F(MapApplicationTest, AnAnswerAfterTheLastPauseIsNotWaitedFor) {
    WriteComputers({"127.0.0.2"});
    AddAgent("127.0.0.2", {{"QX0000000001"}}).ReplyAt(15001);
    Start();
    EXPECT_EQ(clock_.NowMs(), 15000u);
    EXPECT_EQ(Entry("127.0.0.2"), nullptr);
}

TEST_F(MapApplicationTest, AnAnswerStartsThePausesAgain) {
    WriteComputers({"127.0.0.2", "127.0.0.3"});
    AddAgent("127.0.0.2", {{"QX0000000001"}}).ReplyAt(2500);
    AddAgent("127.0.0.3", {{"QX0000000002"}}).ReplyAt(17000);
    Start();
    // 1 s, then 2 s cut short at 2.5 s by the first answer; from there 1,
    // 1, 2, 4 and 8 s again, in which the second answer comes at 17 s, after
    // the 15 s that silent hosts are given.
    EXPECT_EQ(clock_.NowMs(), 17000u);
    EXPECT_NE(Entry("127.0.0.2"), nullptr);
    EXPECT_NE(Entry("127.0.0.3"), nullptr);
}

TEST_F(MapApplicationTest, HostsAndRowsAreOrderedBytewise) {
    WriteComputers({"localhost", "LOCALHOST", "127.0.0.2"});
    AddAgent("127.0.0.1", {{"qx0000000001"}, {"QX0000000002"}, {"QX0000000001"}});
    AddAgent("127.0.0.2", {{"QX0000000009"}});
    Start();
    std::vector<std::string> hosts;
    for (const vxqxoru::ArrayEntry& entry : app_->Map()->Entries()) {
        hosts.push_back(entry.hostName);
    }
    EXPECT_EQ(hosts, (std::vector<std::string>{"127.0.0.2", "LOCALHOST", "localhost"}));
    std::vector<std::string> serials;
    for (const vxqxoru::SubsystemRow& row : Entry("localhost")->rows) {
        serials.push_back(row.serialNumber);
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"QX0000000001", "QX0000000002", "qx0000000001"}));
}

TEST_F(MapApplicationTest, ASerialListedTwiceGivesOneRowWithTheFirstStatus) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001", 3}, {"QX0000000001", 7}, {"QX0000000002", 2}});
    Start();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 3}, {"QX0000000002", 2}}));
}

TEST_F(MapApplicationTest, TheDailyRefreshFollowsTheTableAndItsStatuses) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001", 2}, {"QX0000000002", 2}});
    Start();
    const std::uint32_t gone = ObjectId("localhost:QX0000000002");

    // The second array leaves the table; the first reports another status,
    // for which no trap came.
    agent.SetRows({{"QX0000000001", 7}});
    clock_.Advance(86400001);
    Idle();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 7}}));
    EXPECT_EQ(ObjectId("localhost:QX0000000002"), gone);  // the row keeps its object
    EXPECT_TRUE(Entry("localhost")->rows[1].stale);

    // It comes back: current again, with its symbol (and its old object)
    // and the status the table shows.
    agent.SetRows({{"QX0000000001", 7}, {"QX0000000002", 4}});
    clock_.Advance(86400001);
    Idle();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 7}, {"QX0000000002", 4}}));
    EXPECT_EQ(ObjectId("localhost:QX0000000002"), gone);
}

TEST_F(MapApplicationTest, ASubmapWithoutSymbolsGoes) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    ASSERT_TRUE(HasSubmap("localhost"));
    agent.SetRows({});
    clock_.Advance(86400001);
    Idle();
    EXPECT_FALSE(HasSubmap("localhost"));
    EXPECT_EQ(Entry("localhost")->rows.size(), 1u);
}

TEST_F(MapApplicationTest, TheRefreshTimerExpiresAcrossTheWrapOfTheTickCount) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    clock_.SetTickBase(0xFFFFFFFFu - 1000);
    Start();
    ASSERT_NE(app_->Timer(), nullptr);
    EXPECT_LT(app_->Timer()->Deadline(), clock_.Ticks());  // it wrapped
    const std::size_t asked = agent.RequestsSeen();

    clock_.Advance(86400000);
    Idle();
    EXPECT_EQ(agent.RequestsSeen(), asked);  // not yet: the deadline itself
    clock_.Advance(1);
    Idle();
    EXPECT_GT(agent.RequestsSeen(), asked);
    // The next deadline is a day after this refresh.
    EXPECT_EQ(app_->Timer()->Deadline(), clock_.Ticks() + 86400000u);
}

TEST_F(MapApplicationTest, AtMapCloseSymbolsGoFirstThenObjectsThenTheAcknowledgement) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}, {"QX0000000002"}});
    Start();
    const std::size_t mark = qxw::Journal().size();
    Control("close");

    const std::vector<std::string> journal = JournalSince(mark);
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().rfind("AckMapClose ", 0), 0u);
    std::size_t lastSymbol = 0;
    std::size_t firstObject = journal.size();
    int objects = 0;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal[i].rfind("DeleteSymbol ", 0) == 0) {
            lastSymbol = i;
        }
        if (journal[i].rfind("DeleteObject ", 0) == 0) {
            firstObject = std::min(firstObject, i);
            ++objects;
        }
    }
    EXPECT_LT(lastSymbol, firstObject);
    EXPECT_EQ(objects, 2);
    EXPECT_FALSE(Dump()["map"]["open"].get<bool>());
    EXPECT_EQ(ObjectId("localhost:QX0000000001"), 0u);
    EXPECT_TRUE(app_->Map()->Entries().empty());

    // Opening the map again walks it again.
    Control("open");
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}, {"QX0000000002", 2}}));
}

TEST_F(MapApplicationTest, UnmanagedRowsKeepTheirStatusOffTheMapUntilManagedAgain) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}, {"QX0000000002"}});
    Start();
    const std::uint32_t first = ObjectId("localhost:QX0000000001");
    const std::string firstStatus = "SetStatus " + std::to_string(first) + " ";
    const std::size_t mark = qxw::Journal().size();
    Control("unmanage " + std::to_string(first));

    SendTrap("QX0000000001", 7);
    SendTrap("QX0000000002", 4);
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}, {"QX0000000002", 4}}));
    for (const std::string& line : JournalSince(mark)) {
        EXPECT_NE(line.rfind(firstStatus, 0), 0u) << line;
    }
    EXPECT_EQ(Entry("localhost")->rows[0].status, 7);

    Control("manage " + std::to_string(first));
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 7}, {"QX0000000002", 4}}));
}

TEST_F(MapApplicationTest, ATrapSetsTheStatusOfItsRow) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}, {"QX0000000002"}});
    Start();
    SendTrap("QX0000000002", 10);
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}, {"QX0000000002", 10}}));
    // Outside a sync bracket the change is written at once.
    EXPECT_EQ(json::parse(root_.Read("map/dump.json")), Dump());
}

TEST_F(MapApplicationTest, TrapsThatDoNotFitChangeNothing) {
    WriteComputers({"localhost", "LOCALHOST"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    const std::string before = qxw::DumpText();
    const std::size_t mark = qxw::Journal().size();

    auto good = [] {
        Trap trap;
        trap.specific = 7;
        trap.bindings = TrapBindings("QX0000000001", 15010);
        return trap;
    };
    using Damage = std::function<void(Trap&)>;
    const std::vector<std::pair<std::string, Damage>> damages = {
        {"another enterprise (longer)", [](Trap& t) { t.enterprise = View({9}); }},
        {"another enterprise (shorter)",
         [](Trap& t) { t.enterprise = Arcs(t.enterprise.begin(), t.enterprise.end() - 1); }},
        {"generic trap 0", [](Trap& t) { t.generic = 0; }},
        {"specific code 11", [](Trap& t) { t.specific = 11; }},
        {"specific code -1", [](Trap& t) { t.specific = -1; }},
        {"three bindings", [](Trap& t) { t.bindings.pop_back(); }},
        {"first binding 1", [](Trap& t) { t.bindings[0].value = Integer(1); }},
        {"first binding a text", [](Trap& t) { t.bindings[0].value = OctetString("2"); }},
        {"serial binding a number", [](Trap& t) { t.bindings[1].value = Integer(1); }},
        {"catalog binding a text", [](Trap& t) { t.bindings[2].value = OctetString("15010"); }},
        {"an address without a name",
         [](Trap& t) {
             t.agentAddress = {127, 0, 0, 2};
         }},
        {"no address",
         [](Trap& t) {
             t.agentAddress = {0, 0, 0, 0};
         }},
        {"an unknown serial", [](Trap& t) { t.bindings = TrapBindings("QX0000000009", 15010); }},
        {"a serial cut short", [](Trap& t) { t.bindings[1].value = OctetString("QX000000000"); }},
    };
    std::vector<std::pair<std::string, Trap>> cases;
    for (const auto& [why, damage] : damages) {
        Trap trap = good();
        damage(trap);
        cases.emplace_back(why, trap);
    }
    for (const auto& [why, trap] : cases) {
        SendTrap(trap);
        EXPECT_EQ(qxw::DumpText(), before) << why;
        EXPECT_TRUE(JournalSince(mark).empty()) << why;
        EXPECT_EQ(Entry("localhost")->rows.size(), 1u) << why;
        EXPECT_EQ(Entry("localhost")->rows[0].status, 2) << why;
    }
    // The host's name on the map is "LOCALHOST" too, but the address names
    // "localhost": only that entry's row changes.
    SendTrap(good());
    EXPECT_EQ(Entry("localhost")->rows[0].status, 7);
    EXPECT_EQ(Entry("LOCALHOST")->rows[0].status, 2);
}

// An agent whose traps name an address without a name reaches nothing on
// the map; the first trap of each such address says so, without tracing.
TEST_F(MapApplicationTest, TheFirstTrapOfEachAddressWithoutANameIsSaid) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    const std::string before = qxw::DumpText();
    auto from = [](std::array<std::uint8_t, 4> address) {
        Trap trap;
        trap.agentAddress = address;
        trap.specific = 7;
        trap.bindings = TrapBindings("QX0000000001", 15010);
        return trap;
    };
    testing::internal::CaptureStderr();
    SendTrap(from({127, 0, 0, 2}));
    SendTrap(from({127, 0, 0, 2}));
    SendTrap(from({127, 0, 0, 3}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(qxw::DumpText(), before);
    EXPECT_EQ(Entry("localhost")->rows[0].status, 2);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < said.size();) {
        const std::size_t end = said.find('\n', at);
        lines.push_back(said.substr(at, end - at));
        at = end == std::string::npos ? said.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), 2u) << said;
    EXPECT_NE(lines[0].find("127.0.0.2"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("127.0.0.3"), std::string::npos) << lines[1];
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("vxqxoru: ", 0), 0u) << line;
        EXPECT_NE(line.find("ignored"), std::string::npos) << line;
        EXPECT_NE(line.find("no host name"), std::string::npos) << line;
        EXPECT_NE(line.find("v1trapaddress"), std::string::npos) << line;
    }
    // A trap from the named address still counts.
    SendTrap(from({127, 0, 0, 1}));
    EXPECT_EQ(Entry("localhost")->rows[0].status, 7);
}

TEST_F(MapApplicationTest, ATrapTextWithoutItsTerminatorStillMatches) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{std::string("QX0000000001\0\0", 14)}});
    Start();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}}));
    Trap trap;
    trap.specific = 6;
    trap.bindings = TrapBindings("QX0000000001", 15010);
    trap.bindings[1].value = OctetString("QX0000000001");
    SendTrap(trap);
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 6}}));
}

TEST_F(MapApplicationTest, AnotherVersionIsNoAgentOfOurs) {
    WriteComputers({"localhost", "127.0.0.2"});
    AddAgent("127.0.0.1", {{"QX0000000001"}}).Variables()[View({1, 0})] =
        OctetString("ORUAgent.dll - Version:3");
    AddAgent("127.0.0.2", {{"QX0000000002"}}).Variables()[View({1, 0})] =
        OctetString(std::string("ORUAgent.dll - Version:2\0", 25));
    Start();
    EXPECT_EQ(Entry("localhost"), nullptr);
    EXPECT_EQ(SymbolsOn("127.0.0.2"), (Symbols{{"QX0000000002", 2}}));
}

// Tables no agent of ours sends: each read fails, and a new host is kept
// without rows, so nothing appears on the map.
TEST_F(MapApplicationTest, ATableThatCannotBeReadAddsTheHostWithoutRows) {
    std::vector<std::pair<std::string, std::function<void(ScriptedAgent&)>>> cases = {
        {"negative count",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = Integer(-1);
         }},
        {"huge count",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = Integer(2147483647);
         }},
        {"count over the limit",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = Integer(1025);
         }},
        {"count as a text",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = OctetString("2");
         }},
        {"a count larger than the table",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = Integer(3);
         }},
        {"a count smaller than the table",
         [](ScriptedAgent& a) {
             a.Variables()[View({2, 0})] = Integer(1);
         }},
        {"a status as a text",
         [](ScriptedAgent& a) {
             a.Variables()[View({3, 1, 6, 2})] = OctetString("2");
         }},
        {"a serial as a number",
         [](ScriptedAgent& a) {
             a.Variables()[View({3, 1, 3, 1})] = Integer(7);
         }},
        {"a serial of 300 bytes",
         [](ScriptedAgent& a) {
             a.Variables()[View({3, 1, 3, 1})] = OctetString(std::string(300, 'Q'));
         }},
        {"the table shrank after the count",
         [](ScriptedAgent& a) {
             std::map<Arcs, Value> smaller = a.Variables();
             for (std::uint32_t c = 2; c <= 6; ++c) {
                 smaller.erase(View({3, 1, c, 2}));
             }
             smaller[View({2, 0})] = Integer(1);
             a.AfterAnswers(3, smaller);  // the probe, the count, one cell
         }},
        {"the agent stops answering during the read", [](ScriptedAgent& a) { a.SilentAfter(4); }},
    };
    for (const auto& [why, damage] : cases) {
        SCOPED_TRACE(why);
        TearDown();
        agents_.clear();
        clock_ = VirtualClock();
        SetUp();
        WriteComputers({"localhost"});
        damage(AddAgent("127.0.0.1", {{"QX0000000001"}, {"QX0000000002"}}));
        Start();
        ASSERT_NE(Entry("localhost"), nullptr);
        EXPECT_TRUE(Entry("localhost")->rows.empty());
        EXPECT_FALSE(HasSubmap("localhost"));
    }
}

TEST_F(MapApplicationTest, AFailedReadOfAKnownHostRemovesItsSymbols) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    agent.Variables()[View({2, 0})] = Integer(-5);
    clock_.Advance(86400001);
    Idle();
    EXPECT_TRUE(SymbolsOn("localhost").empty());
    ASSERT_EQ(Entry("localhost")->rows.size(), 1u);
    EXPECT_TRUE(Entry("localhost")->rows[0].stale);
    EXPECT_NE(ObjectId("localhost:QX0000000001"), 0u);
}

TEST_F(MapApplicationTest, AConfigurationTrapReadsTheHostNowAndOnceMoreLater) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    // The agent sends the trap before it rebuilds its table: the read at
    // once finds nothing new ...
    SendTrap("QX0000000001", 4, 42100);
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 4}}));
    // ... the table has the new array a little later ...
    agent.SetRows({{"QX0000000001", 4}, {"QX0000000003", 2}});
    clock_.Advance(vxqxoru::kRereadDelayMs - 1);
    Idle();
    EXPECT_EQ(SymbolsOn("localhost").size(), 1u);
    // ... and the delayed read finds it.
    clock_.Advance(1);
    Idle();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 4}, {"QX0000000003", 2}}));
    EXPECT_FALSE(app_->Map()->Poller().NextReadDue().has_value());
}

TEST_F(MapApplicationTest, AConfigurationTrapOfAGrownTableAddsTheNewArrayAtOnce) {
    WriteComputers({"localhost"});
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    agent.SetRows({{"QX0000000001"}, {"QX0000000002", 3}});
    SendTrap("QX0000000002", 6, 42100);
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 2}, {"QX0000000002", 6}}));
}

TEST_F(MapApplicationTest, AConfigurationTrapDuringAWalkReadsTheWholeBatch) {
    WriteComputers({"localhost", "127.0.0.2"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    ScriptedAgent& slow = AddAgent("127.0.0.2", {{"QX0000000002"}});
    slow.ReplyAt(3000);
    // While the walk waits for the slow host, localhost's agent sends its
    // configuration trap.
    slow.WhenAsked([this] {
        Trap trap;
        trap.specific = 3;
        trap.bindings = TrapBindings("QX0000000001", 42100);
        SendTrapTo(trapPort_, trap);
    });
    Start();
    EXPECT_EQ(SymbolsOn("localhost"), (Symbols{{"QX0000000001", 3}}));
    EXPECT_EQ(SymbolsOn("127.0.0.2"), (Symbols{{"QX0000000002", 2}}));
    EXPECT_TRUE(app_->Map()->Poller().Probes().empty());
}

TEST_F(MapApplicationTest, DeletedObjectsLeaveTheRowsAndEntries) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}, {"QX0000000002"}});
    Start();
    const std::uint32_t first = ObjectId("localhost:QX0000000001");
    const std::uint32_t second = ObjectId("localhost:QX0000000002");
    // Deleted from the map only: the application deletes the object.
    Control("delete " + std::to_string(first) + ":2");
    EXPECT_EQ(ObjectId("localhost:QX0000000001"), 0u);
    ASSERT_EQ(Entry("localhost")->rows.size(), 1u);
    EXPECT_EQ(Entry("localhost")->rows[0].objectId, second);
    // An event without a list changes nothing.
    Control("delete");
    EXPECT_EQ(Entry("localhost")->rows.size(), 1u);
    // The host goes: its entry goes.
    Control("delete " + std::to_string(ObjectId("localhost")));
    EXPECT_EQ(Entry("localhost"), nullptr);
}

TEST_F(MapApplicationTest, ChangedHostObjectsAreReadAgain) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    const std::uint32_t host = ObjectId("localhost");
    const std::uint32_t submap = Entry("localhost")->objectInfo.childSubmapId;
    ASSERT_NE(submap, 0u);
    // The platform deleted the submap behind the application's back.
    ASSERT_EQ(QXwDeleteSubmap(app_->Map()->MapInfo(), submap), 0);
    Control("changed " + std::to_string(host));
    EXPECT_EQ(Entry("localhost")->objectInfo.childSubmapId, 0u);
}

TEST_F(MapApplicationTest, TheEndOfTheApplicationClosesTheMainWindow) {
    WriteComputers({"localhost"});
    AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    Control("end");
    qxapp::Msg msg;
    ASSERT_TRUE(loop_->PeekMessage(&msg, false));
    EXPECT_EQ(msg.message, qxapp::WM_QUIT);
    EXPECT_EQ(loop_->MainWindow(), 0u);
}

TEST_F(MapApplicationTest, WithoutThePlatformTheApplicationOnlyIdles) {
    // No database: the platform cannot be reached.
    ScriptedAgent& agent = AddAgent("127.0.0.1", {{"QX0000000001"}});
    Start();
    EXPECT_EQ(app_->Map(), nullptr);
    EXPECT_EQ(app_->Timer(), nullptr);
    Idle();
    EXPECT_EQ(agent.RequestsSeen(), 0u);
    EXPECT_NE(loop_->MainWindow(), 0u);
    EXPECT_NE(qxw::Control("close"), "");
}

}  // namespace
}  // namespace maptest
