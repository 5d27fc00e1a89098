#include "netmgmt/agent/AgentTraps.h"

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/Event.h"
#include "netmgmt/agent/AgentCatalog.h"
#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentReport.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/agent/TextFormat.h"
#include "netmgmt/agent/TrapCatalog.h"
#include "netmgmt/agent/TrapSlot.h"

namespace oruagent {

namespace {

// Texts of the service's catalog around the event text.
constexpr int kSetHead = 1;
constexpr int kSubsystemName = 11;
constexpr int kSetController = 10;
constexpr int kProductText = 60;
constexpr int kRevisionText = 61;
// The text of a status the events did not tell.
constexpr int kStatusText = 20;

// Report number of the agent catalog: the trap event could not be set.
constexpr int kTrapEventFailed = 3;

}  // namespace

bool AgentTraps::EventToTrapText(const DiskArrayState& state, const Event& event,
                                 std::int32_t status) {
    if (event.majorType > kLastEventClass) {
        ReportAgentEvent(kReportError,
                         FormatText(AgentTexts::kServerNoSuchString,
                                    {static_cast<std::uint32_t>(event.majorType), -1}, kTextBytes));
        return false;
    }
    const std::optional<TrapKey> key = TrapCatalogKey(state, event);
    if (!key) {
        return false;
    }
    const std::optional<std::string> text =
        catalog_.GetCatalogString(CatalogWhich::kServer, key->set, key->number);
    if (!text) {
        return false;
    }
    std::string filled;
    switch (key->values.size()) {
        case 0:
            filled = FormatText(*text, {}, kTextBytes);
            break;
        case 1:
            filled = FormatText(*text, {key->values[0]}, kTextBytes);
            break;
        default:
            filled = FormatText(*text, {key->values[0], key->values[1]}, kTextBytes);
            break;
    }
    return PostTrap(state, filled, key->set, key->number, status);
}

bool AgentTraps::PostStatusChange(const DiskArrayState& state, std::int32_t status) {
    const std::optional<std::string> text =
        catalog_.GetCatalogString(CatalogWhich::kServer, kSetHead, kStatusText);
    if (!text) {
        return false;
    }
    return PostTrap(state, FormatText(*text, {status}, kTextBytes), kSetHead, kStatusText, status);
}

std::optional<std::string> AgentTraps::TrapText(const DiskArrayState& state,
                                                const std::string& eventText) const {
    struct Piece {
        int set;
        int number;
        std::string value;
    };
    const Piece pieces[] = {
        {kSetHead, kSubsystemName, std::string(state.SerialNumber())},
        {kSetController, kRevisionText, ControllerProductRev(state)},
        {kSetController, kProductText, ControllerProductId(state)},
    };
    std::string filled[3];
    for (std::size_t i = 0; i < 3; ++i) {
        bool missing = false;
        const std::optional<std::string> text = catalog_.GetCatalogString(
            CatalogWhich::kServer, pieces[i].set, pieces[i].number, &missing);
        if (!text) {
            return std::nullopt;
        }
        if (missing) {
            return *text;
        }
        filled[i] = FormatText(*text, {pieces[i].value}, kTextBytes);
    }
    std::string whole = filled[0] + ":" + eventText + ":" + filled[1] + ":" + filled[2];
    if (whole.size() > kTextBytes - 1) {
        whole.resize(kTextBytes - 1);
    }
    return whole;
}

bool AgentTraps::PostTrap(const DiskArrayState& state, const std::string& eventText, int set,
                          int number, std::int32_t status) {
    if (slot_.Descriptor() < 0) {
        return false;
    }
    std::optional<std::string> text = TrapText(state, eventText);
    if (!text) {
        return false;
    }
    PendingTrap trap;
    trap.catalogId = static_cast<std::uint32_t>(set * 1000 + number);
    trap.text = std::move(*text);
    trap.serialNumber = std::string(state.SerialNumber());
    trap.specific = status;
    switch (slot_.Post(std::move(trap))) {
        case TrapSlot::PostResult::kPosted:
            return true;
        case TrapSlot::PostResult::kSignalFailed:
            ReportAgentEvent(kReportError, catalog_.AgentText(kTrapEventFailed));
            return false;
        default:
            return false;
    }
}

}  // namespace oruagent
