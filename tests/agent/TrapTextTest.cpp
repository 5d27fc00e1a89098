// Events into trap texts with catalogs of known wording, and their post.
#include <gtest/gtest.h>

#include "AgentTestSupport.h"
#include "netmgmt/agent/AgentCatalog.h"
#include "netmgmt/agent/AgentTraps.h"
#include "netmgmt/agent/TrapSlot.h"

namespace {

using agenttest::HealthyState;
using agenttest::MakeEvent;
using namespace oruagent;

class TrapTextTest : public agenttest::AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        ASSERT_TRUE(slot_.Create());
        Load();
    }
    void Load() {
        ASSERT_TRUE(catalog_.LoadCatalogDll(CatalogWhich::kAgent));
        ASSERT_TRUE(catalog_.LoadCatalogDll(CatalogWhich::kServer));
    }
    // The trap the event posted, if any (taken and released again).
    std::optional<PendingTrap> TrapOf(const DiskArrayState& state, const Event& event,
                                      std::int32_t status = 7) {
        AgentTraps traps(catalog_, slot_);
        const bool posted = traps.EventToTrapText(state, event, status);
        PendingTrap trap;
        const bool taken = slot_.Take(&trap);
        EXPECT_EQ(posted, taken);
        slot_.Release();
        return taken ? std::optional<PendingTrap>(trap) : std::nullopt;
    }

    AgentCatalog catalog_;
    TrapSlot slot_;
};

TEST_F(TrapTextTest, ATrapCarriesTheEventTextBetweenSerialAndProductTexts) {
    DiskArrayState state = HealthyState();
    state.subsystemState->values[0] = 1;
    const auto trap = TrapOf(state, MakeEvent(SSS, 0), 7);
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->catalogId, 15011u);
    EXPECT_EQ(trap->text,
              "serial QX0000000007:ready with conditions:revision <0301>:product <QRVZX ARRAY>");
    EXPECT_EQ(trap->serialNumber, "QX0000000007");
    EXPECT_EQ(trap->specific, 7);
}

TEST_F(TrapTextTest, EventTextsAreFilledWithTheirValuesAndNothingMore) {
    DiskArrayState state = HealthyState();
    state.drives[2].driveState = 8;
    auto trap = TrapOf(state, MakeEvent(PHYS, PHYS_STATE, 2));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->catalogId, 28049u);
    EXPECT_EQ(trap->text.substr(0, 35), "serial QX0000000007:drive state 8:r");

    // The text names four values and one it must never fill; the agent
    // gives none for this event.
    state.drives[2].driveState = 1;
    trap = TrapOf(state, MakeEvent(PHYS, PHYS_STATE, 2));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->text.substr(0, 39), "serial QX0000000007:no drive    %n here");

    trap = TrapOf(state, MakeEvent(SSW, 12, 3, 4));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->text.substr(0, 38), "serial QX0000000007:performance 3 and ");
}

TEST_F(TrapTextTest, AnIgnoredTextMakesNoTrapAndNoReport) {
    const std::size_t before = AgentReports().size();
    EXPECT_FALSE(TrapOf(HealthyState(), MakeEvent(CPRG, 0)));
    EXPECT_EQ(AgentReports().size(), before);
    // Its neighbour has a text and makes one.
    EXPECT_TRUE(TrapOf(HealthyState(), MakeEvent(CPRG, 1)));
}

TEST_F(TrapTextTest, AnUnknownClassIsReportedAndMakesNoTrap) {
    EXPECT_FALSE(TrapOf(HealthyState(), MakeEvent(15, 0)));
    const auto reports = AgentReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), "ORU StringCatalog::(15,-1): No such string.");
    // Classes the agent knows but makes no trap of are not reported.
    EXPECT_FALSE(TrapOf(HealthyState(), MakeEvent(CRES, 0)));
    EXPECT_EQ(AgentReports().size(), reports.size());
}

TEST_F(TrapTextTest, AMissingEventTextTravelsAsTheMissingStringText) {
    DiskArrayState state = HealthyState();
    const auto trap = TrapOf(state, MakeEvent(MC, 1));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->catalogId, 22002u);
    EXPECT_NE(trap->text.find(":ORU StringCatalog::(22,2): No such string.:"), std::string::npos);
}

TEST_F(TrapTextTest, TheTrapTextTakesEachControllerFieldAsTheMibDoes) {
    DiskArrayState state = HealthyState();
    SetFieldText(state.controllers[0].productId, "");
    SetFieldText(state.controllers[1].productId, "PARTNER");
    state.subsystemState->values[2] = 1;
    const auto trap = TrapOf(state, MakeEvent(SSS, 2));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->text, "serial QX0000000007:not redundant:revision <0301>:product <PARTNER>");
}

TEST_F(TrapTextTest, ATrapTextIsAtMost255Bytes) {
    DiskArrayState state = HealthyState();
    // A slot label cannot be long, but the serial text may hold anything
    // the service sent: fill every field to its end.
    std::memset(state.serialNumber, 'S', sizeof state.serialNumber);
    AgentTraps traps(catalog_, slot_);
    const auto text = traps.TrapText(state, std::string(400, 'e'));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 255u);
    EXPECT_EQ(text->substr(0, 21), "serial SSSSSSSSSSSSS:");
}

TEST_F(TrapTextTest, ASuppressedPartOfTheTrapTextMakesNoTrap) {
    UseCatalogs("suppressed");
    catalog_.Free();
    Load();
    DiskArrayState state = HealthyState();
    state.subsystemState->values[2] = 1;
    EXPECT_FALSE(TrapOf(state, MakeEvent(SSS, 2)));
}

TEST_F(TrapTextTest, NothingIsPostedBeforeTheTrapEventExists) {
    TrapSlot unmade;
    AgentTraps traps(catalog_, unmade);
    DiskArrayState state = HealthyState();
    EXPECT_FALSE(traps.PostTrap(state, "text", 15, 60, 4));
    PendingTrap trap;
    EXPECT_FALSE(unmade.Take(&trap));
}

TEST_F(TrapTextTest, MissingAgentTextsSayWhichTextIsMissing) {
    EXPECT_EQ(catalog_.AgentText(2), "Agent StringCatalog::(1,2): No such string.");
    EXPECT_EQ(catalog_.AgentText(14), "agent 1.14 no subsystem");
    bool missing = false;
    EXPECT_EQ(*catalog_.GetCatalogString(CatalogWhich::kServer, 99, 1, &missing),
              "ORU StringCatalog::(99,1): No such string.");
    EXPECT_TRUE(missing);
}

}  // namespace
