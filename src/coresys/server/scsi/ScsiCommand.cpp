#include "coresys/server/scsi/ScsiCommand.h"

ScsiCommand::ScsiCommand(std::uint32_t cdbSize, std::uint32_t length, std::uint32_t dir,
                         std::uint32_t seconds, std::uint8_t unit, std::uint32_t word)
    : dataLength(length > kMaxDataLength ? kMaxDataLength : length),
      direction(dir),
      timeout(seconds),
      lun(unit),
      option(word),
      cdb_(cdbSize, 0),
      data_(dataLength, 0xFF) {}

unsigned char* ScsiCommand::DataAt(std::uint32_t offset) {
    return offset < data_.size() ? data_.data() + offset : nullptr;
}

const unsigned char* ScsiCommand::DataAt(std::uint32_t offset) const {
    return offset < data_.size() ? data_.data() + offset : nullptr;
}

unsigned char ScsiCommand::DataByte(std::uint32_t offset) const {
    return offset < data_.size() ? data_[offset] : 0;
}

std::uint32_t ScsiCommand::DataBe16(std::uint32_t offset) const {
    if (static_cast<std::uint64_t>(offset) + 2 > data_.size()) {
        return 0;
    }
    return (static_cast<std::uint32_t>(data_[offset]) << 8) | data_[offset + 1];
}

std::uint32_t ScsiCommand::DataBe32(std::uint32_t offset) const {
    if (static_cast<std::uint64_t>(offset) + 4 > data_.size()) {
        return 0;
    }
    return (static_cast<std::uint32_t>(data_[offset]) << 24) |
           (static_cast<std::uint32_t>(data_[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(data_[offset + 2]) << 8) | data_[offset + 3];
}

void ScsiCommand::SetDataByte(std::uint32_t offset, unsigned char value) {
    if (offset < data_.size()) {
        data_[offset] = value;
    }
}

void ScsiCommand::SetCdbByte(std::uint8_t index, unsigned char value) {
    if (index < cdb_.size()) {
        cdb_[index] = value;
    }
}

void ScsiCommand::SetCdbValue(std::uint8_t index, std::uint32_t value, std::uint8_t count) {
    for (std::uint8_t i = 0; i < count; ++i) {
        SetCdbByte(static_cast<std::uint8_t>(index + i),
                   static_cast<unsigned char>(value >> (8 * (count - 1 - i))));
    }
}
