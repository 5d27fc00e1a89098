// One command block as the simulated controller receives it and the answer it
// gives, independent of the transport (socket frames or in-process calls).
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

enum class SimDirection : std::uint8_t { kNone = 0, kOut = 1, kIn = 2 };

// SCSI status bytes the controller returns.
inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kStatusBusy = 0x08;

// Sense keys.
inline constexpr std::uint8_t kKeyNoSense = 0;
inline constexpr std::uint8_t kKeyNotReady = 2;
inline constexpr std::uint8_t kKeyMediumError = 3;
inline constexpr std::uint8_t kKeyHardwareError = 4;
inline constexpr std::uint8_t kKeyIllegalRequest = 5;
inline constexpr std::uint8_t kKeyUnitAttention = 6;

// Fixed-format sense is 26 bytes (additional length 18).
inline constexpr std::size_t kSenseLength = 26;

struct SimCommand {
    std::vector<std::uint8_t> cdb;  // 6, 10 or 12 bytes
    SimDirection direction = SimDirection::kNone;
    std::uint32_t transferLength = 0;  // the host's buffer for data-in, or data-out size
    std::uint32_t timeoutSeconds = 0;
    std::vector<std::uint8_t> dataOut;
};

struct SimReply {
    int systemError = 0;  // errno of a failed call; then nothing else counts
    std::uint8_t status = kStatusGood;
    std::vector<std::uint8_t> sense;   // empty with GOOD
    std::vector<std::uint8_t> dataIn;  // bytes moved in (its size is the count moved)
    std::uint32_t bytesMoved = 0;      // for data-out: bytes taken
};

// A fixed-format sense block of 26 bytes: 0x70, key, additional length 18,
// ASC, ASCQ. The drive form reports a drive's own sense: the drive's key,
// ASC 0x80, FRU = slot + 1, and the drive's key/ASC/ASCQ and slot at 22..25.
std::vector<std::uint8_t> MakeSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);
std::vector<std::uint8_t> MakeDriveSense(std::uint8_t driveKey, std::uint8_t driveAsc,
                                         std::uint8_t driveAscq, std::uint8_t slot);

// CHECK CONDITION with the given sense and no data.
SimReply CheckCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);

// A refused management request: CHECK CONDITION 5/0x26/0x02 with the vendor
// code (BE16 at sense bytes 19..20) that tells the host why.
SimReply Refused(std::uint16_t vendorCode);

// Vendor codes of refused requests.
inline constexpr std::uint16_t kCodeDriveState = 47;
inline constexpr std::uint16_t kCodeLunState = 16;
inline constexpr std::uint16_t kCodeRenumberInUse = 17;
inline constexpr std::uint16_t kCodeNoCapacity = 18;
inline constexpr std::uint16_t kCodeSubsystemState = 19;
inline constexpr std::uint16_t kCodeDownRefused = 36;
inline constexpr std::uint16_t kCodeNoRebuild = 48;
inline constexpr std::uint16_t kCodeFormatRefused = 88;

}  // namespace sim
