// The firmware image files the simulated controller and drives accept (the
// project's own format; the hosts only check a file's size):
//
//   bytes 0..7    magic "STRVFIRM"
//   bytes 8..23   target, 16 characters, blank-padded: "CONTROLLER" for
//                 controller microcode, else the drive product id as the
//                 drive's INQUIRY reports it (bytes 16..31)
//   bytes 24..27  revision, 4 characters
//   bytes 28..31  BE32 payload length P; the image is 40 + P bytes
//   bytes 32..35  BE32 CRC-32 (Crc32.h) of bytes 0..31 followed by the payload
//   bytes 36..39  0
//   bytes 40..    payload
//
// A device reads the header once 40 bytes have arrived and checks the whole
// image when 40 + P bytes have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct FirmwareHeader {
    std::string target;    // without its padding
    std::string revision;  // 4 characters
    std::uint32_t payloadLength = 0;
    std::uint32_t checksum = 0;

    std::size_t ImageSize() const;  // 40 + payloadLength
};

enum class FirmwareCheck {
    kGood,
    kWrongType,    // no image header, or an image for another target
    kBadChecksum,  // the bytes do not add up to what the header says
};

class FirmwareImage {
  public:
    static constexpr std::size_t kHeaderSize = 40;
    static constexpr const char* kMagic = "STRVFIRM";
    static constexpr std::size_t kMagicSize = 8;
    static constexpr std::size_t kTargetSize = 16;
    static constexpr std::size_t kRevisionSize = 4;
    static constexpr const char* kControllerTarget = "CONTROLLER";
    // No device takes a larger image.
    static constexpr std::uint32_t kMaxPayload = 16u << 20;

    // A complete image: header and payload, checksum computed.
    static std::vector<std::uint8_t> Build(const std::string& target, const std::string& revision,
                                           const std::vector<std::uint8_t>& payload);

    // Decodes the header of bytes[0..size). False when fewer than 40 bytes
    // are given, the magic is wrong or the payload length is above the limit.
    static bool ReadHeader(const std::uint8_t* bytes, std::size_t size, FirmwareHeader* header);

    // Checks a whole image for a device whose target text is `target`
    // (compared without trailing blanks). The header goes to *header when
    // it could be read.
    static FirmwareCheck Verify(const std::vector<std::uint8_t>& image, const std::string& target,
                                FirmwareHeader* header = nullptr);

    // The checksum the header of bytes must carry (bytes holds header and
    // payload; the checksum field itself is not summed).
    static std::uint32_t Checksum(const std::vector<std::uint8_t>& image);

    // A payload of n bytes in a fixed, seed-dependent pattern (sample files,
    // tests, benchmarks). The pattern repeats every 251 bytes, so sample
    // files compress well.
    static std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed);
};

// What became of one piece of an image sent to a device.
enum class PieceOutcome {
    kPlaced,       // taken; more is to come
    kComplete,     // taken; the image is whole and good
    kGap,          // its offset lies past what has arrived
    kWrongType,    // the header is no image header or names another target
    kBadChecksum,  // the image does not add up, or runs past its declared end
    kIncomplete,   // the image had to be whole with this piece and is not
};

// Places length bytes of data at offset at of an image being assembled for
// the device whose target text is `target`, and checks what has arrived:
// the header once its 40 bytes are there, the whole image once its declared
// length is. With mustComplete, a piece that leaves the image short is
// refused too. A refused piece leaves the image exactly as it was, so a
// host's retry of it gets the same answer. *header gets the header when one
// was read.
PieceOutcome PlaceFirmwarePiece(std::vector<std::uint8_t>& image, std::size_t at,
                                const std::uint8_t* data, std::size_t length,
                                const std::string& target, bool mustComplete,
                                FirmwareHeader* header);

// Text without its trailing blanks and NULs.
std::string TrimText(const std::string& text);

}  // namespace sim
