// Which text of the service's catalog an event's trap carries.
#include <gtest/gtest.h>

#include <iterator>

#include "AgentTestSupport.h"
#include "netmgmt/agent/TrapCatalog.h"

namespace {

using agenttest::HealthyState;
using agenttest::MakeEvent;
using oruagent::TrapCatalogKey;

// "set.number" and the values, or "none".
std::string KeyOf(const DiskArrayState& state, const Event& event) {
    const auto key = TrapCatalogKey(state, event);
    if (!key) {
        return "none";
    }
    std::string text = std::to_string(key->set) + "." + std::to_string(key->number);
    for (const std::string& value : key->values) {
        text += " " + value;
    }
    EXPECT_EQ(key->CatalogId(), static_cast<std::uint32_t>(key->set * 1000 + key->number));
    return text;
}

TEST(TrapCatalog, SubsystemStateEventsBySubsystemStateValue) {
    DiskArrayState state = HealthyState();
    const std::pair<std::uint32_t, const char*> states[] = {
        {0, "15.10"},  {1, "15.11"},  {4, "15.14"},   {8, "15.18"},     {10, "15.20"},
        {12, "15.22"}, {14, "15.24"}, {9, "15.39 9"}, {11, "15.39 11"}, {70, "15.39 70"},
    };
    for (const auto& [value, expected] : states) {
        state.subsystemState->values[0] = value;
        EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 0)), expected) << value;
    }
}

TEST(TrapCatalog, SubsystemStateEventsByTheirValue) {
    DiskArrayState state = HealthyState();
    // Minor k reports value k + 1 of the record.
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 1)), "15.50");
    state.subsystemState->values[1] = 1;
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 1)), "15.40");
    state.subsystemState->values[13] = 3;
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 13)), "15.200");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 23)), "15.311");
    state.subsystemState->values[23] = 1;
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 23)), "15.310");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 15)), "15.231");
    // Minors without a pair have one text whatever the value.
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 3)), "15.80");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 14)), "15.220");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 18)), "15.260");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 24)), "none");
    // A state without its record reads all values as 0.
    state.subsystemState.reset();
    EXPECT_EQ(KeyOf(state, MakeEvent(SSS, 2)), "15.70");
}

TEST(TrapCatalog, SettingsEventsArePairsChosenByOnePageValue) {
    DiskArrayState state = HealthyState();
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 0)), "20.31");
    state.modeSubsystem->rebuild_in_progress = 1;
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 1)), "20.30");
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 2)), "20.30");
    state.modeSubsystem->auto_include = 1;
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 3)), "20.50");
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 5)), "20.61");
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 6)), "20.71");
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 7)), "none");
    EXPECT_EQ(KeyOf(state, MakeEvent(MSS, 13)), "none");
}

TEST(TrapCatalog, EachSettingsMinorFollowsOnlyItsOwnPageValue) {
    using Value = std::uint32_t ModeSubsystemPage::*;
    const Value values[] = {&ModeSubsystemPage::rebuild_in_progress,
                            &ModeSubsystemPage::auto_include, &ModeSubsystemPage::log_full_warn,
                            &ModeSubsystemPage::value9};
    struct Minor {
        std::uint32_t minor;
        Value value;  // none: no trap whatever the page holds
        const char* whenSet;
        const char* whenClear;
    };
    const Minor minors[] = {
        {0, values[0], "20.30", "20.31"}, {1, values[0], "20.30", "20.31"},
        {2, values[0], "20.30", "20.31"}, {3, values[1], "20.50", "20.51"},
        {4, values[1], "20.50", "20.51"}, {5, values[2], "20.60", "20.61"},
        {6, values[3], "20.70", "20.71"}, {7, nullptr, "none", "none"},
    };
    for (const Minor& m : minors) {
        for (std::size_t v = 0; v < std::size(values); ++v) {
            DiskArrayState state = HealthyState();
            state.modeSubsystem.emplace();
            (*state.modeSubsystem).*values[v] = 2;
            EXPECT_EQ(KeyOf(state, MakeEvent(MSS, m.minor)),
                      values[v] == m.value ? m.whenSet : m.whenClear)
                << "minor " << m.minor << ", value " << v;
        }
    }
}

TEST(TrapCatalog, DriveEventsByTheDrivesState) {
    DiskArrayState state = HealthyState();
    const std::pair<std::uint32_t, const char*> states[] = {
        {0, "28.10"}, {1, "28.11"},  {3, "28.13"},  {5, "28.15"},   {6, "28.16"},
        {7, "28.17"}, {11, "28.21"}, {14, "28.24"}, {8, "28.49 8"}, {10, "28.49 10"},
    };
    for (const auto& [value, expected] : states) {
        state.drives[5].driveState = value;
        EXPECT_EQ(KeyOf(state, MakeEvent(PHYS, PHYS_STATE, 5)), expected) << value;
    }
    // A replaced drive names its slot; without an identity text, another text.
    EXPECT_EQ(KeyOf(state, MakeEvent(PHYS, PHYS_SERIAL_NUMBER, 3)), "28.3 B2");
    SetFieldText(state.drives[3].identityText1, "");
    EXPECT_EQ(KeyOf(state, MakeEvent(PHYS, PHYS_SERIAL_NUMBER, 3)), "28.2 B2");
    // A slot outside the state reads as state 0 without identity.
    EXPECT_EQ(KeyOf(state, MakeEvent(PHYS, PHYS_STATE, 40)), "28.10");
    EXPECT_EQ(KeyOf(state, MakeEvent(PHYS, PHYS_SERIAL_NUMBER, 40)), "28.2 ?");
}

TEST(TrapCatalog, TheOtherClasses) {
    DiskArrayState state = HealthyState();
    EXPECT_EQ(KeyOf(state, MakeEvent(MC, 0)), "22.1");
    EXPECT_EQ(KeyOf(state, MakeEvent(CAP, 1)), "24.2");
    EXPECT_EQ(KeyOf(state, MakeEvent(LUN_EVENT, 1, 6)), "26.2");
    EXPECT_EQ(KeyOf(state, MakeEvent(LUN_EVENT, 2)), "none");
    EXPECT_EQ(KeyOf(state, MakeEvent(MISS, 0)), "none");
    EXPECT_EQ(KeyOf(state, MakeEvent(MISS, 1, 2)), "30.1");
    // Hardware: the element's value of the list the minor names.
    EXPECT_EQ(KeyOf(state, MakeEvent(HW, 0, 3)), "32.9 7");
    EXPECT_EQ(KeyOf(state, MakeEvent(HW, 1, 1)), "32.22");
    EXPECT_EQ(KeyOf(state, MakeEvent(HW, 1, 3)), "32.29 8");
    EXPECT_EQ(KeyOf(state, MakeEvent(HW, 1, 99)), "32.29 0");
    EXPECT_EQ(KeyOf(state, MakeEvent(HW, 2)), "none");
    EXPECT_EQ(KeyOf(state, MakeEvent(DAS_MISC, 3)), "34.40");
    EXPECT_EQ(KeyOf(state, MakeEvent(CPRG, 0)), "38.1");
    EXPECT_EQ(KeyOf(state, MakeEvent(CPRG, 1)), "38.2");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 0)), "42.19");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 7)), "42.62");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 11)), "42.71");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 12, 4, 0)), "42.80");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 12, 4, 9)), "42.99 4 9");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 13)), "42.100");
    EXPECT_EQ(KeyOf(state, MakeEvent(SSW, 2)), "none");
    state.modeExtension->values[1] = 12;
    EXPECT_EQ(KeyOf(state, MakeEvent(MEXT, 0)), "10.19 12");
    EXPECT_EQ(KeyOf(state, MakeEvent(MEXT, 3)), "10.39 0");
    EXPECT_EQ(KeyOf(state, MakeEvent(MEXT, 5)), "none");
    for (std::uint32_t major : {0u, 10u, 12u, 15u}) {
        EXPECT_EQ(KeyOf(state, MakeEvent(major, 0)), "none") << major;
    }
}

}  // namespace
