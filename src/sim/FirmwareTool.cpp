#include "sim/FirmwareTool.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileUtil.h"
#include "sim/ControlWords.h"
#include "sim/FirmwareImage.h"

namespace sim {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadArgument = 2;

const char kUsage[] =
    "usage: strovfw build [--target TEXT] [--revision REV] [--size BYTES] [--seed N]\n"
    "                     [--corrupt] FILE\n"
    "       strovfw show FILE\n"
    "Builds or shows a firmware image for the simulated Strovane controllers and\n"
    "drives. TEXT is CONTROLLER (the default) or a drive's product id, REV four\n"
    "characters (default 0302), BYTES the whole file's size (default 262144).\n";

const char kNotRegular[] = "strovfw: %s is not a regular file\n";
const char kTooLarge[] = "strovfw: %s: %ju bytes, more than any image holds (%zu at most)\n";
const char kCannotRead[] = "strovfw: cannot read %s: %s\n";

// No image is larger: a header and the largest payload a device takes.
constexpr std::size_t kLargestImage = FirmwareImage::kHeaderSize + FirmwareImage::kMaxPayload;

int Usage() {
    std::fputs(kUsage, stderr);
    return kExitBadArgument;
}

int Build(const std::vector<std::string>& args) {
    std::string target = FirmwareImage::kControllerTarget;
    std::string revision = "0302";
    std::uint64_t size = 262144, seed = 1;
    bool corrupt = false;
    std::string file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--target" || a == "--revision" || a == "--size" || a == "--seed";
        if (valued && i + 1 >= args.size())
            return Usage();
        if (a == "--target") {
            target = args[++i];
        } else if (a == "--revision") {
            revision = args[++i];
        } else if (a == "--size") {
            if (!ParseNumber(args[++i], FirmwareImage::kHeaderSize + FirmwareImage::kMaxPayload,
                             &size) ||
                size < FirmwareImage::kHeaderSize + 1) {
                std::fprintf(stderr, "strovfw: --size takes %zu to %zu bytes\n",
                             FirmwareImage::kHeaderSize + 1,
                             FirmwareImage::kHeaderSize + FirmwareImage::kMaxPayload);
                return kExitBadArgument;
            }
        } else if (a == "--seed") {
            if (!ParseNumber(args[++i], 0xFFFFFFFFu, &seed))
                return Usage();
        } else if (a == "--corrupt") {
            corrupt = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (file.empty()) {
            file = a;
        } else {
            return Usage();
        }
    }
    if (file.empty() || target.empty() || target.size() > FirmwareImage::kTargetSize ||
        revision.size() != FirmwareImage::kRevisionSize) {
        return Usage();
    }
    auto payload =
        FirmwareImage::Pattern(size - FirmwareImage::kHeaderSize, static_cast<std::uint32_t>(seed));
    auto image = FirmwareImage::Build(target, revision, payload);
    if (corrupt)
        image[FirmwareImage::kHeaderSize + payload.size() / 2] ^= 0x5A;
    int rc = platform::WriteFileAtomic(file, std::string(image.begin(), image.end()));
    if (rc != 0) {
        std::fprintf(stderr, "strovfw: cannot write %s: %s\n", file.c_str(), std::strerror(rc));
        return kExitFailed;
    }
    return kExitOk;
}

int Show(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage();
    // What cannot be an image is refused before it is read: a device that
    // never ends, a file larger than the largest image.
    std::vector<std::uint8_t> image;
    int error = 0;
    std::uint64_t size = 0;
    switch (platform::ReadSizedFile(args[0], 0, kLargestImage, &image, &error, &size)) {
        case platform::SizedRead::kRead:
            break;
        case platform::SizedRead::kNotRegular:
            std::fprintf(stderr, kNotRegular, args[0].c_str());
            return kExitFailed;
        case platform::SizedRead::kOutOfRange:
            std::fprintf(stderr, kTooLarge, args[0].c_str(), static_cast<std::uintmax_t>(size),
                         kLargestImage);
            return kExitFailed;
        case platform::SizedRead::kNotOpened:
        case platform::SizedRead::kNotRead:
            std::fprintf(stderr, kCannotRead, args[0].c_str(),
                         std::strerror(error != 0 ? error : EIO));
            return kExitFailed;
    }
    FirmwareHeader h;
    if (!FirmwareImage::ReadHeader(image.data(), image.size(), &h)) {
        std::printf("%s: %zu bytes, no firmware image\n", args[0].c_str(), image.size());
        return kExitFailed;
    }
    const bool whole = FirmwareImage::Verify(image, h.target) == FirmwareCheck::kGood;
    std::printf(
        "%s: %zu bytes, target \"%s\", revision \"%s\", payload %u bytes, checksum %08x%s\n",
        args[0].c_str(), image.size(), h.target.c_str(), h.revision.c_str(), h.payloadLength,
        h.checksum, whole ? "" : ", damaged");
    return whole ? kExitOk : kExitFailed;
}

}  // namespace

int RunFirmwareTool(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (verb == "build")
        return Build(args);
    if (verb == "show")
        return Show(args);
    if (verb == "--help" || verb == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    return Usage();
}

}  // namespace sim
