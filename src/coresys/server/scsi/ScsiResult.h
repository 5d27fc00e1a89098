// Outcome of one SCSI command, filled by every pass-through and kept by the
// storage command layer for the caller's reply or log text.
#pragma once

#include <cstdint>

struct ScsiResult {
    // result values
    static constexpr std::uint32_t kGood = 0;
    static constexpr std::uint32_t kScsiStatus = 1;
    static constexpr std::uint32_t kSystemFailed = 3;
    // reason values
    static constexpr std::uint32_t kReasonGood = 0;
    static constexpr std::uint32_t kReasonNoMemory = 5;
    static constexpr std::uint32_t kReasonScsiStatus = 6;
    static constexpr std::uint32_t kReasonSystemFailed = 7;
    static constexpr std::uint32_t kSenseSize = 256;

    std::uint32_t kindTag = 4;
    std::uint32_t result = kGood;   // 0 good, 1 SCSI status, 3 system call failed
    std::uint32_t status = 0;       // SCSI status byte (1) or system error code (3)
    std::uint32_t senseLength = 0;  // sense bytes returned (1); never above 255
    unsigned char sense[kSenseSize] = {};
    std::uint32_t reason = kReasonGood;
    std::uint32_t valid = 1;
    // Set by the storage command executor when any run of the command met the
    // controller's unit attention of a changed logical-unit set, even when a
    // later run succeeded: the host must then rescan its devices. The
    // pass-through itself leaves it alone.
    bool lunSetChanged = false;

    // Sense key (low four bits of sense byte 2) when at least 3 sense bytes came back, else 0.
    std::uint8_t SenseKey() const { return senseLength >= 3 ? (sense[2] & 0x0F) : 0; }
    // ASC / ASCQ (sense bytes 12 and 13) when at least 14 sense bytes came back, else 0.
    std::uint8_t Asc() const { return senseLength >= 14 ? sense[12] : 0; }
    std::uint8_t Ascq() const { return senseLength >= 14 ? sense[13] : 0; }
    // CHECK CONDITION with UNIT ATTENTION, REPORTED LUNS DATA HAS CHANGED
    // (6/0x3F/0x0E): the controller's logical-unit set changed since this
    // path last heard from it.
    bool IsLunSetChange() const {
        return result == kScsiStatus && status == 0x02 && SenseKey() == 6 && Asc() == 0x3F &&
               Ascq() == 0x0E;
    }
};
