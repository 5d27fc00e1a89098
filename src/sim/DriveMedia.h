// The bad media of a simulated drive: the blocks listed as bad in a scenario
// and the media errors an operator injects ("strovsim media-error"). A READ
// or VERIFY over a bad block fails with a medium error (3/0x11/0x00), a
// WRITE over a block made bad for writing with 3/0x0C/0x02; the sense names
// the first bad block in its information field, and the drive counts the
// error among its uncorrected ones. A corrupt block reads back altered and
// the drive reports nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class DriveMedia {
  public:
    // Medium errors a drive keeps at most.
    static constexpr std::size_t kMaxMediaErrors = 256;

    // The failure a command (0x28, 0x2A, 0x2E, 0x2F) of count blocks at lba
    // meets; nothing when its blocks are sound for it.
    static std::optional<SimReply> Check(DriveModel& drive, std::uint8_t opcode, std::uint32_t lba,
                                         std::uint32_t count);
    // Alters the blocks of data (read from lba) that are corrupt.
    static void Alter(const DriveModel& drive, std::uint32_t lba, std::vector<std::uint8_t>& data);
    // The first block of a failed command, from its sense; nothing when the
    // sense does not carry one.
    static std::optional<std::uint32_t> FailedBlock(const std::vector<std::uint8_t>& sense);

    // The operator's requests on one drive (the words after the slot):
    // "media-error LBA [COUNT] [read|write|corrupt]" and
    // "clear-media-errors". False with a one-line error in *answer.
    static bool Control(DriveModel& drive, const std::string& verb,
                        const std::vector<std::string>& words, std::string* answer);

    static const char* KindName(MediaErrorKind kind);
    static bool KindOf(const std::string& name, MediaErrorKind* kind);
};

}  // namespace sim
