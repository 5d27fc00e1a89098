#include "tools/firmware/DownloadCommands.h"

#include <vector>

#include "coresys/server/scsi/ScsiCommand.h"
#include "tools/firmware/DownloadConsole.h"
#include "tools/firmware/DownloadController.h"

namespace download {

namespace {

constexpr std::uint32_t kShortTimeout = 8;
constexpr std::uint32_t kLongTimeout = 32;
constexpr std::uint32_t kDataPhaseTimeout = 7200;
constexpr std::uint32_t kPiece32K = 32768;

using Cdb = std::array<std::uint8_t, 12>;

void PutBe(Cdb& cdb, std::size_t at, std::uint32_t value, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        cdb[at + i] = static_cast<std::uint8_t>(value >> (8 * (count - 1 - i)));
}

std::uint32_t Be16(const unsigned char* d) {
    return (std::uint32_t{d[0]} << 8) | d[1];
}

// The bytes of a text field, as a text of its own.
std::string Field(const unsigned char* d, std::size_t at, std::size_t width) {
    return std::string(reinterpret_cast<const char*>(d) + at, width);
}

int Controller(const Cdb& cdb, std::uint8_t length, std::uint32_t direction, std::uint32_t timeout,
               unsigned char* data, std::uint32_t dataLength, ScsiResult& result,
               std::uint32_t* moved = nullptr) {
    return RunCommand(cdb.data(), length, direction, timeout, data, dataLength, result, true,
                      moved);
}

std::uint32_t CommandDirection(PtDirection direction) {
    switch (direction) {
        case PtDirection::kOut:
            return ScsiCommand::kDataOut;
        case PtDirection::kIn:
            return ScsiCommand::kDataIn;
        default:
            return ScsiCommand::kNoData;
    }
}

// One drive command: the request block, then its data phase.
int Drive(std::uint8_t slot, const std::uint8_t* inner, std::uint8_t innerLength,
          PtDirection direction, std::uint32_t length, unsigned char* buffer, ScsiResult& result,
          std::uint32_t* received = nullptr) {
    if (received != nullptr)
        *received = 0;
    if (PtSendCdb(0, direction, slot, length, inner, innerLength, result) == 0)
        return 0;
    return PtDataPhase(0, direction, length, buffer, result, received);
}

void DecodeInquiry(const unsigned char* d, InquiryTexts& texts) {
    texts.peripheral = d[0];
    texts.vendor = Field(d, 8, 8);
    texts.product = Field(d, 16, 16);
    texts.revision = Field(d, 32, 4);
}

}  // namespace

int CheckPhysicalDriveState(std::uint8_t slot, DriveStateValues& values, ScsiResult& result) {
    Cdb cdb{0x21, 0, 0, 0, slot};
    unsigned char d[12];
    if (Controller(cdb, 10, ScsiCommand::kDataIn, kShortTimeout, d, sizeof d, result) == 0)
        return 0;
    values.value = {d[1], d[2], Be16(d + 4), Be16(d + 6), Be16(d + 8), Be16(d + 10)};
    return 1;
}

int GetSubsystemState(SubsystemStateValues& values, ScsiResult& result) {
    Cdb cdb{0x20};
    cdb[8] = 6;
    unsigned char d[6];
    values = SubsystemStateValues{};
    if (Controller(cdb, 10, ScsiCommand::kDataIn, kShortTimeout, d, sizeof d, result) == 0)
        return 0;
    values.state = d[1];
    for (int bit = 0; bit < 8; ++bit) {
        values.flag[bit] = (d[5] >> bit) & 1;
        values.flag[8 + bit] = (d[4] >> bit) & 1;
    }
    values.flag[16] = d[3] & 1;
    values.flag[17] = (d[3] >> 1) & 1;
    return 1;
}

int InquiryStandard(std::uint8_t lun, InquiryTexts& texts, ScsiResult& result) {
    Cdb cdb{0x12, static_cast<std::uint8_t>(lun * 32), 0, 0, 36, 0};
    unsigned char d[36];
    if (Controller(cdb, 6, ScsiCommand::kDataIn, kShortTimeout, d, sizeof d, result) == 0)
        return 0;
    DecodeInquiry(d, texts);
    return 1;
}

int InquiryUnitSerial(std::uint8_t lun, UnitSerialTexts& texts, ScsiResult& result) {
    Cdb cdb{0x12, static_cast<std::uint8_t>(lun * 32 + 1), 0x80, 0, 48, 0};
    unsigned char d[48];
    if (Controller(cdb, 6, ScsiCommand::kDataIn, kShortTimeout, d, sizeof d, result) == 0)
        return 0;
    texts.primary = d[2] & 1;
    texts.serial = Field(d, 4, 16);
    texts.partner = Field(d, 20, 16);
    texts.arrayId = Field(d, 36, 12);
    return 1;
}

int CdbShutdownSubsystem(ScsiResult& result) {
    return Controller(Cdb{0xE8}, 10, ScsiCommand::kNoData, kLongTimeout, nullptr, 0, result);
}

int CdbSwitchController(ScsiResult& result) {
    return Controller(Cdb{0xE9}, 10, ScsiCommand::kNoData, kShortTimeout, nullptr, 0, result);
}

int CdbControllerRestart(bool flag, ScsiResult& result) {
    Cdb cdb{0xF0, static_cast<std::uint8_t>(flag ? 2 : 0)};
    return Controller(cdb, 10, ScsiCommand::kNoData, kShortTimeout, nullptr, 0, result);
}

int CdbWriteBuffer(std::uint8_t mode, std::uint32_t length, const unsigned char* bytes,
                   ScsiResult& result) {
    Cdb cdb{0x3B, mode};
    PutBe(cdb, 5, length, 4);
    return Controller(cdb, 10, length == 0 ? ScsiCommand::kNoData : ScsiCommand::kDataOut,
                      kShortTimeout, const_cast<unsigned char*>(bytes), length, result);
}

int CdbCopyFirmware(ScsiResult& result) {
    return Controller(Cdb{0x3B, 1}, 10, ScsiCommand::kNoData, kLongTimeout, nullptr, 0, result);
}

int DownloadRequestSense(std::uint8_t lun, ScsiResult& result) {
    Cdb cdb{0x03, static_cast<std::uint8_t>(lun * 32), 0, 0, 26, 0};
    unsigned char d[26];
    return RunCommand(cdb.data(), 6, ScsiCommand::kDataIn, kShortTimeout, d, sizeof d, result,
                      false);
}

int PtSendCdb(std::uint8_t lun, PtDirection direction, std::uint8_t slot, std::uint32_t dataLength,
              const std::uint8_t* innerCdb, std::uint8_t innerLength, ScsiResult& result) {
    Cdb cdb{0x27, static_cast<std::uint8_t>(lun * 32 + static_cast<std::uint8_t>(direction)), slot,
            0, innerLength};
    PutBe(cdb, 5, dataLength, 4);
    return Controller(cdb, 10, ScsiCommand::kDataOut, kShortTimeout,
                      const_cast<unsigned char*>(innerCdb), innerLength, result);
}

int PtDataPhase(std::uint8_t lun, PtDirection direction, std::uint32_t length,
                unsigned char* buffer, ScsiResult& result, std::uint32_t* received) {
    const std::uint8_t opcode = direction == PtDirection::kOut  ? 0xF3
                                : direction == PtDirection::kIn ? 0xF4
                                                                : 0x29;
    Cdb cdb{opcode, static_cast<std::uint8_t>(lun * 32)};
    const std::uint32_t dir = CommandDirection(direction);
    std::uint32_t moved = 0;
    const int ok = Controller(cdb, 10, dir, kDataPhaseTimeout, buffer,
                              dir == ScsiCommand::kNoData ? 0 : length, result, &moved);
    if (received != nullptr)
        *received = dir == ScsiCommand::kDataIn ? moved : 0;
    return ok;
}

int PtTestUnitReady(std::uint8_t slot, ScsiResult& result) {
    const std::uint8_t inner[6] = {0x00, 0, 0, 0, 0, 0};
    return Drive(slot, inner, 6, PtDirection::kNone, 0, nullptr, result);
}

int PtStartUnit(std::uint8_t slot, std::uint8_t byte1, ScsiResult& result) {
    const std::uint8_t inner[6] = {0x1B, byte1, 0, 0, 1, 0};
    return Drive(slot, inner, 6, PtDirection::kNone, 0, nullptr, result);
}

int PtFormatUnit(std::uint8_t slot, ScsiResult& result) {
    const std::uint8_t inner[6] = {0x04, 0, 0, 0, 0, 0};
    return Drive(slot, inner, 6, PtDirection::kNone, 0, nullptr, result);
}

int PtInquiry(std::uint8_t slot, InquiryTexts& texts, ScsiResult& result) {
    const std::uint8_t inner[6] = {0x12, 0, 0, 0, 36, 0};
    unsigned char d[36];
    std::fill(std::begin(d), std::end(d), 0xFF);
    std::uint32_t received = 0;
    if (Drive(slot, inner, 6, PtDirection::kIn, sizeof d, d, result, &received) == 0)
        return 0;
    // Texts the drive did not send whole are not its texts.
    if (received < sizeof d)
        return 0;
    DecodeInquiry(d, texts);
    return 1;
}

int PtModeSense(std::uint8_t slot, std::uint8_t pageControl, std::uint8_t pageCode,
                std::uint8_t length, unsigned char* buffer, ScsiResult& result,
                std::uint32_t* received) {
    const std::uint8_t inner[6] = {
        0x1A, 0x08, static_cast<std::uint8_t>(pageControl * 64 + pageCode), 0, length, 0};
    return Drive(slot, inner, 6, PtDirection::kIn, length, buffer, result, received);
}

int PtModeSelect(std::uint8_t slot, std::uint8_t length, const unsigned char* list,
                 ScsiResult& result) {
    const std::uint8_t inner[6] = {0x15, 0x01, 0, 0, length, 0};
    return Drive(slot, inner, 6, PtDirection::kOut, length, const_cast<unsigned char*>(list),
                 result);
}

int PtWriteBuffer(std::uint8_t slot, std::uint8_t mode, std::uint32_t length,
                  const unsigned char* bytes, ScsiResult& result) {
    if (mode != 4 && mode != 5) {
        Say(DownloadText::WRONG_MODE_5, mode);
        return 0;
    }
    std::uint8_t inner[10] = {0x3B, mode};
    inner[6] = static_cast<std::uint8_t>(length >> 16);
    inner[7] = static_cast<std::uint8_t>(length >> 8);
    inner[8] = static_cast<std::uint8_t>(length);
    return Drive(slot, inner, 10, PtDirection::kOut, length, const_cast<unsigned char*>(bytes),
                 result);
}

int PtWriteBuffer(std::uint8_t slot, std::uint8_t mode, std::uint32_t length, std::uint32_t offset,
                  const unsigned char* bytes, ScsiResult& result) {
    if (mode != 6 && mode != 7) {
        Say(DownloadText::WRONG_MODE_6, mode);
        return 0;
    }
    std::uint8_t inner[10] = {0x3B, mode};
    inner[3] = static_cast<std::uint8_t>(offset >> 16);
    inner[4] = static_cast<std::uint8_t>(offset >> 8);
    inner[5] = static_cast<std::uint8_t>(offset);
    inner[6] = static_cast<std::uint8_t>(length >> 16);
    inner[7] = static_cast<std::uint8_t>(length >> 8);
    inner[8] = static_cast<std::uint8_t>(length);
    return Drive(slot, inner, 10, PtDirection::kOut, length, const_cast<unsigned char*>(bytes),
                 result);
}

int PtWriteBuffer32K(std::uint8_t slot, std::uint8_t bufferId, const unsigned char* bytes,
                     ScsiResult& result) {
    const std::uint8_t inner[10] = {0x3B, 5, bufferId, 0, 0, 0, 0, 0x80, 0, 0};
    return Drive(slot, inner, 10, PtDirection::kOut, kPiece32K, const_cast<unsigned char*>(bytes),
                 result);
}

}  // namespace download
