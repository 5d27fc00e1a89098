// An array's condition as the graphical manager shows it: the status value
// (DeviceStatus) with its name, the evaluation of a gross-status record into
// a value and a text, and the capacity figures in hundredths of a gigabyte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class BlockCapacity;
class DiskArrayState;
class GrossStatus;

namespace oru {

// Status values; 3 to 7 grow with severity and the list sorts by them.
enum DeviceStatus : int {
    DS_EMPTY_SLOT = 1,
    DS_NOT_IN_USE = 2,
    DS_NORMAL = 3,
    DS_WARNING = 4,
    DS_MINOR_ERROR = 5,
    DS_MAJOR_ERROR = 6,
    DS_CRITICAL_ERROR = 7,
    DS_NO_DATA = 10,
};

// "Normal", "Warning", ...; "Unknown" for any value without a name.
std::string StatusName(int value);

struct StatusEvaluation {
    int value = DS_NO_DATA;
    std::string text;
};

// The status of an array from its gross-status record: the status name
// alone, or the name, ": " and the conditions joined with ", ". With the
// array's full state, the conditions that only the state records
// (mismatches, recovery failed, single controller, map loss) are added.
// The record's validity is not looked at (see EvaluateReply, EvaluateState).
StatusEvaluation EvaluateArrayStatus(const GrossStatus& gross,
                                     const DiskArrayState* full = nullptr);
// Value 10, "Unknown" unless the record is valid; else EvaluateArrayStatus.
StatusEvaluation EvaluateGrossStatus(const GrossStatus& gross);
// Value 10, "Unknown" unless the state is valid; else the evaluation of the
// gross-status record built from it, with its full state.
StatusEvaluation EvaluateState(const DiskArrayState& state);

// A capacity in hundredths of a gigabyte (2^30 bytes) from a block count
// record (last block number, block length), rounded to the nearest
// hundredth. Computed in 64 bits, so capacities beyond 4 GiB count whole.
std::uint32_t CapacityHundredthsGB(const BlockCapacity& capacity);
// The room for new logical drives (DiskArrayState::UnallocatedBytes) in
// whole hundredths of a gigabyte, cut toward zero: a drive of the figure
// shown fits.
std::uint32_t UnallocatedHundredthsGB(const DiskArrayState& state);
// A capacity of hundredths as the list shows it ("12.34 GB").
std::string GigabyteText(std::uint32_t hundredths);

// How an array's raw space is used, in hundredths of a gigabyte.
struct ArrayCapacity {
    std::uint32_t logicalDrives = 0;
    std::uint32_t unallocated = 0;
    std::uint32_t activeSpare = 0;
    std::uint32_t unincluded = 0;
    std::uint32_t failed = 0;
    std::uint32_t dataRedundancy = 0;
    std::uint32_t total = 0;
};

// The capacity figures of a valid state; nullopt when the state is not valid.
std::optional<ArrayCapacity> ComputeArrayCapacity(const DiskArrayState& state);

}  // namespace oru
