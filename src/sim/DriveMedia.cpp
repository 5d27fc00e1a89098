#include "sim/DriveMedia.h"

#include "sim/ByteOrder.h"
#include "sim/ControlWords.h"

namespace sim {

namespace {

// Uncorrected-error counters by the kind of command.
constexpr std::size_t kWrites = 0;
constexpr std::size_t kReads = 1;
constexpr std::size_t kVerifies = 2;

bool Overlaps(std::uint32_t first, std::uint32_t count, std::uint32_t lba, std::uint32_t blocks) {
    return std::uint64_t(first) < std::uint64_t(lba) + blocks &&
           std::uint64_t(lba) < std::uint64_t(first) + count;
}

SimReply MediumError(std::uint8_t asc, std::uint8_t ascq, std::uint32_t block) {
    SimReply r = CheckCondition(kKeyMediumError, asc, ascq);
    // The information field names the block: valid bit, BE32 at 3..6.
    r.sense[0] |= 0x80;
    PutBe32(r.sense, 3, block);
    return r;
}

}  // namespace

const char* DriveMedia::KindName(MediaErrorKind kind) {
    switch (kind) {
        case MediaErrorKind::kWrite:
            return "write";
        case MediaErrorKind::kCorrupt:
            return "corrupt";
        default:
            return "read";
    }
}

bool DriveMedia::KindOf(const std::string& name, MediaErrorKind* kind) {
    for (MediaErrorKind k :
         {MediaErrorKind::kRead, MediaErrorKind::kWrite, MediaErrorKind::kCorrupt}) {
        if (name == KindName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

std::optional<SimReply> DriveMedia::Check(DriveModel& drive, std::uint8_t opcode, std::uint32_t lba,
                                          std::uint32_t count) {
    const bool write = opcode == 0x2A || opcode == 0x2E;
    const MediaErrorKind wanted = write ? MediaErrorKind::kWrite : MediaErrorKind::kRead;
    std::optional<std::uint32_t> first;
    auto note = [&first](std::uint32_t block) {
        if (!first || block < *first) {
            first = block;
        }
    };
    if (!write) {
        for (std::uint32_t bad : drive.badBlocks) {
            if (bad >= lba && bad - lba < count) {
                note(bad);
            }
        }
    }
    for (const MediaError& e : drive.mediaErrors) {
        if (e.kind == wanted && Overlaps(e.first, e.count, lba, count)) {
            note(e.first > lba ? e.first : lba);
        }
    }
    if (!first) {
        return std::nullopt;
    }
    if (write) {
        ++drive.uncorrectedErrors[kWrites];
        return MediumError(0x0C, 0x02, *first);
    }
    ++drive.uncorrectedErrors[opcode == 0x2F ? kVerifies : kReads];
    return MediumError(0x11, 0x00, *first);
}

void DriveMedia::Alter(const DriveModel& drive, std::uint32_t lba,
                       std::vector<std::uint8_t>& data) {
    const auto blocks = static_cast<std::uint32_t>(data.size() / kBlockSize);
    for (const MediaError& e : drive.mediaErrors) {
        if (e.kind != MediaErrorKind::kCorrupt || !Overlaps(e.first, e.count, lba, blocks)) {
            continue;
        }
        for (std::uint32_t i = 0; i < blocks; ++i) {
            const std::uint64_t block = std::uint64_t(lba) + i;
            if (block >= e.first && block < std::uint64_t(e.first) + e.count) {
                // Every byte flipped: no pattern reads back as itself.
                for (std::uint32_t b = 0; b < kBlockSize; ++b) {
                    data[std::size_t(i) * kBlockSize + b] ^= 0xFF;
                }
            }
        }
    }
}

std::optional<std::uint32_t> DriveMedia::FailedBlock(const std::vector<std::uint8_t>& sense) {
    if (sense.size() < 7 || (sense[0] & 0x80) == 0) {
        return std::nullopt;
    }
    return GetBe32(sense, 3);
}

bool DriveMedia::Control(DriveModel& drive, const std::string& verb,
                         const std::vector<std::string>& words, std::string* answer) {
    if (verb == "clear-media-errors") {
        if (!words.empty()) {
            *answer = "usage: clear-media-errors CAB SLOT";
            return false;
        }
        drive.mediaErrors.clear();
        return true;
    }
    if (words.empty() || words.size() > 3) {
        *answer = "usage: media-error CAB SLOT LBA [COUNT] [read|write|corrupt]";
        return false;
    }
    MediaError e;
    std::uint64_t n = 0;
    if (!ParseNumber(words[0], 0xFFFFFFFFu, &n) || n >= drive.blocks) {
        *answer = "LBA is a block of the drive (0.." + std::to_string(drive.blocks - 1) + ")";
        return false;
    }
    e.first = static_cast<std::uint32_t>(n);
    std::size_t next = 1;
    if (next < words.size() && ParseNumber(words[next], 0xFFFFFFFFu, &n)) {
        if (n == 0 || n > drive.blocks - e.first) {
            *answer = "COUNT is 1 up to the blocks left from LBA";
            return false;
        }
        e.count = static_cast<std::uint32_t>(n);
        ++next;
    }
    if (next < words.size()) {
        if (next + 1 != words.size() || !KindOf(words[next], &e.kind)) {
            *answer = "the kind is read, write or corrupt";
            return false;
        }
    }
    if (drive.mediaErrors.size() >= kMaxMediaErrors) {
        *answer = "the drive holds " + std::to_string(kMaxMediaErrors) + " media errors already";
        return false;
    }
    drive.mediaErrors.push_back(e);
    return true;
}

}  // namespace sim
