#include "sim/DriveFirmware.h"

#include <algorithm>

#include "sim/ByteOrder.h"
#include "sim/FirmwareImage.h"

namespace sim {

namespace {

SimReply Drop(DriveModel& drive, std::uint8_t ascq) {
    drive.firmwareAssembly.clear();
    drive.firmwareAssembly.shrink_to_fit();
    return CheckCondition(kKeyIllegalRequest, 0x26, ascq);
}

}  // namespace

SimReply DriveFirmware::WriteBuffer(DriveModel& drive, const std::vector<std::uint8_t>& cdb,
                                    const std::vector<std::uint8_t>& data, bool* changed) {
    const std::uint8_t mode = cdb[1] & 0x1F;
    if (mode < 4 || mode > 7)
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    const bool offsetMode = mode == 6 || mode == 7;
    const std::uint32_t length = GetBe24(cdb, 6);
    if (data.size() < length)
        return CheckCondition(kKeyIllegalRequest, 0x26, 0);
    auto& image = drive.firmwareAssembly;
    const std::size_t at = offsetMode ? GetBe24(cdb, 3) : image.size();
    if (at > image.size())
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    if (at + length > image.size())
        image.resize(at + length);
    std::copy(data.begin(), data.begin() + length, image.begin() + long(at));
    if (image.size() < FirmwareImage::kHeaderSize)
        return {};
    FirmwareHeader header;
    if (!FirmwareImage::ReadHeader(image.data(), image.size(), &header) ||
        header.target != TrimText(drive.product)) {
        return Drop(drive, 0x63);
    }
    if (image.size() > header.ImageSize())
        return Drop(drive, 0x62);
    if (image.size() < header.ImageSize())
        return {};
    if (FirmwareImage::Verify(image, drive.product) != FirmwareCheck::kGood)
        return Drop(drive, 0x62);
    drive.revision = header.revision;
    drive.unitAttention = true;
    drive.firmwareAssembly.clear();
    drive.firmwareAssembly.shrink_to_fit();
    *changed = true;
    return {};
}

bool DriveFirmware::TakeUnitAttention(DriveModel& drive, std::uint8_t opcode, SimReply* reply,
                                      bool* changed) {
    if (!drive.unitAttention || opcode == 0x12 || opcode == 0x03)
        return false;
    drive.unitAttention = false;
    *changed = true;
    *reply = CheckCondition(kKeyUnitAttention, 0x29, 0);
    return true;
}

}  // namespace sim
