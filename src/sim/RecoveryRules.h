// The recovery side of a controller: the volume-set command (0xFA) that
// starts the recovery of a volume set or a parity scan, the busy flag of
// their first seconds, the long operation page 0x22 reports, and what the
// end of a recovery or a scan does to the cabinet. Called by the command
// engine and the cabinet rules under the simulator's lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class RecoveryRules {
  public:
    // Simulated durations.
    static constexpr std::uint64_t kRecoveryMs = 60000;
    static constexpr std::uint64_t kParityScanMs = 90000;
    // A recovery or scan reports the busy flag for its first seconds.
    static constexpr std::uint64_t kBusyMs = 3000;

    // State block byte 3: busy (bit 1) and parity scan wanted (bit 4).
    static constexpr std::uint8_t kFlagBusy = 0x02;
    static constexpr std::uint8_t kFlagScanWanted = 0x10;

    // The vendor code of a request refused because the controller is busy.
    static constexpr std::uint16_t kCodeControllerBusy = 26;

    // The 16 data bytes that name the default volume set.
    static std::string DefaultId() { return std::string(16, 'F'); }

    // 0xFA with its data. In state 4 (needs recovery) the named set, or the
    // default one, starts to be recovered; in a ready cabinet at rest a
    // parity scan of it starts; otherwise the set is only named.
    static SimReply WriteVolumeSetId(CabinetModel& cab, const std::vector<std::uint8_t>& data,
                                     bool* changed);

    // A recovery or parity scan is in its first kBusyMs.
    static bool Busy(const CabinetModel& cab);

    // The long operation page 0x22 reports (format, recovery, parity scan,
    // then a running rebuild): whether one runs, and its percent done.
    static void PageProgress(const CabinetModel& cab, bool* running, std::uint8_t* percent);

    // The end of a recovery (the set's drives become members and the
    // subsystem comes up) or of a parity scan (no scan is wanted any more).
    static void Finish(CabinetModel& cab, const LongOperation& op);

    // The set the default names: that of the drives in state 0, else the
    // only set among the foreign drives; empty when there is none or several.
    static std::string DefaultSet(const CabinetModel& cab);
};

}  // namespace sim
