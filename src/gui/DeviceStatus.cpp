#include "gui/DeviceStatus.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "coresys/common/BlockCapacity.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/GrossStatus.h"
#include "gui/GuiText.h"

namespace oru {
namespace {

// Positions in the gross-status record (0-based, as decoded).
enum GrossPosition : std::uint32_t {
    kArrayState = 0,
    kDataUnavailable = 1,
    kNotRedundant = 2,
    kBatteryLow = 3,
    kActiveSpareUnavailable = 4,
    kRebuildFailed = 7,
    kControllerFailure1 = 8,
    kControllerFailure2 = 9,
    kControllerFailure3 = 10,
    kFanFailed = 11,
    kPowerSupplyFailed = 12,
    kRebuilding = 13,
    kMissingDrive = 15,
    kUnusedSimm = 16,
    kControllerDisabled = 17,
    kUnmirroredRam = 18,
    kStateChanging = 19,
    kLogSuspended = 21,
    kPredictiveDriveFailure = 22,
    kPredictiveControllerFailure = 23,
    kBalancing = 24,
    kOptimizing = 25,
    kDrivesInState0 = 26,  // 26..33: drives in states 0..7
    kRecordValid = 35,
};

// Values of the subsystem state record (counted from 1) that only the full
// state carries.
enum StateRecordValue : std::uint32_t {
    kStateCodeMismatch = 20,
    kStateControllerMismatch = 21,
    kStateRecoveryFailed = 22,
    kStateSingleController = 23,
    kStateMapLoss = 24,
};

struct NamedState {
    std::uint32_t state;
    TextId text;
    int value;
};

constexpr NamedState kNamedStates[] = {
    {2, txt::kStateNotEnoughDrives, DS_CRITICAL_ERROR},
    {3, txt::kStateNoQuorum, DS_CRITICAL_ERROR},
    {4, txt::kStateNoMap, DS_CRITICAL_ERROR},
    {5, txt::kStateShuttingDown, DS_NOT_IN_USE},
    {6, txt::kStateShutDown, DS_NOT_IN_USE},
    {7, txt::kStateStartingUp, DS_NOT_IN_USE},
    {8, txt::kStateNoCode, DS_CRITICAL_ERROR},
    {10, txt::kStateShutdownWarning, DS_CRITICAL_ERROR},
    {12, txt::kCodeMismatch, DS_WARNING},
    {13, txt::kControllerMismatch, DS_WARNING},
};

// Conditions that each raise the value to at least 4, in the order they
// are listed.
struct Condition {
    std::uint32_t position;
    TextId text;
};

constexpr Condition kWarnings[] = {
    {kFanFailed, txt::kFanFailed},
    {kPowerSupplyFailed, txt::kPowerSupplyFailed},
    {kRebuilding, txt::kRebuilding},
    {kBatteryLow, txt::kBatteryLow},
    {kActiveSpareUnavailable, txt::kActiveSpareUnavailable},
    {kMissingDrive, txt::kMissingDrive},
    {kUnusedSimm, txt::kUnusedSimm},
    {kControllerDisabled, txt::kControllerDisabled},
    {kUnmirroredRam, txt::kUnmirroredRam},
    {kStateChanging, txt::kStateChanging},
    {kLogSuspended, txt::kLogSuspended},
    {kPredictiveDriveFailure, txt::kPredictiveDriveFailure},
    {kPredictiveControllerFailure, txt::kPredictiveControllerFailure},
};

class Conditions {
  public:
    explicit Conditions(int start) : value_(start) {}

    void Add(TextId text, int atLeast) {
        texts_.push_back(GuiText(text));
        value_ = std::max(value_, atLeast);
    }
    int Value() const { return value_; }

    std::string Joined() const {
        std::string joined;
        for (const std::string& text : texts_) {
            if (!joined.empty()) {
                joined += ", ";
            }
            joined += text;
        }
        return joined;
    }

  private:
    int value_;
    std::vector<std::string> texts_;
};

StatusEvaluation Finish(int value, const std::string& conditions) {
    StatusEvaluation result;
    result.value = value;
    result.text = StatusName(value);
    if (!conditions.empty()) {
        result.text += ": " + conditions;
    }
    return result;
}

}  // namespace

std::string StatusName(int value) {
    switch (value) {
        case DS_EMPTY_SLOT:
            return GuiText(txt::kStatusEmptySlot);
        case DS_NOT_IN_USE:
            return GuiText(txt::kStatusNotInUse);
        case DS_NORMAL:
            return GuiText(txt::kStatusNormal);
        case DS_WARNING:
            return GuiText(txt::kStatusWarning);
        case DS_MINOR_ERROR:
            return GuiText(txt::kStatusMinor);
        case DS_MAJOR_ERROR:
            return GuiText(txt::kStatusMajor);
        case DS_CRITICAL_ERROR:
            return GuiText(txt::kStatusCritical);
        default:
            return GuiText(txt::kUnknown);
    }
}

StatusEvaluation EvaluateArrayStatus(const GrossStatus& gross, const DiskArrayState* full) {
    auto at = [&gross](std::uint32_t position) { return gross.values[position]; };
    const std::uint32_t state = at(kArrayState);
    if (state != 0 && state != 1) {
        for (const NamedState& named : kNamedStates) {
            if (named.state == state) {
                return Finish(named.value, GuiText(named.text));
            }
        }
        return Finish(DS_CRITICAL_ERROR,
                      GuiText(txt::kUnknownState, static_cast<unsigned long>(state)));
    }

    Conditions conditions(state == 0 ? DS_NORMAL : DS_WARNING);
    if (at(kDataUnavailable) != 0) {
        conditions.Add(txt::kDataUnavailable, DS_CRITICAL_ERROR);
    }
    if (at(kRebuildFailed) != 0) {
        conditions.Add(txt::kRebuildFailed, DS_CRITICAL_ERROR);
    }
    if (at(kNotRedundant) != 0) {
        conditions.Add(txt::kNotRedundant, DS_MAJOR_ERROR);
    }
    if (at(kControllerFailure1) != 0 || at(kControllerFailure2) != 0 ||
        at(kControllerFailure3) != 0) {
        conditions.Add(txt::kControllerFailed, DS_MAJOR_ERROR);
    }
    for (const Condition& warning : kWarnings) {
        if (at(warning.position) != 0) {
            conditions.Add(warning.text, DS_WARNING);
        }
    }
    if (at(kBalancing) != 0) {
        conditions.Add(txt::kBalancing, 0);
    }
    if (at(kOptimizing) != 0) {
        conditions.Add(txt::kOptimizing, 0);
    }
    auto drivesIn = [&](std::uint32_t driveState) { return at(kDrivesInState0 + driveState); };
    const bool reportedElsewhere = at(kNotRedundant) != 0 || at(kMissingDrive) != 0 ||
                                   at(kDataUnavailable) != 0 || at(kRebuildFailed) != 0 ||
                                   at(kRebuilding) != 0;
    if ((drivesIn(4) != 0 || drivesIn(7) != 0) && !reportedElsewhere) {
        conditions.Add(txt::kFailedDrive, DS_WARNING);
    }
    if (drivesIn(2) != 0 || drivesIn(5) != 0 || drivesIn(6) != 0) {
        conditions.Add(txt::kUnincludedDrive, 0);
    }
    if (full != nullptr && full->subsystemState.has_value()) {
        const SubsystemStateInfo& record = *full->subsystemState;
        if (record.Value(kStateCodeMismatch) != 0) {
            conditions.Add(txt::kCodeMismatch, DS_WARNING);
        }
        if (record.Value(kStateControllerMismatch) != 0) {
            conditions.Add(txt::kControllerMismatch, DS_WARNING);
        }
        if (record.Value(kStateRecoveryFailed) != 0) {
            conditions.Add(txt::kRecoveryFailed, DS_WARNING);
        }
        if (record.Value(kStateSingleController) != 0) {
            conditions.Add(txt::kSingleController, 0);
        }
        if (record.Value(kStateMapLoss) != 0) {
            conditions.Add(txt::kMapLoss, DS_CRITICAL_ERROR);
        }
    }
    return Finish(conditions.Value(), conditions.Joined());
}

StatusEvaluation EvaluateGrossStatus(const GrossStatus& gross) {
    if (gross.values[kRecordValid] == 0) {
        return StatusEvaluation{DS_NO_DATA, GuiText(txt::kUnknown)};
    }
    return EvaluateArrayStatus(gross);
}

StatusEvaluation EvaluateState(const DiskArrayState& state) {
    if (state.ValidStateData() == 0) {
        return StatusEvaluation{DS_NO_DATA, GuiText(txt::kUnknown)};
    }
    return EvaluateArrayStatus(GrossStatus(state), &state);
}

std::uint32_t CapacityHundredthsGB(const BlockCapacity& capacity) {
    // Half a hundredth of a gigabyte rounds up; the division is a
    // multiplication by the reciprocal, which is exact at the rounding
    // boundaries (5368709 bytes give 1, 5368708 give 0).
    static const double kReciprocal = 1.0 / 10737418.0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(capacity.blockSize) *
                                (static_cast<std::uint64_t>(capacity.blocks) + 1);
    const double hundredths = (static_cast<double>(bytes) + 5368709.0) * kReciprocal;
    if (hundredths >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(hundredths);
}

std::uint32_t UnallocatedHundredthsGB(const DiskArrayState& state) {
    const std::uint64_t hundredths = state.UnallocatedBytes() / 10737418;
    return hundredths > std::numeric_limits<std::uint32_t>::max()
               ? std::numeric_limits<std::uint32_t>::max()
               : static_cast<std::uint32_t>(hundredths);
}

std::string GigabyteText(std::uint32_t hundredths) {
    return GuiText(txt::kGigabytes, static_cast<unsigned long>(hundredths / 100),
                   static_cast<unsigned long>(hundredths % 100));
}

std::optional<ArrayCapacity> ComputeArrayCapacity(const DiskArrayState& state) {
    if (state.ValidStateData() == 0) {
        return std::nullopt;
    }
    ArrayCapacity result;
    result.unallocated = UnallocatedHundredthsGB(state);
    // Sums saturate rather than wrap: an array cannot hold 42 million GB,
    // but a damaged state must not show a small number for a huge one.
    auto add = [](std::uint32_t& sum, std::uint32_t more) {
        const std::uint64_t total = static_cast<std::uint64_t>(sum) + more;
        sum = total > std::numeric_limits<std::uint32_t>::max()
                  ? std::numeric_limits<std::uint32_t>::max()
                  : static_cast<std::uint32_t>(total);
    };
    std::uint32_t largestSpare = 0;
    std::uint32_t secondSpare = 0;
    for (const Physical_Drive& drive : state.drives) {
        const std::uint32_t driveState = drive.driveState;
        if (driveState == 1 || driveState > 14) {
            continue;
        }
        const std::uint32_t c = CapacityHundredthsGB(drive.capacity);
        add(result.total, c);
        bool spareCandidate = false;
        switch (driveState) {
            case 0:
            case 3:
            case 8:
            case 9:
            case 10:
                spareCandidate = true;
                break;
            case 4:
                add(result.failed, c);
                spareCandidate = true;
                break;
            case 7:
                add(result.failed, c);
                break;
            default:  // 2, 5, 6, 11 to 14
                add(result.unincluded, c);
                break;
        }
        if (spareCandidate) {
            if (c >= largestSpare) {
                secondSpare = largestSpare;
                largestSpare = c;
            } else if (c >= secondSpare) {
                secondSpare = c;
            }
        }
    }
    for (const LUN& lun : state.luns) {
        if (lun.status != 0) {
            add(result.logicalDrives, CapacityHundredthsGB(lun.capacity));
        }
    }
    const bool spareEnabled =
        state.modeSubsystem.has_value() && state.modeSubsystem->hot_spare_desired != 0;
    // Value 5 of the subsystem state record: active spare unavailable.
    const bool spareUnavailable =
        state.subsystemState.has_value() && state.subsystemState->Value(5) != 0;
    if (spareEnabled && !spareUnavailable) {
        result.activeSpare = secondSpare;
    }
    std::uint32_t used = 0;
    for (std::uint32_t part : {result.logicalDrives, result.unincluded, result.failed,
                               result.unallocated, result.activeSpare}) {
        add(used, part);
    }
    result.dataRedundancy = used < result.total ? result.total - used : 0;
    return result;
}

}  // namespace oru
