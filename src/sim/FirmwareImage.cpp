#include "sim/FirmwareImage.h"

#include <algorithm>
#include <cstring>

#include "sim/ByteOrder.h"
#include "sim/Crc32.h"

namespace sim {

namespace {

constexpr std::size_t kTargetAt = 8;
constexpr std::size_t kRevisionAt = 24;
constexpr std::size_t kLengthAt = 28;
constexpr std::size_t kChecksumAt = 32;

std::string TextAt(const std::uint8_t* bytes, std::size_t at, std::size_t width) {
    return std::string(reinterpret_cast<const char*>(bytes) + at, width);
}

std::uint32_t Be32At(const std::uint8_t* b) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

}  // namespace

std::string TrimText(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0'))
        --end;
    return text.substr(0, end);
}

std::size_t FirmwareHeader::ImageSize() const {
    return FirmwareImage::kHeaderSize + payloadLength;
}

std::uint32_t FirmwareImage::Checksum(const std::vector<std::uint8_t>& image) {
    if (image.size() < kHeaderSize)
        return 0;
    std::uint32_t crc = Crc32(image.data(), kChecksumAt);
    return Crc32(image.data() + kHeaderSize, image.size() - kHeaderSize, crc);
}

std::vector<std::uint8_t> FirmwareImage::Build(const std::string& target,
                                               const std::string& revision,
                                               const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> image(kHeaderSize, 0);
    std::memcpy(image.data(), kMagic, kMagicSize);
    PutText(image, kTargetAt, kTargetSize, target);
    PutText(image, kRevisionAt, kRevisionSize, revision);
    PutBe32(image, kLengthAt, static_cast<std::uint32_t>(payload.size()));
    image.insert(image.end(), payload.begin(), payload.end());
    PutBe32(image, kChecksumAt, Checksum(image));
    return image;
}

bool FirmwareImage::ReadHeader(const std::uint8_t* bytes, std::size_t size,
                               FirmwareHeader* header) {
    if (size < kHeaderSize || std::memcmp(bytes, kMagic, kMagicSize) != 0)
        return false;
    FirmwareHeader h;
    h.target = TrimText(TextAt(bytes, kTargetAt, kTargetSize));
    h.revision = TextAt(bytes, kRevisionAt, kRevisionSize);
    h.payloadLength = Be32At(bytes + kLengthAt);
    h.checksum = Be32At(bytes + kChecksumAt);
    if (h.payloadLength > kMaxPayload)
        return false;
    *header = h;
    return true;
}

FirmwareCheck FirmwareImage::Verify(const std::vector<std::uint8_t>& image,
                                    const std::string& target, FirmwareHeader* header) {
    FirmwareHeader h;
    if (!ReadHeader(image.data(), image.size(), &h))
        return FirmwareCheck::kWrongType;
    if (header)
        *header = h;
    if (h.target != TrimText(target))
        return FirmwareCheck::kWrongType;
    if (image.size() != h.ImageSize() || Checksum(image) != h.checksum)
        return FirmwareCheck::kBadChecksum;
    return FirmwareCheck::kGood;
}

PieceOutcome PlaceFirmwarePiece(std::vector<std::uint8_t>& image, std::size_t at,
                                const std::uint8_t* data, std::size_t length,
                                const std::string& target, bool mustComplete,
                                FirmwareHeader* header) {
    if (at > image.size())
        return PieceOutcome::kGap;
    // What the piece overwrites, to put back when it is refused.
    const std::size_t before = image.size();
    const std::size_t end = at + length;
    const std::vector<std::uint8_t> overwritten(image.begin() + long(at),
                                                image.begin() + long(std::min(end, before)));
    if (end > before)
        image.resize(end);
    std::copy(data, data + length, image.begin() + long(at));
    auto refuse = [&](PieceOutcome outcome) {
        std::copy(overwritten.begin(), overwritten.end(), image.begin() + long(at));
        image.resize(before);
        return outcome;
    };
    FirmwareHeader h;
    if (image.size() < FirmwareImage::kHeaderSize)
        return mustComplete ? refuse(PieceOutcome::kIncomplete) : PieceOutcome::kPlaced;
    if (!FirmwareImage::ReadHeader(image.data(), image.size(), &h) ||
        h.target != TrimText(target)) {
        return refuse(PieceOutcome::kWrongType);
    }
    if (header)
        *header = h;
    if (image.size() > h.ImageSize())
        return refuse(PieceOutcome::kBadChecksum);
    if (image.size() < h.ImageSize()) {
        if (mustComplete)
            return refuse(PieceOutcome::kIncomplete);
        // The header says how much is coming: room for it at once.
        image.reserve(h.ImageSize());
        return PieceOutcome::kPlaced;
    }
    if (FirmwareImage::Checksum(image) != h.checksum)
        return refuse(PieceOutcome::kBadChecksum);
    return PieceOutcome::kComplete;
}

std::vector<std::uint8_t> FirmwareImage::Pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>((i % 251) * 7 + seed * 13 + (i % 251) / 3);
    return p;
}

}  // namespace sim
