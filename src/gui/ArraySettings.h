// The settings of the Configuration page: a snapshot read from the array's
// state, the requests that take the array from its state to a snapshot the
// user edited (in the order they are sent), and the rebuild buttons' rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "gui/GuiTextIds.h"

class DiskArray;
class DiskArrayState;

namespace oru {

// The entries of the resiliency list, by their index.
enum Resiliency : int {
    kResiliencyUnknown = -1,  // the array reports no goal
    kResiliencySingleController = 0,
    kResiliencyHighPerformance = 1,
    kResiliencyNormal = 2,
    kResiliencySecure = 3,
};

struct ArraySettings {
    bool autoInclude = false;
    bool activeSpare = false;
    std::string alias;
    // Controllers below capability level 3 take neither an alias nor a
    // resiliency.
    bool aliasLocked = true;
    bool resiliencyLocked = true;
    int resiliency = kResiliencyUnknown;
    std::uint32_t addressX = 0;
    std::uint32_t addressY = 0;
    // Controllers of layout type 1 have no very-early-busy setting.
    bool veryEarlyBusyLocked = true;
    bool veryEarlyBusy = false;
    bool autoRebuild = false;
    bool highPriority = false;
    bool startAllowed = false;
    bool stopAllowed = false;
    std::uint32_t rebuildProgress = 0;  // percent

    static ArraySettings FromState(const DiskArrayState& state);
};

// The alias field takes at most this many characters.
inline constexpr int kAliasChars = 12;

// Whether the state shows the array in single-controller mode.
bool SingleControllerMode(const DiskArrayState& state);

// Whether a rebuild may be started: not after a failed rebuild, and not
// while the array reports itself not redundant without a rebuild running.
// (The service refuses a rebuild that is not needed or already running in
// any case; this only decides whether the button is offered.)
bool RebuildStartAllowed(const DiskArrayState& state);

// One request of an apply.
struct SettingChange {
    MESSAGE_CODE code = MC_NONE;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    std::string text;  // the alias of SetAliasName
    TextId failure;    // the message when it fails
};

// The requests that take the array from `state` to `wanted`, in the order
// they are sent; empty when nothing differs.
std::vector<SettingChange> PlanApply(const ArraySettings& wanted, const DiskArrayState& state);

// Sends one change; its handle ((0, 0) when it could not be sent).
CommandHandle SendChange(DiskArray& array, const SettingChange& change);

}  // namespace oru
