#include "sim/DriveFirmware.h"

#include "sim/ByteOrder.h"
#include "sim/FirmwareImage.h"

namespace sim {

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
    FirmwareHeader header;
    switch (PlaceFirmwarePiece(image, offsetMode ? GetBe24(cdb, 3) : image.size(), data.data(),
                               length, drive.product, false, &header)) {
        case PieceOutcome::kGap:
            return CheckCondition(kKeyIllegalRequest, 0x24, 0);
        case PieceOutcome::kWrongType:
            return CheckCondition(kKeyIllegalRequest, 0x26, 0x63);
        case PieceOutcome::kBadChecksum:
        case PieceOutcome::kIncomplete:
            return CheckCondition(kKeyIllegalRequest, 0x26, 0x62);
        case PieceOutcome::kPlaced:
            return {};
        case PieceOutcome::kComplete:
            break;
    }
    drive.revision = header.revision;
    drive.unitAttention = true;
    image.clear();
    image.shrink_to_fit();
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
