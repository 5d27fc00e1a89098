// How a cabinet's state follows from its parts, and how long operations
// progress: the rules a controller applies after every change, shared by the
// command engine and by fault injection (a pulled drive degrades the array
// exactly as a downed one does).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/CabinetModel.h"

namespace sim {

class CabinetRules {
  public:
    // Simulated durations of the long operations, in milliseconds.
    static constexpr std::uint64_t kFormatMs = 60000;
    static constexpr std::uint64_t kRebuildMs = 120000;
    static constexpr std::uint64_t kRestartMs = 20000;
    static constexpr std::uint64_t kDeleteLunMs = 10000;
    static constexpr std::uint64_t kShutdownMs = 5000;
    static constexpr std::size_t kMaxLogBytes = 4096;

    // Sets the subsystem state and the LUN states from drives, LUNs,
    // controllers and operations. Leaves the states that only an operation
    // or a command ends (needs recovery, shutting down, shut down, starting,
    // formatting) alone.
    static void RecomputeState(CabinetModel& cab);

    // Moves every operation on by elapsedMs of simulated time and applies
    // the effects of those that end. Returns true when anything changed;
    // *ended (when given) tells whether an operation or a firmware window
    // ended, which changes what the cabinet serves.
    static bool Advance(CabinetModel& cab, std::uint64_t elapsedMs, bool* ended = nullptr);

    // Blocks available for new LUNs: (members - 1) x smallest member, minus
    // the LUNs (RAID 5 over the member drives; nothing with fewer than 2).
    static std::uint32_t FreeBlocks(const CabinetModel& cab);

    // Blocks the members would give as RAID 1 pairs.
    static std::uint32_t Raid1Blocks(const CabinetModel& cab);

    // A member drive stopped being usable (failed, downed, pulled): a hot
    // spare takes its place and rebuilds, or a rebuild becomes needed.
    static void MemberLost(CabinetModel& cab, int slot);

    // Restarts the controllers: state 7 for kRestartMs, then the state
    // before; a restart ends a shutdown under way and brings a shut-down
    // subsystem back up.
    static void StartRestart(CabinetModel& cab);

    // Starts a rebuild onto the given slot (state 9 until it ends).
    static void StartRebuildOnto(CabinetModel& cab, int slot);

    static bool Running(const CabinetModel& cab, OperationKind kind);
    // Percent done of the first running operation of that kind (0 if none).
    static std::uint8_t Progress(const CabinetModel& cab, OperationKind kind);

    // Member drives (states 0 and 9) and hot spares (state 8).
    static int MemberCount(const CabinetModel& cab);
    static bool HasSpare(const CabinetModel& cab);

    // The 32-byte subsystem state block the controller answers to 0x20.
    static std::vector<std::uint8_t> StateBlock(const CabinetModel& cab);

    // Appends a controller log entry of kind 0 (drive event) for a slot,
    // with the block it concerns (0 when none) at bytes 14..17; the oldest
    // entries go when the log would pass kMaxLogBytes.
    static void LogDriveEvent(CabinetModel& cab, std::uint16_t code, int slot, std::uint32_t ticks,
                              std::uint32_t lba = 0);
};

}  // namespace sim
